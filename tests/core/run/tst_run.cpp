// The conversion run without a window: its signals follow the queue, a stop asked for at any point ends
// it without touching later files, workers give the same bytes as converting in this process, the worker
// protocol's round trip, and the time left of a run.

#include "core/run/ConversionRun.h"
#include "core/run/RunSummary.h"
#include "core/run/WorkerProtocol.h"
#include "mp3_fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RunFolders {
    QTemporaryDir root;
    QString source = root.filePath(QStringLiteral("元"));
    QString work = root.filePath(QStringLiteral("作業"));
    QString destination = root.filePath(QStringLiteral("先"));
    RunFolders() {
        for (const QString& folder : {source, work, destination})
            QDir().mkpath(folder);
    }
    // One job per (name, bytes), its source written into the source folder.
    QList<core::ConversionJob> jobs(const QList<std::pair<QString, QByteArray>>& files) const {
        QList<core::ConversionJob> list;
        for (const auto& [name, bytes] : files) {
            core::ConversionJob job;
            job.source = QDir(source).filePath(name);
            job.destination = QDir(destination).filePath(name);
            job.workFolder = work;
            job.bitRate = 96;
            job.channelMode = 2;
            fixtures::writeFile(job.source, bytes);
            list << job;
        }
        return list;
    }
    QStringList placed() const { return QDir(destination).entryList(QDir::Files, QDir::Name); }
    bool workIsEmpty() const {
        return QDir(work).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

// The run's signals as one line each, in the order they came.
void record(core::ConversionRun& run, QStringList& lines) {
    QObject::connect(&run, &core::ConversionRun::fileStarted,
                     [&lines](int i) { lines << QStringLiteral("start %1").arg(i); });
    QObject::connect(&run, &core::ConversionRun::fileFinished, [&lines](int i, const core::Outcome& o) {
        lines << QStringLiteral("done %1 %2").arg(i).arg(int(o.failure));
    });
    QObject::connect(&run, &core::ConversionRun::finished,
                     [&lines](bool stopped) { lines << QStringLiteral("end %1").arg(int(stopped)); });
}

} // namespace

class TestRun : public QObject {
    Q_OBJECT

    QByteArray sample;

  private slots:
    void initTestCase() {
        fixtures::ToneSpec spec;
        spec.seconds = 0.6;
        sample = fixtures::makeMp3(spec).bytes;
    }

    void signalsFollowTheQueue() {
        RunFolders folders;
        core::ConversionRun run(folders.jobs({{QStringLiteral("1.mp3"), sample},
                                              {QStringLiteral("2.mp3"), QByteArray("no audio")},
                                              {QStringLiteral("3.mp3"), sample}}),
                                core::RunSettings{});
        QStringList lines;
        record(run, lines);
        QList<int> percents;
        QStringList songs;
        connect(&run, &core::ConversionRun::progress, this, [&](int, int percent) { percents << percent; });
        connect(&run, &core::ConversionRun::decoding, this, [&](int, const QString& s) { songs << s; });
        run.run();

        QVERIFY(!run.usesWorkers());
        const int unreadable = int(core::Failure::SourceUnreadable);
        QCOMPARE(lines,
                 (QStringList{"start 0", "done 0 0", "start 1", QStringLiteral("done 1 %1").arg(unreadable),
                              "start 2", "done 2 0", "end 0"}));
        QCOMPARE(folders.placed(), (QStringList{"1.mp3", "3.mp3"}));
        QCOMPARE(songs.size(), 2);
        QVERIFY(percents.contains(100));
        QVERIFY(folders.workIsEmpty());
    }

    // A stop asked for by a finished file's handler, or by the stop check while a file converts: no later
    // file starts, and the file under way leaves nothing behind.
    void stopEndsTheRun() {
        RunFolders folders;
        const auto jobs = folders.jobs({{QStringLiteral("1.mp3"), sample},
                                        {QStringLiteral("2.mp3"), sample},
                                        {QStringLiteral("3.mp3"), sample}});
        {
            core::ConversionRun run(jobs, core::RunSettings{});
            QStringList lines;
            record(run, lines);
            connect(&run, &core::ConversionRun::fileFinished, &run, [&run] { run.cancel(); });
            run.run();
            QCOMPARE(lines, (QStringList{"start 0", "done 0 0", "end 1"}));
            QCOMPARE(folders.placed(), QStringList{"1.mp3"});
        }
        QFile::remove(jobs[0].destination);
        {
            bool stop = false;
            core::ConversionRun run(jobs, core::RunSettings{});
            QStringList lines;
            record(run, lines);
            run.setStopCheck([&stop] { return stop; });
            connect(&run, &core::ConversionRun::progress, &run,
                    [&stop](int index, int percent) { stop = stop || (index == 1 && percent >= 10); });
            run.run();
            const int cancelled = int(core::Failure::Cancelled);
            QCOMPARE(lines, (QStringList{"start 0", "done 0 0", "start 1",
                                         QStringLiteral("done 1 %1").arg(cancelled), "end 1"}));
            QCOMPARE(folders.placed(), QStringList{"1.mp3"});
            QVERIFY(folders.workIsEmpty());
        }
    }

