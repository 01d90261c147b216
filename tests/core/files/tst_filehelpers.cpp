// The general file helpers: NUL cut, file names out of paths, forced deletion, and the copy that never
// destroys the file it replaces.

#include "core/files/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestFileHelpers : public QObject {
    Q_OBJECT

  private slots:
    void cutAtNul_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no NUL") << QStringLiteral("曲名") << QStringLiteral("曲名");
        QTest::newRow("starts with NUL") << QString(QChar(0)) + QStringLiteral("abc") << QString();
        QTest::newRow("NUL inside") << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd") + QChar(0)
                                    << QStringLiteral("ab");
        QTest::newRow("empty") << QString() << QString();
    }
    void cutAtNul() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QString before = text;
        QCOMPARE(CutAtNul(text), expected);
        QCOMPARE(text, before);
    }

    void extractFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full path") << QStringLiteral("/music/song.mp3") << QStringLiteral("song.mp3");
        QTest::newRow("ends in separator") << QStringLiteral("/music/") << QString();
        QTest::newRow("bare name") << QStringLiteral("song.mp3") << QStringLiteral("song.mp3");
        QTest::newRow("two characters") << QStringLiteral("/a") << QStringLiteral("/a");
        QTest::newRow("one character") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("Japanese") << QStringLiteral("/音楽/曲.mp3") << QStringLiteral("曲.mp3");
#ifndef Q_OS_WIN
        QTest::newRow("colon is a name character here")
            << QStringLiteral("/m/C:song.mp3") << QStringLiteral("C:song.mp3");
#endif
    }
    void extractFileName() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(ExtractFileName(path), expected);
    }

    void deleteFileForced() {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain.mp3"));
        const QString readOnly = dir.filePath(QStringLiteral("locked.mp3"));
        const QString hidden = dir.filePath(QStringLiteral(".hidden.mp3"));
        QVERIFY(writeFile(plain, "a") && writeFile(readOnly, "b") && writeFile(hidden, "c"));
        QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));

        QVERIFY(DeleteFileForced(plain));
        QVERIFY(DeleteFileForced(readOnly));
        QVERIFY(DeleteFileForced(hidden));
        QVERIFY(entries(dir.path()).isEmpty());
        QVERIFY(!DeleteFileForced(plain));
        QVERIFY(!DeleteFileForced(QString()));
        QVERIFY2(!DeleteFileForced(dir.path()), "a folder is not a file");
        QVERIFY(QDir(dir.path()).exists());
    }

    void copyCreatesAndOverwrites() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src.mp3"));
        const QString target = dir.filePath(QStringLiteral("出力.mp3"));
        QVERIFY(writeFile(source, QByteArray(300000, 'x')));
        QVERIFY(CopyFileChecked(source, target, false));
        QCOMPARE(readAll(target), readAll(source));

        QVERIFY(writeFile(target, "old and longer than nothing"));
        QVERIFY(CopyFileChecked(source, target, false));
        QCOMPARE(readAll(target), readAll(source));
        QCOMPARE(entries(dir.path()).size(), 2);
    }

    void copyRespectsFailIfExists() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("a"));
        const QString target = dir.filePath(QStringLiteral("b"));
        QVERIFY(writeFile(source, "new") && writeFile(target, "old!"));
        QVERIFY(!CopyFileChecked(source, target, true));
        QCOMPARE(readAll(target), QByteArray("old!"));
        // Same length already there: still false, but made a plain writable file.
        QVERIFY(writeFile(target, "xyz"));
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
        QVERIFY(!CopyFileChecked(source, target, true));
        QVERIFY(QFile::permissions(target) & QFileDevice::WriteOwner);
        QCOMPARE(readAll(target), QByteArray("xyz"));
    }

    void copyOntoItself() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("only-copy.mp3"));
        const QByteArray content(123457, 'q');
        QVERIFY(writeFile(path, content));
        QVERIFY(CopyFileChecked(path, path, false));
        QCOMPARE(readAll(path), content);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("only-copy.mp3")});
    }

    void failedCopyLeavesDestinationIntact_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("missing source") << QStringLiteral("missing");
        QTest::newRow("source is a folder") << QStringLiteral("folder");
        QTest::newRow("read-only destination folder") << QStringLiteral("readonly-dir");
        QTest::newRow("disk full while writing") << QStringLiteral("full");
    }
    void failedCopyLeavesDestinationIntact() {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString outFolder = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(outFolder));
        const QString target = outFolder + QStringLiteral("/song.mp3");
        const QByteArray old = "the user's old file";
        QVERIFY(writeFile(target, old));
        QString source = dir.filePath(QStringLiteral("src.mp3"));
        QVERIFY(writeFile(source, QByteArray(4 << 20, 'n')));

        rlimit saved{};
        if (how == QLatin1String("missing"))
            source = dir.filePath(QStringLiteral("nothing-here.mp3"));
        else if (how == QLatin1String("folder"))
            source = dir.path();
        else if (how == QLatin1String("readonly-dir")) {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QVERIFY(QFile::setPermissions(outFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else {
            // A file-size limit makes the write fail half-way, as a full disk does.
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 1 << 20;
            setrlimit(RLIMIT_FSIZE, &small);
        }

        const bool copied = CopyFileChecked(source, target, false);
        if (how == QLatin1String("full"))
            setrlimit(RLIMIT_FSIZE, &saved);
        QFile::setPermissions(outFolder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QVERIFY(!copied);
        QCOMPARE(readAll(target), old);
        QCOMPARE(entries(outFolder), QStringList{QStringLiteral("song.mp3")});
    }

    void readOnlyDestinationIsNotReplaced() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("a.mp3"));
        const QString target = dir.filePath(QStringLiteral("b.mp3"));
        QVERIFY(writeFile(source, "fresh content") && writeFile(target, "protected"));
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
        QVERIFY(!CopyFileChecked(source, target, false));
        QCOMPARE(readAll(target), QByteArray("protected"));
    }
};

QTEST_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
