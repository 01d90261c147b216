#pragma once

#include "core/SourceFiles.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// Texts, keys and file-system look-ups shared by the destination listing, the conversion queue and the
// source list. Plain functions, so that tests reach them without a window.

// A byte count in the number format "#,##0": digits grouped by threes with ",", no decimals.
QString groupedNumber(qint64 value);

// "3個   変換前容量:12,345,678ﾊﾞｲﾄ": the queue's entry count and byte total.
QString queueTotalsText(int count, qint64 bytes);

// "12個   空き容量：1,234,567,890ﾊﾞｲﾄ": the destination's file count and free space.
QString destinationFreeText(int count, qint64 freeBytes);

// "空き容量：98,765,432ﾊﾞｲﾄ": the work folder's free space.
QString workFreeText(qint64 freeBytes);

// The date-order key of a destination file: its creation time as "yyyyMMddHHmmss" immediately followed
// by the name. The time is shifted from UTC by one offset for all files (the offset in force now), so
// that the keys keep the order of the creation instants even across a daylight-saving change. An unknown
// creation time gives fourteen zeros.
QString creationSortKey(const QDateTime& created, const QString& name, int utcOffsetSeconds);

// Length of the fixed date part at the front of a creation sort key.
constexpr int SortKeyDateLength = 14;

// When the file came into being: its birth time where the file system keeps one, else its last change.
QDateTime creationTime(const QString& path);

// The horizontal scroll range, in pixels, that a queue entry needs: (CP932 bytes × 90 + 180) twips.
int queueExtentFor(const QString& path);

// mp3FileNames and sortedByName: the command line lists folders the same way.
using core::mp3FileNames;
using core::sortedByName;

// The file's size in bytes, or 0 when it cannot be read (the file vanished meanwhile).
qint64 fileSizeOrZero(const QString& path);

// The volume that holds the folder named by the text, as the root it is mounted on (or, where the mount
// table does not show it, an identifier of its device) and the bytes available to the user. A folder that
// does not exist yet belongs to the volume of its nearest existing parent. A text that is empty or not an
// absolute path names no volume.
struct VolumeSpace {
    QString rootPath;
    qint64 bytesAvailable = 0;
};
std::optional<VolumeSpace> volumeOf(const QString& folderText);
