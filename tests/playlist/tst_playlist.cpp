// The playlist: its text built from the destination list, the saved file's exact bytes, and saves that
// fail without harming any file or leaving the window busy.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "playlist/PlaylistFile.h"
#include "window/MainForm.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestPlaylist : public QObject {
    Q_OBJECT

    TestProgram program;

    // The destination list shows a folder holding the named files, listed in name order; the folder
    // field then names `folderText`, the folder the playlist's entries are to carry.
    void fillDestinationList(MainForm& form, const QStringList& names, const QString& folderText) {
        const QString folder = listed.filePath(QString::number(++listings));
        QVERIFY(QDir().mkpath(folder));
        for (const QString& name : names)
            writeFile(folder + QLatin1Char('/') + name, "ID3");
        ui::option(form, "ListSort", 1)->setChecked(true);
        ui::field(form, "SelectFolderText", 2)->setText(folder);
        form.GetDiskFree();
        QCOMPARE(ui::texts(ui::list(form, "DFileList")), names);
        ui::field(form, "SelectFolderText", 2)->setText(folderText);
    }
    QTemporaryDir listed;
    int listings = 0;

  private slots:
    void buildFromDestinationList_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("checkState");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");

        const QStringList ab = {QStringLiteral("A.MP3"), QStringLiteral("B.MP3")};
        QTest::newRow("unchecked: bare names")
            << ab << int(Qt::Unchecked) << QStringLiteral("/music") << QStringLiteral("A.MP3\r\nB.MP3\r\n");
        QTest::newRow("checked, root") << QStringList{QStringLiteral("A.MP3")} << int(Qt::Checked)
                                       << QStringLiteral("/") << QStringLiteral("/A.MP3\r\n");
        QTest::newRow("checked, folder gains separator")
            << QStringList{QStringLiteral("A.MP3")} << int(Qt::Checked) << QStringLiteral("/data/Music")
            << QStringLiteral("/data/Music/A.MP3\r\n");
        QTest::newRow("partly checked counts as checked")
            << ab << int(Qt::PartiallyChecked) << QStringLiteral("/m/")
            << QStringLiteral("/m/A.MP3\r\n/m/B.MP3\r\n");
        // The list's order ignores case, a plain sort would not.
        QTest::newRow("list order kept, Japanese names")
            << QStringList{QStringLiteral("a.mp3"), QStringLiteral("Z.mp3"), QStringLiteral("曲ｱ.mp3")}
            << int(Qt::Unchecked) << QStringLiteral("/") << QStringLiteral("a.mp3\r\nZ.mp3\r\n曲ｱ.mp3\r\n");
        QTest::newRow("empty list") << QStringList{} << int(Qt::Checked) << QStringLiteral("/m") << QString();
    }

    void buildFromDestinationList() {
        QFETCH(QStringList, entries);
        QFETCH(int, checkState);
        QFETCH(QString, folder);
        QFETCH(QString, expected);

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::checkBox(form, "SetPathCheck")->setTristate(true);
        ui::checkBox(form, "SetPathCheck")->setCheckState(Qt::CheckState(checkState));
        fillDestinationList(form, entries, folder);
        ui::textBox(form, "M3UText")->setPlainText(QStringLiteral("old text that building replaces\n"));

        // Twice: building again gives the same text once, not twice.
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(ui::button(form, "MakePlayList"), Qt::LeftButton);
            // The box shows line breaks its own way; saved, the text is exactly the built one.
            QCOMPARE(ui::playListFileBytes(ui::textBox(form, "M3UText")->toPlainText()),
                     (expected + QStringLiteral("\r\n")).toUtf8());
        }
        QVERIFY(ui::button(form, "MakePlayList")->isEnabled());
        QVERIFY(ui::list(form, "DFileList")->isEnabled());
        QVERIFY(dialogs.shown.isEmpty());
    }

    void buildGivesThePlaylistBoxTheFocus() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        ui::field(form, "PlayListName")->setFocus();
        QTest::mouseClick(ui::button(form, "MakePlayList"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), ui::textBox(form, "M3UText"));
    }

    void saveWritesBoxTextAndOneMoreLine_data() {
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("built text ends with an empty line")
            << QStringLiteral("A.MP3\r\nB.MP3\r\n") << QByteArray("A.MP3\r\nB.MP3\r\n\r\n");
        QTest::newRow("empty text: CR LF alone") << QString() << QByteArray("\r\n");
        QTest::newRow("edited text saved unchanged, UTF-8")
            << QStringLiteral("#EXTM3U\n/曲/ｱ.mp3\nlast line without break")
            << QStringLiteral("#EXTM3U\r\n/曲/ｱ.mp3\r\nlast line without break\r\n").toUtf8();
        QTest::newRow("blanks kept") << QStringLiteral("  a.mp3  \n\n")
                                     << QByteArray("  a.mp3  \r\n\r\n\r\n");
    }

    void saveWritesBoxTextAndOneMoreLine() {
        QFETCH(QString, boxText);
        QFETCH(QByteArray, bytes);

        QTemporaryDir folder;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(folder.path());
        // The name is taken exactly as typed, blanks included.
        ui::field(form, "PlayListName")->setText(QStringLiteral(" リスト.M3U"));
        const QString path = folder.filePath(QStringLiteral(" リスト.M3U"));
        writeFile(path, "an older, longer playlist that the save replaces without asking\r\n");

        ui::textBox(form, "M3UText")->setPlainText(boxText);
        QTest::mouseClick(ui::button(form, "SavePlayList"), Qt::LeftButton);

        QCOMPARE(readAll(path), bytes);
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(ui::button(form, "SavePlayList")->isEnabled());
        // Nothing else in the folder: no temporary file left behind.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral(" リスト.M3U")});
    }

    void failedSaveHarmsNothing_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("missing folder") << QStringLiteral("missing folder");
        QTest::newRow("folder field names a file") << QStringLiteral("folder is a file");
        QTest::newRow("empty name") << QStringLiteral("empty name");
        QTest::newRow("name reaches into another folder") << QStringLiteral("name with separator");
        QTest::newRow("name of a folder") << QStringLiteral("name of a folder");
        QTest::newRow("read-only playlist") << QStringLiteral("read-only");
        QTest::newRow("read-only folder") << QStringLiteral("read-only folder");
    }

    void failedSaveHarmsNothing() {
        QFETCH(QString, situation);

        QTemporaryDir root;
        const QString music = root.filePath(QStringLiteral("music"));
        QVERIFY(QDir().mkpath(music + QStringLiteral("/sub")));
        const QByteArray oldPlaylist = "OLD.MP3\r\n\r\n";
        writeFile(music + QStringLiteral("/MP3LIST.M3U"), oldPlaylist);
        writeFile(music + QStringLiteral("/sub/MP3LIST.M3U"), oldPlaylist);

        QString folder = music;
        QString name = QStringLiteral("MP3LIST.M3U");
        if (situation == QLatin1String("missing folder")) {
            folder = root.filePath(QStringLiteral("gone"));
        } else if (situation == QLatin1String("folder is a file")) {
            folder = music + QStringLiteral("/MP3LIST.M3U");
            name = QStringLiteral("x.m3u");
        } else if (situation == QLatin1String("empty name")) {
            name.clear();
        } else if (situation == QLatin1String("name with separator")) {
            name = QStringLiteral("sub/MP3LIST.M3U");
        } else if (situation == QLatin1String("name of a folder")) {
            name = QStringLiteral("sub");
        } else if (situation == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(music + QStringLiteral("/MP3LIST.M3U"), QFileDevice::ReadOwner));
        } else if (situation == QLatin1String("read-only folder")) {
            if (geteuid() == 0)
                QSKIP("the superuser writes into read-only folders");
            QVERIFY(QFile::setPermissions(music, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(folder);
        ui::field(form, "PlayListName")->setText(name);
        ui::textBox(form, "M3UText")->setPlainText(QStringLiteral("NEW.MP3\n"));
        bool busyWhileTold = true;
        dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
            busyWhileTold = !ui::button(form, "SavePlayList")->isEnabled();
        };

        QTest::mouseClick(ui::button(form, "SavePlayList"), Qt::LeftButton);
        QFile::setPermissions(music,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QCOMPARE(dialogs.shown.size(), 1);
        const ScriptedDialogs::Shown& shown = dialogs.shown.first();
        QCOMPARE(shown.kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(shown.icon, Dialogs::Icon::Critical);
        QCOMPARE(shown.title, program.info.title);
        const QStringList lines = shown.text.split(u'\r');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("ﾌﾟﾚｲﾘｽﾄの保存に失敗しました。"));
        QCOMPARE(lines[1], folder + QStringLiteral("/") + name);
        QVERIFY(!lines[2].isEmpty());

        QVERIFY(!busyWhileTold);
        QVERIFY(ui::button(form, "SavePlayList")->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(readAll(music + QStringLiteral("/MP3LIST.M3U")), oldPlaylist);
        QCOMPARE(readAll(music + QStringLiteral("/sub/MP3LIST.M3U")), oldPlaylist);
        QCOMPARE(QDir(music).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("MP3LIST.M3U"), QStringLiteral("sub")}));
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("music")});
        if (situation == QLatin1String("read-only"))
            QVERIFY(!(QFile::permissions(music + QStringLiteral("/MP3LIST.M3U")) & QFileDevice::WriteOwner));
    }
};

QTEST_MAIN(TestPlaylist)
#include "tst_playlist.moc"
