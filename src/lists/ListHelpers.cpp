#include "lists/ListHelpers.h"

#include "shell/LegacyText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTimeZone>
#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr int TwipsPerPixel = 15;

} // namespace

QString groupedNumber(qint64 value) {
    // Not the locale's grouping: the format fixes "," every three digits whatever the user's locale.
    const bool negative = value < 0;
    QString digits = QString::number(value);
    if (negative)
        digits.remove(0, 1);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return negative ? QLatin1Char('-') + digits : digits;
}

QString queueTotalsText(int count, qint64 bytes) {
    return QString::number(count) + QStringLiteral("個   変換前容量:") + groupedNumber(bytes) +
           QStringLiteral("ﾊﾞｲﾄ");
}

QString destinationFreeText(int count, qint64 freeBytes) {
    return QString::number(count) + QStringLiteral("個   空き容量：") + groupedNumber(freeBytes) +
           QStringLiteral("ﾊﾞｲﾄ");
}

QString workFreeText(qint64 freeBytes) {
    return QStringLiteral("空き容量：") + groupedNumber(freeBytes) + QStringLiteral("ﾊﾞｲﾄ");
}

QString creationSortKey(const QDateTime& created, const QString& name, int utcOffsetSeconds) {
    if (!created.isValid())
        return QString(SortKeyDateLength, QLatin1Char('0')) + name;
    // The fields of the time as it stands, moved from its own offset to the one given; this avoids
    // converting through the time-zone rules, which is slow when done for every file of a large folder.
    const QDateTime shifted = QDateTime(created.date(), created.time(), QTimeZone::utc())
                                  .addSecs(utcOffsetSeconds - created.offsetFromUtc());
    const QDate date = shifted.date();
    const QTime time = shifted.time(); // the seconds field drops any fraction of a second
    return QString::asprintf("%04d%02d%02d%02d%02d%02d", date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second()) +
           name;
}

QDateTime creationTime(const QString& path) {
    const QFileInfo info(path);
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.lastModified();
}

int queueExtentFor(const QString& path) {
    return (cp932ByteCount(path) * 90 + 180) / TwipsPerPixel;
}

qint64 fileSizeOrZero(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

std::optional<VolumeSpace> volumeOf(const QString& folderText) {
    const QString path = QDir::fromNativeSeparators(folderText);
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return std::nullopt;
    QString existing = QDir::cleanPath(path);
    while (!QFileInfo(existing).isDir()) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0 || existing == QLatin1String("/"))
            return std::nullopt;
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
    const QStorageInfo storage(existing);
    if (storage.isValid() && storage.isReady())
        return VolumeSpace{storage.rootPath(), storage.bytesAvailable()};

    // In a chroot whose root is a plain folder (as package builders use) the mount table names no
    // volume for most folders; the file system itself still tells the free space, and the device
    // tells which folders share a volume.
    std::error_code error;
    const std::filesystem::space_info space =
        std::filesystem::space(std::filesystem::path(QFile::encodeName(existing).toStdString()), error);
    if (error)
        return std::nullopt;
    QString volume = existing;
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(existing).constData(), &status) == 0)
        volume = QStringLiteral("device:") + QString::number(qulonglong(status.st_dev));
#endif
    return VolumeSpace{volume, qint64(space.available)};
}
