// What the tag editor shows for a tag the library hands it, and exactly what "更新" hands back, against
// a stand-in library; and the cases where "更新" must write nothing and keep the window open.

#include "FakeDecoder.h"
#include "ScriptedDialogs.h"
#include "TagEditorDriver.h"
#include "TestProgram.h"
#include "WindowDriver.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {

QByteArray field(const char* bytes, std::size_t size) {
    return QByteArray(bytes, qsizetype(size));
}

} // namespace

class TestTagLoadUpdate : public QObject {
    Q_OBJECT

    TestProgram program;
    QTemporaryDir folder;

    QString makeFile(const QString& name) {
        const QString path = folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("audio");
        return path;
    }

    // Opens the editor on `name` from the destination list and runs `drive` while it is open.
    EditorRun open(const QString& name, const std::function<void(frmTagInput&)>& drive,
                   ScriptedDialogs* dialogsOut = nullptr) {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogsOut ? *dialogsOut : dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(folder.path());
        ui::list(form, "DFileList")->addItem(name);
        return openFromList(form, ui::list(form, "DFileList"), 0, drive);
    }

  private slots:
    void genreListHas256NumberedItems() {
        FakeDecoder fake;
        FakeDecoder::namelessGenres = {7, 255};
        makeFile(QStringLiteral("a.mp3"));
        for (int opening = 0; opening < 2; ++opening) {
            QStringList items;
            const EditorRun run = open(QStringLiteral("a.mp3"), [&](frmTagInput& editor) {
                const QComboBox* genres = ui::comboBox(editor, "cbGenre");
                for (int i = 0; i < genres->count(); ++i)
                    items.append(genres->itemText(i));
            });
            QVERIFY(run.opened);
            QCOMPARE(items.size(), 256);
            QCOMPARE(items[0], QStringLiteral("000 - Name 0"));
            QCOMPARE(items[7], QStringLiteral("007 - "));
            QCOMPARE(items[42], QStringLiteral("042 - Name 42"));
            QCOMPARE(items[255], QStringLiteral("255 - "));
        }
        QCOMPARE(FakeDecoder::genreCalls, 512);
    }

    void loadShowsTheTag_data() {
        QTest::addColumn<int>("genre");
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("selectedGenre");
        QTest::addColumn<int>("version"); // -1: none selected
        QTest::addColumn<QString>("trackText");

        QTest::newRow("v1.0 tag, genre 17") << 17 << -1 << 17 << 0 << QString();
        QTest::newRow("v1.1 tag, track 5") << 0 << 5 << 0 << 1 << QStringLiteral("5");
        QTest::newRow("no genre") << -1 << 12 << -1 << 1 << QStringLiteral("12");
        QTest::newRow("genre above the list") << 256 << -1 << -1 << 0 << QString();
        QTest::newRow("genre below -1") << -5 << -1 << -1 << 0 << QString();
        QTest::newRow("track 0 counts as v1.1") << 255 << 0 << 255 << 1 << QStringLiteral("0");
    }

    void loadShowsTheTag() {
        QFETCH(int, genre);
        QFETCH(int, track);
        QFETCH(int, selectedGenre);
        QFETCH(int, version);
        QFETCH(QString, trackText);

        FakeDecoder fake;
        FakeDecoder::put(FakeDecoder::tag.title, "Title with blanks   ");
        FakeDecoder::put(FakeDecoder::tag.artist, "アーティスト");
        FakeDecoder::put(FakeDecoder::tag.album, "An album name that is longer than thirty characters");
        FakeDecoder::put(FakeDecoder::tag.year, "20031");
        FakeDecoder::put(FakeDecoder::tag.comment, "c");
        FakeDecoder::tag.genre = genre;
        FakeDecoder::tag.trackNo = track;
        makeFile(QStringLiteral("a.mp3"));

        open(QStringLiteral("a.mp3"), [&](frmTagInput& editor) {
            QCOMPARE(ui::field(editor, "txtTrack")->text(), QStringLiteral("Title with blanks   "));
            QCOMPARE(ui::field(editor, "txtArtist")->text(), QStringLiteral("アーティスト"));
            QCOMPARE(ui::field(editor, "txtAlbum")->text(), QStringLiteral("An album name that is longer t"));
            QCOMPARE(ui::field(editor, "txtYYYYMM")->text(), QStringLiteral("2003"));
            QCOMPARE(ui::field(editor, "txtComment")->text(), QStringLiteral("c"));
            QCOMPARE(ui::comboBox(editor, "cbGenre")->currentIndex(), selectedGenre);
            QCOMPARE(ui::option(editor, "chkSelVer", 0)->isChecked(), version == 0);
            QCOMPARE(ui::option(editor, "chkSelVer", 1)->isChecked(), version == 1);
            QCOMPARE(ui::field(editor, "txtTrackNo")->text(), trackText);
        });
    }

