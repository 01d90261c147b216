// 「ライブラリを同期」 against the command line it stands for: on one generated library, its list is what
// `mp3recast-cli -r --update --prune -n` prints, its run leaves the very files the command line makes and
// the record a later command line run skips by, and a destination too small is refused before anything
// is written.

#include "cli_run.h"
#include "librarysync/LibrarySyncDialog.h"
#include "librarysync/SyncEstimate.h"
#include "mp3_fixtures.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

QByteArray tone(double frequency) {
    fixtures::ToneSpec spec;
    spec.seconds = 2.0;
    spec.frequency = frequency;
    return fixtures::makeMp3(spec).bytes;
}

bool put(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && fixtures::writeFile(path, bytes);
}

const QStringList Encoding{QStringLiteral("-b"), QStringLiteral("96"), QStringLiteral("-m"),
                           QStringLiteral("joint"), QStringLiteral("--id3v23")};

librarysync::SyncChoice choiceOf(const QString& library, const QString& destination) {
    librarysync::SyncChoice choice{library, destination, true, {}};
    choice.options.run.id3v23 = true;
    choice.options.jobs = 2; // the workers are the command line program, as in the window
    return choice;
}

} // namespace

class TestLibrarySync : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString lib, dialogOut, cliOut;

    CliResult cliSync(const QString& out, const QStringList& extra = {}) {
        return runCli(QStringList{QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-r"),
                                  QStringLiteral("--update"), QStringLiteral("--prune"), QStringLiteral("-o"),
                                  out} +
                      Encoding + extra + QStringList{lib});
    }

    QString summaryOf(const CliResult& result) const {
        return result.out.trimmed().section(QLatin1Char('\n'), -1).section(QLatin1Char(';'), 0, 0);
    }

  private slots:
    // Two destinations synced alike, then the library changes: a file added, one edited, one deleted,
    // one left as it was.
    void initTestCase() {
        lib = root.filePath(QStringLiteral("lib"));
        dialogOut = root.filePath(QStringLiteral("dialog"));
        cliOut = root.filePath(QStringLiteral("cli"));
        QVERIFY(put(lib + QStringLiteral("/a.mp3"), tone(440)));
        QVERIFY(put(lib + QStringLiteral("/sub/c.mp3"), tone(660)));
        QVERIFY(put(lib + QStringLiteral("/sub/z.mp3"), tone(880)));
        for (const QString& out : {dialogOut, cliOut})
            QCOMPARE(cliSync(out).exitCode, 0);
        QVERIFY(QFile::remove(lib + QStringLiteral("/sub/z.mp3")));
        QVERIFY(put(lib + QStringLiteral("/b.mp3"), tone(550)));
        QVERIFY(put(lib + QStringLiteral("/sub/c.mp3"), tone(770)));
    }

    // The list holds every entry the dry command line prints, in its order, and the up-to-date one.
    void previewListsWhatTheCommandLineWouldDo() {
        librarysync::LibrarySyncDialog dialog(choiceOf(lib, dialogOut), 96, 2, QStringLiteral(MP3RECAST_CLI));
        const core::RunRequest request = dialog.request();
        QVERIFY(request.recursive && request.options.update && request.prune && !request.dryRun);
        QCOMPARE(request.workers, 2);
        QVERIFY(dialog.preview());

        const auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("Entries"));
        QStringList lines;
        int upToDate = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            const QString source = item->data(0, Qt::UserRole).toString();
            const QString destination = item->data(0, Qt::UserRole + 1).toString();
            if (item->text(0) == QStringLiteral("変換"))
                lines << QStringLiteral("convert %1 -> %2 (%3)")
                             .arg(source, destination, item->data(0, Qt::UserRole + 2).toString());
            else if (item->text(0) == QStringLiteral("削除"))
                lines << QStringLiteral("prune ") + destination;
            else if (item->text(0) == QStringLiteral("最新"))
                ++upToDate;
        }
        QCOMPARE(upToDate, 1);
        const CliResult dry = cliSync(dialogOut, {QStringLiteral("-n")});
        QCOMPARE(dry.exitCode, 0);
        QStringList printed = dry.out.trimmed().split(QLatin1Char('\n'));
        QVERIFY(printed.takeLast().startsWith(QStringLiteral(
            "dry run, nothing changed: converted 2, copied 0, skipped 1, failed 0, pruned 1;")));
        QCOMPARE(lines, printed);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("SpaceText"))
                    ->text()
                    .startsWith(QStringLiteral("変換 2・コピー 0・スキップ 0・最新 1・削除 1")));

        if (const QByteArray shot = qgetenv("MP3RECAST_SYNC_SCREENSHOT"); !shot.isEmpty()) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QVERIFY(dialog.grab().save(QString::fromLocal8Bit(shot)));
        }
    }

    // A destination that cannot take the estimate is refused by a byte, and nothing is written.
    void tooLittleSpaceRefusesToStart() {
        librarysync::LibrarySyncDialog dialog(choiceOf(lib, dialogOut), 96, 2, QStringLiteral(MP3RECAST_CLI));
        QVERIFY(dialog.preview());
        const qint64 needed = dialog.bytesToWrite();
        // Two new files of 2 s at 96 kbit/s.
        QVERIFY2(needed > 2 * 22000 && needed < 2 * 26000, qPrintable(QString::number(needed)));
        const auto before = tree(dialogOut);
        dialog.setFreeSpaceOverride(needed - 1);
        QVERIFY(!dialog.preview());
        auto* start = dialog.findChild<QPushButton*>(QStringLiteral("StartButton"));
        QVERIFY(!start->isEnabled());
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("SpaceText"))
                    ->text()
                    .endsWith(QStringLiteral("\n空き容量が 1 バイト足りません。")));
        QSignalSpy ended(&dialog, &librarysync::LibrarySyncDialog::syncFinished);
        dialog.start();
        QCOMPARE(ended.count(), 0);
        QCOMPARE(tree(dialogOut), before);
        dialog.setFreeSpaceOverride(needed);
        QVERIFY(dialog.preview());
        QVERIFY(start->isEnabled());
    }

    // 開始 leaves the files the command line leaves with the same request, and their records let a later
    // command line run skip them all.
    void startMakesTheCommandLinesFiles() {
        librarysync::LibrarySyncDialog dialog(choiceOf(lib, dialogOut), 96, 2, QStringLiteral(MP3RECAST_CLI));
        QSignalSpy ended(&dialog, &librarysync::LibrarySyncDialog::syncFinished);
        dialog.start();
        QCOMPARE(ended.count(), 1);
        const auto summary = ended.first().first().value<core::RunSummary>();
        QCOMPARE(summary.converted, 2);
        QCOMPARE(summary.skipped, 1);
        QCOMPARE(summary.pruned, 1);
        QCOMPARE(summary.failed, 0);
        QCOMPARE(dialog.lastSummary().bytesWritten, summary.bytesWritten);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("SummaryText"))
                    ->text()
                    .startsWith(QStringLiteral("変換 2・コピー 0・スキップ 1・失敗 0・削除 1")));
        auto* start = dialog.findChild<QPushButton*>(QStringLiteral("StartButton"));
        QCOMPARE(start->text(), QStringLiteral("開始"));

        QCOMPARE(cliSync(cliOut).exitCode, 0);
        const auto made = tree(dialogOut);
        QCOMPARE(made.keys(), (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3"),
                                           QStringLiteral("sub/c.mp3")}));
        QVERIFY(made == tree(cliOut));

        const CliResult again = cliSync(dialogOut);
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(summaryOf(again), QStringLiteral("converted 0, copied 0, skipped 3, failed 0, pruned 0"));
        QVERIFY(tree(dialogOut) == made);
    }

    // 中止 as soon as the run lets events through: it ends stopped, nothing half made is left in the
    // destination and nothing is pruned.
    void stopLeavesNothingPartial() {
        QVERIFY(put(lib + QStringLiteral("/sub/c.mp3"), tone(990)));
        QVERIFY(put(lib + QStringLiteral("/d.mp3"), tone(330)));
        QVERIFY(put(dialogOut + QStringLiteral("/gone.mp3"), tone(220)));
        const auto before = tree(dialogOut);
        auto choice = choiceOf(lib, dialogOut);
        choice.options.jobs = 1;
        librarysync::LibrarySyncDialog dialog(choice, 96, 2, QStringLiteral(MP3RECAST_CLI));
        auto* start = dialog.findChild<QPushButton*>(QStringLiteral("StartButton"));
        // The click comes in through the events the run keeps running, as the user's would.
        QMetaObject::invokeMethod(
            start,
            [start] {
                QCOMPARE(start->text(), QStringLiteral("中止"));
                start->click();
            },
            Qt::QueuedConnection);
        dialog.start();
        QCOMPARE(dialog.lastSummary().converted, 0);
        QCOMPARE(dialog.lastSummary().pruned, 0);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("SummaryText"))
                    ->text()
                    .startsWith(QStringLiteral("中止しました。")));
        QCOMPARE(tree(dialogOut), before);
    }
};

QTEST_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
