// The conversion queue: what ">", ">>", "<" and "<<" put in and take out, the byte total and its label,
// the horizontal scroll range, and the busy state around each button.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "lists/ListHelpers.h"
#include "shell/MainForm.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

namespace {

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

} // namespace

class TestConversionQueue : public QObject {
    Q_OBJECT

    TestProgram program;
    QTemporaryDir src;
    const qint64 sizes[4] = {100, 2'000, 30'000, 400'000};
    const char* names[4] = {"a.mp3", "b.mp3", "c.mp3", "d.mp3"};

    QString path(int i) const { return src.filePath(QString::fromLatin1(names[i])); }

    void resize(int i, qint64 size) {
        QFile file(path(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
    }

    void loadSource(MainForm& form) {
        form.SelectFolderText[0]->setText(src.path());
        form.RefreshSourceList(src.path());
    }

  private slots:
    void init() {
        for (int i = 0; i < 4; ++i)
            resize(i, sizes[i]);
    }

    void allSelectTwiceQueuesEachOnce() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        loadSource(form);
        // The button enters the busy state before it touches the queue.
        bool busyWhileAdding = true;
        connect(form.SelectList->model(), &QAbstractItemModel::rowsInserted, this,
                [&] { busyWhileAdding = busyWhileAdding && !form.ProgExit->isEnabled(); });
        form.AllSelect->click();
        form.AllSelect->click();
        QVERIFY(busyWhileAdding);
        QVERIFY(form.ProgExit->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(texts(form.SelectList), (QStringList{path(0), path(1), path(2), path(3)}));
        QCOMPARE(form.QueueBytes, 432'100);
        QCOMPARE(form.SelectFileSize->text(), QStringLiteral("4個   変換前容量:432,100ﾊﾞｲﾄ"));
    }

    void oneSelectTakesSelectionInSourceOrder() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.OneSelect->click(); // empty source list: nothing, not even the label
        form.AllSelect->click();
        QCOMPARE(form.SelectFileSize->text(), QString());

        loadSource(form);
        form.OneSelect->click(); // nothing selected
        QCOMPARE(form.SelectFileSize->text(), QString());
        form.SFileList->item(3)->setSelected(true);
        form.SFileList->item(1)->setSelected(true);
        form.SelectFolderText[0]->setText(src.path() + QLatin1Char('/')); // no doubled separator
        form.OneSelect->click();
        QCOMPARE(texts(form.SelectList), (QStringList{path(1), path(3)}));
        QCOMPARE(form.SFileList->selectedItems().size(), 2);
        QCOMPARE(form.SelectFileSize->text(), QStringLiteral("2個   変換前容量:402,000ﾊﾞｲﾄ"));
        // Exact comparison: another letter case is another path.
        QVERIFY(!form.NotInQueue(path(1)));
        QVERIFY(form.NotInQueue(path(1).toUpper()));
    }

    void oneRemoveWalksOverSelectedEntries() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        loadSource(form);
        form.AllSelect->click();
        form.SelectList->item(1)->setSelected(true);
        form.SelectList->item(2)->setSelected(true);
        resize(2, 30'500); // grew since it was queued: the total is off by the difference
        form.SelectFileSize->setText(QString());
        form.OneRemove->click();
        QCOMPARE(texts(form.SelectList), (QStringList{path(0), path(3)}));
        QCOMPARE(form.QueueBytes, 432'100 - 2'000 - 30'500);
        QCOMPARE(form.SelectFileSize->text(), QStringLiteral("2個   変換前容量:399,600ﾊﾞｲﾄ"));
        QVERIFY(form.NotInQueue(path(1)));

        // A queued file deleted meanwhile counts as 0 bytes; removing every entry is "<<".
        QFile::remove(path(0));
        form.SelectList->selectAll();
        form.OneRemove->click();
        QCOMPARE(form.SelectList->count(), 0);
        QCOMPARE(form.QueueBytes, 0);
        QCOMPARE(form.QueueExtent, 0);
        QCOMPARE(form.SelectList->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(form.SelectFileSize->text(), QStringLiteral("0個   変換前容量:0ﾊﾞｲﾄ"));
        QVERIFY(form.ProgExit->isEnabled());

        // A file that cannot be read when it is added counts as 0 bytes too.
        form.AddQueueEntry(path(0));
        QCOMPARE(form.QueueBytes, 0);
        QCOMPARE(form.SelectFileSize->text(), QStringLiteral("1個   変換前容量:0ﾊﾞｲﾄ"));
    }

    void extentOnlyGrowsUntilEmptied() {
        QCOMPARE(queueExtentFor(QStringLiteral("C:\\a.mp3")), (8 * 90 + 180) / 15);
        QCOMPARE(queueExtentFor(QStringLiteral("C:\\ﾊﾞｲﾄ\\音楽.mp3")), ((3 + 4 + 1 + 4 + 4) * 90 + 180) / 15);

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.show();
        const QString longPath =
            QStringLiteral("/音楽/") + QString(150, QLatin1Char('x')) + QStringLiteral(".mp3");
        form.AddQueueEntry(longPath);
        const int wide = queueExtentFor(longPath);
        QCOMPARE(form.QueueExtent, wide);
        form.AddQueueEntry(QStringLiteral("/short.mp3"));
        QCOMPARE(form.QueueExtent, wide);
        form.SelectList->item(0)->setSelected(true);
        form.OneRemove->click();
        QCOMPARE(form.QueueExtent, wide);

        // The list lays itself out again when shown and resized; the range must still cover the extent.
        QApplication::processEvents();
        form.SelectList->resize(form.SelectList->width() - 10, form.SelectList->height());
        QApplication::processEvents();
        const QScrollBar* bar = form.SelectList->horizontalScrollBar();
        QVERIFY2(bar->maximum() + form.SelectList->viewport()->width() >= wide,
                 qPrintable(QStringLiteral("%1 + %2 < %3")
                                .arg(bar->maximum())
                                .arg(form.SelectList->viewport()->width())
                                .arg(wide)));

        form.AllRemove->click();
        QCOMPARE(form.QueueExtent, 0);
        QApplication::processEvents();
        QCOMPARE(bar->maximum(), 0);
    }
};

QTEST_MAIN(TestConversionQueue)
#include "tst_conversionqueue.moc"
