#include "core/run/LibraryRun.h"

#include "core/convert/Converter.h"
#include "core/convert/OutcomeText.h"
#include "core/files/AtomicFile.h"
#include "core/files/DestinationCheck.h"
#include "core/loudness/AlbumLoudness.h"
#include "core/run/RunFolder.h"
#include "core/sync/LibrarySync.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

namespace core {
namespace {

// The coarsest modification times a destination keeps (FAT's).
constexpr qint64 FatTimeResolutionMs = 2000;

RunResult refused(RunResult result, const QString& reason) {
    result.end = RunResult::End::Refused;
    result.reason = reason;
    return result;
}

} // namespace

LibraryRun::LibraryRun(RunRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request)) {}

LibraryRun::~LibraryRun() = default;

QList<int> LibraryRun::runningPercents() const {
    return m_run ? m_run->runningPercents() : QList<int>{};
}

RunResult LibraryRun::run() {
    QElapsedTimer elapsed;
    elapsed.start();
    RunResult result;
    RunSummary& summary = result.summary;
    const RunPlan plan = planRun(m_request);
    for (const QString& error : plan.errors)
        emit line(error);
    for (const PreviewEntry& skip : plan.skips)
        emit line(skip.skipLine());
    for (const QString& note : plan.passedOverNotes)
        emit line(note);
    summary.failed = int(plan.errors.size());
    summary.skipped = int(plan.skips.size()) + plan.passedOver;
    if (!plan.inPlace.isEmpty()) {
        const QString reason =
            QStringLiteral("%1: the folder of %2%3: converting would replace the original files with their "
                           "re-encoded copies (--in-place allows it)")
                .arg(m_request.destination, plan.inPlace.first(),
                     plan.inPlace.size() > 1
                         ? QStringLiteral(" and %1 more input files").arg(plan.inPlace.size() - 1)
                         : QString());
        emit line(reason);
        return refused(result, reason);
    }

    if (!m_request.dryRun) {
        // Work folders that killed runs left behind go first; those of runs still alive stay.
        RunFolder::reclaim(m_request.workBase());
        // Tag rewrites of the sources that a killed writer left half done are finished before any is
        // read.
        QSet<QString> sourceFolders{QDir::tempPath()};
        for (const ConversionJob& job : plan.jobs)
            sourceFolders.insert(QFileInfo(job.source).absolutePath());
        for (const QString& folder : std::as_const(sourceFolders))
            finishInterruptedWrites(folder);
    }
    // The real run prunes after converting, for real; only a dry one lists the deletions now.
    RunRequest deciding = m_request;
    deciding.prune = m_request.prune && m_request.dryRun;
    const RunPreview preview = previewPlan(plan, deciding);
    for (qsizetype i = 0; i < preview.decided.size(); ++i) {
        const PreviewEntry& entry = preview.decided[i];
        const ConversionJob& job = preview.plan.jobs[i];
        switch (entry.action) {
        case PreviewEntry::Action::UpToDate:
            ++summary.skipped;
            // FAT keeps times to 2 s: an output there never shows its source's exact time, and setting it
            // again would touch every up-to-date output of every run. Only a time further off is set.
            if (m_request.options.keepDates && !m_request.dryRun &&
                qAbs(
                    QFileInfo(job.destination).lastModified().msecsTo(QFileInfo(job.source).lastModified())) >
                    FatTimeResolutionMs)
                // An output whose time stays off is compared by its content on the next run; nothing is lost.
                static_cast<void>(copyModificationTime(job.source, job.destination));
            break;
        case PreviewEntry::Action::Skip:
            ++summary.skipped;
            emit line(entry.skipLine());
            break;
        case PreviewEntry::Action::Convert:
        case PreviewEntry::Action::Copy:
            if (m_request.dryRun)
                emit output(QStringLiteral("%1 %2 -> %3 (%4)")
                                .arg(entry.action == PreviewEntry::Action::Copy ? QStringLiteral("copy")
                                                                                : QStringLiteral("convert"),
                                     entry.source, entry.destination, entry.reason));
            break;
        default:
            break;
        }
    }
    m_jobs = preview.jobsToRun();
    if (m_request.dryRun) {
        summary.converted = preview.count(PreviewEntry::Action::Convert);
        summary.copied = preview.count(PreviewEntry::Action::Copy);
        if (!preview.pruneRefusal.isEmpty())
            emit line(QStringLiteral("not pruning: ") + preview.pruneRefusal);
        for (const PreviewEntry& deletion : preview.deletions)
            emit output(QStringLiteral("prune %1").arg(deletion.destination));
        for (const QString& path : preview.undeletable)
            emit line(QStringLiteral("%1: cannot be deleted").arg(path));
        summary.pruned = int(preview.deletions.size());
        summary.failed += int(preview.undeletable.size());
        summary.elapsedMs = elapsed.elapsed();
        emit output(QStringLiteral("dry run, nothing changed: ") + summary.text());
        return result;
    }
    bool measured = true;
    result = convertJobs(result, measured);
    // A stop while measuring comes before anything is counted: there is nothing to sum up.
    if (result.end == RunResult::End::Refused || !measured)
        return result;
    if (result.end == RunResult::End::Finished)
        result = finish(result, plan);
    summary.elapsedMs = elapsed.elapsed();
    emit output(summary.text());
    return result;
}

