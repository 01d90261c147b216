// The decoder's and the encoder's one-session call protocol, written once. Each session object owns what
// its library set up and releases it when it goes out of scope, whatever path the caller leaves by, so
// no caller repeats the close/free (close/end) pairs on every early return.
#pragma once

#include "codecs/decoder.h"
#include "codecs/encoder.h"
#include "core/Result.h"

#include <QString>
#include <functional>

namespace core {

// vbmp3_init ... vbmp3_close + vbmp3_free. The library keeps one current file per process.
class DecoderSession {
  public:
    DecoderSession() = default;
    ~DecoderSession();
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;

    // vbmp3_init; false when the decoder cannot be set up (then nothing is due at the end).
    [[nodiscard]] bool init();
    // vbmp3_close + vbmp3_free now, when init() succeeded and they are still due.
    void end();
    codecs::Decoder& decoder() { return m_decoder; }

  private:
    codecs::Decoder m_decoder;
    bool m_setUp = false;
};

// MPGE_initializeWorkVB ... MPGE_closeCoderVB + MPGE_endCoderVB, with the configuration items in the
// order the library expects them.
class EncoderSession {
  public:
    EncoderSession() = default;
    ~EncoderSession();
    EncoderSession(const EncoderSession&) = delete;
    EncoderSession& operator=(const EncoderSession&) = delete;

    // initializeWork, and on success getUnitStates, setConfigure 1, 2, 6 (44100), 3, 4 and
    // detectConfigure. Returns -1 when initializeWork failed (nothing is then due), else the first
    // setConfigure result that is not 0, or the check's result (0: ready; anything else: the encoding is
    // closed again before returning).
    // A `vbrQuality` of 0..9 (variable bit rate) and a `gainCentiDb` other than 0 are set after the bit
    // rate; left at their defaults nothing more is set, as the window's conversion expects.
    [[nodiscard]] int setUp(const QString& wavPath, const QString& mp3Path, int channelMode, int bitRate,
                            int vbrQuality = -1, int gainCentiDb = 0);
    // The frame count the encoding takes (configuration item 15); a failure when the library does not
    // tell it.
    [[nodiscard]] Expected<int> frameCount();
    // MPGE_processFrameVB.
    [[nodiscard]] int processFrame() { return m_encoder.processFrame(); }
    // MPGE_closeCoderVB + MPGE_endCoderVB now, when still due.
    void end();

  private:
    codecs::Encoder m_encoder;
    bool m_setUp = false;
};

struct DecodeResult {
    bool opened = false;  // vbmp3_open succeeded
    int totalLength = 0;  // from the input information record
    int finalState = 1;   // the first vbmp3_getState result other than 1
    bool stopped = false; // `poll` asked to stop
};

// One decoding of an MP3 file into a WAV file on a set-up decoder: open, decodeWave (then `started` is
// called), then getState until it is not 1. After each running state `poll` gets the position and the
// total length and returns false to stop early. The decoder is left open: the session's end() closes it.
[[nodiscard]] DecodeResult decodeToWav(DecoderSession& session, const QString& mp3Path,
                                       const QString& wavPath, const std::function<void()>& started,
                                       const std::function<bool(int position, int totalLength)>& poll);

// One encoding of a set-up encoder: processFrame until the result is not 0. After each call `poll` gets
// the number of frames done before it and the frame count, and returns false to stop early (the result
// is then the last processFrame result, normally 0). A failure when the frame count cannot be read.
[[nodiscard]] Expected<int> encodeFrames(EncoderSession& session,
                                         const std::function<bool(int done, int frameCount)>& poll);

} // namespace core