    void noTagLeavesEverythingEmpty() {
        FakeDecoder fake;
        FakeDecoder::tagFound = false;
        FakeDecoder::put(FakeDecoder::tag.title, "ignored");
        FakeDecoder::tag.genre = 3;
        FakeDecoder::tag.trackNo = 4;
        makeFile(QStringLiteral("a.mp3"));

        const EditorRun run = open(QStringLiteral("a.mp3"), [&](frmTagInput& editor) {
            QCOMPARE(ui::field(editor, "txtTrack")->text(), QString());
            QCOMPARE(ui::comboBox(editor, "cbGenre")->currentIndex(), -1);
            QCOMPARE(ui::comboBox(editor, "cbGenre")->count(), 256);
            QVERIFY(!ui::option(editor, "chkSelVer", 0)->isChecked() &&
                    !ui::option(editor, "chkSelVer", 1)->isChecked());
            QCOMPARE(ui::field(editor, "txtTrackNo")->text(), QString());
            // Untouched, "更新" writes no genre and no track number.
            ui::click(editor, "cmdReg");
        });
        QVERIFY(run.closed);
        QCOMPARE(FakeDecoder::written.size(), 1);
        QCOMPARE(FakeDecoder::written[0].record.genre, -1);
        QCOMPARE(FakeDecoder::written[0].record.trackNo, -1);
    }

    void updateWritesTrackNumberByVersion_data() {
        QTest::addColumn<int>("version"); // -1: none selected
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("written");

        QTest::newRow("v1.0 ignores the box") << 0 << QStringLiteral("5") << -1;
        QTest::newRow("no version") << -1 << QStringLiteral("5") << -1;
        QTest::newRow("v1.1 blanks only") << 1 << QStringLiteral("   ") << -1;
        QTest::newRow("v1.1 empty") << 1 << QString() << -1;
        QTest::newRow("v1.1 3.5") << 1 << QStringLiteral("3.5") << 4;
        QTest::newRow("v1.1 beyond 32 bits") << 1 << QStringLiteral("1e12") << 2147483647;
    }

    void updateWritesTrackNumberByVersion() {
        QFETCH(int, version);
        QFETCH(QString, text);
        QFETCH(int, written);

        FakeDecoder fake;
        FakeDecoder::tagFound = false;
        const QString path = makeFile(QStringLiteral("a.mp3"));
        const EditorRun run = open(QStringLiteral("a.mp3"), [&](frmTagInput& editor) {
            if (version >= 0)
                ui::option(editor, "chkSelVer", version)->click();
            ui::field(editor, "txtTrackNo")->setText(text);
            QTest::keyClick(ui::field(editor, "txtArtist"), Qt::Key_Return); // Enter presses "更新"
        });
        QVERIFY(run.closed);
        QCOMPARE(run.result, int(QDialog::Accepted));
        QCOMPARE(FakeDecoder::written.size(), 1);
        QCOMPARE(FakeDecoder::written[0].record.trackNo, written);
        QCOMPARE(FakeDecoder::written[0].path, QFile::encodeName(path));
        QCOMPARE(FakeDecoder::written[0].optionA, 1);
        QCOMPARE(FakeDecoder::written[0].optionB, 1);
    }

    void updateRecordBytes_data() {
        QTest::addColumn<int>("genreIndex");
        QTest::addColumn<QString>("typedGenre"); // typed over the selection; empty: left alone
        QTest::addColumn<int>("genre");
        QTest::newRow("genre selected") << 17 << QString() << 17;
        QTest::newRow("no genre selected") << -1 << QString() << -1;
        QTest::newRow("text typed over the selection") << 17 << QStringLiteral("my genre") << -1;
    }

    void updateRecordBytes() {
        QFETCH(int, genreIndex);
        QFETCH(QString, typedGenre);
        QFETCH(int, genre);

        FakeDecoder fake;
        FakeDecoder::tagFound = false;
        makeFile(QStringLiteral("a.mp3"));
        open(QStringLiteral("a.mp3"), [&](frmTagInput& editor) {
            QTest::keyClicks(ui::field(editor, "txtYYYYMM"), QStringLiteral("200312"));
            ui::field(editor, "txtTrack")->setText(QStringLiteral("曲名 ﾀｲﾄﾙ"));
            ui::field(editor, "txtArtist")->setText(QStringLiteral("Artist "));
            ui::field(editor, "txtAlbum")->setText(QStringLiteral("Album"));
            ui::field(editor, "txtComment")->setText(QString());
            ui::comboBox(editor, "cbGenre")->setCurrentIndex(genreIndex);
            if (!typedGenre.isEmpty())
                ui::comboBox(editor, "cbGenre")->setEditText(typedGenre);
            ui::click(editor, "cmdReg");
        });
        QCOMPARE(FakeDecoder::written.size(), 1);
        const VBMP3_TAG_INFO& record = FakeDecoder::written[0].record;
        // Typing stops at four characters; the library gets them followed by one blank.
        QCOMPARE(field(record.year, sizeof record.year), QByteArray("2003 "));
        QCOMPARE(field(record.title, sizeof record.title),
                 QStringLiteral("曲名 ﾀｲﾄﾙ").toUtf8().leftJustified(128, ' '));
        QCOMPARE(field(record.artist, sizeof record.artist), QByteArray("Artist ").leftJustified(128, ' '));
        QCOMPARE(field(record.album, sizeof record.album), QByteArray("Album").leftJustified(128, ' '));
        QCOMPARE(field(record.comment, sizeof record.comment), QByteArray(128, ' '));
        QCOMPARE(field(record.genreName, sizeof record.genreName), QByteArray(128, '\0'));
        QCOMPARE(record.genre, genre);
    }

