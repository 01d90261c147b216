#include "core/run/RunSummary.h"

#include "codecs/codec_error.h"
#include "codecs/decoder.h"

#include <QFileInfo>

#include <QLocale>
#include <algorithm>

namespace core {

QString RunSummary::text() const {
    const QLocale c(QLocale::English, QLocale::UnitedStates); // grouped by threes with commas
    return QStringLiteral("converted %1, copied %2, skipped %3, failed %4, pruned %5; read %6 bytes, wrote "
                          "%7 bytes in %8 s")
        .arg(converted)
        .arg(copied)
        .arg(skipped)
        .arg(failed)
        .arg(pruned)
        .arg(c.toString(bytesRead), c.toString(bytesWritten))
        .arg(double(elapsedMs) / 1000.0, 0, 'f', 1);
}

qint64 timeLeftMs(qint64 doneAudioMs, qint64 totalAudioMs, qint64 elapsedMs) {
    // Below a second of audio or of time the rate is mostly start-up cost.
    if (doneAudioMs < 1000 || elapsedMs < 1000)
        return -1;
    const qint64 left = std::max<qint64>(0, totalAudioMs - doneAudioMs);
    return qint64(double(elapsedMs) * double(left) / double(doneAudioMs));
}

QString clockText(qint64 ms) {
    const qint64 seconds = (ms + 500) / 1000;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(two(seconds / 60 % 60), two(seconds % 60));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(two(seconds % 60));
}

qint64 audioDurationMs(const QString& source) {
    try {
        if (const auto estimate = codecs::Decoder().estimateFileInfo(source))
            return estimate->durationMs;
    } catch (const codecs::CodecError&) {
        // The decoder library cannot be loaded: the size gives an estimate good enough for a time left.
    }
    return QFileInfo(source).size() / 16;
}

} // namespace core
