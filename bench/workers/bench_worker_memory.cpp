// The memory of a run's parent over many files converted by worker processes, as mp3recast-cli runs them
// (one conversion run with workers, file after file): its resident memory after 100 files and after all
// of them. Goal: flat, whatever the number of files.
//
// Usage: bench_worker_memory [files, default 3000] [workers, default 2]
// Each file is the same short tone (0.2 s), so the run measures the pool, not the encoder.

#include "ProcessMemory.h"
#include "core/run/ConversionRun.h"
#include "mp3_fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? qMax(100, atoi(argv[1])) : 3000;
    const int workers = argc > 2 ? qMax(2, atoi(argv[2])) : 2;

    QTemporaryDir root;
    fixtures::ToneSpec spec;
    spec.seconds = 0.2;
    const QString source = root.filePath(QStringLiteral("tone.mp3"));
    fixtures::writeFile(source, fixtures::makeMp3(spec).bytes);
    const QString out = root.filePath(QStringLiteral("out"));
    const QString work = root.filePath(QStringLiteral("work"));
    QDir().mkpath(out);
    QDir().mkpath(work);

    QList<core::ConversionJob> jobs;
    for (int i = 0; i < files; ++i) {
        core::ConversionJob job;
        job.source = source;
        job.destination = QDir(out).filePath(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        jobs << job;
    }

    const double atStart = bench::residentMegabytes();
    double after100 = 0;
    double atEnd = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    {
        core::RunSettings settings;
        settings.workers = workers;
        settings.workerProgram = QStringLiteral(MP3RECAST_CLI);
        settings.workFolder = work;
        core::ConversionRun run(jobs, settings);
        if (!run.usesWorkers()) {
            std::fprintf(stderr, "the worker program %s cannot be started\n", MP3RECAST_CLI);
            return 1;
        }
        QObject::connect(
            &run, &core::ConversionRun::fileFinished, [&](int index, const core::Outcome& outcome) {
                if (!outcome.converted())
                    ++failed;
                QFile::remove(jobs[index].destination); // only the parent's memory is measured, not the disk
                if (index + 1 == 100)
                    after100 = bench::residentMegabytes();
            });
        run.run();
        atEnd = bench::residentMegabytes();
    }
    std::printf("%d files, %d workers, %.1f s, %d failed\n", files, workers, clock.elapsed() / 1000.0,
                failed);
    std::printf("resident memory: %.1f MB at start, %.1f MB after 100 files, %.1f MB after %d files\n",
                atStart, after100, atEnd, files);
    return failed == 0 ? 0 : 1;
}