    // Several files at once in worker processes: the same signals in the same order, and byte for byte
    // the files this process makes. Without the worker program the run converts here.
    void workersGiveTheSameFiles() {
        RunFolders here, workers;
        const QList<std::pair<QString, QByteArray>> files = {{QStringLiteral("a.mp3"), sample},
                                                             {QStringLiteral("b.mp3"), sample},
                                                             {QStringLiteral("c.mp3"), sample}};
        core::ConversionRun local(here.jobs(files), core::RunSettings{});
        local.run();

        core::RunSettings settings;
        settings.workers = 2;
        settings.workerProgram = QStringLiteral(MP3RECAST_CLI);
        settings.workFolder = workers.work;
        core::ConversionRun run(workers.jobs(files), settings);
        QStringList lines;
        record(run, lines);
        QVERIFY(run.usesWorkers());
        run.run();
        QCOMPARE(lines,
                 (QStringList{"start 0", "done 0 0", "start 1", "done 1 0", "start 2", "done 2 0", "end 0"}));
        for (const auto& [name, bytes] : files) {
            QFile a(QDir(here.destination).filePath(name)), b(QDir(workers.destination).filePath(name));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QCOMPARE(b.readAll(), a.readAll());
        }
        QVERIFY(workers.workIsEmpty());

        settings.workerProgram = workers.root.filePath(QStringLiteral("missing"));
        QVERIFY(!core::ConversionRun(workers.jobs(files), settings).usesWorkers());
    }

    void protocolCarriesAnyText() {
        core::ConversionJob job;
        job.source = QStringLiteral("/曲/a\tb\nc \"引用\".mp3");
        job.workFolder = QStringLiteral("/作業/1");
        job.bitRate = 320;
        job.channelMode = 2;
        job.syncRecord = QStringLiteral("1 size=5 mtime=6 hash=ab copied=1 settings=b=320 m=joint");
        job.copySource = true;
        const QByteArray line = core::protocol::jobLine(job);
        QCOMPARE(line.count('\n'), 1);
        const auto parsed = core::protocol::parseJobLine(line);
        QVERIFY(parsed);
        QCOMPARE(parsed->source, job.source);
        QCOMPARE(parsed->workFolder, job.workFolder);
        QCOMPARE(parsed->bitRate, 320);
        QCOMPARE(parsed->channelMode, 2);
        QCOMPARE(parsed->syncRecord, job.syncRecord);
        QVERIFY(parsed->copySource);
        QVERIFY(!core::protocol::parseJobLine("not json\n"));
        // Only the fourteen rates and three modes reach the encoder.
        job.bitRate = 129;
        QVERIFY(!core::protocol::parseJobLine(core::protocol::jobLine(job)));
        job.bitRate = 32;
        job.channelMode = 3;
        QVERIFY(!core::protocol::parseJobLine(core::protocol::jobLine(job)));

        core::Outcome outcome;
        outcome.failure = core::Failure::TagFault;
        outcome.reason = QStringLiteral("理由\r二行目");
        const auto event = core::protocol::parseWorkerLine(core::protocol::outcomeLine(outcome));
        QCOMPARE(event.kind, core::protocol::WorkerEvent::Finished);
        QCOMPARE(event.outcome, outcome);
        const auto song =
            core::protocol::parseWorkerLine(core::protocol::decodingLine(QStringLiteral("a\r\nb")));
        QCOMPARE(song.songText, QStringLiteral("a\r\nb"));
        QCOMPARE(core::protocol::parseWorkerLine("outcome {\"failure\": 99}").kind,
                 core::protocol::WorkerEvent::Unknown);
    }

    void timeLeftFollowsTheAudio() {
        QCOMPARE(core::timeLeftMs(500, 10000, 5000), qint64(-1)); // too little done to tell
        QCOMPARE(core::timeLeftMs(60000, 240000, 30000), qint64(90000));
        QCOMPARE(core::timeLeftMs(240000, 240000, 30000), qint64(0));
        QCOMPARE(core::clockText(90000), QStringLiteral("1:30"));
        QCOMPARE(core::clockText(3723000), QStringLiteral("1:02:03"));
    }
};

QTEST_GUILESS_MAIN(TestRun)
#include "tst_run.moc"
