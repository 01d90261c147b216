#include "core/files/FatNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {
namespace {

const QString Refused = QStringLiteral(":?\"*<>|\\");
const QString FullWidth = QStringLiteral("：？＂＊＜＞｜＼");

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The name with its letters' case turned, or empty when that changes nothing (no letters with a case).
QString caseTurned(const QString& name) {
    QString turned = name;
    for (QChar& c : turned)
        c = c.isUpper() ? c.toLower() : c.toUpper();
    return turned == name ? QString() : turned;
}

QString nearestExisting(const QString& folder) {
    QString level = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(level).isDir()) {
        const QString parent = QFileInfo(level).path();
        if (parent == level)
            return {};
        level = parent;
    }
    return level;
}

} // namespace

bool hasNameFatRefuses(const QString& name) {
    for (const QChar c : name) {
        if (isControl(c) || Refused.contains(c))
            return true;
    }
    return name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '));
}

QString fatSafeName(const QString& name) {
    if (!hasNameFatRefuses(name))
        return name;
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        const qsizetype refused = Refused.indexOf(c);
        safe += refused >= 0 ? FullWidth.at(refused) : isControl(c) ? QLatin1Char('_') : c;
    }
    while (safe.endsWith(QLatin1Char('.')) || safe.endsWith(QLatin1Char(' ')))
        safe.chop(1);
    // "..." or "   " would vanish altogether.
    return safe.isEmpty() ? QStringLiteral("_") : safe;
}

QString fatSafeRelativePath(const QString& relative) {
    QStringList levels = relative.split(QLatin1Char('/'));
    for (QString& level : levels) {
        if (!level.isEmpty() && level != QLatin1String(".") && level != QLatin1String(".."))
            level = fatSafeName(level);
    }
    return levels.join(QLatin1Char('/'));
}

bool foldsLetterCase(const QString& folder) {
    const QString level = nearestExisting(folder);
    if (level.isEmpty())
        return false;
    // An entry that is there answers without writing anything: under its turned name a folding file
    // system finds the entry itself, one that tells case apart finds nothing or another entry of the
    // listing. (FUSE drivers give each name its own inode number, so the numbers cannot tell.)
    const QDir dir(level);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString turned = caseTurned(name);
        if (!turned.isEmpty())
            return exists(dir.filePath(turned)) && !names.contains(turned);
    }
    const QString probe =
        dir.filePath(QStringLiteral(".mp3recast-case-%1").arg(QCoreApplication::applicationPid()));
    const int fd =
        ::open(QFile::encodeName(probe).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    const QString turned = caseTurned(QFileInfo(probe).fileName());
    const bool folds = exists(dir.filePath(turned)) &&
                       !dir.entryList(QDir::Files | QDir::Hidden | QDir::System).contains(turned);
    ::unlink(QFile::encodeName(probe).constData());
    return folds;
}

} // namespace core
