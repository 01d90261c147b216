#include "core/files/DestinationCheck.h"
#include "core/files/FatNames.h"
#include "core/files/SourceFiles.h"
#include "core/run/RunRequest.h"
#include "core/sync/LibrarySync.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace core {

QString RunRequest::workBase() const {
    return workFolder.isEmpty() ? QDir::tempPath() : workFolder;
}

QString PreviewEntry::skipLine() const {
    return source + QStringLiteral(": skipped, ") + reason;
}

namespace {

SyncOptions syncOptionsOf(const RunRequest& request) {
    SyncOptions sync;
    sync.update = request.options.update;
    sync.checksum = request.options.checksum;
    sync.noUpscale = request.options.noUpscale;
    sync.keepDates = request.options.keepDates;
    sync.overwrite = request.overwrite;
    // Outputs of a run that keeps a copy in step carry the record later runs decide by.
    sync.stampRecord = request.stampsRecord();
    return sync;
}

} // namespace

RunPlan planRun(const RunRequest& request) {
    RunPlan plan;
    const RunOptions& options = request.options;
    const QDir destination(request.destination);
    QSet<QString> sources;
    // Each output's key, and the source that claimed it first. On a stick that folds letter case,
    // "Song.mp3" and "song.mp3" are one file: the key is case-folded there.
    struct Claim {
        QString source, target, targetKey;
    };
    QHash<QString, Claim> claimed;
    const bool foldsCase = foldsLetterCase(request.destination);
    const auto fatName = [&](const QString& name) { return options.fatNames ? fatSafeName(name) : name; };

    // Keys are absolute paths; the working folder is asked once, not for each of thousands of files.
    const QString here = QDir::currentPath();
    const auto absolute = [&](const QString& path) {
        return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : here + QLatin1Char('/') + path);
    };
    const auto skip = [&](const QString& source, const QString& target, const QString& reason) {
        PreviewEntry entry;
        entry.action = PreviewEntry::Action::Skip;
        entry.source = source;
        entry.destination = target;
        entry.reason = reason;
        plan.skips << entry;
    };
    const auto add = [&](const QString& source, const QString& target) {
        const QString key = absolute(source);
        if (sources.contains(key))
            return;
        sources.insert(key);
        const QString targetKey = absolute(target);
        plan.targets.insert(targetKey);
        const QString claimKey = foldsCase ? targetKey.toCaseFolded() : targetKey;
        if (const auto first = claimed.constFind(claimKey); first != claimed.cend()) {
            if (first->targetKey == targetKey)
                skip(source, target, QStringLiteral("another input already goes to %1").arg(target));
            else
                skip(source, target,
                     QStringLiteral("its output %1 and %2's output %3 differ only in letter case, which the "
                                    "destination's file system takes for one name")
                         .arg(target, first->source, first->target));
            return;
        }
        claimed.insert(claimKey, Claim{source, target, targetKey});
        // Replacing an original with its lossy re-encode must be asked for by name, never a side effect
        // of overwriting.
        const bool replacesSource = isFolderOf(QFileInfo(target).path(), source);
        if (replacesSource && !request.inPlace) {
            plan.inPlace << source;
            return;
        }
        if (!request.overwrite && !options.update && !replacesSource && QFileInfo::exists(target)) {
            skip(source, target, QStringLiteral("%1 exists (--overwrite replaces it)").arg(target));
            return;
        }
        ConversionJob job;
        job.source = source;
        job.destination = target;
        job.bitRate = request.bitRate;
        job.channelMode = request.channelMode;
        job.vbrQuality = options.vbrQuality;
        job.id3v23 = options.id3v23;
        job.coverMax = options.coverMax;
        job.normalize = options.normalize;
        job.targetLufs = options.targetLufs;
        plan.jobs << job;
    };

    for (const QString& input : request.sources) {
        const QFileInfo info(input);
        if (info.isDir()) {
            QStringList folders{QString()};
            if (request.recursive)
                folders += subFolders(input);
            for (const QString& relative : folders) {
                const QString folder = relative.isEmpty() ? input : QDir(input).filePath(relative);
                const QString targetRelative = options.fatNames ? fatSafeRelativePath(relative) : relative;
                const QDir target(relative.isEmpty() ? destination.path()
                                                     : destination.filePath(targetRelative));
                for (const QString& name : sortedByName(mp3FileNames(folder)))
                    add(QDir(folder).filePath(name), target.filePath(fatName(name)));
                const int unreadable = undecodableMp3Names(folder);
                if (unreadable > 0) {
                    plan.passedOverNotes << undecodableNamesNote(folder, unreadable);
                    plan.passedOver += unreadable;
                }
            }
        } else if (info.isFile()) {
            add(input, destination.filePath(fatName(info.fileName())));
        } else {
            plan.errors << QStringLiteral("%1: no such file or folder").arg(input);
        }
    }
    return plan;
}

