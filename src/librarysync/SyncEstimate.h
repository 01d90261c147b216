// What a sync will write, estimated before anything is read beyond the sources' first frames, so that a
// destination too small is found before the first file is converted.
#pragma once

#include "core/run/RunRequest.h"

#include <QString>

namespace librarysync {

// The average bit rate (kbit/s) LAME's -V quality gives on typical music, interpolated between the
// qualities whose averages are well known; 0 is the best and largest.
int vbrAverageKbps(int quality);

// The bytes one entry writes: a copy its source's size, a conversion the source's duration at the target
// bit rate (the VBR average when vbrQuality >= 0), nothing for the others.
qint64 estimatedBytes(const core::PreviewEntry& entry, int bitRate, int vbrQuality);

// "128 kbps・ステレオ", or "VBR V2・ジョイントステレオ" when VBR is on.
QString encodingText(int bitRate, int channelMode, int vbrQuality);

// 12345678 as "12,345,678".
QString byteCount(qint64 bytes);

} // namespace librarysync
