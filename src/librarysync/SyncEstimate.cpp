#include "librarysync/SyncEstimate.h"
#include "core/run/RunSummary.h"

#include "codecs/decoder.h"

#include <QFileInfo>
#include <QLocale>
#include <array>
#include <utility>

namespace librarysync {

int vbrAverageKbps(int quality) {
    static constexpr std::array<std::pair<int, int>, 5> known{
        {{0, 245}, {2, 190}, {4, 165}, {6, 130}, {9, 65}}};
    if (quality <= known.front().first)
        return known.front().second;
    for (std::size_t i = 1; i < known.size(); ++i) {
        const auto [q1, kbps1] = known[i];
        if (quality <= q1) {
            const auto [q0, kbps0] = known[i - 1];
            return kbps0 + (kbps1 - kbps0) * (quality - q0) / (q1 - q0);
        }
    }
    return known.back().second;
}

qint64 estimatedBytes(const core::PreviewEntry& entry, int bitRate, int vbrQuality) {
    switch (entry.action) {
    case core::PreviewEntry::Action::Copy:
        return entry.bytes;
    case core::PreviewEntry::Action::Convert: {
        const int kbps = vbrQuality >= 0 ? vbrAverageKbps(vbrQuality) : bitRate;
        // kbit/s × ms / 8 is bytes.
        return core::audioDurationMs(entry.source) * kbps / 8;
    }
    default:
        return 0;
    }
}

QString encodingText(int bitRate, int channelMode, int vbrQuality) {
    const QString rate =
        vbrQuality >= 0 ? QStringLiteral("VBR V%1").arg(vbrQuality) : QStringLiteral("%1 kbps").arg(bitRate);
    const QString channels = channelMode == 0   ? QStringLiteral("モノラル")
                             : channelMode == 2 ? QStringLiteral("ジョイントステレオ")
                                                : QStringLiteral("ステレオ");
    return rate + QStringLiteral("・") + channels;
}

QString byteCount(qint64 bytes) {
    return QLocale(QLocale::English).toString(bytes);
}

} // namespace librarysync
