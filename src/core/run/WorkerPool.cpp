#include "core/run/WorkerPool.h"

#include "core/files/FileHelpers.h"
#include "core/run/WorkerProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <QTimer>
#include <vbmp3.h>

namespace core {
namespace {

Outcome lost(const QString& reason) {
    Outcome outcome;
    outcome.failure = Failure::WorkerLost;
    outcome.reason = reason;
    return outcome;
}

} // namespace

WorkerPool::WorkerPool(QString program, QString workFolder, int workers, QList<ConversionJob> jobs,
                       int silenceLimitMs)
    : m_program(std::move(program)), m_workFolder(std::move(workFolder)), m_workers(qMax(1, workers)),
      m_silenceLimitMs(silenceLimitMs) {
    for (ConversionJob& job : jobs) {
        auto slot = std::make_shared<Slot>();
        slot->job = std::move(job);
        m_slots.append(slot);
    }
}

WorkerPool::~WorkerPool() {
    stop();
}

int WorkerPool::defaultWorkers() {
    return qMax(1, QThread::idealThreadCount());
}

void WorkerPool::fill() {
    while (!m_stopped && m_running < m_workers && m_next < m_slots.size())
        start(m_next++);
}

void WorkerPool::start(int index) {
    Slot& slot = *m_slots[index];
    slot.folder = m_workFolder.isEmpty() ? QString() : QDir(m_workFolder).filePath(QString::number(index));
    if (slot.folder.isEmpty() || !QDir().mkdir(slot.folder)) {
        // The same words as a decoding that could not write its work file.
        Outcome outcome;
        outcome.failure = Failure::DecodeFault;
        outcome.reason = decoderStateText(VBMP3_STATE_WRITE_ERROR, m_workFolder);
        slot.folder.clear();
        slot.state = State::Done;
        slot.outcome = outcome;
        return;
    }

    ++m_running;
    slot.state = State::Running;
    slot.process = std::make_unique<QProcess>();
    QProcess* process = slot.process.get();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setReadChannel(QProcess::StandardOutput);
    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
                     [this, index] { readOutput(index); });
    QObject::connect(
        process, &QProcess::finished, process,
        [this, index](int code, QProcess::ExitStatus status) { workerEnded(index, code, status); });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, index](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(index, lost(QStringLiteral("変換プロセスを起動できませんでした（%1）。").arg(m_program)));
    });

    // The worker checks its parent against this, so that it never outlives a parent that died early.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MP3RECAST_PARENT_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process->setProcessEnvironment(environment);

    ConversionJob job = slot.job;
    job.workFolder = slot.folder;
    slot.heard.start();
    process->start(m_program, {QStringLiteral("--worker")});
    process->write(protocol::jobLine(job));
    process->closeWriteChannel();
}

void WorkerPool::readOutput(int index) {
    Slot& slot = *m_slots[index];
    if (!slot.process)
        return;
    slot.heard.restart();
    slot.pending += slot.process->readAllStandardOutput();
    qsizetype end;
    while ((end = slot.pending.indexOf('\n')) >= 0) {
        const QByteArray line = slot.pending.left(end);
        slot.pending.remove(0, end + 1);
        const protocol::WorkerEvent event = protocol::parseWorkerLine(line);
        switch (event.kind) {
        case protocol::WorkerEvent::Decoding:
            slot.songText = event.songText;
            slot.decoding = true;
            slot.percent = 0;
            break;
        case protocol::WorkerEvent::Progress:
            slot.percent = event.percent;
            break;
        case protocol::WorkerEvent::Finished:
            slot.answered = true;
            slot.outcome = event.outcome;
            break;
        default:
            break;
        }
    }
}

