// One run as the window and the command line ask for it: the sources, where they go, how they are
// encoded and what happens around the conversion. Both fill a request and hand it to a LibraryRun; the
// jobs, their work folder and their order are made from the request alone, so both make the same files
// from the same request.
#pragma once

#include "core/convert/ConversionJob.h"
#include "core/models/DestinationListing.h"
#include "core/run/RunOptions.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace core {

struct RunRequest {
    // Files (converted in this order) and folders (their MP3 files in name order, with `recursive` those
    // of their sub-folders too, each output under the same relative folder).
    QStringList sources;
    bool recursive = false;
    QString destination;
    int bitRate = 128;
    int channelMode = 1; // 0 mono, 1 stereo, 2 joint stereo
    RunOptions options;
    bool overwrite = false; // existing outputs are replaced
    bool inPlace = false;   // a destination that is a source's own folder replaces the originals
    bool prune = false;     // outputs whose sources are gone are deleted after the run
    bool dryRun = false;    // nothing changes: the run only reports what it would do
    int workers = 1;        // files converted at once (more than 1: in worker processes)
    QString workerProgram;  // the command line program the workers run
    QString workFolder;     // where the run folder is made; empty: the system's temporary folder
    int silenceLimitMs = 120000;
    // The window's rule: a file that cannot be placed in the destination ends the run, since every later
    // file would fail the same way and each failure is a message box. The command line goes on.
    bool stopOnFailedCopy = false;
    // Without a run folder (the work folder cannot take one) the files work in the work folder itself,
    // where each conversion names what is wrong with it; otherwise the run does not start.
    bool workInBaseWithoutRunFolder = false;

    // The folder the run folder is made in.
    [[nodiscard]] QString workBase() const;
    // Whether the outputs carry the record that later runs decide and prune by.
    [[nodiscard]] bool stampsRecord() const { return options.update || prune || options.noUpscale; }
};

// One thing a run does (or would do) to one file.
struct PreviewEntry {
    enum class Action { Convert, Copy, Skip, UpToDate, Delete };
    Action action = Action::Convert;
    QString source;      // empty for a deletion
    QString destination; // the output made, kept or deleted
    QString reason;      // why, in a few words ("new", "source changed", "up to date", …)
    qint64 bytes = 0;    // the source's size (Convert, Copy), the output's (Delete)

    // A skip as the command line reports it: "<source>: skipped, <reason>".
    [[nodiscard]] QString skipLine() const;
};

// Which outputs the sources map to, before anything is read from them.
struct RunPlan {
    QList<ConversionJob> jobs;   // in the order given; work folders left empty
    QList<PreviewEntry> skips;   // sources skipped before any is read (Skip, with the reason)
    int passedOver = 0;          // MP3 files whose names are not valid UTF-8 ...
    QStringList passedOverNotes; // ... and a line for each folder holding some
    QStringList errors;          // sources that do not exist, one line each
    QSet<QString> targets;       // absolute paths of every output the sources map to, skipped or not
    QStringList inPlace;         // sources whose output would replace them, refused without inPlace
};

// A source given twice is converted once; an existing output, or one another source already goes to,
// is skipped unless `overwrite` (or, with update, left to the sync decision).
[[nodiscard]] RunPlan planRun(const RunRequest& request);

// What a run would do, changing nothing: a plain list a dialog can show as it is.
struct RunPreview {
    RunPlan plan;                  // with the jobs as the sync decisions prepared them
    QList<PreviewEntry> decided;   // one per planned job, in queue order
    QList<PreviewEntry> deletions; // with prune: the outputs whose sources are gone
    QStringList undeletable;       // outputs prune could not delete
    QString pruneRefusal;          // why prune does not run ("an input is missing"); empty when it does
    qint64 bytesToRead = 0;        // of the sources to be converted or copied
    std::optional<VolumeSpace> destinationSpace;

    // Every entry: the planned skips, the decisions, the deletions.
    [[nodiscard]] QList<PreviewEntry> entries() const;
    // The jobs that convert or copy.
    [[nodiscard]] QList<ConversionJob> jobsToRun() const;
    [[nodiscard]] int count(PreviewEntry::Action action) const;
};

// Plans the request and decides each job; with `request.prune`, lists the deletions too.
[[nodiscard]] RunPreview previewRun(const RunRequest& request);
// The same for a plan made already: reads the outputs' records and the sources, writes nothing.
[[nodiscard]] RunPreview previewPlan(RunPlan plan, const RunRequest& request);

} // namespace core
