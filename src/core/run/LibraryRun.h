// A request carried out: planned, decided, its destination folders made, its run folder taken, album
// loudness measured, its files converted in queue order, its stale outputs pruned and its summary
// counted. The window and the command line only fill the request and show what the run reports: the
// per-file signals, the terminal's lines and the result.
#pragma once

#include "core/run/ConversionRun.h"
#include "core/run/RunRequest.h"
#include "core/run/RunSummary.h"

#include <QObject>
#include <functional>
#include <memory>

namespace core {

struct RunResult {
    enum class End {
        Finished, // every job was through (some may have failed: see the summary)
        Stopped,  // asked to stop before the last job was through, or the stop rule ended it
        Refused,  // nothing was converted: the reason says why (in place without leave, no run folder)
    };
    End end = End::Finished;
    QString reason;
    RunSummary summary;
};

class LibraryRun : public QObject {
    Q_OBJECT

  public:
    explicit LibraryRun(RunRequest request, QObject* parent = nullptr);
    ~LibraryRun() override;

    // Carries the request out; returns when it is done, stopped or refused. Events keep running
    // meanwhile as in ConversionRun::run().
    [[nodiscard]] RunResult run();

    // Asks the run to stop: the file under way is given up, nothing later starts, nothing is pruned.
    void cancel() { m_cancelled = true; }
    // Also stops the run whenever this returns true (a termination signal seen, say).
    void setStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }
    [[nodiscard]] bool stopRequested() const { return m_cancelled || (m_stopCheck && m_stopCheck()); }

    const RunRequest& request() const { return m_request; }
    // The jobs being converted, in the order of the file signals' indexes (set by jobsReady).
    const QList<ConversionJob>& jobs() const { return m_jobs; }
    [[nodiscard]] QList<int> runningPercents() const;

  signals:
    // A line for the terminal's error stream: a source missing or skipped, a failed file, a note.
    void line(const QString& text);
    // A line for the terminal's output: what a dry run would do, the summary.
    void output(const QString& text);
    // The jobs are made and about to be converted.
    void jobsReady(int count);
    // Album loudness: `source` is being measured.
    void measuring(const QString& source);
    // As ConversionRun's, with indexes into jobs().
    void fileStarted(int index);
    void converting(int index);
    void decoding(int index, const QString& songText);
    void progress(int index, int percent);
    void paused();
    void fileFinished(int index, const core::Outcome& outcome);

  private:
    RunResult finish(RunResult result, const RunPlan& plan);
    // Makes the destination folders and the run folder, measures album loudness and converts; `measured`
    // false when a stop came while measuring.
    RunResult convertJobs(RunResult result, bool& measured);
    void connectRun(ConversionRun& run, RunSummary& summary);

    const RunRequest m_request;
    QList<ConversionJob> m_jobs;
    ConversionRun* m_run = nullptr;
    bool m_cancelled = false;
    std::function<bool()> m_stopCheck;
};

} // namespace core
