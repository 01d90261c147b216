#include "cli/BatchRun.h"

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "codecs/decoder.h"
#include "core/convert/Converter.h"
#include "core/convert/OutcomeText.h"
#include "core/files/AtomicFile.h"
#include "core/files/DestinationCheck.h"
#include "core/loudness/AlbumLoudness.h"
#include "core/run/ConversionRun.h"
#include "core/run/RunFolder.h"
#include "core/run/RunSummary.h"
#include "core/sync/LibrarySync.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <csignal>
#include <cstdio>

namespace cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

// The coarsest modification times a destination keeps (FAT's).
constexpr qint64 FatTimeResolutionMs = 2000;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

void printOut(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// The audio duration of a source for the time left: estimated from its first frames, else from its size
// at 128 kbit/s.
qint64 audioMs(const QString& source) {
    try {
        if (const auto estimate = codecs::Decoder().estimateFileInfo(source))
            return estimate->durationMs;
    } catch (const std::exception&) {
    }
    return QFileInfo(source).size() / 16;
}

// The audio done and to do, and the time since the run started, for the time left on the bar.
struct AudioClock {
    QList<qint64> durations; // per job, ms
    qint64 total = 0;
    qint64 done = 0; // of the jobs finished
    QElapsedTimer timer;

    QString leftText(int index, int percent) const {
        const qint64 current = index < durations.size() ? durations[index] * percent / 100 : 0;
        const qint64 left = core::timeLeftMs(done + current, total, timer.elapsed());
        return left < 0 ? QString() : core::clockText(left) + QStringLiteral(" left");
    }
};

core::SyncOptions syncOptions(const Options& options) {
    core::SyncOptions sync;
    sync.update = options.update;
    sync.checksum = options.checksum;
    sync.noUpscale = options.noUpscale;
    sync.keepDates = options.keepDates;
    sync.overwrite = options.overwrite;
    // Outputs of a run that keeps a copy in step carry the record later runs decide by.
    sync.stampRecord = options.update || options.prune || options.noUpscale;
    return sync;
}

// Decides, before any job starts, what each planned source needs; returns the jobs to run.
QList<core::ConversionJob> decideJobs(const BatchPlan& plan, const Options& options, TerminalProgress& bar,
                                      core::RunSummary& summary) {
    const core::SyncOptions sync = syncOptions(options);
    QList<core::ConversionJob> jobs;
    for (core::ConversionJob job : plan.jobs) {
        const core::SyncDecision decision = core::decideJob(job, sync);
        switch (decision.action) {
        case core::SyncAction::UpToDate:
            ++summary.skipped;
            // FAT keeps times to 2 s: an output there never shows its source's exact time, and setting it
            // again would touch every up-to-date output of every run. Only a time further off is set.
            if (options.keepDates && !options.dryRun &&
                qAbs(
                    QFileInfo(job.destination).lastModified().msecsTo(QFileInfo(job.source).lastModified())) >
                    FatTimeResolutionMs)
                // An output whose time stays off is compared by its content on the next run; nothing is lost.
                static_cast<void>(core::copyModificationTime(job.source, job.destination));
            break;
        case core::SyncAction::Foreign:
            ++summary.skipped;
            bar.line(QStringLiteral("%1: skipped, %2 was not made by mp3recast-cli (--overwrite replaces it)")
                         .arg(job.source, job.destination));
            break;
        case core::SyncAction::Convert:
        case core::SyncAction::Copy:
            if (options.dryRun)
                printOut(QStringLiteral("%1 %2 -> %3 (%4)")
                             .arg(decision.action == core::SyncAction::Copy ? QStringLiteral("copy")
                                                                            : QStringLiteral("convert"),
                                  job.source, job.destination, decision.reason));
            jobs << job;
            break;
        }
    }
    return jobs;
}

// After the run: the outputs whose sources are gone. Never when an input was missing (an unmounted
// library would otherwise empty the copy) or the run was interrupted.
void pruneAfterRun(const BatchPlan& plan, const Options& options, TerminalProgress& bar,
                   core::RunSummary& summary) {
    if (!options.prune || interrupted)
        return;
    if (!plan.errors.isEmpty()) {
        bar.line(QStringLiteral("not pruning: an input is missing"));
        return;
    }
    const core::PruneResult pruned =
        core::pruneOutputs(options.destination, options.recursive, plan.targets, options.dryRun);
    for (const QString& path : pruned.removed) {
        if (options.dryRun)
            printOut(QStringLiteral("prune %1").arg(path));
    }
    for (const QString& path : pruned.failed)
        bar.line(QStringLiteral("%1: cannot be deleted").arg(path));
    summary.pruned = int(pruned.removed.size());
    summary.failed += int(pruned.failed.size());
}

} // namespace

