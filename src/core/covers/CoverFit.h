// Embedded pictures made into what car stereos and older players show: a baseline JPEG no larger than a
// given number of pixels a side. Qt's image I/O decodes every common picture format (JPEG of any kind,
// PNG, GIF, BMP) and writes the JPEG.
#pragma once

#include <QByteArray>
#include <QSize>
#include <optional>

namespace core {

// Quality of a re-encoded picture: well above visible loss at cover sizes.
constexpr int CoverJpegQuality = 88;

// The frame size of a baseline JPEG (sequential DCT, the SOF0 marker); nullopt for anything else
// (progressive or other JPEG, other formats, damage).
[[nodiscard]] std::optional<QSize> baselineJpegSize(const QByteArray& data);

struct FittedCover {
    enum Result { Kept, Replaced, Undecodable } result = Kept;
    QByteArray jpeg; // Replaced: the new picture
};

// A picture larger than maxSide × maxSide, or not a baseline JPEG, re-encoded as a baseline JPEG that
// fits, its aspect ratio kept; a baseline JPEG that fits is kept as it is. A picture Qt cannot decode is
// Undecodable (and kept).
[[nodiscard]] FittedCover fitCover(const QByteArray& data, int maxSide);

} // namespace core
