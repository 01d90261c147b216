#include "core/loudness/Loudness.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <vector>

namespace core {

struct EbuState {
    ebur128_state* handle = nullptr;
};

constexpr qint64 FramesPerRead = 1 << 15;

// Only 16-bit PCM is taken.
bool readWavHeader(QFile& file, WavFormat& format) {
    const QByteArray riff = file.read(12);
    if (riff.size() != 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return false;
    for (;;) {
        const QByteArray header = file.read(8);
        if (header.size() != 8)
            return false;
        const quint32 size = qFromLittleEndian<quint32>(header.constData() + 4);
        if (header.startsWith("data"))
            return format.channels > 0 && format.rate > 0;
        const QByteArray body = file.read(size + (size & 1));
        if (header.startsWith("fmt ")) {
            if (body.size() < 16 || qFromLittleEndian<quint16>(body.constData()) != 1 ||
                qFromLittleEndian<quint16>(body.constData() + 14) != 16)
                return false;
            format.channels = qFromLittleEndian<quint16>(body.constData() + 2);
            format.rate = int(qFromLittleEndian<quint32>(body.constData() + 4));
        }
    }
}

LoudnessMeter::LoudnessMeter(bool truePeak) : m_truePeak(truePeak) {}

LoudnessMeter::~LoudnessMeter() {
    if (m_state) {
        ebur128_destroy(&m_state->handle);
        delete m_state;
    }
}

bool LoudnessMeter::measureWav(const QString& path) {
    return follow(path, true);
}

bool LoudnessMeter::follow(const QString& path, bool complete) {
    if (m_failed)
        return false;
    if (!m_file.isOpen()) {
        m_file.setFileName(path);
        // The writer puts its header down with the first block of samples; until then there is nothing.
        if (!m_file.open(QIODevice::ReadOnly) || (!complete && m_file.size() < 4096))
            return m_file.close(), true;
        WavFormat format;
        if (!readWavHeader(m_file, format))
            return fail();
        // The histogram keeps the state small however long the audio is; its resolution (0.1 LU) is far
        // below what anyone hears.
        ebur128_state* made =
            ebur128_init(unsigned(format.channels), unsigned(format.rate),
                         EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM |
                             (m_truePeak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK));
        if (!made)
            return fail();
        m_state = new EbuState{made};
        m_frameBytes = qint64(format.channels) * 2;
        m_samples.resize(size_t(FramesPerRead * format.channels));
    }
    // Whole frames only: the writer's last block may end inside one.
    qint64 left = (m_file.size() - m_file.pos()) / m_frameBytes;
    while (left > 0) {
        const qint64 want = std::min(left, FramesPerRead);
        if (m_file.read(reinterpret_cast<char*>(m_samples.data()), want * m_frameBytes) !=
            want * m_frameBytes)
            return fail();
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
            for (qint16& sample : m_samples)
                sample = qFromLittleEndian(sample);
        }
        if (ebur128_add_frames_short(m_state->handle, m_samples.data(), size_t(want)) != EBUR128_SUCCESS)
            return fail();
        m_frames += want;
        left -= want;
    }
    if (complete)
        m_file.close();
    return true;
}

bool LoudnessMeter::fail() {
    m_failed = true;
    m_file.close();
    return false;
}

double LoudnessMeter::integrated() const {
    double loudness = -HUGE_VAL;
    if (!m_state || ebur128_loudness_global(m_state->handle, &loudness) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return loudness;
}

double LoudnessMeter::durationSeconds() const {
    return m_state ? double(m_frames) / m_state->handle->samplerate : 0.0;
}

double LoudnessMeter::peak() const {
    double highest = 0.0;
    const bool truePeak = m_truePeak;
    for (unsigned channel = 0; m_state && channel < m_state->handle->channels; ++channel) {
        double peak = 0.0;
        const int result = truePeak ? ebur128_true_peak(m_state->handle, channel, &peak)
                                    : ebur128_sample_peak(m_state->handle, channel, &peak);
        if (result == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest > 0.0 ? 20.0 * std::log10(highest) : -HUGE_VAL;
}

double LoudnessMeter::combined(const QList<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* meter : meters) {
        if (meter->m_state)
            states.push_back(meter->m_state->handle);
    }
    double loudness = -HUGE_VAL;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return loudness;
}

double normalizingGain(double loudness, double truePeak, double target) {
    if (!std::isfinite(loudness))
        return 0.0;
    double gain = target - loudness;
    if (std::isfinite(truePeak))
        gain = std::min(gain, TruePeakCeiling - EncodingHeadroom - truePeak);
    // The encoder takes at most ±60 dB; nothing real needs more.
    return std::clamp(gain, -60.0, 60.0);
}

Expected<TrackGain> trackGain(const QString& wavPath, double target, LoudnessMeter* followed,
                              double encodingLoss) {
    const Error unreadable{QStringLiteral("the decoded audio could not be read to measure its loudness")};
    LoudnessMeter own(false);
    LoudnessMeter& meter = followed ? *followed : own;
    if (!meter.measureWav(wavPath))
        return unreadable;
    TrackGain result;
    result.loudness = meter.integrated();
    const double afterEncoding = result.loudness + encodingLoss;
    result.gain = normalizingGain(afterEncoding, meter.peak() + TruePeakOvershoot, target);
    if (result.gain < normalizingGain(afterEncoding, -HUGE_VAL, target)) {
        // The sample peak leaves too little room: the true peak decides.
        LoudnessMeter exact(true);
        if (!exact.measureWav(wavPath))
            return unreadable;
        result.gain = normalizingGain(afterEncoding, exact.peak(), target);
    }
    return result;
}

QString gainRecordName() {
    return QStringLiteral("MP3RECAST_GAIN");
}

QString gainRecord(double gain, bool album, double loudness, double target) {
    const QString measured = std::isfinite(loudness) ? QStringLiteral("%1 LUFS").arg(loudness, 0, 'f', 2)
                                                     : QStringLiteral("silent");
    return QStringLiteral("%1 dB; %2; measured %3; target %4 LUFS")
        .arg(gain, 0, 'f', 2)
        .arg(album ? QStringLiteral("album") : QStringLiteral("track"), measured)
        .arg(target, 0, 'f', 1);
}

} // namespace core
