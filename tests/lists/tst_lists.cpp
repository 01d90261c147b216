// The folders and file lists: the destination list in name and date order with its free-space labels,
// the source list and the folder choosers, and the conversion queue with its totals and scroll range.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "core/models/ConversionQueue.h"
#include "core/models/DestinationListing.h"
#include "ui/ListTexts.h"
#include "window/MainForm.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QThread>
#include <QtTest>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

void makeFile(const QString& path, qint64 size = 0) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

// Waits until the clock is a little into the next second: file time stamps come from a coarser clock that
// can lag a few milliseconds, so files made right at the turn could still get the old second.
void startOfNextSecond() {
    const qint64 next = (QDateTime::currentMSecsSinceEpoch() / 1000 + 1) * 1000 + 50;
    while (QDateTime::currentMSecsSinceEpoch() < next)
        QThread::msleep(5);
}

} // namespace

class TestLists : public QObject {
    Q_OBJECT

    TestProgram program;
    ScriptedDialogs dialogs;

  private slots:
    void textsAndKeys() {
        QCOMPARE(ui::groupedNumber(999), QStringLiteral("999"));
        QCOMPARE(ui::groupedNumber(-1234567), QStringLiteral("-1,234,567"));
        QCOMPARE(ui::destinationFreeText(12, 1'234'567'890),
                 QStringLiteral("12個   空き容量：1,234,567,890ﾊﾞｲﾄ"));
        QCOMPARE(ui::workFreeText(98'765'432), QStringLiteral("空き容量：98,765,432ﾊﾞｲﾄ"));
        QCOMPARE(ui::queueTotalsText(3, 12'345'678), QStringLiteral("3個   変換前容量:12,345,678ﾊﾞｲﾄ"));
        // One offset for every file, whatever offset the file's own time carries; fractions are dropped.
        const QDateTime created(QDate(2003, 1, 2), QTime(0, 5, 7, 999), Qt::UTC);
        QCOMPARE(core::creationSortKey(created, QStringLiteral("a.mp3"), 9 * 3600),
                 QStringLiteral("20030102090507a.mp3"));
        QCOMPARE(core::creationSortKey(created.toOffsetFromUtc(-5 * 3600), QStringLiteral("a.mp3"), 0),
                 QStringLiteral("20030102000507a.mp3"));
        QCOMPARE(ui::queueExtentFor(QStringLiteral("C:\\ﾊﾞｲﾄ\\音楽.mp3")),
                 ((3 + 4 + 1 + 4 + 4) * 90 + 180) / 15);
    }

    void nameAndDateOrder() {
        QTemporaryDir out;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(out.path());
        makeFile(out.filePath(QStringLiteral("z.mp3"))); // the oldest
        startOfNextSecond();
        for (const char* name : {"b.mp3", "c.Mp3", "A.MP3", ".hidden.mp3", "notes.txt", "song.mp3.bak"})
            makeFile(out.filePath(QString::fromLatin1(name)));
        QDir(out.path()).mkdir(QStringLiteral("folder.mp3"));

        ui::option(form, "ListSort", 1)->setChecked(true);
        QCOMPARE(texts(ui::list(form, "DFileList")), (QStringList{"A.MP3", "b.mp3", "c.Mp3", "z.mp3"}));

        // Created in the same second, the other three keep their name order after the oldest file.
        ui::option(form, "ListSort", 0)->setChecked(true);
        QCOMPARE(texts(ui::list(form, "DFileList")), (QStringList{"z.mp3", "A.MP3", "b.mp3", "c.Mp3"}));

        // A trailing separator lists the same; a file added meanwhile shows up on the next listing.
        ui::field(form, "SelectFolderText", 2)->setText(out.path() + QLatin1Char('/'));
        makeFile(out.filePath(QStringLiteral("d.mp3")));
        ui::option(form, "ListSort", 1)->setChecked(true);
        QCOMPARE(texts(ui::list(form, "DFileList")),
                 (QStringList{"A.MP3", "b.mp3", "c.Mp3", "d.mp3", "z.mp3"}));
    }

    void freeSpaceLabels() {
        QTemporaryDir out;
        MainForm form(program.info, dialogs);
        ui::label(form, "TempFree")->setText(QStringLiteral("before"));
        makeFile(out.filePath(QStringLiteral("a.mp3")));
        ui::field(form, "SelectFolderText", 2)->setText(out.path());
        ui::field(form, "SelectFolderText", 1)
            ->setText(out.path()); // same volume: both labels from one reading
        form.GetDiskFree();
        const QRegularExpression destination(
            QStringLiteral("^1個   空き容量：([0-9]{1,3}(,[0-9]{3})*)ﾊﾞｲﾄ$"));
        const QRegularExpressionMatch match = destination.match(ui::label(form, "FreeSpace")->text());
        QVERIFY2(match.hasMatch(), qPrintable(ui::label(form, "FreeSpace")->text()));
        const qint64 shown = match.captured(1).remove(QLatin1Char(',')).toLongLong();
        // Measured by the file system itself, which answers also where the mount table shows no volume.
        const auto available = std::filesystem::space(QFile::encodeName(out.path()).toStdString()).available;
        QVERIFY(qAbs(shown - qint64(available)) < 64 * 1024 * 1024);
        QCOMPARE(ui::label(form, "TempFree")->text(),
                 QStringLiteral("空き容量：") + match.captured(1) + QStringLiteral("ﾊﾞｲﾄ"));

        // A destination that does not exist lists nothing but still shows its volume's space; a text that
        // names no volume leaves the label alone.
        ui::field(form, "SelectFolderText", 2)->setText(out.filePath(QStringLiteral("missing/deeper")));
        form.GetDiskFree();
        QVERIFY(ui::label(form, "FreeSpace")->text().startsWith(QStringLiteral("0個   空き容量：")));
        ui::field(form, "SelectFolderText", 2)->setText(QString());
        form.GetDiskFree();
        QVERIFY(ui::label(form, "FreeSpace")->text().startsWith(QStringLiteral("0個")));

        QTemporaryDir work(QStringLiteral("/dev/shm/mp3recast-XXXXXX"));
        if (!work.isValid() || QStorageInfo(work.path()).rootPath() == QStorageInfo(out.path()).rootPath())
            QSKIP("no second volume to put the work folder on");
        ui::field(form, "SelectFolderText", 1)->setText(work.path());
        form.GetDiskFree();
        QVERIFY(QRegularExpression(QStringLiteral("^空き容量：[0-9,]+ﾊﾞｲﾄ$"))
                    .match(ui::label(form, "TempFree")->text())
                    .hasMatch());
    }

    void folderChoosers() {
        QTemporaryDir src, out;
        for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", ".h.mp3", "x.txt"})
            makeFile(src.filePath(QString::fromLatin1(name)));
        QDir(src.path()).mkdir(QStringLiteral("dir.mp3"));
        ScriptedDialogs chooser;
        MainForm form(program.info, chooser);
        form.show();
        ui::field(form, "SelectFolderText", 2)->setText(QStringLiteral("/start2"));
        form.queue().add(QStringLiteral("/elsewhere/q.mp3"));

        chooser.folderAnswers = {QString(), src.path(), out.path()};
        ui::click(form, "SelctFolder", 2); // cancelled: nothing changes
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("/start2"));
        // The focus goes back to the button that opened the chooser, so Space opens it again.
        QCOMPARE(form.focusWidget(), ui::button(form, "SelctFolder", 2));
        QCOMPARE(chooser.shown[0].title, QStringLiteral("フォルダを選択してください"));
        QCOMPARE(chooser.shown[0].startText, QStringLiteral("/start2"));
        ui::click(form, "SelctFolder", 0);
        QCOMPARE(texts(ui::list(form, "SFileList")), (QStringList{"A.MP3", "b.mp3", "c.Mp3"}));
        QCOMPARE(ui::list(form, "SelectList")->count(), 1); // a new source folder leaves the queue alone

        // The work folder's chooser re-lists the destination as well.
        ui::field(form, "SelectFolderText", 2)->setText(src.path());
        ui::click(form, "SelctFolder", 1);
        QCOMPARE(form.focusWidget(), ui::button(form, "SelctFolder", 1));
        QCOMPARE(ui::field(form, "SelectFolderText", 1)->text(), out.path());
        QCOMPARE(ui::list(form, "DFileList")->count(), 3);
    }

