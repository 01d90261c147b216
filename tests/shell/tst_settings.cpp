// The settings file as a Windows profile file: how values are found, cleaned, cut and defaulted, how a
// write keeps the rest of the file, and how text written on Windows in CP932 is read.

#include "shell/LegacyText.h"
#include "shell/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QString Setting = QStringLiteral("Setting");
const QByteArray Kanji300 = QString(100, QChar(0x3042)).toUtf8(); // "あ" × 100: 300 bytes of UTF-8

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath(QStringLiteral("MP3Recast.INI")); }

  private slots:
    void trimNull() {
        const QChar nul(0);
        QCOMPARE(TrimNull(QStringLiteral("  C:\\Music  ")), QStringLiteral("C:\\Music"));
        QCOMPARE(TrimNull(QStringLiteral("ab") + nul + QStringLiteral("cd   ")), QStringLiteral("ab"));
        QCOMPARE(TrimNull(nul + QStringLiteral("abc")), QString());
        QCOMPARE(TrimNull(QStringLiteral("\tabc")), QStringLiteral("\tabc")); // only blanks are trimmed
    }

    void read_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("expected");
        const QString dflt = QStringLiteral("DEFAULT");
        QTest::newRow("no file") << QByteArray() << dflt;
        QTest::newRow("key in another section") << QByteArray("[Other]\nKey=3\n[Setting]\nSort=0\n") << dflt;
        QTest::newRow("names ignore case, CR LF") << QByteArray("[setting]\r\nKEY=13\r\n") << "13";
        QTest::newRow("blanks around") << QByteArray("[Setting]\n Key =  my list.m3u  \n") << "my list.m3u";
        QTest::newRow("empty value") << QByteArray("[Setting]\nKey=   \n") << dflt;
        // 255 bytes of UTF-8 hold 85 three-byte characters; with one ASCII byte first only 84 fit.
        QTest::newRow("UTF-8 cut") << "[Setting]\nKey=a" + Kanji300
                                   << QStringLiteral("a") + QString(84, QChar(0x3042));
        // Written on Windows: "D:\音楽\表ｿﾝｸﾞ" in CP932, where 表 ends in the byte 0x5C.
        QTest::newRow("CP932 file")
            << QByteArray("[Setting]\r\nKey=D:\\\x89\xB9\x8A\x79\\\x95\x5C\xBF\xDD\xB8\xDE\r\n")
            << QStringLiteral("D:\\音楽\\表ｿﾝｸﾞ");
        // In CP932 a double-byte character takes two bytes: 127 of them fit into 255.
        QTest::newRow("CP932 cut") << "[Setting]\nKey=" + QByteArray("\x82\xA0").repeated(200)
                                   << QString(127, QChar(0x3042));
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QFile::remove(file());
        if (!content.isEmpty())
            writeAll(file(), content);
        QCOMPARE(IniRead(Setting, QStringLiteral("Key"), QStringLiteral("DEFAULT"), file()), expected);
    }

    void writeKeepsEverythingElse() {
        writeAll(file(), "; kept comment\r\n[SETTING]\r\nbits=3\r\nCustom=x\r\n\r\n[Other]\r\nStereo=9\r\n");
        QVERIFY(IniWrite(Setting, QStringLiteral("Bits"), QStringLiteral("13"), file()));
        QVERIFY(IniWrite(Setting, QStringLiteral("Stereo"), QStringLiteral("2"), file()));
        QCOMPARE(readAll(file()),
                 QByteArray("; kept comment\r\n[SETTING]\r\nBits=13\r\nCustom=x\r\nStereo=2\r\n"
                            "\r\n[Other]\r\nStereo=9\r\n"));

        // A CP932 file comes back as UTF-8 with its other lines intact.
        writeAll(file(), "[Setting]\nInPath=D:\\\x89\xB9\x8A\x79\n");
        QVERIFY(IniWrite(Setting, QStringLiteral("Bits"), QStringLiteral("8"), file()));
        QCOMPARE(readAll(file()), QStringLiteral("[Setting]\nInPath=D:\\音楽\nBits=8\n").toUtf8());

        // A line break in a value cannot smuggle in a key of its own.
        QVERIFY(IniWrite(Setting, QStringLiteral("PlayList"), QStringLiteral("a\nSort=0"), file()));
        QCOMPARE(IniRead(Setting, QStringLiteral("Sort"), QStringLiteral("1"), file()), QStringLiteral("1"));

        const QString nowhere = dir.filePath(QStringLiteral("gone/MP3Recast.INI"));
        QVERIFY(!IniWrite(Setting, QStringLiteral("Bits"), QStringLiteral("1"), nowhere));
    }

    void legacyText() {
        QCOMPARE(decodeLegacyText(QStringLiteral("日本語ﾃｽﾄ").toUtf8()), QStringLiteral("日本語ﾃｽﾄ"));
        QCOMPARE(decodeLegacyText("\x95\x5C\x83\x5C"), QStringLiteral("表ソ"));
        QCOMPARE(decodeLegacyText("\xC0\xAF"), QStringLiteral("ﾀｯ")); // an overlong "/" is no UTF-8
        QCOMPARE(cp932ByteCount(QStringLiteral("C:\\a.mp3")), 8);
        QCOMPARE(cp932ByteCount(QStringLiteral("ﾊﾞｲﾄ")), 4);
        QCOMPARE(cp932ByteCount(QStringLiteral("表é😀")), 6); // a surrogate pair is one character
        QCOMPARE(encodeCp932(QStringLiteral("表ｱ\\")),
                 std::optional<QByteArray>(QByteArray("\x95\x5C\xB1\\")));
        QVERIFY(!encodeCp932(QStringLiteral("😀")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
