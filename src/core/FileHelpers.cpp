#include "core/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 CopyChunk = 1 << 20;

bool isPathSeparator(QChar c) {
#ifdef Q_OS_WIN
    return c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':');
#else
    return c == QLatin1Char('/');
#endif
}

void makePlainWritable(const QString& path) {
    QFile file(path);
    file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The copy itself: streamed into a temporary file that replaces the destination only once it holds every
// byte of the source.
bool copyThroughTemporary(const QString& source, const QString& destination) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo target(destination);
    // Replacing a write-protected file would defeat its protection.
    if (target.exists() && (!target.isFile() || !(target.permissions() & QFileDevice::WriteOwner)))
        return false;

    QSaveFile output(destination);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    // Keep the source's permissions, as a file copy does.
    output.setPermissions(input.permissions());

    QByteArray buffer;
    for (;;) {
        buffer = input.read(CopyChunk);
        if (buffer.isEmpty())
            break;
        if (output.write(buffer) != buffer.size()) {
            output.cancelWriting();
            return false;
        }
    }
    if (input.error() != QFileDevice::NoError || !input.atEnd() || output.size() != input.size()) {
        output.cancelWriting();
        return false;
    }
    return output.commit();
}

} // namespace

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
    makePlainWritable(destination);
    return copied;
}

bool DeleteFileForced(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return false;
    makePlainWritable(path);
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
