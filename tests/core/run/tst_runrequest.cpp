// A run request carried out by LibraryRun: the window's stop rule, the preview against what the run then
// does, and the one run folder every file of a run works in.

#include "core/run/LibraryRun.h"
#include "mp3_fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Library {
    QTemporaryDir root;
    QString source = root.filePath(QStringLiteral("lib"));
    QString destination = root.filePath(QStringLiteral("out"));
    QString work = root.filePath(QStringLiteral("work"));
    Library() {
        for (const QString& folder : {source, destination, work})
            QDir().mkpath(folder);
    }
    QString add(const QString& relative, const QByteArray& bytes) const {
        const QString path = QDir(source).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        fixtures::writeFile(path, bytes);
        return path;
    }
    core::RunRequest request() const {
        core::RunRequest request;
        request.sources = {source};
        request.recursive = true;
        request.destination = destination;
        request.workFolder = work;
        request.bitRate = 64;
        return request;
    }
    // Every file below the destination with its size and time: what a preview must leave alone.
    QStringList snapshot() const {
        QStringList files;
        QDirIterator it(destination, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            files << QStringLiteral("%1 %2 %3")
                         .arg(info.filePath())
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }
};

} // namespace

class TestRunRequest : public QObject {
    Q_OBJECT

    QByteArray sample, other;

  private slots:
    void initTestCase() {
        fixtures::ToneSpec spec;
        spec.seconds = 0.5;
        sample = fixtures::makeMp3(spec).bytes;
        spec.frequency = 660.0;
        other = fixtures::makeMp3(spec).bytes;
    }

    // A file that cannot be placed ends the window's run after it; the command line's run goes on to
    // the other files and counts the failure.
    void failedCopyStopsOnlyWhenAsked() {
        for (const bool stopRule : {true, false}) {
            Library library;
            QStringList files;
            for (const QString& name :
                 {QStringLiteral("1.mp3"), QStringLiteral("2.mp3"), QStringLiteral("3.mp3")})
                files << library.add(name, sample);
            const QString blocked = QDir(library.destination).filePath(QStringLiteral("1.mp3"));
            // A folder of the output's name: no file can take its place, whoever runs the test.
            QVERIFY(QDir().mkpath(blocked + QStringLiteral("/kept")));

            core::RunRequest request = library.request();
            request.sources = files;
            request.overwrite = true;
            request.stopOnFailedCopy = stopRule;
            core::LibraryRun run(request);
            QList<core::Failure> failures;
            connect(&run, &core::LibraryRun::fileFinished, this,
                    [&](int, const core::Outcome& outcome) { failures << outcome.failure; });
            const core::RunResult result = run.run();

            QCOMPARE(failures.first(), core::Failure::CopyFailed);
            QCOMPARE(run.stopRequested(), stopRule);
            QCOMPARE(result.end, stopRule ? core::RunResult::End::Stopped : core::RunResult::End::Finished);
            QCOMPARE(failures.size(), stopRule ? 1 : 3);
            QCOMPARE(QFileInfo::exists(QDir(library.destination).filePath(QStringLiteral("3.mp3"))),
                     !stopRule);
            QCOMPARE(result.summary.failed, 1);
            QCOMPARE(result.summary.converted, stopRule ? 0 : 2);
            QVERIFY(QFileInfo(blocked + QStringLiteral("/kept")).isDir());
        }
    }

