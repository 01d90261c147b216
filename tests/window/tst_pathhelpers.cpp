// Folder texts turned into paths, and the existence test that start-up relies on.

#include "ui/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPathHelpers : public QObject {
    Q_OBJECT

  private slots:
    void addPathSep_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << QStringLiteral("/home/user/Music") << QStringLiteral("/home/user/Music/");
        QTest::newRow("already ends in separator")
            << QStringLiteral("/home/user/") << QStringLiteral("/home/user/");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("empty") << QString() << QStringLiteral("/");
        // Characters whose CP932 second byte is 0x5C are whole characters here, never a separator.
        QTest::newRow("ends in 表") << QStringLiteral("/music/一覧表") << QStringLiteral("/music/一覧表/");
        QTest::newRow("ends in ソ") << QStringLiteral("/music/ソ") << QStringLiteral("/music/ソ/");
        QTest::newRow("ends in a backslash, which is a name character")
            << QStringLiteral("/a\\") << QStringLiteral("/a\\/");
    }

    void addPathSep() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(AddPathSep(path), expected);
    }

    void folderExists() {
        QTemporaryDir root;
        const QString base = root.path();
        QVERIFY(QDir(base).mkpath(QStringLiteral("plain/inner")));
        QVERIFY(QDir(base).mkpath(QStringLiteral(".hidden")));
        QVERIFY(QDir(base).mkpath(QStringLiteral("日本語フォルダ")));
        QFile file(base + QStringLiteral("/song.mp3"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QVERIFY(FolderExists(base + QStringLiteral("/plain")));
        QVERIFY(FolderExists(base + QStringLiteral("/plain/")));
        QVERIFY(FolderExists(base + QStringLiteral("/日本語フォルダ")));
        QVERIFY(FolderExists(QStringLiteral("/")));
        QVERIFY2(FolderExists(base + QStringLiteral("/song.mp3")), "an existing plain file passes");
        QVERIFY2(!FolderExists(base + QStringLiteral("/.hidden")), "a hidden folder counts as missing");
        QVERIFY(FolderExists(base + QStringLiteral("/plain/inner")));
        QVERIFY(!FolderExists(base + QStringLiteral("/missing")));
        QVERIFY(!FolderExists(QString()));
        QVERIFY(!FolderExists(QStringLiteral("/nonexistent-volume/x")));
        QVERIFY(!FolderExists(base + QStringLiteral("/plain") + QChar(0) + QStringLiteral("x")));
    }
};

QTEST_MAIN(TestPathHelpers)
#include "tst_pathhelpers.moc"
