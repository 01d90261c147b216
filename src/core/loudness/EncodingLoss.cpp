#include "core/loudness/EncodingLoss.h"

#include "core/convert/CodecSessions.h"
#include "core/files/FileHelpers.h"
#include "core/loudness/Loudness.h"
#include "vbmp3.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace core {
namespace {

// Excerpts of 1.5 s spread over the file, 4 % of it in all, at least 6 s and at most 12 s: enough for a
// loudness measurement of its spectrum, little beside the encoding of the whole file.
constexpr double ExcerptSeconds = 1.5;
constexpr double TrialShare = 0.04;
constexpr double ShortestTrialSeconds = 6.0;
constexpr double LongestTrialSeconds = 12.0;

QByteArray wavHeader(const WavFormat& format, quint32 dataBytes) {
    QByteArray header(44, '\0');
    char* h = header.data();
    const quint16 blockAlign = quint16(format.channels * 2);
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + dataBytes, h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(quint16(format.channels), h + 22);
    qToLittleEndian<quint32>(quint32(format.rate), h + 24);
    qToLittleEndian<quint32>(quint32(format.rate) * blockAlign, h + 28);
    qToLittleEndian<quint16>(blockAlign, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(dataBytes, h + 40);
    return header;
}

// The excerpts of `wavPath`, as a WAV file of their own; false when the source cannot be read.
bool writeExcerpts(const QString& wavPath, const QString& trialPath) {
    QFile in(wavPath);
    WavFormat format;
    if (!in.open(QIODevice::ReadOnly) || !readWavHeader(in, format))
        return false;
    const qint64 frameBytes = qint64(format.channels) * 2;
    const qint64 dataStart = in.pos();
    const qint64 frames = (in.size() - dataStart) / frameBytes;
    const qint64 excerpt = qint64(ExcerptSeconds * format.rate);
    const qint64 trial =
        std::clamp(qint64(double(frames) * TrialShare), qint64(ShortestTrialSeconds * format.rate),
                   qint64(LongestTrialSeconds * format.rate));
    const qint64 count = frames <= trial ? 1 : std::max<qint64>(1, trial / excerpt);
    const qint64 length = count == 1 ? std::min(frames, trial) : excerpt;
    QByteArray data;
    data.reserve(int(count * length * frameBytes));
    for (qint64 i = 0; i < count; ++i) {
        // Evenly spread: the middle of each of `count` equal parts.
        const qint64 start =
            count == 1 ? (frames - length) / 2 : (2 * i + 1) * frames / (2 * count) - length / 2;
        if (!in.seek(dataStart + std::max<qint64>(0, start) * frameBytes))
            return false;
        const QByteArray piece = in.read(length * frameBytes);
        if (piece.size() != length * frameBytes)
            return false;
        data += piece;
    }
    QFile out(trialPath);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           out.write(wavHeader(format, quint32(data.size()))) == 44 && out.write(data) == data.size() &&
           out.flush();
}

std::optional<double> loudnessOf(const QString& wavPath) {
    LoudnessMeter meter(false);
    if (!meter.measureWav(wavPath) || !std::isfinite(meter.integrated()))
        return std::nullopt;
    return meter.integrated();
}

} // namespace

std::optional<double> encodingLoss(const QString& wavPath, const ConversionJob& job,
                                   const QString& workFolder) {
    const QDir work(workFolder);
    const QString excerpts = work.filePath(QStringLiteral("LossTrial.wav"));
    const QString encoded = work.filePath(QStringLiteral("LossTrial.mp3"));
    const QString decoded = work.filePath(QStringLiteral("LossTrialOut.wav"));
    // Trial files that stay are replaced by the next trial in the same folder; the loss is measured either
    // way.
    const auto removeTrial = qScopeGuard([&] {
        static_cast<void>(DeleteFileForced(excerpts));
        static_cast<void>(DeleteFileForced(encoded));
        static_cast<void>(DeleteFileForced(decoded));
    });
    if (!writeExcerpts(wavPath, excerpts))
        return std::nullopt;
    const std::optional<double> before = loudnessOf(excerpts);
    if (!before)
        return std::nullopt;
    {
        EncoderSession session;
        if (session.setUp(excerpts, encoded, job.channelMode, job.bitRate, job.vbrQuality) != 0)
            return std::nullopt;
        const Expected<int> result = encodeFrames(session, [](int, int) { return true; });
        if (!result || *result != codecs::Encoder::AllFramesDone)
            return std::nullopt;
    }
    {
        DecoderSession session;
        if (!session.init())
            return std::nullopt;
        const DecodeResult result = decodeToWav(
            session, encoded, decoded, [] {}, [](int, int) { return true; });
        if (!result.opened || result.finalState != VBMP3_STATE_DONE)
            return std::nullopt;
    }
    const std::optional<double> after = loudnessOf(decoded);
    if (!after)
        return std::nullopt;
    return *after - *before;
}

} // namespace core
