#include "core/files/FileHelpers.h"

#include "core/files/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isPathSeparator(QChar c) {
#ifdef Q_OS_WIN
    return c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':');
#else
    return c == QLatin1Char('/');
#endif
}

// The copy itself: streamed into a temporary file that replaces the destination only once it holds every
// byte of the source, and is on disk.
bool copyThroughTemporary(const QString& source, const QString& destination) {
    const QFileInfo target(destination);
    // Replacing a write-protected file would defeat its protection.
    if (target.exists() && (!target.isFile() || !(target.permissions() & QFileDevice::WriteOwner)))
        return false;
    return core::copyFileAtomically(source, destination).ok();
}

} // namespace

void core::makePlainWritable(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return;
    // A refusal shows in the write or removal this prepares, which reports it.
    static_cast<void>(
        file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

QString CutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

bool CopyFileChecked(const QString& source, const QString& destination, bool failIfExists) {
    if (source.isEmpty() || destination.isEmpty())
        return false;
    bool copied = false;
    if (!(failIfExists && QFileInfo::exists(destination)))
        copied = copyThroughTemporary(source, destination);

    const QFileInfo sourceInfo(source);
    const QFileInfo destinationInfo(destination);
    if (!sourceInfo.isFile() || !destinationInfo.isFile())
        return false;
    if (sourceInfo.size() != destinationInfo.size())
        return false;
    core::makePlainWritable(destination);
    return copied;
}

bool DeleteFileForced(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return false;
    core::makePlainWritable(path);
    return QFile::remove(path);
}

QString ExtractFileName(const QString& path) {
    if (path.size() < 3)
        return path;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isPathSeparator(path.at(i)))
            return path.mid(i + 1);
    }
    return path;
}
