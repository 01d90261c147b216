// New destination folder: the input box, every missing level created, the field ending in the separator,
// and the single failure message when a level cannot be made.

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "lists/cFile.h"
#include "window/MainForm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>
#include <unistd.h>

Q_DECLARE_METATYPE(std::optional<QString>)

class TestNewFolder : public QObject {
    Q_OBJECT

    TestProgram program;

  private slots:
    void asksWithTitlePromptAndCurrentFolder() {
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(QStringLiteral("/some/where"));
        QTest::mouseClick(ui::button(form, "MakeNewDir"), Qt::LeftButton);

        QCOMPARE(dialogs.shown.size(), 1);
        const ScriptedDialogs::Shown& shown = dialogs.shown.first();
        QCOMPARE(shown.kind, ScriptedDialogs::Kind::Input);
        QCOMPARE(shown.title, QStringLiteral("新規ﾌｫﾙﾀﾞの作成"));
        QCOMPARE(shown.text,
                 QStringLiteral("新規ﾌｫﾙﾀﾞの作成\r作成するﾌｫﾙﾀﾞ名をドライブ名から入力してください。"));
        QCOMPARE(shown.startText, QStringLiteral("/some/where"));
        // Unanswered means cancelled: nothing changes.
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("/some/where"));
    }

    void createsMissingLevels_data() {
        QTest::addColumn<QString>("typed"); // below the temporary folder
        QTest::addColumn<QString>("field"); // the destination field afterwards, below it
        QTest::addColumn<QStringList>("folders");

        const QStringList ab = {QStringLiteral("A"), QStringLiteral("A/B")};
        QTest::newRow("two missing levels") << QStringLiteral("/A/B") << QStringLiteral("/A/B/") << ab;
        QTest::newRow("typed with final separator")
            << QStringLiteral("/A/B/") << QStringLiteral("/A/B/") << ab;
        QTest::newRow("Japanese names")
            << QStringLiteral("/音楽/ｱﾙﾊﾞﾑ 1") << QStringLiteral("/音楽/ｱﾙﾊﾞﾑ 1/")
            << QStringList{QStringLiteral("音楽"), QStringLiteral("音楽/ｱﾙﾊﾞﾑ 1")};
        QTest::newRow("existing folder accepted as suggested")
            << QString() << QStringLiteral("/") << QStringList{};
    }

    void createsMissingLevels() {
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QFETCH(QStringList, folders);

        QTemporaryDir root;
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        QVERIFY(QFile(root.filePath(QStringLiteral("x.mp3"))).open(QIODevice::WriteOnly));
        ui::field(form, "SelectFolderText", 2)->setText(root.path());
        ui::list(form, "DFileList")->addItem(QStringLiteral("stale.mp3"));
        dialogs.inputAnswers.append(root.path() + typed);
        QTest::mouseClick(ui::button(form, "MakeNewDir"), Qt::LeftButton);

        QCOMPARE(dialogs.messageTexts(), QStringList{});
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), root.path() + field);
        // The destination list now shows the new folder: empty, or x.mp3 for the folder that was there.
        QCOMPARE(ui::list(form, "DFileList")->count(), folders.isEmpty() ? 1 : 0);
        if (folders.isEmpty())
            QCOMPARE(ui::list(form, "DFileList")->item(0)->text(), QStringLiteral("x.mp3"));
        for (const QString& folder : folders)
            QVERIFY2(QFileInfo(root.filePath(folder)).isDir(), qPrintable(folder));
    }

    void cancelOrEmptyAnswerDoesNothing_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::newRow("cancel") << std::optional<QString>();
        QTest::newRow("OK on an empty field") << std::optional<QString>(QString());
    }

    void cancelOrEmptyAnswerDoesNothing() {
        QFETCH(std::optional<QString>, answer);
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(QStringLiteral("/before"));
        dialogs.inputAnswers.append(answer);
        QTest::mouseClick(ui::button(form, "MakeNewDir"), Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("/before"));
    }

    // A relative path would land under whatever folder the program started in: refused with the reason.
    void relativePathIsRefused() {
        QTemporaryDir current;
        const QString before = QDir::currentPath();
        QDir::setCurrent(current.path());
        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(QStringLiteral("/before"));
        dialogs.inputAnswers.append(QStringLiteral("音楽/新しい"));
        QTest::mouseClick(ui::button(form, "MakeNewDir"), Qt::LeftButton);
        QDir::setCurrent(before);

        QCOMPARE(
            dialogs.messageTexts(),
            QStringList{QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。\rﾌｫﾙﾀﾞ名は / から始まる完全なパスで"
                                       "入力してください。")});
        QVERIFY(QDir(current.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("/before"));
    }

    void failureLeavesFieldAlone_data() {
        QTest::addColumn<QString>("typed");          // below the temporary folder, or absolute
        QTest::addColumn<QStringList>("madeBefore"); // missing levels created before the failing one

        QTest::newRow("a level is a file") << QStringLiteral("/F/B") << QStringList{};
        QTest::newRow("last level is a file") << QStringLiteral("/F") << QStringList{};
        QTest::newRow("invalid name after a missing level")
            << QStringLiteral("/N/M/") + QString(300, u'x') + QStringLiteral("/C")
            << QStringList{QStringLiteral("N"), QStringLiteral("N/M")};
        QTest::newRow("file system that allows no folders")
            << QStringLiteral("/proc/mp3recast-test/A") << QStringList{};
        QTest::newRow("read-only parent") << QStringLiteral("/locked/A/B") << QStringList{};
    }

    void failureLeavesFieldAlone() {
        QFETCH(QString, typed);
        QFETCH(QStringList, madeBefore);

        QTemporaryDir root;
        {
            QFile blocker(root.filePath(QStringLiteral("F")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("locked")));
        QString answer = root.path() + typed;
        if (typed.startsWith(QLatin1String("/proc"))) {
            if (!QFileInfo(QStringLiteral("/proc/self")).exists())
                QSKIP("no /proc here");
            answer = typed;
        } else if (typed.startsWith(QLatin1String("/locked"))) {
            if (geteuid() == 0)
                QSKIP("the superuser creates folders in read-only folders");
            QVERIFY(QFile::setPermissions(root.filePath(QStringLiteral("locked")),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        // The folder stays read-only through the last check below, whichever check ends the test.
        const auto unlock = qScopeGuard([&root] {
            QFile::setPermissions(root.filePath(QStringLiteral("locked")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });

        ScriptedDialogs dialogs;
        MainForm form(program.info, dialogs);
        ui::field(form, "SelectFolderText", 2)->setText(QStringLiteral("/before"));
        ui::list(form, "DFileList")->addItem(QStringLiteral("kept.mp3"));
        dialogs.inputAnswers.append(answer);
        QTest::mouseClick(ui::button(form, "MakeNewDir"), Qt::LeftButton);

        QCOMPARE(dialogs.shown.size(), 2);
        const ScriptedDialogs::Shown& shown = dialogs.shown.last();
        QCOMPARE(shown.kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(shown.text, QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。"));
        QCOMPARE(shown.icon, Dialogs::Icon::Critical);
        QCOMPARE(shown.title, program.info.title);
        QCOMPARE(ui::field(form, "SelectFolderText", 2)->text(), QStringLiteral("/before"));
        QCOMPARE(ui::list(form, "DFileList")->count(), 1); // not refreshed
        for (const QString& folder : madeBefore)
            QVERIFY2(QFileInfo(root.filePath(folder)).isDir(), qPrintable(folder));
        QVERIFY(QFileInfo(root.filePath(QStringLiteral("F"))).isFile());

        // The caller's text comes back with its final separator even when the call fails.
        QString path = answer;
        const bool made = cFile().MakeDirs(path);
        QVERIFY(!made);
        QCOMPARE(path, answer + QStringLiteral("/"));
    }
};

QTEST_MAIN(TestNewFolder)
#include "tst_newfolder.moc"
