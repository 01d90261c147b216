// What an output was made from, kept inside the output itself (a TXXX frame of its ID3v2 tag) so that the
// record travels with the file: the source's size, modification time and content hash, and the settings
// that shape the output. A later run compares it with the source to tell whether the output is up to date.
#pragma once

#include "core/Result.h"

#include "core/convert/ConversionJob.h"

#include <QString>
#include <optional>

namespace core {

struct SyncRecord {
    qint64 sourceSize = -1;
    qint64 sourceModifiedMs = 0; // milliseconds since the epoch
    QString sourceHash;          // contentHash() of the source, hex
    QString sourceSum;           // wholeContentHash() of the source, hex; empty in older records
    QString settings;            // outputSettings() of the run that made the output
    bool copied = false;         // the source's own bytes (a source not worth re-encoding)

    // One line: "1 size=… mtime=… hash=… sum=… copied=0|1 settings=…" (the settings last: they hold
    // blanks). Records of earlier versions have no sum, and earlier versions pass over it.
    [[nodiscard]] QString text() const;
    [[nodiscard]] static std::optional<SyncRecord> parse(const QString& text);
    bool operator==(const SyncRecord&) const = default;
};

// The description of the TXXX frame that holds the record.
[[nodiscard]] QString syncRecordDescription();

// Every option of a job that changes the output's bytes, as one text ("b=128 m=stereo"). An option that
// shapes the output adds itself here, so that outputs made with another value of it count as out of date.
[[nodiscard]] QString outputSettings(const ConversionJob& job);

// A hash of what a change to the file would touch: its ID3v2 tag, the first and last 64 KB of the audio
// and the tags after it. Fails when the file cannot be read.
Expected<QString> contentHash(const QString& path);

// A hash of every byte of the file (tags and audio); fails when the file cannot be read.
Expected<QString> wholeContentHash(const QString& path);

// The record of `source` as it is now, for an output made with `settings`; fails when it cannot be read.
Expected<SyncRecord> recordOfSource(const QString& source, const QString& settings, bool copied);

// The record an output carries; nullopt for a file without one (or one that cannot be read).
[[nodiscard]] std::optional<SyncRecord> readSyncRecord(const QString& mp3);

// Puts `recordText` into the MP3 file's tag, replacing any record there; an empty text removes the record
// (a source that carried one passes it on to no output). True on success.
[[nodiscard]] bool writeSyncRecord(const QString& mp3, const QString& recordText);

} // namespace core
