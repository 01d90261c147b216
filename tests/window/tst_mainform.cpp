// The main window as the user meets it: what its fields and lists let a user do, the option groups, the focus
// order, and the window's own frame. Where each control sits is checked against docs/mainform.png by
// rendering the window (scripts/screenshot) and comparing the pictures.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "window/MainForm.h"
#include "window/Translations.h"

#include <QCheckBox>
#include <QClipboard>
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

// The columns of the widget's drawing where something other than its background shows: where its text
// stands. The background is taken from the drawing's first column, which text never reaches.
QList<int> inkColumns(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    const int inset = 3; // frames and focus marks at the edges are no text
    const QRgb background = image.pixel(inset, image.height() / 2);
    QList<int> columns;
    for (int x = inset; x < image.width() - inset; ++x) {
        for (int y = inset; y < image.height() - inset; ++y) {
            if (image.pixel(x, y) != background) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

bool hasPixelNear(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - colour.red()) + qAbs(pixel.green() - colour.green()) +
                    qAbs(pixel.blue() - colour.blue()) <
                48)
                return true;
        }
    return false;
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
        // The controls' client area keeps its size between the menu bar and the status bar, which the
        // window grows by.
        QCOMPARE(form.clientArea()->size(), QSize(1018, 691));
        QCOMPARE(form.size(), QSize(1018, 691 + 24 + 22));
        QCOMPARE(form.clientArea()->pos(), QPoint(0, 24));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        // Drawn for every size a desktop asks for, not scaled up from the title bar's 16 pixels.
        QCOMPARE(form.windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    }

    // What typing does to each kind of field: the folder fields change only through their buttons, so
    // no key, paste or deletion reaches them; the playlist name and box take what is typed, and Tab
    // leaves the box rather than putting a tab into it.
    void typingReachesOnlyTheEditableFields() {
        MainForm form(program.info, dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::clipboard()->setText(QStringLiteral("/pasted"));
        for (QLineEdit* field : ui::fields(form, "SelectFolderText")) {
            const QString before = field->text();
            field->setFocus();
            QTest::keyClicks(field, QStringLiteral("xyz"));
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
            QCOMPARE(field->text(), before);
        }

        QLineEdit* name = ui::field(form, "PlayListName");
        name->setFocus();
        name->end(false);
        QTest::keyClick(name, Qt::Key_Backspace);
        QTest::keyClicks(name, QStringLiteral("8"));
        QCOMPARE(name->text(), QStringLiteral("MP3LIST.M38"));

        QPlainTextEdit* box = ui::textBox(form, "M3UText");
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("a.mp3"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, QStringLiteral("b.mp3"));
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->toPlainText(), QStringLiteral("a.mp3\nb.mp3"));
        QVERIFY(!box->hasFocus());
    }

    // The three file lists select as a file manager does: a click selects one entry, Shift extends
    // to a range, Ctrl adds or takes out one entry.
    void listsSelectRangesAndSingleEntries() {
        MainForm form(program.info, dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const char* name : {"SFileList", "SelectList", "DFileList"}) {
            QListWidget* list = ui::list(form, name);
            list->addItems(
                {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
            const auto clickRow = [list](int row, Qt::KeyboardModifiers modifiers = {}) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                                  list->visualItemRect(list->item(row)).center());
            };
            const auto selectedRows = [list] {
                QList<int> rows;
                for (int i = 0; i < list->count(); ++i)
                    if (list->item(i)->isSelected())
                        rows.append(i);
                return rows;
            };
            clickRow(0);
            clickRow(2, Qt::ShiftModifier);
            QCOMPARE(selectedRows(), (QList<int>{0, 1, 2}));
            clickRow(1, Qt::ControlModifier);
            QCOMPARE(selectedRows(), (QList<int>{0, 2}));
            clickRow(3);
            QCOMPARE(selectedRows(), (QList<int>{3}));
        }
    }

    // The progress figures and the size labels start empty and show their figures against the right
    // edge, the figures in the highlight colour; a click on a display field gives it no focus, so
    // nothing typed afterwards reaches it.
    void figuresStandAtTheRightAndTakeNoInput() {
        MainForm form(program.info, dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (QWidget* shown : QList<QWidget*>{ui::field(form, "Prog"), ui::field(form, "NowCount"),
                                              ui::label(form, "TempFree"), ui::label(form, "FreeSpace"),
                                              ui::label(form, "SelectFileSize")}) {
            QVERIFY2(inkColumns(shown).isEmpty(), qPrintable(shown->objectName()));
            shown->setProperty("text", QStringLiteral("1"));
            const QList<int> ink = inkColumns(shown);
            QVERIFY2(!ink.isEmpty() && ink.first() > shown->width() * 3 / 4, qPrintable(shown->objectName()));
        }
        const QImage figure = ui::field(form, "Prog")->grab().toImage();
        const QColor highlight = ui::field(form, "Prog")->palette().color(QPalette::Highlight);
        QVERIFY(hasPixelNear(figure, highlight));

        ui::field(form, "SelectFolderText", 2)->setFocus();
        for (QWidget* display : QList<QWidget*>{ui::field(form, "Prog"), ui::field(form, "NowCount"),
                                                ui::textBox(form, "Msg")}) {
            QTest::mouseClick(display, Qt::LeftButton);
            QVERIFY2(!display->hasFocus(), qPrintable(display->objectName()));
        }
    }

    void optionArraysAreExclusiveGroups() {
        MainForm form(program.info, dialogs);
        // The selections the window starts with.
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
        QVERIFY(ui::installTranslations(*QCoreApplication::instance()));
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

    // The caption carries the version the build was configured with, each part a number of its own.
    void captionRule() {
        const QString built = QStringLiteral("%1.%2.%3")
                                  .arg(MP3RECAST_VERSION_MAJOR)
                                  .arg(MP3RECAST_VERSION_MINOR)
                                  .arg(MP3RECAST_VERSION_PATCH);
        QCOMPARE(program.info.mainCaption(),
                 QStringLiteral("MP3Recast Version ") + built +
                     QStringLiteral("         Copyright (C) 2026 MP3Recast developers"));
        ProgramInfo other = program.info;
        other.versionMajor = 1;
        other.versionMinor = 10;
        other.versionRevision = 0;
        QCOMPARE(other.mainCaption(),
                 QStringLiteral("MP3Recast Version 1.10.0         Copyright (C) 2026 MP3Recast developers"));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
