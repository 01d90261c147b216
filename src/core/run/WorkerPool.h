// Several files converted at once, each in its own worker process: the program's command line started
// with --worker, in a work sub-folder of its own. The codec libraries keep one session per process, so
// processes are what lets every core work; they also keep a crash or a hang in one file from taking the
// run down: a worker that dies or stops answering is that file's failure, and the run goes on.
//
// Workers only decode, encode and tag. The caller takes the finished files in queue order (waitFor, then
// place), so files reach the destination in that order and a stop leaves nothing of the later ones.
#pragma once

#include "core/convert/ConversionJob.h"
#include "core/convert/Converter.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <memory>
#include <vector>

namespace core {

class WorkerPool {
  public:
    // `program` is the command line program; at most `workers` run at once, each job in a sub-folder of
    // `workFolder`, the run's own folder (the jobs' own work folders are not used). A worker silent for
    // `silenceLimitMs` counts as hung.
    WorkerPool(QString program, QString workFolder, int workers, QList<ConversionJob> jobs,
               int silenceLimitMs = 120000);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs the event loop until job `index` is through its worker, showing that job's progress on the
    // sink, and returns its outcome; converted means its file waits for place(). Other jobs go on
    // meanwhile. When the sink asks to stop, every worker is stopped and the result is Cancelled.
    Outcome waitFor(int index, ConversionSink& sink);
    // Copies job `index`'s finished file into its destination and clears its work sub-folder.
    Outcome place(int index);
    // Ends every worker and removes every work sub-folder; no job starts afterwards.
    void stop();

    // The percentages of the jobs whose workers are running now, in queue order.
    QList<int> runningPercents() const;

    // The default number of workers: the machine's cores.
    static int defaultWorkers();

  private:
    enum class State { Pending, Running, Done, Placed };
    struct Slot {
        ConversionJob job;
        State state = State::Pending;
        std::unique_ptr<QProcess> process;
        QString folder;
        QByteArray pending; // output not yet ended by a line break
        QString songText;
        bool decoding = false;
        int percent = 0;
        bool answered = false; // an outcome line came
        QString lostReason;    // set when the parent gave up on the worker
        Outcome outcome;
        QElapsedTimer heard;
    };

    void fill();
    void start(int index);
    void readOutput(int index);
    void finish(int index, const Outcome& outcome);
    void workerEnded(int index, int exitCode, QProcess::ExitStatus status);
    void checkSilence();
    void removeFolder(Slot& slot);

    const QString m_program;
    const QString m_workFolder;
    const int m_workers;
    const int m_silenceLimitMs;
    QList<std::shared_ptr<Slot>> m_slots;
    int m_next = 0;
    int m_running = 0;
    bool m_stopped = false;
    // Processes that have ended, deleted at the next safe point: not inside their own signals, and not
    // left to deleteLater, which no event loop may ever get round to in the command line.
    std::vector<std::unique_ptr<QProcess>> m_ended;
};

} // namespace core
