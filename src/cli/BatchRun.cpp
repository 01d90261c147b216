#include "cli/BatchRun.h"

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "core/AlbumLoudness.h"
#include "core/Converter.h"
#include "core/OutcomeText.h"
#include "core/WorkerPool.h"

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
    const int workers = options.jobs > 0 ? options.jobs : core::WorkerPool::defaultWorkers();
    std::unique_ptr<core::WorkerPool> pool;
    if (workers > 1 && jobs.size() > 1) {
        // The workers are this very program, started in its worker mode.
        pool = std::make_unique<core::WorkerPool>(QCoreApplication::applicationFilePath(), work.path(),
                                                  workers, jobs, options.silenceLimitMs);
    }

    for (int index = 0; index < jobs.size() && !interrupted; ++index) {
        const core::ConversionJob& job = jobs[index];
        BarSink sink(bar, index, QFileInfo(job.source).fileName(), pool.get());
        core::Outcome outcome;
        if (pool) {
            outcome = pool->waitFor(index, sink);
            if (outcome.converted()) {
                const QStringList notes = outcome.notes;
                outcome = pool->place(index);
                outcome.notes = notes;
            }
        } else {
            outcome = core::Converter(job, sink).run();
        }
        if (outcome.failure == core::Failure::Cancelled)
            break;
        if (!outcome.converted()) {
            ++failures;
            bar.line(job.source + QStringLiteral(": ") + core::outcomeLine(outcome, job.source));
        }
        for (const QString& note : outcome.notes)
            bar.line(job.source + QStringLiteral(": note: ") + note);
        bar.show(index + 1, QString(), {});
    }
    pool.reset();
    if (interrupted) {
        bar.line(QStringLiteral("interrupted"));
        return 130;
    }
    return failures > 0 ? 1 : 0;
}

} // namespace cli