RunPreview previewRun(const RunRequest& request) {
    return previewPlan(planRun(request), request);
}

RunPreview previewPlan(RunPlan plan, const RunRequest& request) {
    RunPreview preview;
    preview.plan = std::move(plan);
    if (!preview.plan.inPlace.isEmpty())
        return preview; // refused: nothing is decided
    const SyncOptions sync = syncOptionsOf(request);
    for (ConversionJob& job : preview.plan.jobs) {
        const SyncDecision decision = decideJob(job, sync);
        PreviewEntry entry;
        entry.source = job.source;
        entry.destination = job.destination;
        entry.reason = decision.reason;
        switch (decision.action) {
        case SyncAction::Convert:
        case SyncAction::Copy:
            entry.action = decision.action == SyncAction::Copy ? PreviewEntry::Action::Copy
                                                               : PreviewEntry::Action::Convert;
            entry.bytes = QFileInfo(job.source).size();
            preview.bytesToRead += entry.bytes;
            break;
        case SyncAction::UpToDate:
            entry.action = PreviewEntry::Action::UpToDate;
            break;
        case SyncAction::Foreign:
            entry.action = PreviewEntry::Action::Skip;
            entry.reason = QStringLiteral("%1 was not made by mp3recast-cli (--overwrite replaces it)")
                               .arg(job.destination);
            break;
        }
        preview.decided << entry;
    }
    if (request.prune) {
        // An unmounted library would otherwise empty its copy.
        if (!preview.plan.errors.isEmpty()) {
            preview.pruneRefusal = QStringLiteral("an input is missing");
        } else {
            const PruneResult pruned =
                pruneOutputs(request.destination, request.recursive, preview.plan.targets, true);
            for (const QString& path : pruned.removed) {
                PreviewEntry entry;
                entry.action = PreviewEntry::Action::Delete;
                entry.destination = path;
                entry.reason = QStringLiteral("its source is gone");
                entry.bytes = QFileInfo(path).size();
                preview.deletions << entry;
            }
            preview.undeletable = pruned.failed;
        }
    }
    preview.destinationSpace = volumeOf(request.destination);
    return preview;
}

QList<PreviewEntry> RunPreview::entries() const {
    return plan.skips + decided + deletions;
}

QList<ConversionJob> RunPreview::jobsToRun() const {
    QList<ConversionJob> jobs;
    for (qsizetype i = 0; i < decided.size(); ++i) {
        if (decided[i].action == PreviewEntry::Action::Convert ||
            decided[i].action == PreviewEntry::Action::Copy)
            jobs << plan.jobs[i];
    }
    return jobs;
}

int RunPreview::count(PreviewEntry::Action action) const {
    const QList<PreviewEntry> all = entries();
    return int(std::count_if(all.begin(), all.end(),
                             [action](const PreviewEntry& e) { return e.action == action; }));
}

} // namespace core
