#include "core/run/ConversionRun.h"

#include "core/convert/Converter.h"
#include "core/run/WorkerPool.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <csignal>

namespace core {
namespace {

// How long a run waits for its own share of a signal that ended a worker.
constexpr int SignalGraceMs = 2000;

// The signals that end a whole process group from outside: Ctrl-C, a closed terminal, a logout.
bool endedFromOutside(int signal) {
    return signal == SIGINT || signal == SIGTERM || signal == SIGHUP;
}

} // namespace

int defaultWorkerCount() {
    return WorkerPool::defaultWorkers();
}

// Passes one file's progress on as the run's signals and its stop request back into the conversion.
class ConversionRun::Sink : public ConversionSink {
  public:
    Sink(ConversionRun& run, int index) : m_run(run), m_index(index) {}
    void started() override {
        m_run.m_currentPercent = 0;
        emit m_run.converting(m_index);
    }
    void decoding(const QString& songText) override {
        m_run.m_currentPercent = 0;
        emit m_run.decoding(m_index, songText);
    }
    void progress(int percent) override {
        m_run.m_currentPercent = percent;
        emit m_run.progress(m_index, percent);
    }
    void pause() override { emit m_run.paused(); }
    bool cancelRequested() override { return m_run.stopRequested(); }

  private:
    ConversionRun& m_run;
    const int m_index;
};

ConversionRun::ConversionRun(QList<ConversionJob> jobs, RunSettings settings, QObject* parent)
    : QObject(parent), m_jobs(std::move(jobs)), m_settings(std::move(settings)) {
    m_usesWorkers =
        m_settings.workers > 1 && m_jobs.size() > 1 && QFileInfo(m_settings.workerProgram).isExecutable();
}

ConversionRun::~ConversionRun() = default;

QList<int> ConversionRun::runningPercents() const {
    return m_pool ? m_pool->runningPercents() : QList<int>{m_currentPercent};
}

Outcome ConversionRun::convert(int index) {
    Sink sink(*this, index);
    if (!m_pool)
        return Converter(m_jobs[index], sink).run();
    Outcome outcome = m_pool->waitFor(index, sink);
    // A signal to the whole process group (Ctrl-C, a closed terminal, a logout) ends the workers too, now
    // and then before this process has seen its own: a worker lost so while the run stops is no failure.
    if (outcome.failure == Failure::WorkerLost && endedFromOutside(outcome.code)) {
        QDeadlineTimer grace(SignalGraceMs);
        while (!stopRequested() && !grace.hasExpired()) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }
    if (outcome.failure == Failure::WorkerLost && stopRequested()) {
        outcome = Outcome();
        outcome.failure = Failure::Cancelled;
    }
    if (!outcome.converted())
        return outcome;
    // The worker's notes on a converted file hold after the placing too.
    Outcome placed = m_pool->place(index);
    placed.notes = outcome.notes;
    return placed;
}

void ConversionRun::run() {
    if (m_usesWorkers) {
        m_pool = std::make_unique<WorkerPool>(m_settings.workerProgram, m_settings.workFolder,
                                              m_settings.workers, m_jobs, m_settings.silenceLimitMs);
    }
    bool stopped = false;
    for (int index = 0; index < m_jobs.size(); ++index) {
        if (stopRequested()) {
            stopped = true;
            break;
        }
        emit fileStarted(index);
        const Outcome outcome = convert(index);
        emit fileFinished(index, outcome);
        // A handler of fileFinished may stop the run too (the window does after a failed copy).
        if (outcome.failure == Failure::Cancelled || stopRequested()) {
            stopped = index + 1 < m_jobs.size() || outcome.failure == Failure::Cancelled;
            break;
        }
    }
    // Whatever the workers did beyond the file the run reached is dropped with them.
    m_pool.reset();
    emit finished(stopped);
}

} // namespace core
