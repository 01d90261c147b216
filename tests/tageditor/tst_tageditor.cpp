// The tag editor window against a stand-in library: its layout and frame, the openers, what a load
// shows and exactly what "更新" hands to the library, and the cases where it must write nothing.

#include "FakeDecoder.h"
#include "ScriptedDialogs.h"
#include "TagEditorDriver.h"
#include "TestProgram.h"
#include "WindowDriver.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {} // namespace

class TestTagEditor : public QObject {
    Q_OBJECT

    TestProgram program;
    QTemporaryDir folder;
    QString mp3Path;

    // A main window whose destination list holds "a.mp3" of the temporary folder.
    void prepare(MainForm& form) {
        ui::field(form, "SelectFolderText", 2)->setText(folder.path());
        ui::list(form, "DFileList")->clear();
        ui::list(form, "DFileList")->addItem(QStringLiteral("a.mp3"));
    }

  private slots:
    void init() {
        mp3Path = folder.filePath(QStringLiteral("a.mp3"));
        QFile file(mp3Path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not really audio; the stand-in library never looks");
    }

    void controls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QRect>("twips");

        auto row = [](const char* name, const char* kind, const char* caption, int limit, int l, int t, int w,
                      int h) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromUtf8(caption) << limit
                                << QRect(l, t, w, h);
        };
        row("FileNameText", "QLineEdit", "", 32767, 0, 0, 5055, 315);
        row("Label15", "QLabel", "ｱｰﾃｨｽﾄ名　：", 0, 60, 420, 1095, 255);
        row("txtArtist", "QLineEdit", "", 30, 1140, 420, 3615, 270);
        row("Label14", "QLabel", "ﾄﾗｯｸ名　：", 0, 60, 780, 1095, 255);
        row("txtTrack", "QLineEdit", "", 30, 1140, 780, 3615, 270);
        row("Label17", "QLabel", "ｱﾙﾊﾞﾑ名　：", 0, 60, 1140, 1095, 255);
        row("txtAlbum", "QLineEdit", "", 30, 1140, 1140, 3615, 270);
        row("Label21", "QLabel", "ﾘﾘｰｽ年　：", 0, 60, 1500, 1095, 255);
        row("txtYYYYMM", "QLineEdit", "", 4, 1140, 1500, 735, 270);
        row("Label23", "QLabel", "ｼﾞｬﾝﾙ　：", 0, 60, 1860, 1095, 255);
        row("cbGenre", "QComboBox", "", 0, 1140, 1860, 3615, 300);
        row("Label19", "QLabel", "ｺﾒﾝﾄ　：", 0, 60, 2220, 1095, 255);
        row("txtComment", "QLineEdit", "", 30, 1140, 2220, 3615, 270);
        row("Label1", "QLabel", "ﾄﾗｯｸ番号　：", 0, 60, 2640, 1095, 255);
        row("txtTrackNo", "QLineEdit", "", 32767, 1140, 2580, 615, 315);
        row("chkSelVer(0)", "QRadioButton", "v1.0", 0, 1920, 2580, 735, 255);
        row("chkSelVer(1)", "QRadioButton", "v1.1", 0, 1920, 2880, 735, 255);
        row("cmdReg", "QPushButton", "更新", 0, 2940, 2700, 975, 375);
        row("cmdCancel", "QPushButton", "閉じる", 0, 4020, 2700, 975, 375);
    }

    void controls() {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(int, maxLength);
        QFETCH(QRect, twips);

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        frmTagInput editor(&form, dialogs, program.info.title, QString());
        auto* widget = editor.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
        QCOMPARE(widget->parentWidget(), &editor);
        QCOMPARE(widget->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
            QVERIFY(label->alignment() & Qt::AlignRight);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(line->maxLength(), maxLength);
            QCOMPARE(line->isReadOnly(), widget == ui::field(editor, "FileNameText"));
        }
    }

    void windowFrameFocusAndButtons() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        frmTagInput editor(&form, dialogs, program.info.title, QString());
        QCOMPARE(editor.windowTitle(), QStringLiteral("MP3タグ情報"));
        QCOMPARE(editor.size(), QSize(338, 209));
        QCOMPARE(editor.minimumSize(), editor.maximumSize());
        QVERIFY(!(editor.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(editor.isModal());
        QCOMPARE(editor.parentWidget(), &form);
        QVERIFY(ui::button(editor, "cmdReg")->isDefault());
        QVERIFY(!ui::button(editor, "cmdCancel")->isDefault());
        QVERIFY(ui::comboBox(editor, "cbGenre")->isEditable());
        QCOMPARE(ui::option(editor, "chkSelVer", 0)->isChecked() ||
                     ui::option(editor, "chkSelVer", 1)->isChecked(),
                 false);

        const QStringList order = {
            QStringLiteral("txtArtist"),    QStringLiteral("txtTrack"),   QStringLiteral("txtAlbum"),
            QStringLiteral("txtYYYYMM"),    QStringLiteral("txtComment"), QStringLiteral("cbGenre"),
            QStringLiteral("cmdReg"),       QStringLiteral("cmdCancel"),  QStringLiteral("chkSelVer(0)"),
            QStringLiteral("chkSelVer(1)"), QStringLiteral("txtTrackNo"), QStringLiteral("FileNameText"),
            QStringLiteral("txtArtist")};
        QWidget* widget = ui::field(editor, "txtArtist");
        for (int i = 1; i < order.size(); ++i) {
            do {
                widget = widget->nextInFocusChain();
            } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty() ||
                     widget->objectName().startsWith(QLatin1String("qt_")));
            QCOMPARE(widget->objectName(), order[i]);
        }
    }

    // The one test that lets the window run its own modal loop: it opens centred over the main window
    // with the artist box focused, and Esc closes it without writing.
    void opensModallyCentredAndEscCloses() {
        FakeDecoder fake;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        prepare(form);
        form.move(40, 30);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QPoint editorCentre, formCentre;
        QString focused;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<frmTagInput*>(QApplication::activeModalWidget());
            if (!editor)
                return;
            modal = editor->isModal() && editor->isVisible();
            editorCentre = editor->frameGeometry().center();
            formCentre = form.frameGeometry().center();
            if (QTest::qWaitForWindowActive(editor) && editor->focusWidget())
                focused = editor->focusWidget()->objectName();
            QTest::keyClick(editor, Qt::Key_Escape);
        });
        // Never hang the suite on a window that failed to close.
        QTimer::singleShot(5000, [] {
            if (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        });
        ui::list(form, "DFileList")->setCurrentRow(0);
        ui::doubleClickCurrent(ui::list(form, "DFileList"));

        QVERIFY(modal);
        QVERIFY2((editorCentre - formCentre).manhattanLength() <= 2, "centred over the main window");
        QCOMPARE(focused, QStringLiteral("txtArtist"));
        QVERIFY(FakeDecoder::written.isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void openersUseTheListsCurrentEntry_data() {
        QTest::addColumn<bool>("source");
        QTest::addColumn<QString>("folderField");
        QTest::newRow("destination list") << false << QString();
        QTest::newRow("destination folder with final separator") << false << QStringLiteral("/");
        QTest::newRow("source list") << true << QString();
        QTest::newRow("source folder with final separator") << true << QStringLiteral("/");
    }

    void openersUseTheListsCurrentEntry() {
        QFETCH(bool, source);
        QFETCH(QString, folderField);

        FakeDecoder fake;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        QListWidget* list = source ? ui::list(form, "SFileList") : ui::list(form, "DFileList");
        ui::field(form, "SelectFolderText", source ? 0 : 2)->setText(folder.path() + folderField);
        ui::field(form, "SelectFolderText", source ? 2 : 0)->setText(QStringLiteral("/elsewhere"));
        list->addItems({QStringLiteral("x.mp3"), QStringLiteral("a.mp3"), QStringLiteral("z.mp3")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Several selected: the double-clicked one counts.
        list->item(0)->setSelected(true);
        list->item(2)->setSelected(true);

        QString shownPath;
        int caret = -1;
        const QRect entry = list->visualItemRect(list->item(1));
        whileEditorOpen(
            [&] {
                // A double-click is a press, a release and a second press that arrives as the double-click.
                QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, entry.center());
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, entry.center());
            },
            [&](frmTagInput& editor) {
                const QLineEdit* fileName = ui::field(editor, "FileNameText");
                shownPath = fileName->text();
                caret = fileName->cursorPosition();
            });

        QCOMPARE(shownPath, mp3Path);
        QCOMPARE(caret, int(mp3Path.size()));
        QCOMPARE(FakeDecoder::readPaths, QList<QByteArray>{QFile::encodeName(mp3Path)});
        QCOMPARE(FakeDecoder::genreCalls, 256);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void nothingOpensWithoutEntry_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("no current entry") << -1 << QStringLiteral("a.mp3");
        QTest::newRow("entry with empty text") << 0 << QString();
    }

    void nothingOpensWithoutEntry() {
        QFETCH(int, row);
        QFETCH(QString, text);
        FakeDecoder fake;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        for (QListWidget* list : {ui::list(form, "SFileList"), ui::list(form, "DFileList")}) {
            list->addItem(text);
            const EditorRun run = openFromList(form, list, row, [](frmTagInput&) {});
            QVERIFY(!run.opened);
        }
        QCOMPARE(FakeDecoder::genreCalls, 0);
    }
};

QTEST_MAIN(TestTagEditor)
#include "tst_tageditor.moc"
