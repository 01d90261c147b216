// Loudness as EBU R128 measures it (libebur128): integrated loudness and true peak of decoded audio, and
// the gain that brings a file or a folder to a target loudness without going past a true-peak ceiling.
#pragma once

#include "core/Result.h"

#include <QFile>
#include <QList>
#include <QString>
#include <cmath>
#include <optional>
#include <vector>

namespace core {

// The highest true peak an evened-out file may have, and the room left below it for the overshoot that
// MP3 encoding adds to a signal's peaks.
constexpr double TruePeakCeiling = -1.0;
constexpr double EncodingHeadroom = 0.5;
// How far the true peak of decoded MP3 audio (band-limited) lies above its sample peak: 3 dB is the worst
// case of a sine (a quarter of the sample rate, sampled 45 degrees off its crests), and the encoding
// headroom adds half a dB. Only files whose sample peak comes this close to the ceiling after the gain
// get the costly true-peak measurement (four times oversampled): those turned up, rarely those turned down.
constexpr double TruePeakOvershoot = 3.0;

struct WavFormat {
    int channels = 0;
    int rate = 0;
};

// Walks the RIFF chunks of a 16-bit PCM WAV file up to "data", leaving the file there. The data chunk's
// size is not used: a file still being written holds a provisional one.
[[nodiscard]] bool readWavHeader(QFile& file, WavFormat& format);

class LoudnessMeter {
  public:
    // `truePeak`: the true peak is measured (four times oversampled); else only the far cheaper sample peak.
    explicit LoudnessMeter(bool truePeak);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Measures a 16-bit PCM WAV file (the decoder's work file), or the rest of it after follow(). False
    // when it cannot be read.
    [[nodiscard]] bool measureWav(const QString& path);
    // Measures a WAV file the decoder is still writing, while it writes: each call takes the whole frames
    // that reached the file since the last one, so the measuring runs beside the decoding. False once
    // the file cannot be read.
    [[nodiscard]] bool follow(const QString& path, bool complete = false);
    // Integrated loudness in LUFS; -infinity for silence or audio too short to measure.
    [[nodiscard]] double integrated() const;
    // The length of the audio measured so far.
    [[nodiscard]] double durationSeconds() const;
    // Highest peak of all channels in dB (true peak in dBTP when measured so); -infinity for silence.
    [[nodiscard]] double peak() const;
    // The integrated loudness of several files taken as one (an album), gating over all of them.
    [[nodiscard]] static double combined(const QList<const LoudnessMeter*>& meters);

  private:
    [[nodiscard]] bool fail();

    const bool m_truePeak;
    // libebur128's state, kept opaque so that its header stays inside the loudness code.
    struct EbuState* m_state = nullptr;
    QFile m_file;
    qint64 m_frameBytes = 0;
    std::vector<qint16> m_samples;
    qint64 m_frames = 0;
    bool m_failed = false;
};

// The gain in dB that brings audio of `loudness` LUFS to `target`, lowered where needed so that the true
// peak stays at or below the ceiling (less the encoding headroom); 0 for audio without measurable loudness.
[[nodiscard]] double normalizingGain(double loudness, double truePeak, double target);

struct TrackGain {
    double gain = 0.0;           // dB
    double loudness = -HUGE_VAL; // LUFS measured
};

// The gain of one decoded file (a WAV work file) for normalizing it to `target`; the true peak is measured
// only where the sample peak leaves too little room. Fails when the file cannot be read.
// `followed`: a meter that has followed the decoding so far (it is completed here). `encodingLoss`: what
// the encoding will take away (LU, negative), made up for by the gain as far as the true peak allows.
Expected<TrackGain> trackGain(const QString& wavPath, double target, LoudnessMeter* followed = nullptr,
                              double encodingLoss = 0.0);

// The text of the TXXX frame that records the gain an output got (see the README).
[[nodiscard]] QString gainRecord(double gain, bool album, double loudness, double target);

// The description of that frame.
[[nodiscard]] QString gainRecordName();

} // namespace core
