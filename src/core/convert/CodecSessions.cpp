#include "core/convert/CodecSessions.h"

#include <QThread>

namespace core {

DecoderSession::~DecoderSession() {
    // A library that failed is the very thing being released here; a second failure adds nothing.
    try {
        end();
    } catch (...) {
    }
}

bool DecoderSession::init() {
    m_setUp = m_decoder.init();
    return m_setUp;
}

void DecoderSession::end() {
    if (!m_setUp)
        return;
    m_setUp = false;
    m_decoder.close();
    m_decoder.free();
}

EncoderSession::~EncoderSession() {
    try {
        end();
    } catch (...) {
    }
}

int EncoderSession::setUp(const QString& wavPath, const QString& mp3Path, int channelMode, int bitRate,
                          int vbrQuality, int gainCentiDb) {
    if (m_encoder.initializeWork() != 0)
        return -1;
    m_setUp = true;
    m_encoder.getUnitStates();
    m_encoder.setConfigure(codecs::Encoder::InputFile, 0, wavPath);
    m_encoder.setConfigure(codecs::Encoder::OutputFile, 0, mp3Path);
    m_encoder.setConfigure(codecs::Encoder::OutputRate, 44100);
    m_encoder.setConfigure(codecs::Encoder::Mode, channelMode);
    m_encoder.setConfigure(codecs::Encoder::BitRate, bitRate);
    if (vbrQuality >= 0)
        m_encoder.setConfigure(codecs::Encoder::VbrQuality, vbrQuality);
    if (gainCentiDb != 0)
        m_encoder.setConfigure(codecs::Encoder::Gain, gainCentiDb);
    const int check = m_encoder.detectConfigure();
    if (check != 0)
        end();
    return check;
}

int EncoderSession::frameCount() {
    int frames = 0;
    m_encoder.getConfigure(codecs::Encoder::FrameCount, frames);
    return frames;
}

void EncoderSession::end() {
    if (!m_setUp)
        return;
    m_setUp = false;
    m_encoder.closeCoder();
    m_encoder.endCoder();
}

DecodeResult decodeToWav(DecoderSession& session, const QString& mp3Path, const QString& wavPath,
                         const std::function<void()>& started, const std::function<bool(int, int)>& poll) {
    DecodeResult result;
    codecs::InputInfo info;
    result.opened = session.decoder().open(mp3Path, info);
    if (!result.opened)
        return result;
    result.totalLength = info.totalLength;
    session.decoder().decodeWave(wavPath);
    started();
    for (;;) {
        int position = 0;
        result.finalState = session.decoder().getState(position);
        if (result.finalState != 1)
            break;
        if (!poll(position, info.totalLength)) {
            result.stopped = true;
            break;
        }
        // The decoder works on its own thread; polling it flat out would only take a core from it.
        QThread::usleep(500);
    }
    return result;
}

int encodeFrames(EncoderSession& session, const std::function<bool(int, int)>& poll) {
    const int frames = session.frameCount();
    int done = 0;
    int result = 0;
    do {
        result = session.processFrame();
        if (!poll(done, frames))
            break;
        ++done;
    } while (result == codecs::Encoder::FrameDone);
    return result;
}

} // namespace core
