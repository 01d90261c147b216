#include "cli/BatchRun.h"
#include "core/run/RunSummary.h"

#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "codecs/decoder.h"
#include "core/run/LibraryRun.h"
#include "core/run/TerminationSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace cli {
namespace {

void printOut(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
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

core::RunRequest requestOf(const Options& options) {
    core::RunRequest request;
    request.sources = options.inputs;
    request.recursive = options.recursive;
    request.destination = options.destination;
    request.bitRate = options.bitRate;
    request.channelMode = options.channelMode;
    request.options.update = options.update;
    request.options.checksum = options.checksum;
    request.options.noUpscale = options.noUpscale;
    request.options.keepDates = options.keepDates;
    request.options.fatNames = options.fatNames;
    request.options.id3v23 = options.id3v23;
    request.options.coverMax = options.coverMax;
    request.options.normalize = options.normalize;
    request.options.targetLufs = options.targetLufs;
    request.options.vbrQuality = options.vbrQuality;
    request.overwrite = options.overwrite;
    request.inPlace = options.inPlace;
    request.prune = options.prune;
    request.dryRun = options.dryRun;
    request.workers = options.jobs > 0 ? options.jobs : core::defaultWorkerCount();
    // The workers are this very program, started in its worker mode.
    request.workerProgram = QCoreApplication::applicationFilePath();
    request.workFolder = options.workFolder;
    request.silenceLimitMs = options.silenceLimitMs;
    return request;
}

} // namespace

int runBatch(const Options& options) {
    // Ctrl-C, a closed terminal or a logout stop the run at the next safe point.
    const core::TerminationSignals watcher;
    core::LibraryRun run(requestOf(options));
    run.setStopCheck([] { return core::TerminationSignals::anyReceived(); });

    TerminalProgress bar(0);
    QObject::connect(&run, &core::LibraryRun::line, [&bar](const QString& text) { bar.line(text); });
    QObject::connect(&run, &core::LibraryRun::output, [](const QString& text) { printOut(text); });

    // The bar shows the files done, the current file's name, the percentages of the files under way and
    // the time left.
    AudioClock clock;
    int current = 0;
    QString name;
    QObject::connect(&run, &core::LibraryRun::jobsReady, [&](int count) {
        for (const core::ConversionJob& job : run.jobs()) {
            clock.durations << core::audioDurationMs(job.source);
            clock.total += clock.durations.last();
        }
        bar.setTotal(count);
    });
    QObject::connect(&run, &core::LibraryRun::measuring, [&bar](const QString& source) {
        bar.show(0, QStringLiteral("loudness: ") + QFileInfo(source).fileName(), {});
    });
    auto showBar = [&](int, int percent) {
        bar.setTimeLeft(clock.leftText(current, percent));
        bar.show(current, name, run.runningPercents());
    };
    QObject::connect(&run, &core::LibraryRun::fileStarted, [&](int index) {
        if (index == 0)
            clock.timer.start();
        current = index;
        name = QFileInfo(run.jobs()[index].source).fileName();
    });
    QObject::connect(&run, &core::LibraryRun::converting, [&](int index) { showBar(index, 0); });
    QObject::connect(&run, &core::LibraryRun::progress, showBar);
    QObject::connect(&run, &core::LibraryRun::fileFinished, [&](int index, const core::Outcome& outcome) {
        if (outcome.failure == core::Failure::Cancelled)
            return;
        clock.done += clock.durations.value(index);
        bar.show(index + 1, QString(), {});
    });

    const core::RunResult result = run.run();
    switch (result.end) {
    case core::RunResult::End::Refused:
        return 1;
    case core::RunResult::End::Stopped:
        bar.line(QStringLiteral("interrupted"));
        return 130;
    case core::RunResult::End::Finished:
        break;
    }
    return result.summary.failed > 0 ? 1 : 0;
}

} // namespace cli
