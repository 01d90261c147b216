// The settings file as a Windows profile file: how values are found, cleaned, cut and defaulted, how a
// write keeps the rest of the file, and how text written on Windows in CP932 is read.

#include "shell/LegacyText.h"
#include "shell/Settings.h"

#include <QDir>
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

const QByteArray Kanji300 = QString(100, QChar(0x3042)).toUtf8(); // "あ" × 100: 300 bytes of UTF-8

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath(QStringLiteral("MP3Recast.INI")); }

  private slots:
    void trimNull_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks") << QStringLiteral("  C:\\Music  ") << QStringLiteral("C:\\Music");
        QTest::newRow("final NUL") << QStringLiteral("abc") + QChar(0) << QStringLiteral("abc");
        QTest::newRow("NUL then padding")
            << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd   ") << QStringLiteral("ab");
        QTest::newRow("leading NUL") << QString(QChar(0)) + QStringLiteral("abc") << QString();
        QTest::newRow("tab is no blank") << QStringLiteral("\tabc") << QStringLiteral("\tabc");
    }
    void trimNull() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TrimNull(text), expected);
    }

    void read_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString dflt = QStringLiteral("DEFAULT");
        QTest::newRow("no file") << QByteArray() << "Bits" << dflt;
        QTest::newRow("no section") << QByteArray("[Other]\nBits=3\n") << "Bits" << dflt;
        QTest::newRow("key in another section")
            << QByteArray("[Other]\nBits=3\n[Setting]\nSort=0\n") << "Bits" << dflt;
        QTest::newRow("names ignore case") << QByteArray("[setting]\nBITS=13\n") << "Bits"
                                           << "13";
        QTest::newRow("blanks around") << QByteArray("[Setting]\n PlayList =  my list.m3u  \n") << "PlayList"
                                       << "my list.m3u";
        QTest::newRow("empty value") << QByteArray("[Setting]\nPlayList=\n") << "PlayList" << dflt;
        QTest::newRow("blank value") << QByteArray("[Setting]\nPlayList=   \n") << "PlayList" << dflt;
        QTest::newRow("first of two") << QByteArray("[Setting]\nBits=1\nBits=2\n") << "Bits"
                                      << "1";
        QTest::newRow("CR LF, BOM") << QByteArray("\xEF\xBB\xBF[Setting]\r\nBits=4\r\n") << "Bits"
                                    << "4";
        QTest::newRow("255 bytes kept")
            << "[Setting]\nInPath=" + QByteArray(300, 'a') << "InPath" << QString(255, QLatin1Char('a'));
        // 255 bytes of UTF-8 hold 85 three-byte characters exactly; with one ASCII byte first only 84 fit.
        QTest::newRow("UTF-8 cut") << "[Setting]\nInPath=" + Kanji300 << "InPath"
                                   << QString(85, QChar(0x3042));
        QTest::newRow("UTF-8 cut never splits") << "[Setting]\nInPath=a" + Kanji300 << "InPath"
                                                << QStringLiteral("a") + QString(84, QChar(0x3042));
        // Written on Windows: "D:\音楽\表ｿﾝｸﾞ" in CP932, where 表 ends in the byte 0x5C.
        QTest::newRow("CP932 file")
            << QByteArray("[Setting]\r\nInPath=D:\\\x89\xB9\x8A\x79\\\x95\x5C\xBF\xDD\xB8\xDE\r\n")
            << "InPath" << QStringLiteral("D:\\音楽\\表ｿﾝｸﾞ");
        // In CP932 a double-byte character takes two bytes: 127 of them fit into 255.
        QTest::newRow("CP932 cut") << "[Setting]\nInPath=" + QByteArray("\x82\xA0").repeated(200) << "InPath"
                                   << QString(127, QChar(0x3042));
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFile::remove(file());
        if (!content.isEmpty())
            writeAll(file(), content);
        QCOMPARE(IniRead(QStringLiteral("Setting"), key, QStringLiteral("DEFAULT"), file()), expected);
    }

    void newFileKeepsWriteOrder() {
        QFile::remove(file());
        const QString path = QStringLiteral("/home/user/音楽");
        for (const char* key : {"Bits", "Stereo", "Sort", "InPath"})
            QVERIFY(IniWrite(QStringLiteral("Setting"), QString::fromLatin1(key),
                             key[0] == 'I' ? path : QStringLiteral("1"), file()));
        QCOMPARE(readAll(file()),
                 QByteArray("[Setting]\nBits=1\nStereo=1\nSort=1\nInPath=") + path.toUtf8() + "\n");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("MP3Recast.INI")});
    }

    void writeKeepsOtherLines() {
        writeAll(file(), "; kept comment\r\n[SETTING]\r\nbits=3\r\nCustom=x\r\n\r\n[Other]\r\nStereo=9\r\n");
        QVERIFY(IniWrite(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("13"), file()));
        QVERIFY(IniWrite(QStringLiteral("Setting"), QStringLiteral("Stereo"), QStringLiteral("2"), file()));
        QCOMPARE(readAll(file()),
                 QByteArray("; kept comment\r\n[SETTING]\r\nBits=13\r\nCustom=x\r\nStereo=2\r\n"
                            "\r\n[Other]\r\nStereo=9\r\n"));
    }

    void cp932FileRewrittenAsUtf8() {
        writeAll(file(), "[Setting]\r\nInPath=D:\\\x89\xB9\x8A\x79\r\n");
        QVERIFY(IniWrite(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("8"), file()));
        QCOMPARE(readAll(file()), QStringLiteral("[Setting]\r\nInPath=D:\\音楽\r\nBits=8\r\n").toUtf8());
    }

    void valueStaysOnOneLine() {
        QFile::remove(file());
        QVERIFY(IniWrite(QStringLiteral("Setting"), QStringLiteral("PlayList"), QStringLiteral("a\nBits=13"),
                         file()));
        QCOMPARE(IniRead(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("8"), file()),
                 QStringLiteral("8"));
        QCOMPARE(IniRead(QStringLiteral("Setting"), QStringLiteral("PlayList"), QString(), file()),
                 QStringLiteral("a Bits=13"));
    }

    void unwritableFileFailsQuietly() {
        const QString missingFolder = dir.filePath(QStringLiteral("gone/MP3Recast.INI"));
        QVERIFY(
            !IniWrite(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("1"), missingFolder));
        QVERIFY(!QFile::exists(missingFolder));

        writeAll(file(), "[Setting]\nBits=3\n");
        QFile::setPermissions(file(), QFile::ReadOwner);
        if (QFileInfo(file()).isWritable())
            QSKIP("running with rights that ignore file permissions");
        QVERIFY(!IniWrite(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("1"), file()));
        QCOMPARE(readAll(file()), QByteArray("[Setting]\nBits=3\n"));
    }

    void legacyDecoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("UTF-8") << QStringLiteral("日本語ﾃｽﾄ").toUtf8() << QStringLiteral("日本語ﾃｽﾄ");
        QTest::newRow("CP932 with 0x5C trail") << QByteArray("\x95\x5C\x83\x5C") << QStringLiteral("表ソ");
        QTest::newRow("CP932 half-width") << QByteArray("\xCA\xDE\xB2\xC4") << QStringLiteral("ﾊﾞｲﾄ");
        QTest::newRow("overlong is no UTF-8") << QByteArray("\xC0\xAF") << QStringLiteral("ﾀｯ");
        QTest::newRow("surrogate is no UTF-8")
            << QByteArray("\xED\xA0\x80") << QStringLiteral("\u00ED\u00A0\u0080");
    }
    void legacyDecoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(decodeLegacyText(bytes), expected);
    }

    void cp932Bytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");
        QTest::newRow("ASCII") << QStringLiteral("C:\\a.mp3") << 8;
        QTest::newRow("half-width katakana") << QStringLiteral("ﾊﾞｲﾄ") << 4;
        QTest::newRow("kanji and kana") << QStringLiteral("表ソあ") << 6;
        QTest::newRow("Latin-1 letter") << QStringLiteral("é") << 2;
        QTest::newRow("outside the BMP is one character") << QStringLiteral("😀") << 2;
    }
    void cp932Bytes() {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        QCOMPARE(cp932ByteCount(text), bytes);
    }

    void cp932Encoding() {
        QCOMPARE(encodeCp932(QStringLiteral("表ｱ\\")),
                 std::optional<QByteArray>(QByteArray("\x95\x5C\xB1\\")));
        QVERIFY(!encodeCp932(QStringLiteral("😀")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
