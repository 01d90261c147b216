#include "core/covers/CoverFit.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace core {

std::optional<QSize> baselineJpegSize(const QByteArray& data) {
    const auto byte = [&](qsizetype at) { return at < data.size() ? quint8(data[at]) : 0; };
    if (byte(0) != 0xFF || byte(1) != 0xD8)
        return std::nullopt;
    // Walk the marker segments up to the first frame header; SOF0 is baseline, every other SOFn not.
    qsizetype at = 2;
    while (at + 4 <= data.size()) {
        if (byte(at) != 0xFF)
            return std::nullopt;
        const quint8 marker = byte(at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const int length = (byte(at + 2) << 8) | byte(at + 3);
        if (marker == 0xC0) {
            if (at + 9 > data.size())
                return std::nullopt;
            const int height = (byte(at + 5) << 8) | byte(at + 6);
            const int width = (byte(at + 7) << 8) | byte(at + 8);
            return QSize(width, height);
        }
        const bool otherFrame =
            marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (otherFrame || marker == 0xDA || length < 2)
            return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

FittedCover fitCover(const QByteArray& data, int maxSide) {
    const std::optional<QSize> baseline = baselineJpegSize(data);
    if (baseline && baseline->width() <= maxSide && baseline->height() <= maxSide && !baseline->isEmpty())
        return {};

    QBuffer input;
    input.setData(data);
    QImageReader reader(&input);
    const QSize size = reader.size();
    if (!size.isValid())
        return {FittedCover::Undecodable, {}};
    const QSize target = size.width() > maxSide || size.height() > maxSide
                             ? size.scaled(maxSide, maxSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
                             : size;
    // The JPEG reader scales while it decodes (far less work and memory for a large cover); the smooth
    // scaling below finishes the job where it stopped short.
    if (reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return {FittedCover::Undecodable, {}};
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.hasAlphaChannel()) {
        // JPEG has no transparency: what shows through is white, as on most players' backgrounds.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = opaque;
    }

    QBuffer output;
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(CoverJpegQuality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
        return {FittedCover::Undecodable, {}};
    return {FittedCover::Replaced, output.data()};
}

} // namespace core
