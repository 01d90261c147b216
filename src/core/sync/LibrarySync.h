// Keeping a converted copy of a library in step with it: which sources need converting again (an output
// missing, made from other content or with other settings), which are better copied than re-encoded
// (already at or below the target), and which outputs have lost their source. Only the record an output
// carries (core/SyncRecord.h), the source's status and, for a source whose time changed (or with
// `checksum`, every source), a hash of its content are read to decide: no decoding. The caller runs the jobs;
// nothing here converts.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace core {

struct SyncOptions {
    bool update = false;      // convert only outputs that are missing or out of date
    bool checksum = false;    // with update: compare every source's content, whatever its size and time
    bool noUpscale = false;   // copy a source that re-encoding would not make smaller or better
    bool keepDates = false;   // outputs get their sources' modification times
    bool overwrite = false;   // outputs without the record may be replaced
    bool stampRecord = false; // outputs get the record, so that later runs can update and prune them
};

enum class SyncAction {
    Convert,  // re-encode into the destination
    Copy,     // copy the source's bytes into the destination
    UpToDate, // the output was made from this very content with these settings: nothing to do
    Foreign,  // an output this program did not make is in the way (kept without --overwrite)
};

struct SyncDecision {
    SyncAction action = SyncAction::Convert;
    QString reason; // why, in a few words ("new", "source changed", "settings changed", …)
};

// The settings an output's record holds for this job under these options.
[[nodiscard]] QString recordSettings(const ConversionJob& job, const SyncOptions& options);

// Decides what `job` needs and prepares it for the run: its record, whether the source is copied, and
// whether the output keeps the source's date.
[[nodiscard]] SyncDecision decideJob(ConversionJob& job, const SyncOptions& options);

// Whether re-encoding `job.source` at the job's settings would only lose quality: its bit rate (for VBR
// its average) is at or below the target, it is at 44,100 Hz and its channels fit the target mode. Reads
// the whole stream, as the decoder would.
[[nodiscard]] bool notWorthReencoding(const ConversionJob& job);

struct PruneResult {
    QStringList removed;        // outputs deleted (or, dry, to be deleted)
    QStringList removedFolders; // folders emptied by the deletions and removed
    QStringList failed;         // outputs that could not be deleted
};

// Deletes the MP3 files in `destination` (with `recursive`, in its sub-folders too; hidden folders and
// links left out) that carry the record and are not in `keep` (absolute paths of the outputs the inputs
// map to), then the folders this leaves empty. A file without the record is never touched, nor anything
// outside `destination`. With `dryRun` nothing changes; the result lists what would be deleted.
[[nodiscard]] PruneResult pruneOutputs(const QString& destination, bool recursive, const QSet<QString>& keep,
                                       bool dryRun);

} // namespace core
