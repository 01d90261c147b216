// The window's run with several worker processes: what the user sees is the run of one file after the
// other. Files reach the destination in queue order, messages come in queue order, a worker that dies
// is that file's message, and Stop leaves nothing of the files after the current one.

#include "ConversionSetup.h"
#include "WindowDriver.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#include <csignal>

namespace {

QStringList names(int count) {
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << QStringLiteral("曲%1.mp3").arg(i);
    return list;
}

void useWorkers(ConversionSetup& setup) {
    setup.form->setWorkers(3, QStringLiteral(MP3RECAST_CLI));
}

} // namespace

class TestConversionWorkers : public QObject {
    Q_OBJECT

    QByteArray sample;

  private slots:
    void initTestCase() {
        fixtures::ToneSpec spec;
        spec.seconds = 1.0;
        sample = fixtures::makeMp3(spec).bytes;
    }
    void cleanup() { qunsetenv("MP3RECAST_WORKER_TEST"); }

    void queueOrderWithAWorkerThatDies() {
        ConversionSetup setup;
        useWorkers(setup);
        const QStringList files = names(5);
        QString damaged;
        for (const QString& name : files) {
            const QString path = setup.addSource(name, name == files[3] ? QByteArray("no audio") : sample);
            if (name == files[3])
                damaged = path;
        }
        qputenv("MP3RECAST_WORKER_TEST", "abort:曲2");
        // When the run reaches file k, exactly the files before it that converted are in the destination.
        QList<QStringList> seen;
        QObject::connect(ui::field(*setup.form, "NowCount"), &QLineEdit::textChanged,
                         [&](const QString& text) {
                             if (!text.isEmpty())
                                 seen << setup.destinationFiles();
                         });
        ui::click(*setup.form, "ConvertStart");

        QCOMPARE(
            setup.dialogs.messageTexts(),
            (QStringList{QStringLiteral("変換処理でエラーが発生しました。\r変換プロセスが異常終了しました。"),
                         QStringLiteral("ファイル情報の取得に失敗しました。\r") + damaged}));
        QCOMPARE(seen, (QList<QStringList>{
                           {}, {files[0]}, {files[0]}, {files[0], files[2]}, {files[0], files[2]}}));
        QCOMPARE(setup.destinationFiles(), (QStringList{files[0], files[2], files[4]}));
        QVERIFY(setup.percents.contains(QStringLiteral("100%")));
        QCOMPARE(setup.nowCounts.first(), QStringLiteral("1/5"));
        QVERIFY(QDir(setup.workFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(setup.queue().isEmpty());
    }

    // The second file's worker never answers; Stop while the run waits for it. The files after it may
    // be finished in their workers already, but none reaches the destination.
    void stopWithSeveralWorkers() {
        ConversionSetup setup;
        useWorkers(setup);
        const QStringList files = names(4);
        for (const QString& name : files)
            setup.addSource(name, sample);
        const QStringList queued = setup.queue();
        qputenv("MP3RECAST_WORKER_TEST", "hang:曲2");
        QObject::connect(
            ui::field(*setup.form, "NowCount"), &QLineEdit::textChanged, [&](const QString& text) {
                if (text == QStringLiteral("2/4"))
                    QTimer::singleShot(0, ui::button(*setup.form, "ConvertStart"), [&] {
                        QTest::mouseClick(ui::button(*setup.form, "ConvertStart"), Qt::LeftButton);
                    });
            });
        setup.form->show();
        ui::click(*setup.form, "ConvertStart");

        QVERIFY(setup.dialogs.shown.isEmpty());
        QCOMPARE(setup.destinationFiles(), QStringList{files[0]});
        QCOMPARE(setup.queue(), queued);
        QVERIFY(QDir(setup.workFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(ui::button(*setup.form, "ConvertStart")->text(), QStringLiteral("変換開始"));
        QVERIFY(ui::button(*setup.form, "ProgExit")->isEnabled());
    }

    // The same file at the same settings gives the same bytes whichever way it is converted: in the
    // window's own process, in the window's workers, and by the command line.
    void sameBytesInTheWindowItsWorkersAndTheCommandLine() {
        const QByteArray tagged =
            fixtures::id3v2Tag(
                4, {fixtures::id3v2Frame(
                        4, "TIT2", fixtures::textPayload(fixtures::Encoding::Utf8, QStringLiteral("春の海"))),
                    fixtures::id3v2Frame(
                        4, "TPE1",
                        fixtures::textPayload(fixtures::Encoding::Utf16, QStringLiteral("宮城道雄")))}) +
            sample;
        QList<QByteArray> outputs;
        for (const int jobs : {1, 2}) {
            ConversionSetup setup;
            setup.form->setWorkers(jobs, QStringLiteral(MP3RECAST_CLI));
            const QString source = setup.addSource(QStringLiteral("曲.mp3"), tagged);
            setup.choose(4, 0); // 64 kbit/s, mono
            ui::click(*setup.form, "ConvertStart");
            QVERIFY2(setup.dialogs.shown.isEmpty(), qPrintable(setup.dialogs.messageTexts().join(u'|')));
            outputs << fixtures::readFile(setup.destinationFolder + QStringLiteral("/曲.mp3"));

            if (jobs == 2) {
                const QString byCli = setup.program.root.filePath(QStringLiteral("cli"));
                QProcess cli;
                cli.start(QStringLiteral(MP3RECAST_CLI),
                          {QStringLiteral("-b"), QStringLiteral("64"), QStringLiteral("-m"),
                           QStringLiteral("mono"), QStringLiteral("-j"), QStringLiteral("1"),
                           QStringLiteral("-o"), byCli, source});
                QVERIFY(cli.waitForFinished(120000));
                QCOMPARE(cli.exitCode(), 0);
                outputs << fixtures::readFile(byCli + QStringLiteral("/曲.mp3"));
            }
        }
        QVERIFY(outputs[0].size() > 1000);
        QVERIFY(outputs[0].startsWith("ID3"));
        QCOMPARE(outputs[1], outputs[0]);
        QCOMPARE(outputs[2], outputs[0]);
    }

    // SIGTERM (a logout, a shutdown) in the middle of a run: the run stops as "中止" stops it, the changed
    // settings are written as the close box writes them, nothing is left in the work folder, and the
    // program ends.
    void terminationSignalEndsTheRunCleanly() {
        ConversionSetup setup;
        useWorkers(setup);
        const QStringList files = names(3);
        for (const QString& name : files)
            setup.addSource(name, sample);
        setup.choose(13, 0);
        qputenv("MP3RECAST_WORKER_TEST", "hang:曲2");
        int exits = 0;
        setup.form->setEndProgram([&exits] { ++exits; });
        setup.form->watchForShutdown();
        QObject::connect(ui::field(*setup.form, "NowCount"), &QLineEdit::textChanged,
                         [&](const QString& text) {
                             if (text == QStringLiteral("2/3"))
                                 ::raise(SIGTERM);
                         });
        ui::click(*setup.form, "ConvertStart");

        QCOMPARE(setup.destinationFiles(), QStringList{files[0]});
        QTRY_COMPARE(exits, 1);
        QVERIFY(setup.dialogs.shown.isEmpty());
        QVERIFY(QDir(setup.workFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QFile settings(setup.program.info.settingsFilePath());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray written = settings.readAll();
        QVERIFY(written.contains("\nBits=13\n"));
        QVERIFY(written.contains("\nStereo=0\n"));
        QVERIFY(written.contains("OutPath=" + setup.destinationFolder.toUtf8() + "\n"));
    }
};

QTEST_MAIN(TestConversionWorkers)
#include "tst_conversion_workers.moc"
