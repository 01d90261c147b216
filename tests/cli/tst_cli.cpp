// mp3recast-cli as a user runs it: exit codes, what it prints, the folder structure it keeps, skipped
// existing files, the same bytes whatever the number of workers and the same as the window's converter,
// and a worker that crashes.

#include "FullVolume.h"
#include "cli_run.h"
#include "core/convert/Converter.h"
#include "mp3_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

using Result = CliResult;

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString source;

  private slots:
    // A work folder with room for the two work files but not for the tag with its cover: the tag write
    // fails, the file is given up with the tag phase's message and the cause, nothing is placed, and the
    // run goes on with the next file.
    void tagThatCannotBeWrittenPlacesNothing() {
        FullVolume work(2048);
        if (!work.isMounted())
            QSKIP("cannot mount a small tmpfs here (mounting needs CAP_SYS_ADMIN)");
        fixtures::ToneSpec spec;
        spec.seconds = 10.0; // a WAV work file of 1.76 MB
        const QByteArray audio = fixtures::makeMp3(spec).bytes;
        const QByteArray tag = fixtures::id3v2Tag(
            3, {fixtures::id3v2Frame(3, "TIT2",
                                     fixtures::textPayload(fixtures::Encoding::Latin1, QStringLiteral("T"))),
                fixtures::id3v2Frame(
                    3, "APIC", fixtures::picturePayload("image/jpeg", fixtures::randomBytes(300'000, 5)))});
        const QString in = root.filePath(QStringLiteral("tagroom"));
        QVERIFY(QDir().mkpath(in));
        QVERIFY(fixtures::writeFile(in + QStringLiteral("/a covered.mp3"), tag + audio));
        spec.seconds = 1.0;
        QVERIFY(fixtures::writeFile(in + QStringLiteral("/b plain.mp3"), fixtures::makeMp3(spec).bytes));
        const QString out = root.filePath(QStringLiteral("tagroom-out"));
        const Result result = runCli({QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-w"),
                                      work.path(), QStringLiteral("-o"), out, in});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(
            result.err.contains(QStringLiteral("a covered.mp3: IDタグ書き込みでエラーが発生しました。")) &&
                result.err.contains(QStringLiteral("ディスクの空き容量")),
            qPrintable(result.err));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("b plain.mp3")});
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void initTestCase() {
        // 元/a.mp3, 元/b 壊れ.mp3 (no audio), 元/c.MP3, 元/sub/d.mp3, 元/.hidden.mp3, 元/notes.txt
        source = root.filePath(QStringLiteral("元"));
        QDir().mkpath(source + QStringLiteral("/sub"));
        fixtures::ToneSpec spec;
        spec.seconds = 1.5;
        const QByteArray mp3 = fixtures::makeMp3(spec).bytes;
        spec.channels = 1;
        const QByteArray mono = fixtures::makeMp3(spec).bytes;
        fixtures::Id3v1Fields v1;
        v1.title = "Song";
        fixtures::writeFile(source + QStringLiteral("/a.mp3"), mp3 + fixtures::id3v1(v1));
        fixtures::writeFile(source + QStringLiteral("/b 壊れ.mp3"), "not an mp3");
        fixtures::writeFile(source + QStringLiteral("/c.MP3"), mono);
        fixtures::writeFile(source + QStringLiteral("/sub/d.mp3"), mp3);
        fixtures::writeFile(source + QStringLiteral("/.hidden.mp3"), mp3);
        fixtures::writeFile(source + QStringLiteral("/notes.txt"), "text");
    }

    void badUsageExitsWithTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no destination") << QStringList{source};
        QTest::newRow("no input") << QStringList{QStringLiteral("-o"), root.path()};
        QTest::newRow("bit rate not in the list") << QStringList{QStringLiteral("-b"), QStringLiteral("100"),
                                                                 QStringLiteral("-o"), root.path(), source};
        QTest::newRow("unknown mode") << QStringList{QStringLiteral("-m"), QStringLiteral("quad"),
                                                     QStringLiteral("-o"), root.path(), source};
        QTest::newRow("no jobs") << QStringList{QStringLiteral("-j"), QStringLiteral("0"),
                                                QStringLiteral("-o"), root.path(), source};
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--fast"), QStringLiteral("-o"), root.path(), source};
    }
    void badUsageExitsWithTwo() {
        QFETCH(QStringList, arguments);
        const Result result = runCli(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QVERIFY(result.err.contains(QStringLiteral("--help")));
    }

    void helpAndVersion() {
        const Result help = runCli({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("Usage: mp3recast-cli")));
        const Result version = runCli({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("mp3recast-cli 0.9.5\n"));
    }

    // One run at each worker count over the same folder: a damaged file fails with one line and exit 1,
    // the others come out byte for byte the same, in the source's folder structure.
    void sameFilesWhateverTheWorkers() {
        QMap<QString, QByteArray> first;
        for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("3")}) {
            const QString out = root.filePath(QStringLiteral("出力-j") + jobs);
            const QString work = root.filePath(QStringLiteral("work-j") + jobs);
            QDir().mkpath(work);
            const Result result =
                runCli({QStringLiteral("-j"), jobs, QStringLiteral("-r"), QStringLiteral("-b"),
                        QStringLiteral("64"), QStringLiteral("-m"), QStringLiteral("joint"),
                        QStringLiteral("-w"), work, QStringLiteral("-o"), out, source});
            QCOMPARE(result.exitCode, 1);
            // The one line that sums the run up, on stdout.
            QVERIFY2(result.out.startsWith(
                         QStringLiteral("converted 3, copied 0, skipped 0, failed 1, pruned 0; read ")),
                     qPrintable(result.out));
            QCOMPARE(result.out.count(QLatin1Char('\n')), 1);
            const QStringList lines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 1);
            QVERIFY(lines[0].startsWith(source +
                                        QStringLiteral("/b 壊れ.mp3: ファイル情報の取得に失敗しました。")));
            const QMap<QString, QByteArray> files = tree(out);
            QCOMPARE(files.keys(), (QStringList{QStringLiteral("a.mp3"), QStringLiteral("c.MP3"),
                                                QStringLiteral("sub/d.mp3")}));
            const auto frames = fixtures::scanFrames(files.value(QStringLiteral("a.mp3")));
            QVERIFY(frames && !frames->isEmpty());
            QCOMPARE(frames->last().bitRate, 64);
            QCOMPARE(frames->last().mode, 1);
            QVERIFY(tree(work).isEmpty());
            QVERIFY(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
            if (first.isEmpty())
                first = files;
            else
                QCOMPARE(files, first);
        }

        // The window's converter gives the same bytes.
        core::ConversionJob job;
        job.source = source + QStringLiteral("/a.mp3");
        job.destination = root.filePath(QStringLiteral("window.mp3"));
        job.workFolder = root.path();
        job.bitRate = 64;
        job.channelMode = 2;
        core::ConversionSink sink;
        QVERIFY(core::Converter(job, sink).run().converted());
        QCOMPARE(fixtures::readFile(job.destination), first.value(QStringLiteral("a.mp3")));

        // Run again: existing files are skipped with a note and left alone; without -r only the folder's
        // own files count.
        const QString out = root.filePath(QStringLiteral("出力-j1"));
        fixtures::writeFile(out + QStringLiteral("/a.mp3"), "keep");
        const Result again = runCli({QStringLiteral("-o"), out, source + QStringLiteral("/a.mp3"),
                                     source + QStringLiteral("/c.MP3")});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.err.count(QStringLiteral("skipped")), 2);
        QCOMPARE(fixtures::readFile(out + QStringLiteral("/a.mp3")), QByteArray("keep"));
        const Result overwrite = runCli(
            {QStringLiteral("--overwrite"), QStringLiteral("-o"), out, source + QStringLiteral("/a.mp3")});
        QCOMPARE(overwrite.exitCode, 0);
        QVERIFY(fixtures::readFile(out + QStringLiteral("/a.mp3")).size() > 1000);
    }

    // A destination folder that cannot be made ends the run before any file is converted: one line, exit 1.
    // A damaged ID3v2 tag (a version no one wrote, sizes that are not sync-safe, a size past the end of the
    // file) cannot go into the output: the file is converted with what its ID3v1 tag holds, and the run
    // says what it dropped.
    void damagedTagsAreNamed() {
        fixtures::ToneSpec spec;
        spec.seconds = 1.0;
        const QByteArray audio = fixtures::makeMp3(spec).bytes;
        fixtures::Id3v1Fields v1;
        v1.title = "Still here";
        const QString in = root.filePath(QStringLiteral("damaged"));
        QDir().mkpath(in);
        const QList<QPair<QString, QByteArray>> headers = {
            {QStringLiteral("v5.mp3"), QByteArray("ID3\x05\x00\x00\x00\x00\x00\x10", 10)},
            {QStringLiteral("vFF.mp3"), QByteArray("ID3\xFF\x00\x00\x00\x00\x00\x10", 10)},
            {QStringLiteral("unsafe.mp3"), QByteArray("ID3\x03\x00\x00\x00\x00\x80\x10", 10)},
            {QStringLiteral("past-end.mp3"), QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10)},
        };
        for (const auto& [name, header] : headers)
            fixtures::writeFile(in + QLatin1Char('/') + name,
                                header + QByteArray(16, '\0') + audio + fixtures::id3v1(v1));
        const QString out = root.filePath(QStringLiteral("damaged-out"));
        const Result result =
            runCli({QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-o"), out, in});
        QCOMPARE(result.exitCode, 0);
        for (const auto& [name, header] : headers) {
            QVERIFY2(result.err.contains(in + QLatin1Char('/') + name +
                                         QStringLiteral(": note: the source's ID3v2 tag is damaged")),
                     qPrintable(result.err));
            const QByteArray output = fixtures::readFile(out + QLatin1Char('/') + name);
            QVERIFY(output.contains("Still here"));
        }
    }

    // An output whose writer was killed before its rename left a hidden temporary copy: the next run into
    // that folder removes it; one of a writer still alive (this test) stays.
    void leftoversOfKilledWritersGo() {
        const QString out = root.filePath(QStringLiteral("leftovers"));
        QDir().mkpath(out);
        const qint64 pid = fixtures::endedProcessId();
        QVERIFY(pid > 0);
        const QString dead = out + QStringLiteral("/.a.mp3.mp3recast-%1-Qw3rTy").arg(pid);
        const QString living =
            out + QStringLiteral("/.a.mp3.mp3recast-%1-AsDfGh").arg(QCoreApplication::applicationPid());
        fixtures::writeFile(dead, "half an output");
        fixtures::writeFile(living, "being written");
        QCOMPARE(runCli({QStringLiteral("-o"), out, source + QStringLiteral("/a.mp3")}).exitCode, 0);
        QVERIFY(!QFile::exists(dead));
        QVERIFY(QFile::exists(living));
        QVERIFY(QFile::exists(out + QStringLiteral("/a.mp3")));
    }

    // A name from an old Windows archive (CP932 bytes, no UTF-8) reaches no list and no job: the run says
    // how many were passed over and how to rename them, and counts them as skipped.
    void namesThatAreNotUtf8AreCounted() {
        const QString in = root.filePath(QStringLiteral("cp932"));
        QDir().mkpath(in);
        QVERIFY(QFile::copy(source + QStringLiteral("/a.mp3"), in + QStringLiteral("/a.mp3")));
        const QByteArray raw = QFile::encodeName(in) + "/\x83\x65\x83\x58\x83\x67.mp3"; // テスト
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const QString out = root.filePath(QStringLiteral("cp932-out"));
        const Result result = runCli({QStringLiteral("-o"), out, in});
        ::unlink(raw.constData()); // Qt's clean-up could not name it
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.err.contains(in + QStringLiteral(": 1 MP3 file(s) passed over")),
                 qPrintable(result.err));
        QVERIFY(result.err.contains(QStringLiteral("convmv")));
        QVERIFY2(result.out.startsWith(QStringLiteral("converted 1, copied 0, skipped 1, failed 0")),
                 qPrintable(result.out));
    }

    void destinationFoldersCheckedBeforeAnyWork() {
        const QString blocker = root.filePath(QStringLiteral("blocker"));
        fixtures::writeFile(blocker, "a file, not a folder");
        const Result direct = runCli({QStringLiteral("-o"), blocker + QStringLiteral("/out"),
                                      source + QStringLiteral("/a.mp3"), source + QStringLiteral("/c.MP3")});
        QCOMPARE(direct.exitCode, 1);
        QCOMPARE(direct.err.count(QLatin1Char('\n')), 1);
        QVERIFY(direct.err.contains(QStringLiteral("cannot use the destination folder")));
        QVERIFY(direct.err.contains(QStringLiteral("変換先フォルダを作成できません。")));

        // With -r each sub-folder is checked as well: "sub" is a file here, so its file fails with one line,
        // and the files of the folders that can be used are converted.
        const QString out = root.filePath(QStringLiteral("blocked-sub"));
        QDir().mkpath(out);
        fixtures::writeFile(out + QStringLiteral("/sub"), "in the way");
        const Result recursive = runCli({QStringLiteral("-r"), QStringLiteral("-o"), out, source});
        QCOMPARE(recursive.exitCode, 1);
        QVERIFY2(recursive.err.contains(out + QStringLiteral("/sub: cannot use the destination folder")),
                 qPrintable(recursive.err));
        QVERIFY2(recursive.out.contains(QStringLiteral("converted 2, copied 0, skipped 0, failed 2")),
                 qPrintable(recursive.out));
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("a.mp3"), QStringLiteral("c.MP3"), QStringLiteral("sub")}));
    }

    // A destination that is an input's own folder would replace the original: refused, --overwrite or
    // not, unless --in-place asks for it.
    void originalsReplacedOnlyInPlace() {
        const QString folder = root.filePath(QStringLiteral("in-place"));
        const QString file = folder + QStringLiteral("/a.mp3");
        QDir().mkpath(folder);
        fixtures::writeFile(file, fixtures::readFile(source + QStringLiteral("/a.mp3")));
        const QByteArray original = fixtures::readFile(file);
        const Result refused =
            runCli({QStringLiteral("--overwrite"), QStringLiteral("-o"), folder + QLatin1Char('/'), file});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("--in-place")), qPrintable(refused.err));
        QCOMPARE(fixtures::readFile(file), original);

        const Result replaced = runCli({QStringLiteral("--in-place"), QStringLiteral("-o"), folder, file});
        QCOMPARE(replaced.exitCode, 0);
        QVERIFY(fixtures::readFile(file) != original);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.mp3")});
    }

    // A worker that dies is its file's failure; the run goes on and nothing is left in the work folder.
    void crashingWorkerFailsOnlyItsFile() {
        const QString out = root.filePath(QStringLiteral("crash"));
        const QString work = root.filePath(QStringLiteral("crash-work"));
        QDir().mkpath(work);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MP3RECAST_WORKER_TEST"), QStringLiteral("abort:c.MP3"));
        const Result result =
            runCli({QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-w"), work,
                    QStringLiteral("-o"), out, source + QStringLiteral("/a.mp3"),
                    source + QStringLiteral("/c.MP3"), source + QStringLiteral("/sub/d.mp3")},
                   environment);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err,
                 source +
                     QStringLiteral(
                         "/c.MP3: 変換処理でエラーが発生しました。 / 変換プロセスが異常終了しました。\n"));
        QCOMPARE(tree(out).keys(), (QStringList{QStringLiteral("a.mp3"), QStringLiteral("d.mp3")}));
        QVERIFY(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
