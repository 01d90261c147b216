// The destination list in name and date order, the free-space labels and their volumes, the source list
// and the folder choosers that feed both.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "lists/ListHelpers.h"
#include "shell/MainForm.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStorageInfo>
#include <QThread>
#include <QtTest>

namespace {

void makeFile(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
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

class TestDestinationListing : public QObject {
    Q_OBJECT

    TestProgram program;

  private slots:
    void numberTexts() {
        QCOMPARE(groupedNumber(0), QStringLiteral("0"));
        QCOMPARE(groupedNumber(999), QStringLiteral("999"));
        QCOMPARE(groupedNumber(1000), QStringLiteral("1,000"));
        QCOMPARE(groupedNumber(-1234567), QStringLiteral("-1,234,567"));
        QCOMPARE(groupedNumber(5'000'000'000'000), QStringLiteral("5,000,000,000,000"));
        QCOMPARE(destinationFreeText(12, 1'234'567'890),
                 QStringLiteral("12個   空き容量：1,234,567,890ﾊﾞｲﾄ"));
        QCOMPARE(workFreeText(98'765'432), QStringLiteral("空き容量：98,765,432ﾊﾞｲﾄ"));
    }

    void sortKeys() {
        const QDateTime created(QDate(2003, 1, 2), QTime(0, 5, 7, 999), Qt::UTC);
        QCOMPARE(creationSortKey(created, QStringLiteral("a.mp3"), 9 * 3600),
                 QStringLiteral("20030102090507a.mp3"));
        QCOMPARE(creationSortKey(created, QStringLiteral("a.mp3"), 0), QStringLiteral("20030102000507a.mp3"));
        QCOMPARE(creationSortKey(created.toOffsetFromUtc(-5 * 3600), QStringLiteral("a.mp3"), 9 * 3600),
                 QStringLiteral("20030102090507a.mp3"));
        QCOMPARE(creationSortKey(QDateTime(), QStringLiteral("x.mp3"), 0),
                 QStringLiteral("00000000000000x.mp3"));
    }

    void nameAndDateOrder() {
        QTemporaryDir out;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.SelectFolderText[2]->setText(out.path());
        makeFile(out.filePath(QStringLiteral("z.mp3"))); // the oldest
        startOfNextSecond();
        for (const char* name : {"b.mp3", "c.Mp3", "A.MP3", ".hidden.mp3", "notes.txt", "song.mp3.bak"})
            makeFile(out.filePath(QString::fromLatin1(name)));
        QDir(out.path()).mkdir(QStringLiteral("folder.mp3"));

        form.ListSort[1]->setChecked(true);
        const QStringList byName = {"A.MP3", "b.mp3", "c.Mp3", "z.mp3"};
        QCOMPARE(texts(form.DFileList), byName);
        QCOMPARE(texts(form.FileList), byName);
        QVERIFY(form.FileList->isHidden());
        // The entries are in the list's own order, so one added now lands where it belongs.
        form.FileList->addItem(makeSortedListItem(QStringLiteral("B2.mp3")));
        QCOMPARE(texts(form.FileList), (QStringList{"A.MP3", "b.mp3", "B2.mp3", "c.Mp3", "z.mp3"}));

        // Created in the same second, the other three keep their name order after the oldest file.
        form.ListSort[0]->setChecked(true);
        QCOMPARE(texts(form.DFileList), (QStringList{"z.mp3", "A.MP3", "b.mp3", "c.Mp3"}));
        const QString key = form.FileList->item(0)->text();
        QCOMPARE(key, creationSortKey(creationTime(out.filePath(QStringLiteral("z.mp3"))),
                                      QStringLiteral("z.mp3"), QDateTime::currentDateTime().offsetFromUtc()));

        // A trailing separator lists the same; a file added meanwhile shows up on the next listing.
        form.SelectFolderText[2]->setText(out.path() + QLatin1Char('/'));
        makeFile(out.filePath(QStringLiteral("d.mp3")));
        form.ListSort[1]->setChecked(true);
        QCOMPARE(texts(form.DFileList), (QStringList{"A.MP3", "b.mp3", "c.Mp3", "d.mp3", "z.mp3"}));
    }

    void freeSpaceLabels() {
        QTemporaryDir out;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.TempFree->setText(QStringLiteral("before"));
        makeFile(out.filePath(QStringLiteral("a.mp3")));
        form.SelectFolderText[2]->setText(out.path());
        form.SelectFolderText[1]->setText(out.path()); // same volume: only the destination label
        form.GetDiskFree();
        const QRegularExpression destination(
            QStringLiteral("^1個   空き容量：([0-9]{1,3}(,[0-9]{3})*)ﾊﾞｲﾄ$"));
        const QRegularExpressionMatch match = destination.match(form.FreeSpace->text());
        QVERIFY2(match.hasMatch(), qPrintable(form.FreeSpace->text()));
        const qint64 shown = match.captured(1).remove(QLatin1Char(',')).toLongLong();
        QVERIFY(qAbs(shown - QStorageInfo(out.path()).bytesAvailable()) < 64 * 1024 * 1024);
        QCOMPARE(form.TempFree->text(), QStringLiteral("before"));

        // A destination that does not exist lists nothing but still shows its volume's space; a text that
        // names no volume leaves the label alone.
        form.SelectFolderText[2]->setText(out.filePath(QStringLiteral("missing/deeper")));
        form.GetDiskFree();
        QCOMPARE(form.DFileList->count(), 0);
        QVERIFY(form.FreeSpace->text().startsWith(QStringLiteral("0個   空き容量：")));
        form.SelectFolderText[2]->setText(QString());
        form.FreeSpace->setText(QStringLiteral("kept"));
        form.GetDiskFree();
        QCOMPARE(form.FreeSpace->text(), QStringLiteral("kept"));

        // A work folder on another volume gets its own label.
        QTemporaryDir work(QStringLiteral("/dev/shm/mp3recast-XXXXXX"));
        if (!work.isValid() || QStorageInfo(work.path()).rootPath() == QStorageInfo(out.path()).rootPath())
            QSKIP("no second volume to put the work folder on");
        form.SelectFolderText[2]->setText(out.path());
        form.SelectFolderText[1]->setText(work.path());
        form.GetDiskFree();
        QVERIFY(QRegularExpression(QStringLiteral("^空き容量：[0-9,]+ﾊﾞｲﾄ$"))
                    .match(form.TempFree->text())
                    .hasMatch());
    }

    void folderChoosers() {
        QTemporaryDir src, out, other;
        for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", ".h.mp3", "x.txt"})
            makeFile(src.filePath(QString::fromLatin1(name)));
        QDir(src.path()).mkdir(QStringLiteral("dir.mp3"));
        makeFile(out.filePath(QStringLiteral("o.mp3")));
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.SelectFolderText[0]->setText(QStringLiteral("/start0"));
        form.SelectFolderText[2]->setText(QStringLiteral("/start2"));
        form.SelectList->addItem(QStringLiteral("/elsewhere/q.mp3"));

        dialogs.folderAnswers = {src.path(), QString(), out.path()};
        form.SelctFolder_Click(0);
        form.SelctFolder_Click(2); // cancelled
        QCOMPARE(form.SelectFolderText[2]->text(), QStringLiteral("/start2"));
        QCOMPARE(form.DFileList->count(), 0);
        form.SelctFolder_Click(1);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(dialogs.shown[i].kind, ScriptedDialogs::Kind::ChooseFolder);
            QCOMPARE(dialogs.shown[i].title, QStringLiteral("フォルダを選択してください"));
        }
        QCOMPARE(dialogs.shown[0].startText, QStringLiteral("/start0"));
        QCOMPARE(dialogs.shown[1].startText, QStringLiteral("/start2"));
        QCOMPARE(texts(form.SFileList), (QStringList{"A.MP3", "b.mp3", "c.Mp3"}));
        QCOMPARE(form.SelectList->count(), 1); // the queue is not touched by a new source folder

        // The work folder's chooser re-lists the destination as well.
        form.SelectFolderText[2]->setText(other.path());
        makeFile(other.filePath(QStringLiteral("new.mp3")));
        QCOMPARE(form.DFileList->count(), 0);
        dialogs.folderAnswers = {out.path(), src.path()};
        form.SelctFolder_Click(1);
        QCOMPARE(texts(form.DFileList), QStringList{QStringLiteral("new.mp3")});

        // Choosing the folder already shown reads it again.
        makeFile(src.filePath(QStringLiteral("d.mp3")));
        form.SelctFolder_Click(0);
        QCOMPARE(form.SFileList->count(), 4);
    }
};

QTEST_MAIN(TestDestinationListing)
#include "tst_destinationlisting.moc"
