// A run over a list of conversion jobs: each file in queue order, converted in this process or, for
// several files at once, in worker processes; every finished file is placed in the destination when the
// run reaches it, so files arrive in queue order and a stop leaves nothing of the files after the
// current one. The run reports through its signals and shows nothing itself: the window draws them, the
// command line prints them.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace core {

class WorkerPool;

// Files converted at once when nothing else is asked for: one per core.
int defaultWorkerCount();

struct RunSettings {
    // Files converted at once. With more than one, and more than one job, each file is converted by a
    // worker process of `workerProgram` (the command line program) when that program can be started;
    // otherwise every file is converted in this process.
    int workers = 1;
    QString workerProgram;
    // The run's own folder (a RunFolder's), where the workers make their work sub-folders.
    QString workFolder;
    // A worker silent this long counts as hung.
    int silenceLimitMs = 120000;
};

class ConversionRun : public QObject {
    Q_OBJECT

  public:
    ConversionRun(QList<ConversionJob> jobs, RunSettings settings, QObject* parent = nullptr);
    ~ConversionRun() override;

    // Converts the jobs in order and returns when the last is through or the run was stopped. Events
    // keep running meanwhile (the workers' output, a click on a stop button).
    void run();

    // Asks the run to stop: the file under way is given up, no later file starts.
    void cancel() { m_cancelled = true; }
    // Also asks the run to stop whenever this returns true (a signal handler's flag, say); polled as
    // often as the cancel request.
    void setStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }
    bool stopRequested() const { return m_cancelled || (m_stopCheck && m_stopCheck()); }

    bool usesWorkers() const { return m_usesWorkers; }
    const QList<ConversionJob>& jobs() const { return m_jobs; }
    // The percentages of the files whose workers run now, in queue order; in this process, the current
    // file's.
    QList<int> runningPercents() const;

  signals:
    // The run has reached file `index` (before any of its work is shown).
    void fileStarted(int index);
    // The file's conversion begins: its percentage is 0.
    void converting(int index);
    // The file's decoding has begun (the percentage is 0 again); the song's text ("アーティスト：…").
    void decoding(int index, const QString& songText);
    // The file's percentage changed (0-50 decoding, 50-100 encoding).
    void progress(int index, int percent);
    // A point inside a file's conversion where a window lets its pending events run.
    void paused();
    // The file is through: placed in its destination when the outcome says converted.
    void fileFinished(int index, const core::Outcome& outcome);
    // The run is over; `stopped` when it ended before its last file.
    void finished(bool stopped);

  private:
    class Sink;
    Outcome convert(int index);

    QList<ConversionJob> m_jobs;
    const RunSettings m_settings;
    std::unique_ptr<WorkerPool> m_pool;
    bool m_usesWorkers = false;
    bool m_cancelled = false;
    std::function<bool()> m_stopCheck;
    int m_currentPercent = 0;
};

} // namespace core