RunResult LibraryRun::convertJobs(RunResult result, bool& measured) {
    RunSummary& summary = result.summary;
    if (m_jobs.isEmpty())
        return result;
    // Every destination folder is made before the first file is converted: one that cannot be made would
    // otherwise fail every file after its conversion. Such a folder fails its own files only.
    QHash<QString, QString> folderProblems;
    QList<ConversionJob> placeable;
    for (const ConversionJob& job : std::as_const(m_jobs)) {
        const QString folder = QFileInfo(job.destination).absolutePath();
        if (!folderProblems.contains(folder)) {
            const QString problem = makeDestinationFolder(folder).reason();
            folderProblems.insert(folder, problem);
            if (!problem.isEmpty())
                emit line(QStringLiteral("%1: cannot use the destination folder: %2").arg(folder, problem));
            else
                finishInterruptedWrites(folder); // what writers killed before their rename left
        }
        if (folderProblems.value(folder).isEmpty())
            placeable << job;
        else
            ++summary.failed;
    }
    m_jobs = placeable;
    if (m_jobs.isEmpty())
        return result;

    // One locked folder of this run inside the work folder, for the files converted here and for the
    // workers' sub-folders alike: several runs may share a work folder, and what a killed run leaves
    // goes with the next run of either program.
    const QString base = m_request.workBase();
    const RunFolder folder(base);
    if (!folder.isValid() && !m_request.workInBaseWithoutRunFolder) {
        const QString reason =
            QStringLiteral("%1: cannot create the work folder: %2").arg(base, writeFailureCause(base));
        emit line(reason);
        return refused(result, reason);
    }
    const QString work = folder.isValid() ? folder.path() : base;
    for (ConversionJob& job : m_jobs)
        job.workFolder = work;
    emit jobsReady(int(m_jobs.size()));

    if (m_request.options.normalize == Normalize::Album) {
        measured = measureAlbums(m_jobs, work, [this](const QString& source) {
            emit measuring(source);
            return !stopRequested();
        });
        if (!measured) {
            result.end = RunResult::End::Stopped;
            return result;
        }
    }
    RunSettings settings;
    settings.workers = m_request.workers;
    settings.workerProgram = m_request.workerProgram;
    settings.workFolder = work;
    settings.silenceLimitMs = m_request.silenceLimitMs;
    ConversionRun run(m_jobs, settings);
    run.setStopCheck([this] { return stopRequested(); });
    connectRun(run, summary);
    m_run = &run;
    run.run();
    m_run = nullptr;
    if (stopRequested())
        result.end = RunResult::End::Stopped;
    return result;
}

void LibraryRun::connectRun(ConversionRun& run, RunSummary& summary) {
    connect(&run, &ConversionRun::fileStarted, this, &LibraryRun::fileStarted);
    connect(&run, &ConversionRun::converting, this, &LibraryRun::converting);
    connect(&run, &ConversionRun::decoding, this, &LibraryRun::decoding);
    connect(&run, &ConversionRun::progress, this, &LibraryRun::progress);
    connect(&run, &ConversionRun::paused, this, &LibraryRun::paused);
    connect(&run, &ConversionRun::fileFinished, this, [this, &summary](int index, const Outcome& outcome) {
        const ConversionJob& job = m_jobs[index];
        if (outcome.failure != Failure::Cancelled) {
            if (outcome.converted()) {
                ++(job.copySource ? summary.copied : summary.converted);
                summary.bytesRead += QFileInfo(job.source).size();
                summary.bytesWritten += QFileInfo(job.destination).size();
            } else {
                ++summary.failed;
                emit line(job.source + QStringLiteral(": ") + outcomeLine(outcome, job.source));
            }
            for (const QString& note : outcome.notes)
                emit line(job.source + QStringLiteral(": note: ") + note);
        }
        emit fileFinished(index, outcome);
        // Through this run's own request, which the conversion run polls: the caller sees the stop too.
        if (m_request.stopOnFailedCopy && outcome.failure == Failure::CopyFailed)
            cancel();
    });
}

RunResult LibraryRun::finish(RunResult result, const RunPlan& plan) {
    if (!m_request.prune)
        return result;
    if (!plan.errors.isEmpty()) {
        emit line(QStringLiteral("not pruning: an input is missing"));
        return result;
    }
    const PruneResult pruned = pruneOutputs(m_request.destination, m_request.recursive, plan.targets, false);
    for (const QString& path : pruned.failed)
        emit line(QStringLiteral("%1: cannot be deleted").arg(path));
    result.summary.pruned = int(pruned.removed.size());
    result.summary.failed += int(pruned.failed.size());
    return result;
}

} // namespace core
