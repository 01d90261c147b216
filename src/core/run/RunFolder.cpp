#include "core/run/RunFolder.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QLockFile>

namespace core {
namespace {

const QString Prefix = QStringLiteral("MP3Recast.");
const QString LockName = QStringLiteral("run.lock");

// A lock of a living run is never stale, however long the run takes; only a dead owner makes it so.
std::unique_ptr<QLockFile> tryLock(const QString& folder) {
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(LockName));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// Everything in the folder but its lock, then the lock, then the folder: while anything is left, the
// lock keeps other runs from taking the folder for their own.
void removeLocked(const QString& folder, std::unique_ptr<QLockFile> lock) {
    const QDir dir(folder);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& name : entries) {
        if (name == LockName)
            continue;
        const QString path = dir.filePath(name);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
    lock.reset();
    QDir().rmdir(folder);
}

QAtomicInt nextNumber;

} // namespace

RunFolder::RunFolder(const QString& base) {
    reclaim(base);
    const QDir dir(base);
    // The folder is made first and locked second. Between the two another run's reclaim may lock it
    // itself (it has no lock yet); the lock then fails here and the next name is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = dir.filePath(
            Prefix + QStringLiteral("%1.%2").arg(QCoreApplication::applicationPid()).arg(nextNumber++));
        if (!QDir().mkdir(path)) {
            if (!QFileInfo::exists(path))
                return; // the base cannot take a folder
            continue;
        }
        if (std::unique_ptr<QLockFile> lock = tryLock(path)) {
            m_path = path;
            m_lock = std::move(lock);
            return;
        }
        // Without a lock file in it, the lock could not be written at all (a full volume): every other
        // name would fail the same way. The empty folder goes with this attempt.
        if (!QFileInfo::exists(QDir(path).filePath(LockName))) {
            QDir().rmdir(path);
            return;
        }
    }
}

RunFolder::~RunFolder() {
    if (isValid())
        removeLocked(m_path, std::move(m_lock));
}

int RunFolder::reclaim(const QString& base) {
    if (base.isEmpty())
        return 0;
    const QDir dir(base);
    int removed = 0;
    const QStringList folders =
        dir.entryList({Prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : folders) {
        const QString folder = dir.filePath(name);
        // A folder whose lock this process can take has no living owner: its run was killed, or it is
        // a folder of an older version without a lock.
        std::unique_ptr<QLockFile> lock = tryLock(folder);
        if (!lock)
            continue;
        removeLocked(folder, std::move(lock));
        ++removed;
    }
    return removed;
}

} // namespace core
