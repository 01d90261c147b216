#include "core/convert/CodecSessions.h"

#include <QList>
#include <QThread>

namespace core {

DecoderSession::~DecoderSession() {
    // A library that failed is the very thing being released here; a second failure adds nothing, and the
    // first was reported where it happened.
    try {
        end();
    } catch (...) {
        // Nothing is lost: the first failure was reported where it happened.
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
    // As for the decoder: the failing library is what is being released, and a destructor has no one to
    // tell; the failure that mattered was reported where it happened.
    try {
        end();
    } catch (...) {
        // Nothing is lost: the first failure was reported where it happened.
    }
}

int EncoderSession::setUp(const QString& wavPath, const QString& mp3Path, int channelMode, int bitRate,
                          int vbrQuality, int gainCentiDb) {
    if (m_encoder.initializeWork() != 0)
        return -1;
    m_setUp = true;
    // A step of the protocol; what it reports (the processing units) changes nothing here.
    static_cast<void>(m_encoder.getUnitStates());
    struct Item {
        int item;
        int number;
        QString text;
    };
    QList<Item> items{{codecs::Encoder::InputFile, 0, wavPath},
                      {codecs::Encoder::OutputFile, 0, mp3Path},
                      {codecs::Encoder::OutputRate, 44100, {}},
                      {codecs::Encoder::Mode, channelMode, {}},
                      {codecs::Encoder::BitRate, bitRate, {}}};
    if (vbrQuality >= 0)
        items.append({codecs::Encoder::VbrQuality, vbrQuality, {}});
    if (gainCentiDb != 0)
        items.append({codecs::Encoder::Gain, gainCentiDb, {}});
    // An item the library refuses (one it does not know) would otherwise be dropped without a word, and
    // the file encoded at other settings than asked: the refusal counts as a failed check.
    int check = 0;
    for (const Item& item : items) {
        check = m_encoder.setConfigure(item.item, item.number, item.text);
        if (check != 0)
            break;
    }
    if (check == 0)
        check = m_encoder.detectConfigure();
    if (check != 0)
        end();
    return check;
}

Expected<int> EncoderSession::frameCount() {
    int frames = 0;
    if (const int rc = m_encoder.getConfigure(codecs::Encoder::FrameCount, frames); rc != 0)
        return Error{QStringLiteral("the encoder did not tell its frame count (error %1)").arg(rc)};
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
    // A decoding that could not start shows in the first getState below, which tells why; the loop ends
    // on it like on any other failure.
    static_cast<void>(session.decoder().decodeWave(wavPath));
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

Expected<int> encodeFrames(EncoderSession& session, const std::function<bool(int, int)>& poll) {
    const Expected<int> count = session.frameCount();
    if (!count)
        return Error{count.reason()};
    const int frames = *count;
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
