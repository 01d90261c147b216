// The busy state: hourglass and disabled input controls, what it leaves alone, the order of the switch,
// and the guard that brings a failed handler back to the idle state.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "window/MainForm.h"

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

// The controls a user can act on (all that take the focus) but the sort options, which stay usable while
// the window is busy. Frames, labels and the progress fields take no focus.
QList<QWidget*> inputControls(const QWidget& form) {
    QList<QWidget*> controls;
    for (QWidget* child : form.findChildren<QWidget*>()) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
            name.startsWith(QLatin1String("ListSort")))
            continue;
        if (child->focusPolicy() != Qt::NoFocus)
            controls << child;
    }
    return controls;
}

QStringList namesOf(const QList<QWidget*>& widgets) {
    QStringList names;
    for (const QWidget* widget : widgets)
        names << widget->objectName();
    names.sort();
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
        const QList<QWidget*> inputs = inputControls(form);
        QCOMPARE(inputs.size(), 39); // every button, option, list and text field of the four panels
        ChangeRecorder recorder;
        form.installEventFilter(&recorder);
        for (QWidget* child : form.findChildren<QWidget*>()) {
            if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
                child->installEventFilter(&recorder);
        }

        form.EnableControls(false);
        // The pointer first, then each input control once; nothing else changes.
        QCOMPARE(recorder.changes.value(0), QStringLiteral("cursor:MainForm"));
        QStringList switched = recorder.changes.mid(1);
        switched.sort();
        QCOMPARE(switched, namesOf(inputs));
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        for (QWidget* input : inputs)
            QVERIFY2(!input->isEnabled(), qPrintable(input->objectName()));
        QVERIFY(ui::option(form, "ListSort", 0)->isEnabled());
        QVERIFY(ui::option(form, "ListSort", 1)->isEnabled());

        form.EnableControls(true);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        for (QWidget* input : inputs)
            QVERIFY2(input->isEnabled(), qPrintable(input->objectName()));
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
