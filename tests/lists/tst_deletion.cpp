// Deleting the files selected in the destination list: the confirmation, exactly the selected files gone
// (read-only ones included), and nothing touched after No.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "window/MainForm.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kFiles = {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c 曲.mp3"),
                            QStringLiteral("d.mp3"), QStringLiteral("e.mp3")};

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestDeletion : public QObject {
    Q_OBJECT

    TestProgram program;

    // A destination folder holding kFiles, listed in the window.
    void prepare(QTemporaryDir& folder, MainForm& form) {
        for (const QString& name : kFiles) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("ID3");
        }
        ui::field(form, "SelectFolderText", 2)->setText(folder.path());
        ui::list(form, "DFileList")->clear();
        ui::list(form, "DFileList")->addItems(kFiles);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    void clickEntry(MainForm& form, int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect =
            ui::list(form, "DFileList")->visualItemRect(ui::list(form, "DFileList")->item(row));
        QTest::mouseClick(ui::list(form, "DFileList")->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

  private slots:
    void yesDeletesShiftSelectedRange() {
        QTemporaryDir folder;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        prepare(folder, form);
        // One of them write-protected: deleted all the same.
        QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("c 曲.mp3")), QFileDevice::ReadOwner));

        clickEntry(form, 1);
        clickEntry(form, 3, Qt::ShiftModifier);
        QCOMPARE(ui::list(form, "DFileList")->selectedItems().size(), 3);

        bool busyWhileAsked = true;
        dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
            busyWhileAsked = !ui::button(form, "DeleteFile")->isEnabled();
        };
        dialogs.confirmAnswers.append(true);
        QTest::mouseClick(ui::button(form, "DeleteFile"), Qt::LeftButton);

        QCOMPARE(dialogs.shown.size(), 1);
        const ScriptedDialogs::Shown& shown = dialogs.shown.first();
        QCOMPARE(shown.kind, ScriptedDialogs::Kind::Confirm);
        QCOMPARE(shown.title, program.info.title);
        QCOMPARE(shown.text, QStringLiteral("変換先の選択されているファイルを削除します。\r宜しいですか?"));
        QVERIFY(!busyWhileAsked);

        QCOMPARE(filesIn(folder.path()), (QStringList{QStringLiteral("a.mp3"), QStringLiteral("e.mp3")}));
        // The list is read anew from the folder.
        QStringList listed;
        for (int i = 0; i < ui::list(form, "DFileList")->count(); ++i)
            listed.append(ui::list(form, "DFileList")->item(i)->text());
        listed.sort();
        QCOMPARE(listed, (QStringList{QStringLiteral("a.mp3"), QStringLiteral("e.mp3")}));
        QVERIFY(ui::button(form, "DeleteFile")->isEnabled());
        QVERIFY(ui::list(form, "DFileList")->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }

    void noSelectionOrNoDeletesNothing_data() {
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("answer");
        QTest::newRow("selection, No") << true << false;
        QTest::newRow("no selection, Yes") << false << true;
    }

    void noSelectionOrNoDeletesNothing() {
        QFETCH(bool, select);
        QFETCH(bool, answer);

        QTemporaryDir folder;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        prepare(folder, form);
        if (select)
            ui::list(form, "DFileList")->item(2)->setSelected(true);
        dialogs.confirmAnswers.append(answer);
        QTest::mouseClick(ui::button(form, "DeleteFile"), Qt::LeftButton);

        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().kind, ScriptedDialogs::Kind::Confirm);
        QStringList expected = kFiles;
        expected.sort();
        QCOMPARE(filesIn(folder.path()), expected);
        QVERIFY(ui::button(form, "DeleteFile")->isEnabled());
        if (!answer) {
            QCOMPARE(ui::list(form, "DFileList")->count(), kFiles.size());
            QVERIFY(ui::list(form, "DFileList")->item(2)->isSelected());
        }
    }
};

QTEST_MAIN(TestDeletion)
#include "tst_deletion.moc"
