// The busy state: hourglass and disabled input controls, what it leaves alone, the order of the switch,
// and the guard that brings a failed handler back to the idle state.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "shell/MainForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <stdexcept>

namespace {

// Records, in order, which widgets change their cursor or their enabled flag.
class ChangeRecorder : public QObject {
  public:
    QStringList changes;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            changes.append(watched->objectName());
        else if (event->type() == QEvent::CursorChange)
            changes.append(QStringLiteral("cursor:") + watched->objectName());
        return false;
    }
};

QStringList switchedControls() {
    QStringList names = {
        QStringLiteral("SetPathCheck"),   QStringLiteral("AllRemove"),      QStringLiteral("AllSelect"),
        QStringLiteral("ConvertStart"),   QStringLiteral("DeleteFile"),     QStringLiteral("MakePlayList"),
        QStringLiteral("OneRemove"),      QStringLiteral("OneSelect"),      QStringLiteral("ProgExit"),
        QStringLiteral("SavePlayList"),   QStringLiteral("MakeNewDir"),     QStringLiteral("SelctFolder(0)"),
        QStringLiteral("SelctFolder(1)"), QStringLiteral("SelctFolder(2)"), QStringLiteral("DFileList"),
        QStringLiteral("SFileList"),      QStringLiteral("SelectList")};
    for (int i = 0; i < 14; ++i)
        names.append(QStringLiteral("Bits(%1)").arg(i));
    for (int i = 0; i < 3; ++i)
        names.append(QStringLiteral("Stereo(%1)").arg(i));
    names << QStringLiteral("M3UText") << QStringLiteral("PlayListName");
    for (int i = 0; i < 3; ++i)
        names.append(QStringLiteral("SelectFolderText(%1)").arg(i));
    return names;
}

} // namespace

class TestBusyState : public QObject {
    Q_OBJECT

    TestProgram program;

  private slots:
    void busyDisablesExactlyTheInputControls() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.EnableControls(false);
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        for (const QString& name : switchedControls())
            QVERIFY2(!form.findChild<QWidget*>(name)->isEnabled(), qPrintable(name));

        // Usable while busy: the sort options; untouched: frames, labels, progress fields.
        QVERIFY(ui::option(form, "ListSort", 0)->isEnabled());
        QVERIFY(ui::option(form, "ListSort", 1)->isEnabled());
        for (QWidget* untouched : std::initializer_list<QWidget*>{
                 ui::frame(form, "Frame1"), ui::frame(form, "Frame2"), ui::frame(form, "Frame3"),
                 ui::frame(form, "Frame4"), ui::frame(form, "Frame5"), ui::frame(form, "Frame6"),
                 ui::label(form, "Label1"), ui::label(form, "Label2"), ui::label(form, "Label3"),
                 ui::label(form, "TempFree"), ui::label(form, "FreeSpace"), ui::label(form, "SelectFileSize"),
                 ui::textBox(form, "Msg"), ui::field(form, "Prog"), ui::field(form, "NowCount")})
            QVERIFY2(untouched->isEnabled(), qPrintable(untouched->objectName()));

        form.EnableControls(true);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        for (const QString& name : switchedControls())
            QVERIFY2(form.findChild<QWidget*>(name)->isEnabled(), qPrintable(name));
    }

    void pointerFirstThenControlsInOrder() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ChangeRecorder recorder;
        form.installEventFilter(&recorder);
        for (QWidget* child : form.findChildren<QWidget*>()) {
            if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
                child->installEventFilter(&recorder);
        }

        form.EnableControls(false);
        QStringList expected = {QStringLiteral("cursor:MainForm")};
        expected += switchedControls();
        QCOMPARE(recorder.changes, expected);
    }

    void callsAreNotCounted() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.EnableControls(false);
        form.EnableControls(false);
        form.EnableControls(true);
        QVERIFY(ui::button(form, "ProgExit")->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }

    void failedHandlerReturnsToIdle() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.runHandler([&form] {
            form.EnableControls(false);
            throw std::runtime_error("ディスクが見つかりません");
        });
        QVERIFY(ui::button(form, "ProgExit")->isEnabled());
        QVERIFY(ui::button(form, "ConvertStart")->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("ディスクが見つかりません"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("MP3Recast"));
        QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Critical);
    }

    // Disabling the focused control moves the focus on to the sort options, the only controls left
    // enabled; the idle state gives it back, also after nested busy calls.
    void focusReturnsAfterBusy() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        ui::list(form, "SelectList")->setFocus();
        form.EnableControls(false);
        QVERIFY(!ui::list(form, "SelectList")->hasFocus());
        form.EnableControls(false);
        form.EnableControls(true);
        QCOMPARE(QApplication::focusWidget(), ui::list(form, "SelectList"));

        ui::option(form, "Bits", 6)->setFocus();
        ui::button(form, "AllRemove")->click(); // a handler that enters and leaves the busy state itself
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Bits", 6));
    }

    void closeIsRefusedWhileBusy() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.Form_Load();
        form.show();
        form.EnableControls(false);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        form.EnableControls(true);
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestBusyState)
#include "tst_busystate.moc"
