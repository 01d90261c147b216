#include "cli/BatchRun.h"

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "core/Converter.h"
#include "core/DestinationCheck.h"
#include "core/OutcomeText.h"
#include "core/RunFolder.h"
#include "core/WorkerPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

// Shows the current file's percentage on the bar and passes on Ctrl-C.
class BarSink : public core::ConversionSink {
  public:
    BarSink(TerminalProgress& bar, int done, QString name, const core::WorkerPool* pool)
        : m_bar(bar), m_done(done), m_name(std::move(name)), m_pool(pool) {}
    void started() override { progress(0); }
    void progress(int percent) override {
        m_bar.show(m_done, m_name, m_pool ? m_pool->runningPercents() : QList<int>{percent});
    }
    bool cancelRequested() override { return interrupted != 0; }

  private:
    TerminalProgress& m_bar;
    const int m_done;
    const QString m_name;
    const core::WorkerPool* m_pool;
};

} // namespace

int runBatch(const Options& options) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // A closed terminal ends the run the same way.
    std::signal(SIGHUP, onInterrupt);

    const BatchPlan plan = planBatch(options);
    TerminalProgress bar(int(plan.jobs.size()));
    for (const QString& error : plan.errors)
        bar.line(error);
    for (const QString& note : plan.notes)
        bar.line(note);
    int failures = int(plan.errors.size());

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
    if (plan.jobs.isEmpty())
        return failures > 0 ? 1 : 0;

    // Every destination folder is made before the first file is converted: one that cannot be made
    // would otherwise fail every file after its conversion.
    QStringList folders;
    QSet<QString> seen;
    for (const core::ConversionJob& job : plan.jobs) {
        const QString folder = QFileInfo(job.destination).absolutePath();
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders << folder;
        }
    }
    for (const QString& folder : folders) {
        const QString problem = core::makeDestinationFolder(folder);
        if (!problem.isEmpty()) {
            bar.line(QStringLiteral("%1: cannot use the destination folder: %2").arg(folder, problem));
            return 1;
        }
    }

    // A run folder of its own inside the work folder, locked while the run lives, so that several runs may
    // share one (GNU parallel) and a killed run's leftovers go with the next run.
    const QString base = options.workFolder.isEmpty() ? QDir::tempPath() : options.workFolder;
    const int workers = options.jobs > 0 ? options.jobs : core::WorkerPool::defaultWorkers();
    QList<core::ConversionJob> jobs = plan.jobs;
    std::unique_ptr<core::WorkerPool> pool;
    std::unique_ptr<core::RunFolder> work;
    if (workers > 1 && jobs.size() > 1) {
        // The workers are this very program, started in its worker mode.
        pool = std::make_unique<core::WorkerPool>(QCoreApplication::applicationFilePath(), base, workers,
                                                  jobs, options.silenceLimitMs);
    } else {
        work = std::make_unique<core::RunFolder>(base);
        for (core::ConversionJob& job : jobs)
            job.workFolder = work->path();
    }
    if (pool ? pool->runFolder().isEmpty() : !work->isValid()) {
        bar.line(
            QStringLiteral("%1: cannot create the work folder: %2").arg(base, core::writeFailureCause(base)));
        return 1;
    }

    for (int index = 0; index < jobs.size() && !interrupted; ++index) {
        const core::ConversionJob& job = jobs[index];
        BarSink sink(bar, index, QFileInfo(job.source).fileName(), pool.get());
        core::Outcome outcome;
        if (pool) {
            outcome = pool->waitFor(index, sink);
            if (outcome.converted())
                outcome = pool->place(index);
        } else {
            outcome = core::Converter(job, sink).run();
        }
        if (outcome.failure == core::Failure::Cancelled)
            break;
        if (!outcome.converted()) {
            ++failures;
            bar.line(job.source + QStringLiteral(": ") + core::outcomeLine(outcome, job.source));
        }
        bar.show(index + 1, QString(), {});
    }
    pool.reset();
    work.reset();
    if (interrupted) {
        bar.line(QStringLiteral("interrupted"));
        return 130;
    }
    return failures > 0 ? 1 : 0;
}

} // namespace cli
