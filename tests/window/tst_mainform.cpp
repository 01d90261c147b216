// The main window as the user meets it: the kinds of its fields and lists, the option groups, the focus
// order, and the window's own frame. Where each control sits is checked against docs/mainform.png by
// rendering the window (scripts/screenshot) and comparing the pictures.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "window/MainForm.h"
#include "window/Translations.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// The next control that takes focus, passing over the inner parts of scrolling widgets.
QWidget* nextControl(QWidget* widget) {
    do {
        widget = widget->nextInFocusChain();
    } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty() ||
             widget->objectName().startsWith(QLatin1String("qt_")));
    return widget;
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    TestProgram program;
    ScriptedDialogs dialogs;

  private slots:
    // Tab visits every control that takes the focus once and comes back round: no panel's control is
    // left out of the window's focus order.
    void tabReachesEveryControl() {
        MainForm form(program.info, dialogs);
        QSet<QWidget*> focusable;
        for (QWidget* child : form.findChildren<QWidget*>()) {
            if (child->focusPolicy() & Qt::TabFocus && !child->objectName().isEmpty() &&
                !child->objectName().startsWith(QLatin1String("qt_")))
                focusable.insert(child);
        }
        QSet<QWidget*> visited;
        QWidget* start = ui::button(form, "AllRemove");
        QWidget* widget = start;
        do {
            QVERIFY2(!visited.contains(widget), qPrintable(widget->objectName()));
            visited.insert(widget);
            widget = nextControl(widget);
        } while (widget != start);
        // The options of a group other than the checked one are passed over by Tab.
        for (QWidget* option : focusable - visited)
            QVERIFY2(qobject_cast<QRadioButton*>(option) && !qobject_cast<QRadioButton*>(option)->isChecked(),
                     qPrintable(option->objectName()));
        QVERIFY(visited.size() > 30);
    }

    void windowFrameAndFixedSize() {
        MainForm form(program.info, dialogs);
        QCOMPARE(form.size(), QSize(1018, 691));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        // Drawn for every size a desktop asks for, not scaled up from the title bar's 16 pixels.
        QCOMPARE(form.windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    }

    void kindsOfFieldsAndLists() {
        MainForm form(program.info, dialogs);
        for (QLineEdit* field : ui::fields(form, "SelectFolderText"))
            QVERIFY(field->isReadOnly());
        QVERIFY(!ui::field(form, "PlayListName")->isReadOnly());
        QVERIFY(!ui::textBox(form, "M3UText")->isReadOnly());
        for (QListWidget* list :
             {ui::list(form, "SFileList"), ui::list(form, "SelectList"), ui::list(form, "DFileList")})
            QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        for (QLineEdit* figure : {ui::field(form, "Prog"), ui::field(form, "NowCount")}) {
            QCOMPARE(figure->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
            QCOMPARE(figure->font().pointSizeF(), 11.25);
            QCOMPARE(figure->focusPolicy(), Qt::NoFocus);
            QCOMPARE(figure->palette().color(QPalette::Text), figure->palette().color(QPalette::Highlight));
        }
        QCOMPARE(ui::textBox(form, "Msg")->focusPolicy(), Qt::NoFocus);
        for (QLabel* label :
             {ui::label(form, "TempFree"), ui::label(form, "FreeSpace"), ui::label(form, "SelectFileSize")}) {
            QVERIFY(label->text().isEmpty());
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        }
    }

    void typingIntoAFolderFieldChangesNothing() {
        MainForm form(program.info, dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ui::field(form, "SelectFolderText", 2)->setFocus();
        QTest::keyClicks(ui::field(form, "SelectFolderText", 2), QStringLiteral("xyz"));
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("C:\\"));
    }

    void optionArraysAreExclusiveGroups() {
        MainForm form(program.info, dialogs);
        // The window definition's own selections.
        QVERIFY(ui::option(form, "Bits", 6)->isChecked());
        QVERIFY(ui::option(form, "Stereo", 1)->isChecked());
        QVERIFY(ui::option(form, "ListSort", 0)->isChecked());
        ui::option(form, "Bits", 13)->setChecked(true);
        int checked = 0;
        for (QRadioButton* button : ui::options(form, "Bits"))
            checked += button->isChecked();
        QCOMPARE(checked, 1);
        // A choice in one array leaves the others alone, though ListSort shares a frame with other controls.
        QVERIFY(ui::option(form, "Stereo", 1)->isChecked());
        QVERIFY(ui::option(form, "ListSort", 0)->isChecked());
        ui::option(form, "ListSort", 1)->setChecked(true);
        QVERIFY(!ui::option(form, "ListSort", 0)->isChecked());
    }

    void tabOrderFollowsTheWindowDefinition() {
        MainForm form(program.info, dialogs);
        const QStringList expected = {QStringLiteral("AllRemove"),
                                      QStringLiteral("OneRemove"),
                                      QStringLiteral("OneSelect"),
                                      QStringLiteral("AllSelect"),
                                      QStringLiteral("SelectList"),
                                      QStringLiteral("SFileList"),
                                      QStringLiteral("SelectFolderText(0)"),
                                      QStringLiteral("SelctFolder(0)"),
                                      QStringLiteral("SelectFolderText(1)"),
                                      QStringLiteral("SelctFolder(1)"),
                                      QStringLiteral("SelectFolderText(2)"),
                                      QStringLiteral("SelctFolder(2)"),
                                      QStringLiteral("M3UText")};
        QWidget* widget = ui::button(form, "AllRemove");
        for (const QString& name : expected) {
            QCOMPARE(widget->objectName(), name);
            widget = nextControl(widget);
        }
        // The bit rates follow in index order, then the channel modes, then the buttons of the lower row.
        QWidget* next = ui::option(form, "Bits", 0);
        for (int i = 1; i < 14; ++i) {
            next = nextControl(next);
            QCOMPARE(next, ui::option(form, "Bits", i));
        }
        QCOMPARE(nextControl(ui::option(form, "Bits", 13)), ui::option(form, "Stereo", 0));
        QCOMPARE(nextControl(ui::option(form, "Stereo", 2)), ui::button(form, "ConvertStart"));
        QCOMPARE(nextControl(ui::button(form, "ConvertStart")), ui::button(form, "SavePlayList"));
        QCOMPARE(nextControl(ui::button(form, "SavePlayList")), ui::field(form, "PlayListName"));
        QCOMPARE(nextControl(ui::field(form, "PlayListName")), ui::button(form, "MakePlayList"));
        QCOMPARE(nextControl(ui::button(form, "MakePlayList")), ui::checkBox(form, "SetPathCheck"));
        QCOMPARE(nextControl(ui::checkBox(form, "SetPathCheck")), ui::button(form, "ProgExit"));
        QCOMPARE(nextControl(ui::button(form, "ProgExit")), ui::button(form, "DeleteFile"));
        QCOMPARE(nextControl(ui::button(form, "DeleteFile")), ui::button(form, "MakeNewDir"));
        QCOMPARE(nextControl(ui::button(form, "MakeNewDir")), ui::list(form, "DFileList"));
        QCOMPARE(nextControl(ui::list(form, "DFileList")), ui::option(form, "ListSort", 0));
        QCOMPARE(nextControl(ui::option(form, "ListSort", 0)), ui::option(form, "ListSort", 1));
    }

    // Tab enters each option group at its checked option, also after another option had the focus; the
    // arrow keys move within the group and check as they go.
    void tabEntersGroupsAtTheCheckedOption() {
        MainForm form(program.info, dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        ui::option(form, "Bits", 11)->setChecked(true);
        ui::option(form, "Stereo", 2)->setChecked(true);
        ui::option(form, "ListSort", 1)->setChecked(true);

        ui::textBox(form, "M3UText")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Bits", 11));
        QTest::keyClick(ui::option(form, "Bits", 11), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Bits", 12));
        QVERIFY(ui::option(form, "Bits", 12)->isChecked());
        QTest::keyClick(ui::option(form, "Bits", 12), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Stereo", 2));
        QTest::keyClick(ui::option(form, "Stereo", 2), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui::button(form, "ConvertStart"));
        QTest::keyClick(ui::button(form, "ConvertStart"), Qt::Key_Backtab);
        QTest::keyClick(ui::option(form, "Stereo", 2), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Bits", 12));

        // An option that took the focus by the mouse without being chosen does not keep the tab stop.
        ui::option(form, "Bits", 0)->setFocus(Qt::MouseFocusReason);
        ui::list(form, "DFileList")->setFocus();
        QTest::keyClick(ui::list(form, "DFileList"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "ListSort", 1));
        ui::textBox(form, "M3UText")->setFocus();
        QTest::keyClick(ui::textBox(form, "M3UText"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui::option(form, "Bits", 12));
    }

    void qtTextsAreJapanese() {
        const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(translations + QStringLiteral("/qtbase_ja.qm")))
            QSKIP("Qt's Japanese translations are not installed");
        QVERIFY(installTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("x"),
                        QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")),
                 qPrintable(box.button(QMessageBox::Yes)->text()));
        QFileDialog chooser;
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        const QLabel* lookIn = chooser.findChild<QLabel*>(QStringLiteral("lookInLabel"));
        QVERIFY(lookIn);
        QVERIFY2(!lookIn->text().contains(QStringLiteral("Look")), qPrintable(lookIn->text()));
    }

    void captionRule() {
        QCOMPARE(program.info.mainCaption(),
                 QStringLiteral("MP3Recast Version 0.9.5         Copyright (C) 2026 MP3Recast developers"));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