void WorkerPool::workerEnded(int index, int exitCode, QProcess::ExitStatus status) {
    Slot& slot = *m_slots[index];
    readOutput(index);
    if (!slot.lostReason.isEmpty())
        finish(index, lost(slot.lostReason));
    else if (slot.answered && status == QProcess::NormalExit && exitCode == 0)
        finish(index, slot.outcome);
    else if (status == QProcess::CrashExit) {
        // For a worker that died of a signal, Qt gives the signal's number as its exit code.
        Outcome outcome = lost(QStringLiteral("変換プロセスが異常終了しました。"));
        outcome.code = exitCode;
        finish(index, outcome);
    } else
        finish(index, lost(QStringLiteral("変換プロセスが終了コード %1 で終了しました。").arg(exitCode)));
}

void WorkerPool::finish(int index, const Outcome& outcome) {
    Slot& slot = *m_slots[index];
    if (slot.state != State::Running)
        return;
    slot.state = State::Done;
    slot.outcome = outcome;
    --m_running;
    if (QProcess* process = slot.process.release()) {
        process->disconnect();
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        m_ended.emplace_back(process);
    }
    if (!outcome.converted())
        removeFolder(slot);
    fill();
}

void WorkerPool::checkSilence() {
    for (int i = 0; i < m_slots.size(); ++i) {
        Slot& slot = *m_slots[i];
        if (slot.state == State::Running && slot.process && slot.lostReason.isEmpty() &&
            slot.heard.elapsed() > m_silenceLimitMs) {
            slot.lostReason =
                QStringLiteral("変換プロセスが %1 秒間応答しませんでした。").arg(m_silenceLimitMs / 1000);
            finish(i, lost(slot.lostReason));
        }
    }
}

void WorkerPool::removeFolder(Slot& slot) {
    if (!slot.folder.isEmpty())
        QDir(slot.folder).removeRecursively();
    slot.folder.clear();
}

Outcome WorkerPool::waitFor(int index, ConversionSink& sink) {
    Slot& slot = *m_slots[index];
    sink.started();
    fill();
    // The event loop wakes at least this often, to notice hung workers.
    QTimer tick;
    tick.start(qBound(10, m_silenceLimitMs / 4, 250));
    bool announced = false;
    int shown = 0;
    for (;;) {
        if (slot.decoding && !announced) {
            announced = true;
            shown = 0;
            sink.decoding(slot.songText);
        }
        if (announced && slot.percent != shown) {
            shown = slot.percent;
            sink.progress(shown);
        }
        if (slot.state == State::Done || slot.state == State::Placed || m_stopped)
            break;
        if (sink.cancelRequested()) {
            stop();
            Outcome cancelled;
            cancelled.failure = Failure::Cancelled;
            return cancelled;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        m_ended.clear();
        checkSilence();
    }
    if (m_stopped && slot.state != State::Done) {
        Outcome cancelled;
        cancelled.failure = Failure::Cancelled;
        return cancelled;
    }
    return slot.outcome;
}

Outcome WorkerPool::place(int index) {
    Slot& slot = *m_slots[index];
    if (slot.state != State::Done || !slot.outcome.converted())
        return slot.outcome;
    const Outcome outcome =
        placeWorkFile(mp3WorkFile(slot.folder), wavWorkFile(slot.folder), slot.job.destination,
                      slot.job.keepDate ? slot.job.source : QString());
    slot.state = State::Placed;
    removeFolder(slot);
    slot.songText.clear();
    slot.pending.clear();
    return outcome;
}

void WorkerPool::stop() {
    m_stopped = true;
    for (const auto& pointer : m_slots) {
        Slot& slot = *pointer;
        if (QProcess* process = slot.process.release()) {
            process->disconnect();
            process->kill();
            process->waitForFinished(5000);
            delete process;
        }
        removeFolder(slot);
    }
    m_ended.clear();
    m_running = 0;
}

QList<int> WorkerPool::runningPercents() const {
    QList<int> percents;
    for (const auto& slot : m_slots) {
        if (slot->state == State::Running)
            percents << slot->percent;
    }
    return percents;
}

} // namespace core
