#include "core/models/DestinationListing.h"

#include "core/files/SourceFiles.h"

#include <QDir>
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

namespace core {

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

namespace {

// The order of the listing: case-folded keys compared as the user's locale sorts text.
bool before(const QString& foldedA, const QString& foldedB) {
    return QString::localeAwareCompare(foldedA, foldedB) < 0;
}

QString withSeparator(const QString& folder) {
    return folder.endsWith(QDir::separator()) || folder.endsWith(QLatin1Char('/'))
               ? folder
               : folder + QDir::separator();
}

} // namespace

DestinationListing::Entry DestinationListing::entryFor(const QString& name) const {
    QString key = m_order == Order::ByDate
                      ? creationSortKey(creationTime(withSeparator(m_folder) + name), name, m_utcOffset)
                      : name;
    return {key.toCaseFolded(), std::move(key)};
}

void DestinationListing::load(const QString& folder, Order order) {
    m_folder = folder;
    m_order = order;
    m_utcOffset = QDateTime::currentDateTime().offsetFromUtc();
    m_entries.clear();
    // Each key is folded once, not anew for every comparison, which made sorting a large folder slow.
    // The sort is stable, so equal keys keep the order the folder gave them.
    for (const QString& name : mp3FileNames(folder))
        m_entries.append(entryFor(name));
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return before(a.folded, b.folded); });
}

void DestinationListing::addPlaced(const QString& name) {
    const qsizetype nameStart = m_order == Order::ByDate ? SortKeyDateLength : 0;
    m_entries.removeIf([&](const Entry& entry) { return entry.key.mid(nameStart) == name; });
    if (!isListedMp3(m_folder, name))
        return;
    Entry entry = entryFor(name);
    // After any entries of an equal key, as a file the folder lists last would stand.
    const auto at =
        std::upper_bound(m_entries.begin(), m_entries.end(), entry,
                         [](const Entry& a, const Entry& b) { return before(a.folded, b.folded); });
    m_entries.insert(at, std::move(entry));
}

QStringList DestinationListing::names() const {
    QStringList names;
    names.reserve(m_entries.size());
    const qsizetype nameStart = m_order == Order::ByDate ? SortKeyDateLength : 0;
    for (const Entry& entry : m_entries)
        names.append(entry.key.mid(nameStart));
    return names;
}

} // namespace core
