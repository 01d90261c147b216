#pragma once

#include <QString>

// Texts and widths shared by the destination listing, the conversion queue and the work folder's
// labels. Plain functions, so that tests reach them without a window.
namespace ui {

// A byte count in the number format "#,##0": digits grouped by threes with ",", no decimals.
QString groupedNumber(qint64 value);

// "3個   変換前容量:12,345,678ﾊﾞｲﾄ": the queue's entry count and byte total.
QString queueTotalsText(int count, qint64 bytes);

// "12個   空き容量：1,234,567,890ﾊﾞｲﾄ": the destination's file count and free space.
QString destinationFreeText(int count, qint64 freeBytes);

// "空き容量：98,765,432ﾊﾞｲﾄ": the work folder's free space.
QString workFreeText(qint64 freeBytes);

// The horizontal scroll range, in pixels, that a queue entry needs: (CP932 bytes × 90 + 180) twips, the
// width the list's entries were given where the estimate came from.
int queueExtentFor(const QString& path);

} // namespace ui
