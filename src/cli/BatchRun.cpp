#include "cli/BatchRun.h"

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "core/ConversionRun.h"
#include "core/Converter.h"
#include "core/OutcomeText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

} // namespace

int runBatch(const Options& options) {
    const BatchPlan plan = planBatch(options);
    TerminalProgress bar(int(plan.jobs.size()));
    for (const QString& error : plan.errors)
        bar.line(error);
    for (const QString& note : plan.notes)
        bar.line(note);
    int failures = int(plan.errors.size());
    if (plan.jobs.isEmpty())
        return failures > 0 ? 1 : 0;

    // A run of its own inside the work folder, so that several runs may share one (GNU parallel).
    const QString base = options.workFolder.isEmpty() ? QDir::tempPath() : options.workFolder;
    QTemporaryDir work(QDir(base).filePath(QStringLiteral("mp3recast-XXXXXX")));
    if (!work.isValid()) {
        bar.line(
            QStringLiteral("%1: cannot create the work folder: %2").arg(base, core::writeFailureCause(base)));
        return 1;
    }
    QList<core::ConversionJob> jobs = plan.jobs;
    for (core::ConversionJob& job : jobs) {
        job.workFolder = work.path();
        QDir().mkpath(QFileInfo(job.destination).absolutePath());
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    core::RunSettings settings;
    settings.workers = options.jobs > 0 ? options.jobs : core::defaultWorkerCount();
    // The workers are this very program, started in its worker mode.
    settings.workerProgram = QCoreApplication::applicationFilePath();
    settings.workFolder = work.path();
    settings.silenceLimitMs = options.silenceLimitMs;
    core::ConversionRun run(jobs, settings);
    run.setStopCheck([] { return interrupted != 0; });

    // The bar shows the files done, the current file's name and the percentages of the files under way.
    int done = 0;
    QString name;
    auto showBar = [&](int) { bar.show(done, name, run.runningPercents()); };
    QObject::connect(&run, &core::ConversionRun::fileStarted, [&](int index) {
        done = index;
        name = QFileInfo(jobs[index].source).fileName();
    });
    QObject::connect(&run, &core::ConversionRun::converting, showBar);
    QObject::connect(&run, &core::ConversionRun::progress, showBar);
    QObject::connect(&run, &core::ConversionRun::fileFinished, [&](int index, const core::Outcome& outcome) {
        if (outcome.failure == core::Failure::Cancelled)
            return;
        if (!outcome.converted()) {
            ++failures;
            bar.line(jobs[index].source + QStringLiteral(": ") +
                     core::outcomeLine(outcome, jobs[index].source));
        }
        bar.show(index + 1, QString(), {});
    });
    run.run();
    if (interrupted) {
        bar.line(QStringLiteral("interrupted"));
        return 130;
    }
    return failures > 0 ? 1 : 0;
}

} // namespace cli