    void updateDoesNothingWithoutTheFile_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("deleted while open") << QStringLiteral("deleted");
        QTest::newRow("hidden file") << QStringLiteral("hidden");
        QTest::newRow("folder gone") << QStringLiteral("folder gone");
        QTest::newRow("a folder of that name") << QStringLiteral("folder");
    }

    void updateDoesNothingWithoutTheFile() {
        QFETCH(QString, situation);

        FakeDecoder fake;
        QTemporaryDir sub(folder.filePath(QStringLiteral("sub-XXXXXX")));
        QString name = QStringLiteral("a.mp3");
        if (situation == QLatin1String("hidden"))
            name = QStringLiteral(".a.mp3");
        if (situation == QLatin1String("folder"))
            QVERIFY(QDir(sub.path()).mkdir(name));
        else
            QVERIFY(QFile(sub.filePath(name)).open(QIODevice::WriteOnly));

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(sub.path());
        ui::list(form, "DFileList")->addItem(name);
        bool stillOpen = false;
        const EditorRun run = openFromList(form, ui::list(form, "DFileList"), 0, [&](frmTagInput& editor) {
            if (situation == QLatin1String("deleted"))
                QVERIFY(QFile::remove(sub.filePath(name)));
            if (situation == QLatin1String("folder gone"))
                QVERIFY(QDir(sub.path()).removeRecursively());
            ui::click(editor, "cmdReg");
            stillOpen = !editor.result() && FakeDecoder::written.isEmpty();
            ui::click(editor, "cmdCancel");
        });
        QVERIFY(stillOpen);
        QVERIFY(run.closed);
        QCOMPARE(run.result, int(QDialog::Rejected));
        QVERIFY(FakeDecoder::written.isEmpty());
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A write the library refuses is shown with its cause, and the window stays open with the edits.
    void refusedWriteIsShownAndKeepsTheEdits() {
        FakeDecoder fake;
        FakeDecoder::writeResult = 0;
        QTemporaryDir sub(folder.filePath(QStringLiteral("sub-XXXXXX")));
        QVERIFY(QFile(sub.filePath(QStringLiteral("a.mp3"))).open(QIODevice::WriteOnly));
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(sub.path());
        ui::list(form, "DFileList")->addItem(QStringLiteral("a.mp3"));
        QString kept;
        const EditorRun run = openFromList(form, ui::list(form, "DFileList"), 0, [&](frmTagInput& editor) {
            ui::field(editor, "txtArtist")->setText(QStringLiteral("新しい名前"));
            ui::click(editor, "cmdReg");
            kept = editor.isVisible() ? ui::field(editor, "txtArtist")->text() : QString();
        });
        QCOMPARE(kept, QStringLiteral("新しい名前"));
        QVERIFY(!run.closed);
        QCOMPARE(FakeDecoder::written.size(), 1);
        QCOMPARE(dialogs.messageTexts().size(), 1);
        QVERIFY(dialogs.messageTexts()[0].startsWith(QStringLiteral("タグ情報の更新に失敗しました。\r")));
    }

    void missingLibraryOperationIsShown_data() {
        QTest::addColumn<bool>("withGenres");
        QTest::addColumn<QString>("operation");
        QTest::newRow("on load") << false << QStringLiteral("vbmp3_getGenre");
        QTest::newRow("on update") << true << QStringLiteral("vbmp3_setTagInfoEX");
    }

    void missingLibraryOperationIsShown() {
        QFETCH(bool, withGenres);
        QFETCH(QString, operation);

        FakeDecoder fake(withGenres, /*withWrite=*/false);
        makeFile(QStringLiteral("a.mp3"));
        ScriptedDialogs dialogs;
        bool openAfterFailure = false;
        const EditorRun run = open(
            QStringLiteral("a.mp3"),
            [&](frmTagInput& editor) {
                ui::click(editor, "cmdReg");
                openAfterFailure = !editor.result();
                ui::click(editor, "cmdCancel");
            },
            &dialogs);
        QCOMPARE(run.opened, withGenres);
        QCOMPARE(openAfterFailure, withGenres);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Critical);
        QVERIFY2(dialogs.shown[0].text.contains(operation), qPrintable(dialogs.shown[0].text));
    }
};

QTEST_MAIN(TestTagLoadUpdate)
#include "tst_tagloadupdate.moc"
