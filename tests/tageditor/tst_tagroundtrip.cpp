// Tags written by the editor through the real decoder library into real MP3 files: read back by the
// editor itself and by independent readers (the raw ID3v1 bytes, and ffprobe for the ID3v2 tag).

#include "ScriptedDialogs.h"
#include "TagEditorDriver.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "mp3_fixtures.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct Tag {
    QString title, artist, album, year, comment;
    int genre = -1;
    int version = -1; // -1 none, 0 v1.0, 1 v1.1
    QString track;
};

void fill(frmTagInput& editor, const Tag& tag) {
    ui::field(editor, "txtTrack")->setText(tag.title);
    ui::field(editor, "txtArtist")->setText(tag.artist);
    ui::field(editor, "txtAlbum")->setText(tag.album);
    ui::field(editor, "txtYYYYMM")->setText(tag.year);
    ui::field(editor, "txtComment")->setText(tag.comment);
    ui::comboBox(editor, "cbGenre")->setCurrentIndex(tag.genre);
    if (tag.version >= 0)
        ui::option(editor, "chkSelVer", tag.version)->click();
    ui::field(editor, "txtTrackNo")->setText(tag.track);
}

Tag shown(frmTagInput& editor) {
    Tag tag{ui::field(editor, "txtTrack")->text(),
            ui::field(editor, "txtArtist")->text(),
            ui::field(editor, "txtAlbum")->text(),
            ui::field(editor, "txtYYYYMM")->text(),
            ui::field(editor, "txtComment")->text(),
            ui::comboBox(editor, "cbGenre")->currentIndex(),
            ui::option(editor, "chkSelVer", 0)->isChecked()   ? 0
            : ui::option(editor, "chkSelVer", 1)->isChecked() ? 1
                                                              : -1,
            ui::field(editor, "txtTrackNo")->text()};
    return tag;
}

// The ID3v1 field's bytes without the NUL or blank padding behind them.
QByteArray id3v1Field(const QByteArray& tag, int offset, int size) {
    QByteArray bytes = tag.mid(offset, size);
    while (!bytes.isEmpty() && (bytes.endsWith('\0') || bytes.endsWith(' ')))
        bytes.chop(1);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Tag)

class TestTagRoundTrip : public QObject {
    Q_OBJECT

    TestProgram program;
    QTemporaryDir folder;

    QString makeMp3(const QString& name) {
        fixtures::ToneSpec spec;
        spec.seconds = 0.3;
        const QString path = folder.filePath(name);
        return fixtures::writeFile(path, fixtures::makeMp3(spec).bytes) ? path : QString();
    }