int runBatch(const Options& options) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // A closed terminal ends the run the same way.
    std::signal(SIGHUP, onInterrupt);

    QElapsedTimer elapsed;
    elapsed.start();
    const BatchPlan plan = planBatch(options);
    core::RunSummary summary;
    TerminalProgress bar(int(plan.jobs.size()));
    for (const QString& error : plan.errors)
        bar.line(error);
    for (const QString& note : plan.notes + plan.passedOverNotes)
        bar.line(note);
    summary.failed = int(plan.errors.size());
    summary.skipped = int(plan.notes.size()) + plan.passedOver;
    if (!plan.inPlace.isEmpty()) {
        bar.line(
            QStringLiteral("%1: the folder of %2%3: converting would replace the original files with their "
                           "re-encoded copies (--in-place allows it)")
                .arg(options.destination, plan.inPlace.first(),
                     plan.inPlace.size() > 1
                         ? QStringLiteral(" and %1 more input files").arg(plan.inPlace.size() - 1)
                         : QString()));
        return 1;
    }
    const auto finish = [&] {
        pruneAfterRun(plan, options, bar, summary);
        summary.elapsedMs = elapsed.elapsed();
        printOut((options.dryRun ? QStringLiteral("dry run, nothing changed: ") : QString()) +
                 summary.text());
        return summary.failed > 0 ? 1 : 0;
    };

    // Tag rewrites of the sources that a killed writer left half done are finished before any is read.
    if (!options.dryRun) {
        QSet<QString> sourceFolders{QDir::tempPath()};
        for (const core::ConversionJob& job : plan.jobs)
            sourceFolders.insert(QFileInfo(job.source).absolutePath());
        for (const QString& folder : std::as_const(sourceFolders))
            core::finishInterruptedWrites(folder);
    }
    QList<core::ConversionJob> jobs = decideJobs(plan, options, bar, summary);
    if (options.dryRun) {
        for (const core::ConversionJob& job : jobs)
            ++(job.copySource ? summary.copied : summary.converted);
        return finish();
    }
    if (jobs.isEmpty())
        return finish();

    // Every destination folder is made before the first file is converted: one that cannot be made would
    // otherwise fail every file after its conversion. Such a folder fails its own files only; the rest of
    // the library is converted.
    QHash<QString, QString> folderProblems;
    QList<core::ConversionJob> placeable;
    for (const core::ConversionJob& job : std::as_const(jobs)) {
        const QString folder = QFileInfo(job.destination).absolutePath();
        if (!folderProblems.contains(folder)) {
            const core::Result made = core::makeDestinationFolder(folder);
            folderProblems.insert(folder, made.reason());
            if (!made)
                bar.line(
                    QStringLiteral("%1: cannot use the destination folder: %2").arg(folder, made.reason()));
            else
                core::finishInterruptedWrites(folder); // what writers killed before their rename left
        }
        if (folderProblems.value(folder).isEmpty())
            placeable << job;
        else
            ++summary.failed;
    }
    jobs = placeable;
    if (jobs.isEmpty())
        return finish();

    // A run folder of its own inside the work folder, locked while the run lives, so that several runs may
    // share one (GNU parallel) and a killed run's leftovers go with the next run.
    const QString base = options.workFolder.isEmpty() ? QDir::tempPath() : options.workFolder;
    core::RunFolder work(base);
    if (!work.isValid()) {
        bar.line(
            QStringLiteral("%1: cannot create the work folder: %2").arg(base, core::writeFailureCause(base)));
        return 1;
    }
    AudioClock clock;
    for (core::ConversionJob& job : jobs) {
        job.workFolder = work.path();
        clock.durations << audioMs(job.source);
        clock.total += clock.durations.last();
    }
    bar.setTotal(int(jobs.size()));

    if (options.normalize == core::Normalize::Album) {
        const bool measured = core::measureAlbums(jobs, work.path(), [&](const QString& source) {
            bar.show(0, QStringLiteral("loudness: ") + QFileInfo(source).fileName(), {});
            return interrupted == 0;
        });
        if (!measured) {
            bar.line(QStringLiteral("interrupted"));
            return 130;
        }
    }
    core::RunSettings settings;
    settings.workers = options.jobs > 0 ? options.jobs : core::defaultWorkerCount();
    // The workers are this very program, started in its worker mode.
    settings.workerProgram = QCoreApplication::applicationFilePath();
    settings.workFolder = work.path();
    settings.silenceLimitMs = options.silenceLimitMs;
    core::ConversionRun run(jobs, settings);
    run.setStopCheck([] { return interrupted != 0; });

    // The bar shows the files done, the current file's name, the percentages of the files under way and
    // the time left.
    int current = 0;
    QString name;
    auto showBar = [&](int, int percent) {
        bar.setTimeLeft(clock.leftText(current, percent));
        bar.show(current, name, run.runningPercents());
    };
    QObject::connect(&run, &core::ConversionRun::fileStarted, [&](int index) {
        current = index;
        name = QFileInfo(jobs[index].source).fileName();
    });
    QObject::connect(&run, &core::ConversionRun::converting, [&](int index) { showBar(index, 0); });
    QObject::connect(&run, &core::ConversionRun::progress, showBar);
    QObject::connect(&run, &core::ConversionRun::fileFinished, [&](int index, const core::Outcome& outcome) {
        if (outcome.failure == core::Failure::Cancelled)
            return;
        const core::ConversionJob& job = jobs[index];
        if (outcome.converted()) {
            ++(job.copySource ? summary.copied : summary.converted);
            summary.bytesRead += QFileInfo(job.source).size();
            summary.bytesWritten += QFileInfo(job.destination).size();
        } else {
            ++summary.failed;
            bar.line(job.source + QStringLiteral(": ") + core::outcomeLine(outcome, job.source));
        }
        for (const QString& note : outcome.notes)
            bar.line(job.source + QStringLiteral(": note: ") + note);
        clock.done += clock.durations[index];
        bar.show(index + 1, QString(), {});
    });
    clock.timer.start();
    run.run();
    if (interrupted) {
        summary.elapsedMs = elapsed.elapsed();
        printOut(summary.text());
        bar.line(QStringLiteral("interrupted"));
        return 130;
    }
    return finish();
}

} // namespace cli
