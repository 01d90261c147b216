#pragma once

#include <QString>

// The baseline of the conversion benchmark: the same decode-to-WAV-file and encode-from-WAV-file work,
// done with direct libmpg123 and LAME calls in this process (gapless decoding, 44100 Hz output, CBR
// joint stereo, the Info tag written at the start).
bool convertDirectly(const QString& mp3, const QString& wav, const QString& out, int bitRate);

// Writes a long MP3 file (a sine tone) in pieces, so that making it needs little memory.
bool writeLongMp3(const QString& path, int seconds);