    // Opens the editor on `name`, from the source list or the destination list, and drives it.
    EditorRun open(const QString& name, bool fromSource, const std::function<void(frmTagInput&)>& drive) {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 0)->setText(folder.path());
        ui::field(form, "SelectFolderText", 2)->setText(folder.path());
        QListWidget* list = fromSource ? ui::list(form, "SFileList") : ui::list(form, "DFileList");
        list->addItem(name);
        const EditorRun run = openFromList(form, list, 0, drive);
        if (!dialogs.shown.isEmpty())
            qWarning() << "unexpected message:" << dialogs.messageTexts();
        return run;
    }

    QJsonObject ffprobeTags(const QString& path) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("format_tags"), QStringLiteral("-of"), QStringLiteral("json"), path});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            return {};
        return QJsonDocument::fromJson(probe.readAllStandardOutput())
            .object()[QStringLiteral("format")]
            .toObject()[QStringLiteral("tags")]
            .toObject();
    }

  private slots:
    void writtenTagReadsBack_data() {
        QTest::addColumn<Tag>("typed");
        QTest::addColumn<int>("trackNumber"); // 0: none (v1.0)

        QTest::newRow("v1.1, Japanese") << Tag{QStringLiteral("夜明けの歌"),
                                               QStringLiteral("ｱｰﾃｨｽﾄ 山田"),
                                               QStringLiteral("アルバム"),
                                               QStringLiteral("2003"),
                                               QStringLiteral("コメント"),
                                               17,
                                               1,
                                               QStringLiteral("7")}
                                        << 7;
        QTest::newRow("v1.0 ignores the track box") << Tag{QStringLiteral("Title"),
                                                           QStringLiteral("Artist"),
                                                           QStringLiteral("Album"),
                                                           QStringLiteral("1999"),
                                                           QStringLiteral("A comment"),
                                                           0,
                                                           0,
                                                           QStringLiteral("5")}
                                                    << 0;
    }

    void writtenTagReadsBack() {
        QFETCH(Tag, typed);
        QFETCH(int, trackNumber);

        const QString name = QStringLiteral("曲 %1.mp3").arg(QTest::currentDataTag());
        const QString path = makeMp3(name);
        QVERIFY(!path.isEmpty());
        const QByteArray audioBefore = fixtures::audioPart(fixtures::readFile(path));

        QString genreItem;
        const EditorRun written = open(name, true, [&](frmTagInput& editor) {
            fill(editor, typed);
            genreItem = ui::comboBox(editor, "cbGenre")->currentText();
            ui::click(editor, "cmdReg");
        });
        QVERIFY(written.opened);
        QVERIFY(written.closed);

        // The editor reads back what it wrote (v1.0: the box stays empty).
        Tag expected = typed;
        if (trackNumber == 0)
            expected.track.clear();
        Tag readBack;
        QVERIFY(open(name, false, [&](frmTagInput& editor) { readBack = shown(editor); }).opened);
        QCOMPARE(readBack.title, expected.title);
        QCOMPARE(readBack.artist, expected.artist);
        QCOMPARE(readBack.album, expected.album);
        QCOMPARE(readBack.year, expected.year);
        QCOMPARE(readBack.comment, expected.comment);
        QCOMPARE(readBack.genre, expected.genre);
        QCOMPARE(readBack.version, expected.version);
        QCOMPARE(readBack.track, expected.track);

        // The raw ID3v1 tag at the end: Japanese text in CP932, the track number only in a v1.1 tag.
        const QByteArray file = fixtures::readFile(path);
        QCOMPARE(fixtures::audioPart(file), audioBefore);
        QVERIFY(fixtures::hasId3v1(file));
        const QByteArray v1 = file.right(128);
        QCOMPARE(id3v1Field(v1, 3, 30), fixtures::toCp932(typed.title));
        QCOMPARE(id3v1Field(v1, 33, 30), fixtures::toCp932(typed.artist));
        QCOMPARE(id3v1Field(v1, 63, 30), fixtures::toCp932(typed.album));
        QCOMPARE(v1.mid(93, 4), typed.year.toLatin1());
        QCOMPARE(id3v1Field(v1, 97, trackNumber ? 28 : 30), fixtures::toCp932(typed.comment));
        if (trackNumber)
            QCOMPARE(v1.at(125), '\0');
        QCOMPARE(int(quint8(v1.at(126))), trackNumber);
        QCOMPARE(int(quint8(v1.at(127))), typed.genre);

        // The ID3v2 tag as another program reads it.
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffprobe is not installed");
        const QJsonObject tags = ffprobeTags(path);
        QCOMPARE(tags[QStringLiteral("title")].toString(), typed.title);
        QCOMPARE(tags[QStringLiteral("artist")].toString(), typed.artist);
        QCOMPARE(tags[QStringLiteral("album")].toString(), typed.album);
        QCOMPARE(tags[QStringLiteral("date")].toString(), typed.year);
        QCOMPARE(tags[QStringLiteral("comment")].toString(), typed.comment);
        QCOMPARE(tags[QStringLiteral("genre")].toString(), genreItem.mid(6));
        QCOMPARE(tags[QStringLiteral("track")].toString(),
                 trackNumber ? QString::number(trackNumber) : QString());
    }

    void readOnlyFileIsWrittenAndStaysWritable() {
        const QString path = makeMp3(QStringLiteral("ro.mp3"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        const EditorRun run = open(QStringLiteral("ro.mp3"), false, [](frmTagInput& editor) {
            ui::field(editor, "txtTrack")->setText(QStringLiteral("書き込めた"));
            ui::click(editor, "cmdReg");
        });
        QVERIFY(run.closed);
        QVERIFY(QFile::permissions(path) & QFileDevice::WriteOwner);
        QString title;
        open(QStringLiteral("ro.mp3"), true,
             [&](frmTagInput& editor) { title = ui::field(editor, "txtTrack")->text(); });
        QCOMPARE(title, QStringLiteral("書き込めた"));
    }

    // A write the library refuses is told with its cause, and the window stays open with the user's edits.
    void refusedWriteKeepsTheEdits() {
        QByteArray tag = fixtures::id3v2Tag(
            3,
            {fixtures::id3v2Frame(3, "TIT2", fixtures::textPayload(fixtures::Encoding::Latin1, u"Old"_qs))});
        tag[10 + 4] = 0x7F; // the frame claims far more than the tag holds: unsafe to rewrite
        const QString path = folder.filePath(QStringLiteral("unsafe.mp3"));
        const QByteArray original = tag + fixtures::makeMp3({44100, 2, 128, false, 4, 0.3}).bytes;
        QVERIFY(fixtures::writeFile(path, original));

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 0)->setText(folder.path());
        ui::list(form, "SFileList")->addItem(QStringLiteral("unsafe.mp3"));
        QString titleAfter;
        const EditorRun run = openFromList(form, ui::list(form, "SFileList"), 0, [&](frmTagInput& editor) {
            ui::field(editor, "txtTrack")->setText(QStringLiteral("新しい題"));
            ui::click(editor, "cmdReg");
            titleAfter = ui::field(editor, "txtTrack")->text();
            ui::click(editor, "cmdCancel");
        });
        QCOMPARE(run.result, int(QDialog::Rejected)); // closed by "閉じる", not by the refused "更新"
        QCOMPARE(titleAfter, QStringLiteral("新しい題"));
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{
                     QStringLiteral("タグ情報の更新に失敗しました。\r"
                                    "タグまたは音声データを安全に読み取れないため、書き込みませんでした。")});
        QCOMPARE(fixtures::readFile(path), original);
    }

    // A genre name typed into the box selects that genre; an emptied box clears the genre.
    void typedGenreNameIsWritten() {
        const QString path = makeMp3(QStringLiteral("genre.mp3"));
        QVERIFY(open(QStringLiteral("genre.mp3"), true, [](frmTagInput& editor) {
                    ui::field(editor, "txtTrack")->setText(QStringLiteral("Song"));
                    ui::comboBox(editor, "cbGenre")->setEditText(QStringLiteral("jazz"));
                    ui::click(editor, "cmdReg");
                }).closed);
        int genre = -1;
        open(QStringLiteral("genre.mp3"), true, [&](frmTagInput& editor) {
            genre = ui::comboBox(editor, "cbGenre")->currentIndex();
            ui::comboBox(editor, "cbGenre")->setEditText(QString());
            ui::click(editor, "cmdReg");
        });
        QCOMPARE(genre, 8);
        QCOMPARE(quint8(fixtures::readFile(path).back()), quint8(255));
    }
};

QTEST_MAIN(TestTagRoundTrip)
#include "tst_tagroundtrip.moc"