    void queueInAndOut() {
        QTemporaryDir src;
        const qint64 sizes[] = {100, 2'000, 30'000, 400'000};
        QStringList paths;
        for (int i = 0; i < 4; ++i) {
            paths.append(src.filePath(QStringLiteral("%1.mp3").arg(QChar('a' + i))));
            makeFile(paths[i], sizes[i]);
        }
        MainForm form(program.info, dialogs);
        ui::button(form, "AllSelect")->click(); // an empty source list changes nothing, not even the label
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QString());

        ui::field(form, "SelectFolderText", 0)
            ->setText(src.path() + QLatin1Char('/')); // no doubled separator
        form.RefreshSourceList(src.path());
        ui::list(form, "SFileList")->item(3)->setSelected(true);
        ui::list(form, "SFileList")->item(1)->setSelected(true);
        ui::button(form, "OneSelect")->click();
        QCOMPARE(texts(ui::list(form, "SelectList")), (QStringList{paths[1], paths[3]}));
        QVERIFY(!form.queue().contains(paths[1].toUpper())); // exact comparison

        // ">>" twice adds each file once; the button holds the busy state while it adds.
        bool busyWhileAdding = true;
        connect(ui::list(form, "SelectList")->model(), &QAbstractItemModel::rowsInserted, this,
                [&] { busyWhileAdding = busyWhileAdding && !ui::button(form, "ProgExit")->isEnabled(); });
        ui::button(form, "AllSelect")->click();
        ui::button(form, "AllSelect")->click();
        QVERIFY(busyWhileAdding && ui::button(form, "ProgExit")->isEnabled());
        QCOMPARE(texts(ui::list(form, "SelectList")), (QStringList{paths[1], paths[3], paths[0], paths[2]}));
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QStringLiteral("4個   変換前容量:432,100ﾊﾞｲﾄ"));

