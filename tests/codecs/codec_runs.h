// Whole decoder and encoder runs through the bindings, in the order the conversion makes its calls.
#pragma once

#include <QByteArray>
#include <QString>

namespace codecruns {

struct DecodeRun {
    bool opened = false;
    int totalLength = 0;
    int finalState = 1;
    int lastPosition = 0;
    bool positionsInRange = true; // every position seen lay within 0..totalLength and never went back
};

// init, getFileInfo, getFileTagInfo, open, decodeWave, getState until it is not 1, close, free.
DecodeRun decode(const QString& mp3Path, const QString& wavPath);

struct EncodeRun {
    int detectResult = -1;
    int frameCount = 0;
    int calls = 0;
    int lastResult = -1;
};

// initializeWork, getUnitStates, setConfigure 1, 2, 6, 3, 4, detectConfigure, then getConfigure(15) and
// processFrame until it returns something other than 0; closeCoder and endCoder at the end.
EncodeRun encode(const QString& wavPath, const QString& mp3Path, int bitRate, int mode);

// The 16-bit PCM that another decoder gives for the file: "mpg123" (mpg123 --gapless) or "ffmpeg"; empty
// when it fails to run.
QByteArray externalPcm(const QString& decoder, const QString& mp3Path);
// Its samples per channel.
qint64 externalSamples(const QString& decoder, const QString& mp3Path, int channels);

} // namespace codecruns
