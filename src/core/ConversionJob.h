// One file's conversion as the core sees it: what to convert, and how it ended.
#pragma once

#include <QString>

namespace core {

struct ConversionJob {
    QString source;      // the MP3 file to re-encode
    QString destination; // where the re-encoded file goes, replacing any file there
    QString workFolder;  // the folder of the two work files
    int bitRate = 128;   // kbit/s, one of the fourteen rates
    int channelMode = 1; // 0 mono, 1 stereo, 2 joint stereo
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

    bool converted() const { return failure == Failure::None; }
    bool operator==(const Outcome&) const = default;
};

// The two work files inside a work folder.
QString wavWorkFile(const QString& workFolder);
QString mp3WorkFile(const QString& workFolder);

} // namespace core