        // "<" on entries 1 and 2; a file that grew since it was queued leaves the total off by the growth.
        makeFile(paths[3], 400'500);
        ui::list(form, "SelectList")->item(1)->setSelected(true);
        ui::list(form, "SelectList")->item(2)->setSelected(true);
        ui::button(form, "OneRemove")->click();
        QCOMPARE(texts(ui::list(form, "SelectList")), (QStringList{paths[1], paths[2]}));
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QStringLiteral("2個   変換前容量:31,500ﾊﾞｲﾄ"));
        QVERIFY(!form.queue().contains(paths[3]));

        // A file deleted meanwhile counts as 0 bytes; removing every entry is "<<".
        QFile::remove(paths[1]);
        ui::list(form, "SelectList")->selectAll();
        ui::button(form, "OneRemove")->click();
        QCOMPARE(ui::list(form, "SelectList")->count(), 0);
        QCOMPARE(form.queue().bytes(), 0);
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QStringLiteral("0個   変換前容量:0ﾊﾞｲﾄ"));
    }

    // MP3 files whose names are not UTF-8 (CP932 bytes from an old Windows archive) cannot be listed: the
    // count line says how many were left out and its tool tip how to rename them; a folder without such
    // names leaves the line as it always reads.
    void unlistableNamesAreCounted() {
        QTemporaryDir archive;
        makeFile(archive.filePath(QStringLiteral("b.mp3")), 10);
        for (const QByteArray& name :
             {QByteArray("\x83\x65\x83\x58\x83\x67.mp3"), QByteArray("\x89\xB9.MP3")}) {
            const int fd = ::open((QFile::encodeName(archive.path()) + '/' + name).constData(),
                                  O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        QTemporaryDir plain;
        makeFile(plain.filePath(QStringLiteral("c.mp3")), 10);

        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 0)->setText(archive.path());
        form.RefreshSourceList(archive.path());
        QCOMPARE(texts(ui::list(form, "SFileList")), QStringList{QStringLiteral("b.mp3")});
        QCOMPARE(ui::label(form, "SelectFileSize")->text(),
                 QStringLiteral("0個   変換前容量:0ﾊﾞｲﾄ　（名前を読めない MP3 2 個は一覧外）"));
        QVERIFY(ui::label(form, "SelectFileSize")->toolTip().contains(QStringLiteral("convmv")));
        ui::button(form, "AllSelect")->click();
        QCOMPARE(ui::label(form, "SelectFileSize")->text(),
                 QStringLiteral("1個   変換前容量:10ﾊﾞｲﾄ　（名前を読めない MP3 2 個は一覧外）"));

        form.RefreshSourceList(plain.path());
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QStringLiteral("1個   変換前容量:10ﾊﾞｲﾄ"));
        QVERIFY(ui::label(form, "SelectFileSize")->toolTip().isEmpty());
    }

    // Files and folders dropped from a file manager onto either list join the queue: a folder's MP3
    // files in name order (no hidden ones, no sub-folders), single MP3 files, each once; the rest is
    // passed over, and a drag that carries no local file is refused.
    void dropsQueueMp3Files() {
        QTemporaryDir src, other;
        for (const char* name : {"b.mp3", "A.MP3", ".h.mp3", "x.txt"})
            makeFile(src.filePath(QString::fromLatin1(name)), 10);
        QDir(src.path()).mkpath(QStringLiteral("sub.mp3"));
        makeFile(src.filePath(QStringLiteral("sub.mp3/c.mp3")), 10);
        const QString single = other.filePath(QStringLiteral("曲.Mp3"));
        makeFile(single, 5);
        makeFile(other.filePath(QStringLiteral("y.txt")), 5);
        MainForm form(program.info, dialogs);
        form.show();

        auto drop = [&form](QListWidget* list, const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(list->viewport(), &enter);
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(list->viewport(), &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        QVERIFY(drop(ui::list(form, "SFileList"),
                     {QUrl::fromLocalFile(src.path() + QLatin1Char('/')), QUrl::fromLocalFile(single),
                      QUrl::fromLocalFile(other.filePath(QStringLiteral("y.txt"))),
                      QUrl(QStringLiteral("https://example.org/z.mp3"))}));
        const QStringList queued = {src.filePath(QStringLiteral("A.MP3")),
                                    src.filePath(QStringLiteral("b.mp3")), single};
        QCOMPARE(texts(ui::list(form, "SelectList")), queued);
        QCOMPARE(ui::label(form, "SelectFileSize")->text(), QStringLiteral("3個   変換前容量:25ﾊﾞｲﾄ"));
        QVERIFY(ui::button(form, "ProgExit")->isEnabled());

        QVERIFY(drop(ui::list(form, "SelectList"),
                     {QUrl::fromLocalFile(single), QUrl::fromLocalFile(src.path())}));
        QCOMPARE(texts(ui::list(form, "SelectList")), queued);
        QVERIFY(!drop(ui::list(form, "SelectList"), {QUrl(QStringLiteral("https://example.org/z.mp3"))}));
        QCOMPARE(ui::list(form, "SFileList")->count(), 0); // the source list itself is left alone
    }

    // Delete in the destination list asks as "選択ﾌｧｲﾙ削除" does and deletes only on Yes.
    void deleteKeyInDestinationList() {
        QTemporaryDir out;
        makeFile(out.filePath(QStringLiteral("a.mp3")));
        makeFile(out.filePath(QStringLiteral("b.mp3")));
        ScriptedDialogs answers;
        MainForm form(program.info, answers);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        ui::field(form, "SelectFolderText", 2)->setText(out.path());
        form.GetDiskFree();
        ui::list(form, "DFileList")->item(1)->setSelected(true);
        ui::list(form, "DFileList")->setFocus();

        QTest::keyClick(ui::list(form, "DFileList"), Qt::Key_Delete); // unscripted: No
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("b.mp3"))));
        answers.confirmAnswers = {true};
        QTest::keyClick(ui::list(form, "DFileList"), Qt::Key_Delete);
        QCOMPARE(answers.shown.size(), 2);
        QCOMPARE(answers.shown[1].text,
                 QStringLiteral("変換先の選択されているファイルを削除します。\r宜しいですか?"));
        QCOMPARE(texts(ui::list(form, "DFileList")), QStringList{QStringLiteral("a.mp3")});
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("b.mp3"))));
    }

    void queueExtentOnlyGrows() {
        MainForm form(program.info, dialogs);
        form.show();
        QListWidget* queueList = ui::list(form, "SelectList");
        const QScrollBar* bar = queueList->horizontalScrollBar();
        const QString longPath =
            QStringLiteral("/音楽/") + QString(150, QLatin1Char('x')) + QStringLiteral(".mp3");
        const int wide = ui::queueExtentFor(longPath);
        form.queue().add(longPath);
        form.queue().add(QStringLiteral("/short.mp3"));
        queueList->item(0)->setSelected(true);
        ui::button(form, "OneRemove")->click();
        QApplication::processEvents();
        // Only the short entry is left, but the range stays what the long one was given.
        QCOMPARE(bar->maximum(), wide - queueList->viewport()->width());

        // The list lays itself out again when resized; the range must still cover the extent.
        queueList->resize(queueList->width() - 10, queueList->height());
        QApplication::processEvents();
        QVERIFY(bar->maximum() + queueList->viewport()->width() >= wide);

        ui::button(form, "AllRemove")->click();
        QApplication::processEvents();
        QCOMPARE(bar->maximum(), 0);
        // An emptied queue starts narrow again.
        form.queue().add(QStringLiteral("/short.mp3"));
        QApplication::processEvents();
        QVERIFY(bar->maximum() + queueList->viewport()->width() < wide);
    }
};

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