    // The preview changes nothing, and the run then does exactly what it listed: the same sources
    // converted, the same outputs left, skipped and deleted, the same bytes read.
    void previewIsWhatTheRunDoes() {
        Library library;
        library.add(QStringLiteral("a.mp3"), sample);
        library.add(QStringLiteral("sub/b.mp3"), sample);
        const QString gone = library.add(QStringLiteral("sub/gone.mp3"), sample);
        core::RunRequest request = library.request();
        request.options.update = true;
        request.prune = true;
        QCOMPARE(core::LibraryRun(request).run().summary.converted, 3);

        // Since then: a source changed, one is new, one is gone, and a file of someone else's is in
        // the way of another new one.
        QFile::remove(gone);
        library.add(QStringLiteral("sub/b.mp3"), other);
        library.add(QStringLiteral("c.mp3"), sample);
        library.add(QStringLiteral("d.mp3"), sample);
        fixtures::writeFile(QDir(library.destination).filePath(QStringLiteral("d.mp3")), "mine");

        const QStringList before = library.snapshot();
        const core::RunPreview preview = core::previewRun(request);
        QCOMPARE(library.snapshot(), before);

        QStringList listed;
        for (const core::PreviewEntry& entry : preview.entries())
            listed << QStringLiteral("%1 %2")
                          .arg(int(entry.action))
                          .arg(QFileInfo(entry.destination).fileName());
        listed.sort();
        using A = core::PreviewEntry::Action;
        QStringList expected{
            QStringLiteral("%1 a.mp3").arg(int(A::UpToDate)), QStringLiteral("%1 b.mp3").arg(int(A::Convert)),
            QStringLiteral("%1 c.mp3").arg(int(A::Convert)), QStringLiteral("%1 d.mp3").arg(int(A::Skip)),
            QStringLiteral("%1 gone.mp3").arg(int(A::Delete))};
        expected.sort();
        QCOMPARE(listed, expected);
        QCOMPARE(preview.bytesToRead, qint64(other.size() + sample.size()));
        QVERIFY(preview.destinationSpace.has_value());

        core::LibraryRun run(request);
        QStringList converted;
        connect(&run, &core::LibraryRun::fileFinished, this, [&](int index, const core::Outcome& outcome) {
            if (outcome.converted())
                converted << run.jobs()[index].source;
        });
        const core::RunResult result = run.run();
        QStringList previewed;
        for (const core::ConversionJob& job : preview.jobsToRun())
            previewed << job.source;
        QCOMPARE(converted, previewed);
        QCOMPARE(result.summary.converted, preview.count(A::Convert));
        QCOMPARE(result.summary.skipped, preview.count(A::Skip) + preview.count(A::UpToDate));
        QCOMPARE(result.summary.pruned, preview.count(A::Delete));
        QCOMPARE(result.summary.bytesRead, preview.bytesToRead);
        QVERIFY(!QFileInfo::exists(QDir(library.destination).filePath(QStringLiteral("sub/gone.mp3"))));
        QCOMPARE(fixtures::readFile(QDir(library.destination).filePath(QStringLiteral("d.mp3"))),
                 QByteArray("mine"));
        // Nothing is left to do.
        QCOMPARE(core::previewRun(request).count(A::Convert), 0);
    }

    // Files converted here and files converted by workers work inside the one locked folder of the
    // run; a dead run's folder goes first, and the work folder is left as it was found.
    void oneRunFolderForEveryFile() {
        for (const int workers : {1, 2}) {
            Library library;
            for (const QString& name :
                 {QStringLiteral("1.mp3"), QStringLiteral("2.mp3"), QStringLiteral("3.mp3")})
                library.add(name, sample);
            QVERIFY(QDir(library.work).mkdir(QStringLiteral("MP3Recast.1.0")));
            fixtures::writeFile(library.work + QStringLiteral("/MP3Recast.1.0/Temp.tmp"), "left over");

            core::RunRequest request = library.request();
            request.workers = workers;
            request.workerProgram = QStringLiteral(MP3RECAST_CLI);
            core::LibraryRun run(request);
            int workerFolders = 0;
            bool oneFolder = true;
            connect(&run, &core::LibraryRun::progress, this, [&](int index, int) {
                const QStringList folders =
                    QDir(library.work).entryList({QStringLiteral("MP3Recast.*")}, QDir::Dirs);
                if (folders.size() != 1) {
                    oneFolder = false;
                    return;
                }
                const QDir folder(QDir(library.work).filePath(folders[0]));
                oneFolder = oneFolder && folder.exists(QStringLiteral("run.lock")) &&
                            folder.entryList({QStringLiteral("MP3Recast.*")}, QDir::Dirs).isEmpty();
                if (workers == 1)
                    oneFolder = oneFolder && run.jobs()[index].workFolder == folder.path();
                else
                    workerFolders += int(folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
            });
            const core::RunResult result = run.run();
            QCOMPARE(result.summary.converted, 3);
            QVERIFY(oneFolder);
            QCOMPARE(workerFolders > 0, workers > 1);
            QVERIFY(QDir(library.work).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        }
    }
};

QTEST_GUILESS_MAIN(TestRunRequest)
#include "tst_runrequest.moc"
