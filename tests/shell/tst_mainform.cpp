// The main window as the user meets it: every control where the window definition puts it, with its
// caption, tool tip, kind and parent, the focus order, and the window's own frame.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "shell/MainForm.h"
#include "shell/Translations.h"

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

    QString captionOf(QWidget* widget) {
        if (auto* frame = qobject_cast<QGroupBox*>(widget))
            return frame->title();
        if (auto* label = qobject_cast<QLabel*>(widget))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return button->text();
        if (auto* line = qobject_cast<QLineEdit*>(widget))
            return line->text();
        if (auto* text = qobject_cast<QPlainTextEdit*>(widget))
            return text->toPlainText();
        return {};
    }

  private slots:
    void controls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QRect>("twips");

        auto row = [](const char* name, const char* kind, const char* parent, const char* caption,
                      const char* tip, int l, int t, int w, int h) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(parent)
                                << QString::fromUtf8(caption) << QString::fromUtf8(tip) << QRect(l, t, w, h);
        };
        // Frames and what sits directly in the window.
        row("Frame1", "QGroupBox", "MainForm", "変換元：", "", 0, 0, 15255, 5715);
        row("Frame3", "QGroupBox", "MainForm", "変換先：", "", 0, 5760, 15255, 4575);
        row("Frame2", "QGroupBox", "Frame1", "変換情報：", "", 60, 2820, 8175, 1575);
        row("Frame4", "QGroupBox", "Frame1", "処理情報：", "", 60, 4440, 6915, 1155);
        row("Frame5", "QGroupBox", "Frame2", "ﾋﾞｯﾄﾚｰﾄ：", "", 60, 540, 4875, 915);
        row("Frame6", "QGroupBox", "Frame2", "音質：", "", 5040, 780, 3015, 675);
        // Source side.
        row("SelectFolderText(0)", "QLineEdit", "Frame1", "C:\\", "", 780, 0, 7155, 270);
        row("SelctFolder(0)", "QPushButton", "Frame1", "…", "変換元フォルダを選択", 7920, 0, 375, 315);
        row("SFileList", "QListWidget", "Frame1", "", "", 60, 360, 7875, 2430);
        row("Label1", "QLabel", "Frame2", "作業用ﾌｫﾙﾀﾞ：", "", 120, 240, 1155, 195);
        row("SelectFolderText(1)", "QLineEdit", "Frame2", "C:\\Temp", "", 1260, 180, 6435, 270);
        row("SelctFolder(1)", "QPushButton", "Frame2", "…", "作業用フォルダを選択", 7680, 180, 375, 315);
        row("TempFree", "QLabel", "Frame2", "", "", 4980, 540, 3075, 255);
        row("Msg", "QPlainTextEdit", "Frame4", "", "", 120, 240, 6735, 795);
        row("Prog", "QLineEdit", "Frame4", "", "", 3660, 120, 1815, 270);
        row("NowCount", "QLineEdit", "Frame4", "", "", 5460, 120, 1395, 270);
        row("ConvertStart", "QPushButton", "Frame1", "変換開始", "変換開始", 7020, 4560, 1215, 1035);
        row("AllSelect", "QPushButton", "Frame1", ">>", "全て変換", 7920, 360, 435, 555);
        row("OneSelect", "QPushButton", "Frame1", ">", "選択したファイルの変換", 7920, 960, 435, 555);
        row("OneRemove", "QPushButton", "Frame1", "<", "選択したファイルの取り消し", 7920, 1620, 435, 555);
        row("AllRemove", "QPushButton", "Frame1", "<<", "全て取り消し", 7920, 2220, 435, 555);
        row("Label3", "QLabel", "Frame1", "選択ﾌｧｲﾙ：", "", 8400, 180, 975, 195);
        row("SelectFileSize", "QLabel", "Frame1", "", "", 9360, 180, 5835, 195);
        row("SelectList", "QListWidget", "Frame1", "", "", 8340, 360, 6855, 5280);
        // Destination side.
        row("SelectFolderText(2)", "QLineEdit", "Frame3", "C:\\", "", 780, 0, 5595, 270);
        row("SelctFolder(2)", "QPushButton", "Frame3", "…", "変換先フォルダを選択", 6360, 0, 375, 315);
        row("MakeNewDir", "QPushButton", "Frame3", "新規ﾌｫﾙﾀﾞ作成", "", 6720, 0, 1575, 315);
        row("DFileList", "QListWidget", "Frame3", "", "", 60, 360, 8235, 3840);
        row("DeleteFile", "QPushButton", "Frame3", "選択ﾌｧｲﾙ削除", "", 60, 4200, 1515, 375);
        row("FreeSpace", "QLabel", "Frame3", "", "", 4200, 4260, 4035, 255);
        row("Label2", "QLabel", "Frame3", "ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ名：", "", 8400, 180, 1455, 195);
        row("PlayListName", "QLineEdit", "Frame3", "MP3LIST.M3U", "", 9780, 120, 5415, 270);
        row("M3UText", "QPlainTextEdit", "Frame3", "", "", 8340, 420, 6855, 3795);
        row("MakePlayList", "QPushButton", "Frame3", "ﾌﾟﾚｲﾘｽﾄ作成", "プレイリストを作成", 8340, 4200, 1515,
            375);
        row("SetPathCheck", "QCheckBox", "Frame3", "パス名を付加する。", "", 9900, 4260, 1935, 195);
        row("SavePlayList", "QPushButton", "Frame3", "ﾌﾟﾚｲﾘｽﾄ保存", "プレイリストをファイル保存", 11940, 4200,
            1455, 375);
        row("ProgExit", "QPushButton", "Frame3", "終了", "", 13980, 4200, 1275, 375);
        // Option arrays: bit rates in two rows of seven, lowest top left.
        const char* rates[] = {"32",  "40",  "48",  "56",  "64",  "80",  "96",
                               "112", "128", "160", "192", "224", "256", "320"};
        for (int i = 0; i < 14; ++i) {
            const QByteArray name = "Bits(" + QByteArray::number(i) + ")";
            row(name.constData(), "QRadioButton", "Frame5", rates[i], "", 120 + 660 * (i % 7),
                i < 7 ? 300 : 540, i < 7 ? 555 : 615, 195);
        }
        row("Stereo(0)", "QRadioButton", "Frame6", "ﾓﾉﾗﾙ", "", 120, 300, 795, 180);
        row("Stereo(1)", "QRadioButton", "Frame6", "ｽﾃﾚｵ", "", 960, 300, 795, 180);
        row("Stereo(2)", "QRadioButton", "Frame6", "Joinｽﾃﾚｵ", "", 1800, 300, 1095, 180);
        row("ListSort(0)", "QRadioButton", "Frame3", "作成日順", "", 1740, 4320, 1155, 195);
        row("ListSort(1)", "QRadioButton", "Frame3", "名前順", "", 2940, 4320, 915, 195);
    }

    void controls() {
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QFETCH(QRect, twips);

        MainForm form(program.info, dialogs);
        auto* widget = form.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(captionOf(widget), caption);
        QCOMPARE(widget->toolTip(), toolTip);
        QCOMPARE(widget->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
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
