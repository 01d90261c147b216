// The destination listing: the MP3 files of one folder in creation-date or name order, and the free space
// of the volumes of the destination and work folders. A conversion run tells it each file it places, so
// that the listing stays what a fresh reading of the folder would give without reading the folder again.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace core {

// The volume that holds the folder named by the text, as the root it is mounted on (or, where the mount
// table does not show it, an identifier of its device) and the bytes available to the user. A folder that
// does not exist yet belongs to the volume of its nearest existing parent. A text that is empty or not an
// absolute path names no volume.
struct VolumeSpace {
    QString rootPath;
    qint64 bytesAvailable = 0;
};
std::optional<VolumeSpace> volumeOf(const QString& folderText);

// The date-order key of a destination file: its creation time as "yyyyMMddHHmmss" immediately followed
// by the name. The time is shifted from UTC by one offset for all files (the offset in force now), so
// that the keys keep the order of the creation instants even across a daylight-saving change. An unknown
// creation time gives fourteen zeros.
QString creationSortKey(const QDateTime& created, const QString& name, int utcOffsetSeconds);

// Length of the fixed date part at the front of a creation sort key.
constexpr int SortKeyDateLength = 14;

// When the file came into being: its birth time where the file system keeps one, else its last change.
QDateTime creationTime(const QString& path);

class DestinationListing {
  public:
    enum class Order { ByDate, ByName };

    // Reads the folder's MP3 files afresh, in the given order.
    void load(const QString& folder, Order order);
    // A file the run has just written into the listed folder (under `name`): listed where a fresh reading
    // would put it, in place of any entry of that name. A name that is no MP3 file's is left out, as a
    // fresh reading would leave it.
    void addPlaced(const QString& name);

    const QString& folder() const { return m_folder; }
    Order order() const { return m_order; }
    // The file names in listing order.
    QStringList names() const;
    int count() const { return int(m_entries.size()); }

  private:
    struct Entry {
        QString folded; // the key, case-folded once, for the comparisons
        QString key;    // the name, in date order preceded by the creation time
    };
    Entry entryFor(const QString& name) const;

    QString m_folder;
    Order m_order = Order::ByName;
    int m_utcOffset = 0;
    QList<Entry> m_entries;
};

} // namespace core
