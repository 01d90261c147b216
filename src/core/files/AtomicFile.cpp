#include "core/files/AtomicFile.h"

#include "codecs/codec_error.h"
#include "codecs/decoder.h"
#include "core/text/TextConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {
namespace {

const QString Marker = QStringLiteral(".mp3recast-");

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

bool writeAll(int fd, const char* data, qint64 length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, size_t(length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        length -= n;
    }
    return true;
}

// FAT and exFAT keep no modes: their drivers refuse a mode change on a file the process owns, or have no
// such call at all.
bool keepsNoModes(int error) {
    return error == ENOSYS || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP;
}

// The temporary file beside the target, open for writing; the descriptor, or -1 with errno set.
int createTemporary(const QString& target, mode_t mode, QByteArray& temporary) {
    const QFileInfo info(target);
    temporary = encoded(info.path() + QLatin1Char('/') + QLatin1Char('.') + info.fileName() + Marker +
                        QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd >= 0 && ::fchmod(fd, mode) != 0 && !keepsNoModes(errno)) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        errno = error;
        return -1;
    }
    return fd;
}

// The mode the new file gets: the old file's, else what a new file would get.
mode_t targetMode(const QString& target, mode_t fallback) {
    struct stat st {};
    if (::stat(encoded(target).constData(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return fallback & ~mask;
}

// One line for the user naming the cause of a failed write.
QString causeOf(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DiskSpaceHint;
    case EACCES:
    case EPERM:
        return QStringLiteral("書き込む権限がありません。");
    case EROFS:
        return QStringLiteral("読み取り専用のボリュームです。");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("フォルダが見つかりません。");
    case EIO:
        return QStringLiteral("ディスクの読み書きでエラーが発生しました。");
    default:
        return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : DiskSpaceHint;
    }
}

Error failure(int error) {
    return Error{causeOf(error), error};
}

// Runs `fill` on the temporary file, then flushes, closes and renames it over the target.
template <typename Fill> Result replaceWith(const QString& path, mode_t mode, Fill fill) {
    // A link to a file is written through, as an editor saves it: the link stays a link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.isFile() ? info.canonicalFilePath() : path;
    QByteArray temporary;
    const int fd = createTemporary(target, mode, temporary);
    if (fd < 0)
        return failure(errno);
    bool written = fill(fd) && ::fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.constData(), encoded(target).constData()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.constData());
        return failure(error);
    }
    // The new file is in place and nothing is left to undo: a folder that cannot be flushed only risks the
    // rename on a power loss this very moment, which no result could prevent.
    static_cast<void>(syncFolder(QFileInfo(target).path()));
    return {};
}

bool processGone(const QString& pidText) {
    bool ok = false;
    const qint64 pid = pidText.toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

Result writeFileAtomically(const QString& path, const QByteArray& bytes) {
    return replaceWith(path, targetMode(path, 0666),
                       [&bytes](int fd) { return writeAll(fd, bytes.constData(), bytes.size()); });
}

Result copyFileAtomically(const QString& source, const QString& destination) {
    const int in = ::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = in < 0 ? errno : EINVAL;
        if (in >= 0)
            ::close(in);
        return failure(error);
    }
    int readError = 0;
    Result result = replaceWith(destination, st.st_mode & 07777, [&](int fd) {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        qint64 copied = 0;
        for (;;) {
            const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                readError = errno;
                return false;
            }
            if (n == 0)
                break;
            if (!writeAll(fd, buffer.constData(), n))
                return false;
            copied += n;
        }
        // A source that shrank or grew while it was read is no faithful copy.
        if (copied != st.st_size) {
            errno = EIO;
            return false;
        }
        return true;
    });
    ::close(in);
    if (!result && readError != 0)
        return failure(readError);
    return result;
}

bool syncFolder(const QString& folder) {
    const int fd = ::open(encoded(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return synced;
}

int removeStaleTemporaries(const QString& folder) {
    const QDir dir(folder);
    int removed = 0;
    const QStringList names = dir.entryList({QStringLiteral(".*") + Marker + QLatin1Char('*')},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        // ".NAME.mp3recast-PID-XXXXXX"
        const qsizetype marker = name.lastIndexOf(Marker);
        const QString tail = name.mid(marker + Marker.size());
        const qsizetype dash = tail.lastIndexOf(QLatin1Char('-'));
        if (dash <= 0 || tail.size() - dash - 1 != 6 || !processGone(tail.left(dash)))
            continue;
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

int finishInterruptedWrites(const QString& folder) {
    int done = removeStaleTemporaries(folder);
    try {
        done += std::max(0, codecs::Decoder().completeRewrites(folder));
    } catch (const codecs::CodecError&) {
        // A tag library that cannot be used fails the run with its own message where a tag is needed.
    }
    return done;
}

} // namespace core
