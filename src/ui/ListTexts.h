#pragma once

#include "core/files/SourceFiles.h"
#include "core/models/ConversionQueue.h"
#include "core/models/DestinationListing.h"

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

// mp3FileNames and sortedByName: the command line lists folders the same way.
using core::mp3FileNames;
using core::sortedByName;

// The models' helpers, which the window's lists use by their plain names.
using core::creationSortKey;
using core::creationTime;
using core::fileSizeOrZero;
using core::queueExtentFor;
using core::SortKeyDateLength;
using core::volumeOf;
using core::VolumeSpace;
