// Start-up and shutdown: settings into the controls and back, the fall-backs for missing folders and bad
// values, the single-instance refusal, the close box refused while busy and "終了" leaving without writing.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "window/MainForm.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QList<int> checkedIndexes(const QList<QRadioButton*>& options) {
    QList<int> checked;
    for (int i = 0; i < options.size(); ++i)
        if (options[i]->isChecked())
            checked.append(i);
    return checked;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

  private slots:
    void firstStartDefaultsAndKeyOrder() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString exe = program.info.executableFolder;
        writeFile(exe + QStringLiteral("/a.mp3"), "x");
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());

        QCOMPARE(form.windowTitle(),
                 QStringLiteral("MP3Recast Version 0.9.5         Copyright (C) 2026 MP3Recast developers"));
        QCOMPARE(checkedIndexes(ui::options(form, "Bits")), QList<int>{8});
        QCOMPARE(checkedIndexes(ui::options(form, "Stereo")), QList<int>{1});
        QCOMPARE(checkedIndexes(ui::options(form, "ListSort")), QList<int>{1});
        for (QLineEdit* field : ui::fields(form, "SelectFolderText"))
            QCOMPARE(field->text(), exe);
        QCOMPARE(ui::list(form, "SFileList")->item(0)->text(), QStringLiteral("a.mp3"));
        QVERIFY(ui::label(form, "FreeSpace")->text().startsWith(QStringLiteral("1個   空き容量：")));
        QCOMPARE(ui::field(form, "PlayListName")->text(), QStringLiteral("MP3LIST.M3U"));
        QCOMPARE(ui::checkBox(form, "SetPathCheck")->checkState(), Qt::Unchecked);
        // As many files at once as the machine has cores.
        QCOMPARE(form.workers(), qMax(1, QThread::idealThreadCount()));
        QVERIFY(ui::button(form, "ProgExit")->isEnabled());
        QVERIFY(!QFile::exists(program.info.settingsFilePath()));

        QVERIFY(form.close());
        QCOMPARE(readFile(program.info.settingsFilePath()),
                 QStringLiteral("[Setting]\nBits=8\nStereo=1\nSort=1\nInPath=%1\nTempPath=%1\nOutPath=%1\n"
                                "PlayList=MP3LIST.M3U\nPlayListPathSet=0\n")
                     .arg(exe)
                     .toUtf8());
    }

    // Jobs stays out of a file that never had it, so the number of cores applies wherever the file is
    // carried; a file that has it keeps it, and a changed value is written.
    void jobsWrittenOnlyWhenKeptOrChanged() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString path = program.info.settingsFilePath();
        writeFile(path, "[Setting]\nBits=3\n");
        {
            MainForm form(program.info, dialogs);
            QVERIFY(form.Form_Load());
            ui::options(form, "Bits")[4]->setChecked(true);
            QVERIFY(form.close());
        }
        QVERIFY(!readFile(path).contains("Jobs"));
        writeFile(path, "[Setting]\nJobs=3\n");
        {
            MainForm form(program.info, dialogs);
            QVERIFY(form.Form_Load());
            QCOMPARE(form.workers(), 3);
            QVERIFY(form.close());
        }
        QVERIFY(readFile(path).contains("\nJobs=3\n"));
        {
            MainForm form(program.info, dialogs);
            QVERIFY(form.Form_Load());
            form.setWorkers(5);
            QVERIFY(form.close());
        }
        QVERIFY(readFile(path).contains("\nJobs=5\n"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A close writes the options as start-up read them (the window has no controls for most of them
    // yet), and adds no [Options] section to a file that has none.
    void optionsSurviveACloseAndAreNeverAdded() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString path = program.info.settingsFilePath();
        const QByteArray plain = QStringLiteral("[Setting]\r\nBits=8\r\nStereo=1\r\nSort=1\r\nInPath=%1\r\n"
                                                "TempPath=%1\r\nOutPath=%1\r\nPlayList=MP3LIST.M3U\r\n"
                                                "PlayListPathSet=0\r\n")
                                     .arg(program.info.executableFolder)
                                     .toUtf8();
        writeFile(path, plain);
        {
            MainForm form(program.info, dialogs);
            QVERIFY(form.Form_Load());
            QVERIFY(form.close());
        }
        QCOMPARE(readFile(path), plain);

        writeFile(path,
                  plain + "[Options]\r\nVbr=3\r\nNormalize=album\r\nTarget=-20\r\nSyncSource=/mnt/a\r\n");
        {
            MainForm form(program.info, dialogs);
            QVERIFY(form.Form_Load());
            ui::option(form, "Bits", 2)->setChecked(true);
            QVERIFY(form.close());
        }
        const QByteArray written = readFile(path);
        QVERIFY2(written.startsWith("[Setting]\r\nBits=2\r\n"), written.constData());
        for (const char* line : {"Vbr=3", "Normalize=album", "Target=-20", "SyncSource=/mnt/a", "FatNames=0"})
            QVERIFY2(written.contains(QByteArray("\r\n") + line + "\r\n"), line);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Settings that cannot be written are named at close with the cause, and the window closes anyway.
    void unwritableSettingsAreReported() {
        TestProgram program;
        ScriptedDialogs dialogs;
        // A folder that is a file can be written by no one, the superuser included.
        writeFile(program.root.filePath(QStringLiteral("file")), "x");
        program.info.settingsFolder = program.root.filePath(QStringLiteral("file/sub"));
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        ui::options(form, "Bits")[2]->setChecked(true);
        QVERIFY(form.close());
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{QStringLiteral("設定を保存できませんでした。\r") +
                             program.info.settingsFilePath() +
                             QStringLiteral("\r設定ファイルのフォルダが見つかりません。")});
    }

    void settingsValues_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("shown"); // the selected option, or the check box's state
        QTest::addColumn<QString>("written");
        auto row = [](const char* key, const char* value, int shown, const char* written) {
            QTest::addRow("%s=%s", key, value) << QString::fromLatin1(key) << QString::fromLatin1(value)
                                               << shown << QString::fromLatin1(written);
        };
        row("Bits", "13", 13, "13");
        row("Bits", "14", 8, "8");
        row("Bits", "abc", 8, "8");
        row("Stereo", "0", 0, "0");
        row("Stereo", "-1", 1, "1");
        row("Sort", "0", 0, "0");
        row("Sort", "2", 1, "1");
        row("PlayListPathSet", "1", Qt::Checked, "1");
        row("PlayListPathSet", "2", Qt::PartiallyChecked, "2"); // untouched, the stored 2 stays
        row("PlayListPathSet", "5", Qt::Unchecked, "0");
    }
    void settingsValues() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, shown);
        QFETCH(QString, written);
        TestProgram program;
        ScriptedDialogs dialogs;
        writeFile(program.info.settingsFilePath(),
                  QStringLiteral("[Setting]\n%1=%2\n").arg(key, value).toUtf8());
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        const QList<int> selected =
            key == QLatin1String("Bits")     ? checkedIndexes(ui::options(form, "Bits"))
            : key == QLatin1String("Stereo") ? checkedIndexes(ui::options(form, "Stereo"))
            : key == QLatin1String("Sort")   ? checkedIndexes(ui::options(form, "ListSort"))
                                             : QList<int>{ui::checkBox(form, "SetPathCheck")->checkState()};
        QCOMPARE(selected, QList<int>{shown});

        QVERIFY(form.close());
        const QString file = QString::fromUtf8(readFile(program.info.settingsFilePath()));
        QVERIFY2(file.contains(QStringLiteral("\n%1=%2\n").arg(key, written)), qPrintable(file));
    }

    void foldersFallBackAndOtherLinesSurvive() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString root = program.root.path();
        const QString music = root + QStringLiteral("/音楽");
        QDir().mkpath(music);
        QDir().mkpath(root + QStringLiteral("/.hidden"));
        writeFile(music + QStringLiteral("/song.mp3"), "x");
        writeFile(program.info.settingsFilePath(),
                  QStringLiteral("; mine\n[Setting]\nInPath=%1/.hidden\nTempPath=%2/song.mp3\nOutPath=%2\n"
                                 "PlayList=  名前.m3u  \nExtra=kept\n")
                      .arg(root, music)
                      .toUtf8());
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        QCOMPARE(ui::field(form, "SelectFolderText", 0)->text(), root);
        QCOMPARE(ui::field(form, "SelectFolderText", 1)->text(), root);
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), music);
        QCOMPARE(ui::list(form, "DFileList")->item(0)->text(), QStringLiteral("song.mp3"));
        QCOMPARE(ui::field(form, "PlayListName")->text(), QStringLiteral("名前.m3u"));

        ui::option(form, "Bits", 13)->setChecked(true);
        QVERIFY(form.close());
        const QByteArray written = readFile(program.info.settingsFilePath());
        QVERIFY(written.startsWith("; mine\n[Setting]\nInPath=" + root.toUtf8() + "\n"));
        QVERIFY(written.contains("\nExtra=kept\nBits=13\n"));
    }

    // A path of 287 bytes in UTF-8 is 201 in CP932, within the 255 bytes a value may hold there.
    void longJapaneseFolderSurvives() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString root = program.root.path();
        const int kanji = (287 - int(root.toUtf8().size()) - 2) / 3;
        const QString padding((287 - int(root.toUtf8().size()) - 2) % 3, QLatin1Char('x'));
        const QString folder = root + QLatin1Char('/') + QString(kanji / 2, QChar(0x97F3)) +
                               QLatin1Char('/') + QString(kanji - kanji / 2, QChar(0x697D)) + padding;
        QCOMPARE(folder.toUtf8().size(), 287);
        QVERIFY(QDir().mkpath(folder));
        writeFile(program.info.settingsFilePath(), "[Setting]\nInPath=" + folder.toUtf8() + "\n");
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        QCOMPARE(ui::field(form, "SelectFolderText", 0)->text(), folder);
        QVERIFY(form.close());
        QVERIFY(readFile(program.info.settingsFilePath()).contains("\nInPath=" + folder.toUtf8() + "\n"));
    }

    void pathCheckClickNeverPartial() {
        TestProgram program;
        ScriptedDialogs dialogs;
        writeFile(program.info.settingsFilePath(), "[Setting]\nPlayListPathSet=2\n");
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        QCOMPARE(ui::checkBox(form, "SetPathCheck")->checkState(), Qt::PartiallyChecked);
        QList<Qt::CheckState> states;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(ui::checkBox(form, "SetPathCheck"), Qt::LeftButton, {},
                              QPoint(5, ui::checkBox(form, "SetPathCheck")->height() / 2));
            states.append(ui::checkBox(form, "SetPathCheck")->checkState());
        }
        QCOMPARE(states, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked}));
    }

    // Installed (the private library folder beside bin/), the settings live in the user's configuration
    // folder even where the program folder is writable, and the folders default to the user's own.
    void installedAndPortableDefaults() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString root = program.root.path();
        ProgramInfo info = program.info;
        info.settingsFolder.clear();
        info.userConfigRoot = root + QStringLiteral("/config");
        info.userCacheRoot = root + QStringLiteral("/cache");
        info.userMusicFolder = root + QStringLiteral("/home/Music");
        info.userHomeFolder = root + QStringLiteral("/home");
        QVERIFY(QDir().mkpath(info.userHomeFolder));

        // Portable: everything beside the executable.
        QVERIFY(!info.isInstalled());
        QCOMPARE(info.settingsFilePath(), root + QStringLiteral("/MP3Recast.INI"));
        QCOMPARE(info.defaultWorkFolder(), root);

        info.executableFolder = root + QStringLiteral("/usr/bin");
        QVERIFY(QDir(root).mkpath(QStringLiteral("usr/bin/") + ProgramInfo::privateLibraryFolder()));
        QVERIFY(info.isInstalled());
        const QString settings = root + QStringLiteral("/config/MP3Recast/MP3Recast.INI");
        QCOMPARE(info.settingsFilePath(), settings);
        {
            MainForm form(info, dialogs);
            QVERIFY(form.Form_Load());
            QCOMPARE(ui::field(form, "SelectFolderText", 0)->text(), info.userHomeFolder); // no music folder
            QCOMPARE(ui::field(form, "SelectFolderText", 1)->text(),
                     root + QStringLiteral("/cache/MP3Recast"));
            QVERIFY(QFileInfo(ui::field(form, "SelectFolderText", 1)->text()).isDir());
            QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), info.userHomeFolder);
            QVERIFY(form.close());
        }
        QVERIFY(readFile(settings).contains("\nTempPath=" + root.toUtf8() + "/cache/MP3Recast\n"));
        QVERIFY(!QFile::exists(info.executableFolder + QStringLiteral("/MP3Recast.INI")));

        // A stored folder that is gone falls back to the same defaults.
        QVERIFY(QDir().mkpath(info.userMusicFolder));
        writeFile(settings, "[Setting]\nOutPath=/no/such/folder\n");
        MainForm form(info, dialogs);
        QVERIFY(form.Form_Load());
        QCOMPARE(ui::field(form, "SelectFolderText", 0)->text(), info.userMusicFolder);
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), info.userMusicFolder);
    }

    void secondInstanceRefused() {
        TestProgram program;
        ScriptedDialogs dialogs;
        QLockFile first(program.info.instanceLockPath());
        QVERIFY(first.tryLock(0));
        const QByteArray settings = "[Setting]\nBits=13\n";
        writeFile(program.info.settingsFilePath(), settings);
        {
            MainForm form(program.info, dialogs);
            QVERIFY(!form.Form_Load());
            QVERIFY(form.hasEnded());
            QVERIFY(!ui::option(form, "Bits", 13)->isChecked()); // the settings were not read
        }
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("MP3Recast"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("MP3Recastは 既に実行されています。"));
        QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Exclamation);
        QCOMPARE(readFile(program.info.settingsFilePath()), settings);
        QLockFile third(program.info.instanceLockPath());
        QVERIFY(!third.tryLock(0)); // the refused copy left the first one's lock alone
    }

    void lockThatIsNoOtherCopyDoesNotBlock() {
        TestProgram program;
        ScriptedDialogs dialogs;
        const QString lockPath = program.info.instanceLockPath();
        QByteArray content;
        {
            QLockFile lock(lockPath);
            QVERIFY(lock.tryLock(0));
            content = readFile(lockPath);
        }
        QProcess child; // its process id belongs to nobody once it has ended
        child.start(QStringLiteral("true"), {});
        QVERIFY(child.waitForStarted());
        const qint64 deadPid = child.processId();
        QVERIFY(child.waitForFinished());
        writeFile(lockPath, QByteArray::number(deadPid) + content.mid(content.indexOf('\n')));
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());

        // A lock that cannot be made at all is no reason to refuse either.
        program.info.lockFolder = program.root.filePath(QStringLiteral("no/such/folder"));
        MainForm unlocked(program.info, dialogs);
        QVERIFY(unlocked.Form_Load());
        QVERIFY(dialogs.shown.isEmpty());
    }

    void closeRefusedWhileBusyAndProgExitWritesNothing() {
        TestProgram program;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        QVERIFY(form.Form_Load());
        form.show();
        form.EnableControls(false);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QVERIFY(!QFile::exists(program.info.settingsFilePath()));

        form.EnableControls(true);
        ui::option(form, "Bits", 3)->setChecked(true);
        int exits = 0;
        form.setEndProgram([&exits] { ++exits; });
        QTest::mouseClick(ui::button(form, "ProgExit"), Qt::LeftButton);
        QCOMPARE(exits, 1);
        QVERIFY(!QFile::exists(program.info.settingsFilePath()));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
