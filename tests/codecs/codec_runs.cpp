#include "codec_runs.h"

#include "core/convert/CodecSessions.h"

#include <QProcess>

namespace codecruns {

DecodeRun decode(const QString& mp3Path, const QString& wavPath) {
    DecodeRun run;
    core::DecoderSession session;
    if (!session.init()) {
        return run;
    }
    // The window's order of calls; what these two report is checked by the decoder's own tests.
    static_cast<void>(session.decoder().getFileInfo(mp3Path));
    codecs::TagRecord tag;
    static_cast<void>(session.decoder().getFileTagInfo(mp3Path, tag));
    int previous = 0;
    const core::DecodeResult result = core::decodeToWav(
        session, mp3Path, wavPath, [] {},
        [&](int position, int total) {
            run.positionsInRange = run.positionsInRange && position >= previous && position <= total;
            previous = position;
            run.lastPosition = position;
            return true;
        });
    run.opened = result.opened;
    run.totalLength = result.totalLength;
    run.finalState = result.finalState;
    if (run.opened && run.finalState != 1) {
        // The position of the final state is the end of what was decoded.
        int position = 0;
        static_cast<void>(session.decoder().getState(position));
        run.positionsInRange = run.positionsInRange && position >= previous && position <= result.totalLength;
        run.lastPosition = position;
    }
    return run;
}

EncodeRun encode(const QString& wavPath, const QString& mp3Path, int bitRate, int mode) {
    EncodeRun run;
    core::EncoderSession session;
    run.detectResult = session.setUp(wavPath, mp3Path, mode, bitRate);
    if (run.detectResult == 0) {
        run.frameCount = session.frameCount().valueOr(0);
        run.lastResult = core::encodeFrames(session, [&](int done, int frames) {
                             ++run.calls;
                             return done <= frames + 1000;
                         }).valueOr(-1);
    }
    return run;
}

QByteArray externalPcm(const QString& decoder, const QString& mp3Path) {
    QProcess process;
    if (decoder == u"mpg123"_qs) {
        process.start(decoder, {u"-q"_qs, u"--gapless"_qs, u"-s"_qs, mp3Path});
    } else {
        process.start(decoder, {u"-v"_qs, u"quiet"_qs, u"-i"_qs, mp3Path, u"-f"_qs, u"s16le"_qs, u"-"_qs});
    }
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return process.readAllStandardOutput();
}

qint64 externalSamples(const QString& decoder, const QString& mp3Path, int channels) {
    return externalPcm(decoder, mp3Path).size() / (2 * channels);
}

} // namespace codecruns
