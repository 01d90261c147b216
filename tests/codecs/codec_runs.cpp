#include "codec_runs.h"

#include "codecs/decoder.h"
#include "codecs/encoder.h"

#include <QThread>

namespace codecruns {

DecodeRun decode(const QString& mp3Path, const QString& wavPath) {
    DecodeRun run;
    codecs::Decoder decoder;
    if (!decoder.init()) {
        return run;
    }
    decoder.getFileInfo(mp3Path);
    codecs::TagRecord tag;
    decoder.getFileTagInfo(mp3Path, tag);
    codecs::InputInfo info;
    run.opened = decoder.open(mp3Path, info);
    if (run.opened) {
        run.totalLength = info.totalLength;
        decoder.decodeWave(wavPath);
        int previous = 0;
        for (;;) {
            int position = 0;
            run.finalState = decoder.getState(position);
            run.positionsInRange =
                run.positionsInRange && position >= previous && position <= info.totalLength;
            previous = position;
            run.lastPosition = position;
            if (run.finalState != 1) {
                break;
            }
            QThread::yieldCurrentThread();
        }
    }
    decoder.close();
    decoder.free();
    return run;
}

EncodeRun encode(const QString& wavPath, const QString& mp3Path, int bitRate, int mode) {
    EncodeRun run;
    codecs::Encoder encoder;
    if (encoder.initializeWork() != 0) {
        return run;
    }
    encoder.getUnitStates();
    encoder.setConfigure(codecs::Encoder::InputFile, 0, wavPath);
    encoder.setConfigure(codecs::Encoder::OutputFile, 0, mp3Path);
    encoder.setConfigure(codecs::Encoder::OutputRate, 44100);
    encoder.setConfigure(codecs::Encoder::Mode, mode);
    encoder.setConfigure(codecs::Encoder::BitRate, bitRate);
    run.detectResult = encoder.detectConfigure();
    if (run.detectResult == 0) {
        encoder.getConfigure(codecs::Encoder::FrameCount, run.frameCount);
        do {
            run.lastResult = encoder.processFrame();
            ++run.calls;
        } while (run.lastResult == 0 && run.calls <= run.frameCount + 1000);
    }
    encoder.closeCoder();
    encoder.endCoder();
    return run;
}

} // namespace codecruns
