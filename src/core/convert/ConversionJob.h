// One file's conversion as the core sees it: what to convert, and how it ended.
#pragma once

#include <QString>
#include <QStringList>
#include <cmath>

namespace core {

// How the command line evens out loudness: not at all, file by file, or one gain per source folder.
enum class Normalize { Off, Track, Album };

struct ConversionJob {
    QString source;      // the MP3 file to re-encode
    QString destination; // where the re-encoded file goes, replacing any file there
    QString workFolder;  // the folder of the two work files
    int bitRate = 128;   // kbit/s, one of the fourteen rates
    int channelMode = 1; // 0 mono, 1 stereo, 2 joint stereo

    // Additions of the command line. At these defaults the output is the window's, byte for byte.
    int vbrQuality = -1; // 0..9: variable bit rate at LAME's -V quality instead of bitRate
    bool id3v23 = false; // the output's ID3v2 tag becomes version 2.3
    int coverMax = 0; // > 0: pictures larger than this many pixels a side, or not baseline JPEG, re-encoded
    Normalize normalize = Normalize::Off;
    double targetLufs = -16.0;
    // Album: the folder's loudness (LUFS) and highest true peak (dBTP), measured before the run;
    // NaN in track mode, where the file's own are measured while it converts.
    double albumLoudness = NAN;
    double albumPeak = NAN;
    // Album: what the encoding takes from the folder's loudness (LU, negative; core/EncodingLoss.h),
    // made up for by the one gain of the folder.
    double albumLoss = 0.0;

    // Whether anything of the output's tag is to change beyond copying the source's.
    [[nodiscard]] bool reworksTag() const { return id3v23 || coverMax > 0 || normalize != Normalize::Off; }
    // Keeping a converted library in step (core/LibrarySync.h):
    QString syncRecord;      // the record put into the output's tag (SyncRecord::text()); empty: none
    bool copySource = false; // the source's own bytes instead of a re-encoding (not worth re-encoding)
    bool keepDate = false;   // the output gets the source's modification time
};

// How a file's conversion ended. Each failure but Cancelled and WorkerLost is one of the window's
// messages.
enum class Failure {
    None,               // converted
    EncoderUnavailable, // the encoder's version text is empty (or the library cannot be loaded)
    DecoderSetUp,       // vbmp3_init failed
    SourceUnreadable,   // vbmp3_open failed
    WorkFileUnopenable, // the encoder's check reported 13
    EncoderSetUp,       // the encoder could not be set up
    FrameError,         // MPGE_processFrameVB returned an error code (`code`)
    DecodeFault,        // an unexpected failure while decoding (`reason`)
    EncodeFault,        // an unexpected failure while encoding (`reason`)
    TagFault,           // an unexpected failure while writing the tag (`reason`)
    CopyFailed,         // the copy into the destination failed: the run stops
    Cancelled,          // the run was asked to stop while this file was under way
    WorkerLost,         // the worker process converting the file died or stopped answering (`reason`)
};

struct Outcome {
    Failure failure = Failure::None;
    int code = 0;   // FrameError: the encoder's error code
    QString reason; // the failure's own description, for the faults and lost workers
    // An extra line naming the cause of a failed write in the work folder (permission, missing folder,
    // full disk); empty when there is nothing to add.
    QString cause;
    // Things a converted file's owner should know that did not stop it (a dropped frame, a cover that
    // could not be decoded), one line each.
    QStringList notes;

    [[nodiscard]] bool converted() const { return failure == Failure::None; }
    bool operator==(const Outcome&) const = default;
};

// The two work files inside a work folder.
[[nodiscard]] QString wavWorkFile(const QString& workFolder);
[[nodiscard]] QString mp3WorkFile(const QString& workFolder);

} // namespace core
