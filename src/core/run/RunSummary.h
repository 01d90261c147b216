// What a run did, as the one line printed at its end, and the time it has left.
#pragma once

#include <QString>

namespace core {

struct RunSummary {
    int converted = 0;
    int copied = 0;
    int skipped = 0;
    int failed = 0;
    int pruned = 0;
    qint64 bytesRead = 0;    // of the sources converted or copied
    qint64 bytesWritten = 0; // of the outputs they gave
    qint64 elapsedMs = 0;

    // "converted 3, copied 1, skipped 10, failed 0, pruned 2; read 12,345,678 bytes, wrote 4,567,890
    // bytes in 12.3 s"
    QString text() const;
};

// The time left, from the audio done and still to do: the time so far scaled by the audio still to do.
// -1 while too little is done to tell.
qint64 timeLeftMs(qint64 doneAudioMs, qint64 totalAudioMs, qint64 elapsedMs);

// A source's audio duration for the time left: estimated from its first frames, else from its size at
// 128 kbit/s.
[[nodiscard]] qint64 audioDurationMs(const QString& source);

// "0:42", "12:05", "1:02:03".
QString clockText(qint64 ms);

} // namespace core
