// The lines a conversion worker process and its parent exchange. The parent writes one job line to the
// worker's standard input; the worker answers on its standard output with one line per event, the last
// being the outcome. Every line is UTF-8 and ends with LF; texts travel as JSON so that any path fits.
//
//   parent -> worker:  {"source": …, "workFolder": …, "bitRate": 128, "channelMode": 1, "syncRecord": …,
//                       "copySource": false}, plus the command line's player options when set:
//                      "vbrQuality", "id3v23", "coverMax", "normalize" (1 track, 2 album), "targetLufs",
//                      "albumLoudness", "albumPeak", "albumLoss"
//   worker -> parent:  started
//                      decoding "<song text>"
//                      progress <percent>
//                      outcome {"failure": <n>, "code": <n>, "reason": …, "cause": …, "notes": […]}
#pragma once

#include "core/convert/ConversionJob.h"

#include <QByteArray>
#include <optional>

namespace core::protocol {

QByteArray jobLine(const ConversionJob& job);
std::optional<ConversionJob> parseJobLine(const QByteArray& line);

QByteArray startedLine();
QByteArray decodingLine(const QString& songText);
QByteArray progressLine(int percent);
QByteArray outcomeLine(const Outcome& outcome);

// One line from a worker, parsed.
struct WorkerEvent {
    enum Kind { Started, Decoding, Progress, Finished, Unknown } kind = Unknown;
    QString songText;
    int percent = 0;
    Outcome outcome;
};
WorkerEvent parseWorkerLine(const QByteArray& line);

} // namespace core::protocol
