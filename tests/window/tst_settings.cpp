// The settings file as a Windows profile file: how values are found, cleaned, cut and defaulted, how a
// write keeps the rest of the file byte for byte, how text written on Windows in CP932 is read, and which
// files are never read or written.

#include "window/LegacyText.h"
#include "window/Settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

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

// One value read from the file, the file read for this one call.
QString IniRead(const QString& section, const QString& key, const QString& defaultValue,
                const QString& file) {
    return ProfileFile::load(file).read(section, key, defaultValue);
}

// One value written into the file, the file read and written for this one call.
bool IniWrite(const QString& section, const QString& key, const QString& value, const QString& file) {
    ProfileFile profile = ProfileFile::load(file);
    profile.write(section, key, value);
    return profile.save(file);
}
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
        QTest::newRow("empty quotes") << QByteArray("[Setting]\nKey=\"\"\n") << dflt;
        QTest::newRow("one pair of quotes") << QByteArray("[Setting]\nKey=\"3\"\n") << "3";
        QTest::newRow("single quotes, inner kept") << QByteArray("[Setting]\nKey='\"a\"'\n") << "\"a\"";
        QTest::newRow("unpaired quote") << QByteArray("[Setting]\nKey=\"3\n") << "\"3";
        // Only blanks and tabs are trimmed; an ideographic space is part of the value.
        QTest::newRow("full-width space") << "[Setting]\nKey=\t" + QStringLiteral("　曲　").toUtf8() + " \n"
                                          << QStringLiteral("　曲　");
        // The limit counts CP932 bytes whatever the file's encoding: 300 bytes of UTF-8 are 200 of CP932,
        // of which one ASCII byte and 127 double-byte characters fit.
        QTest::newRow("UTF-8 counted as CP932")
            << "[Setting]\nKey=a" + Kanji300 + Kanji300 << QStringLiteral("a") + QString(127, QChar(0x3042));
        // A character without a CP932 form counts as two bytes, a surrogate pair as one character.
        QTest::newRow("no CP932 form")
            << "[Setting]\nKey=" + QString(130, QChar(0x00E9)).toUtf8() << QString(127, QChar(0x00E9));
        QTest::newRow("surrogate pairs") << "[Setting]\nKey=" + QStringLiteral("😀").repeated(130).toUtf8()
                                         << QStringLiteral("😀").repeated(127);
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

        // Lines in CP932, in no encoding at all, with mixed breaks and no final break go back out exactly;
        // the written value takes the file's encoding (CP932 here), the value already there is left as it is.
        const QByteArray untouched = "\xEF\xBB\xBF[Setting]\nInPath=D:\\\x89\xB9\x8A\x79\r\n"
                                     "Junk=\xFF\xFE\x80 \x81\n[Other]\r\nOutPath=\x95\x5C";
        ProfileFile profile = ProfileFile::fromBytes(untouched);
        QCOMPARE(profile.toBytes(), untouched);
        profile.write(Setting, QStringLiteral("inpath"), QStringLiteral("D:\\音楽"));
        QVERIFY(!profile.isChanged());
        profile.write(Setting, QStringLiteral("OutPath"), QStringLiteral("E:\\表"));
        profile.write(QStringLiteral("New"), QStringLiteral("K"), QStringLiteral("v"));
        QCOMPARE(profile.toBytes(), untouched.left(untouched.indexOf("[Other]")) + "OutPath=E:\\\x95\x5C\n" +
                                        "[Other]\r\nOutPath=\x95\x5C\n\n[New]\nK=v\n");
        QCOMPARE(profile.value(QStringLiteral("other"), QStringLiteral("outpath")), QStringLiteral("表"));

        // Values read back as written: quotes the value carries itself survive, a line break in a value
        // cannot smuggle in a key of its own.
        QVERIFY(IniWrite(Setting, QStringLiteral("PlayList"), QStringLiteral("\"a b\""), file()));
        QCOMPARE(IniRead(Setting, QStringLiteral("PlayList"), QString(), file()), QStringLiteral("\"a b\""));
        QVERIFY(IniWrite(Setting, QStringLiteral("PlayList"), QStringLiteral("a\nSort=0"), file()));
        QCOMPARE(IniRead(Setting, QStringLiteral("Sort"), QStringLiteral("1"), file()), QStringLiteral("1"));

        const QString nowhere = dir.filePath(QStringLiteral("gone/MP3Recast.INI"));
        QVERIFY(!IniWrite(Setting, QStringLiteral("Bits"), QStringLiteral("1"), nowhere));
    }

    // A FIFO would block the start, a link to a device would be read without end, a huge file is no
    // settings file: the defaults apply and none of them is ever written into.
    void refusesFilesItShouldNotRead() {
        const QString fifo = dir.filePath(QStringLiteral("fifo.INI"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString zero = dir.filePath(QStringLiteral("zero.INI"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
        const QString dangling = dir.filePath(QStringLiteral("dangling.INI"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere/x.INI")), dangling));
        const QString huge = dir.filePath(QStringLiteral("huge.INI"));
        const QByteArray hugeBytes = "[Setting]\nBits=3\n" + QByteArray(ProfileFile::MaxFileBytes, ';');
        writeAll(huge, hugeBytes);

        QElapsedTimer timer;
        timer.start();
        for (const QString& path : {fifo, zero, dangling, huge}) {
            QVERIFY2(!ProfileFile::load(path).isUsable(), qPrintable(path));
            QCOMPARE(IniRead(Setting, QStringLiteral("Bits"), QStringLiteral("8"), path),
                     QStringLiteral("8"));
            QVERIFY(!IniWrite(Setting, QStringLiteral("Bits"), QStringLiteral("1"), path));
        }
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
        QVERIFY(QFileInfo(zero).isSymLink() && QFileInfo(dangling).isSymLink());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nowhere"))));
        QCOMPARE(readAll(huge), hugeBytes);

        // Up to the limit a file is an ordinary settings file.
        writeAll(huge, hugeBytes.left(ProfileFile::MaxFileBytes));
        QCOMPARE(IniRead(Setting, QStringLiteral("Bits"), QStringLiteral("8"), huge), QStringLiteral("3"));
    }

    // A file from a CP932 writer is CP932 throughout, even where a value's bytes happen to be valid
    // UTF-8; writing keeps it CP932 until a value has no CP932 form, which turns the whole file to UTF-8.
    void encodingDecidedOncePerFile() {
        // PlayList=ﾃｨ.M3U (C3 A8 is also UTF-8 for "è"), OutPath=/音楽 (not UTF-8).
        ProfileFile file =
            ProfileFile::fromBytes("[Setting]\r\nPlayList=\xC3\xA8.M3U\r\nOutPath=/\x89\xB9\x8A\x79\r\n");
        QCOMPARE(file.read(Setting, QStringLiteral("PlayList"), QString()), QStringLiteral("ﾃｨ.M3U"));
        QCOMPARE(file.read(Setting, QStringLiteral("OutPath"), QString()), QStringLiteral("/音楽"));

        file.write(Setting, QStringLiteral("InPath"), QStringLiteral("/曲"));
        QVERIFY(file.toBytes().contains("InPath=/\x8B\xC8\r\n"));
        const ProfileFile again = ProfileFile::fromBytes(file.toBytes());
        QCOMPARE(again.read(Setting, QStringLiteral("InPath"), QString()), QStringLiteral("/曲"));
        QCOMPARE(again.read(Setting, QStringLiteral("PlayList"), QString()), QStringLiteral("ﾃｨ.M3U"));

        file.write(Setting, QStringLiteral("TempPath"), QStringLiteral("/tmp/é😀"));
        QVERIFY(isValidUtf8(file.toBytes()));
        const ProfileFile utf8 = ProfileFile::fromBytes(file.toBytes());
        for (const auto& [key, value] : {std::pair{"PlayList", "ﾃｨ.M3U"}, std::pair{"OutPath", "/音楽"},
                                         std::pair{"InPath", "/曲"}, std::pair{"TempPath", "/tmp/é😀"}})
            QCOMPARE(utf8.read(Setting, QString::fromLatin1(key), QString()), QString::fromUtf8(value));

        // A file that is all UTF-8 stays UTF-8.
        QCOMPARE(ProfileFile::fromBytes("[Setting]\nPlayList=\xC3\xA8.M3U\n")
                     .read(Setting, QStringLiteral("PlayList"), QString()),
                 QStringLiteral("è.M3U"));
    }

    // Characters that CP932 writes with the code of another (〜 as 81 60, which reads back as ～): a file
    // of a Windows writer that is to hold one turns UTF-8, so that every value reads back as written.
    void cp932LookAlikesGoOutAsUtf8() {
        const QString lookAlikes = QStringLiteral("〜−‖¢£¬—");
        for (const QChar c : lookAlikes) {
            const QString folder = QStringLiteral("/ベスト") + c + QStringLiteral("2020");
            ProfileFile file = ProfileFile::fromBytes("[Setting]\r\nOutPath=/\x89\xB9\x8A\x79\r\n");
            file.write(Setting, QStringLiteral("InPath"), folder);
            const ProfileFile again = ProfileFile::fromBytes(file.toBytes());
            QCOMPARE(again.read(Setting, QStringLiteral("InPath"), QString()), folder);
            QCOMPARE(again.read(Setting, QStringLiteral("OutPath"), QString()), QStringLiteral("/音楽"));
            QVERIFY(isValidUtf8(file.toBytes()));
            QVERIFY(!encodeCp932(folder));
        }
        // Their CP932 twins stay CP932.
        QCOMPARE(*encodeCp932(QStringLiteral("～")), QByteArray("\x81\x60"));
    }

    void legacyText() {
        // A file is UTF-8 only when all of it is; anything else is read as CP932.
        auto readBack = [](const QByteArray& value) {
            return ProfileFile::fromBytes("[Setting]\nK=" + value + '\n')
                .read(QStringLiteral("Setting"), QStringLiteral("K"), QString());
        };
        QCOMPARE(readBack(QStringLiteral("日本語ﾃｽﾄ").toUtf8()), QStringLiteral("日本語ﾃｽﾄ"));
        QCOMPARE(readBack("\x95\x5C\x83\x5C"), QStringLiteral("表ソ"));
        QCOMPARE(readBack("\xC0\xAF"), QStringLiteral("ﾀｯ")); // an overlong "/" is no UTF-8
        QCOMPARE(core::cp932ByteCount(QStringLiteral("C:\\a.mp3")), 8);
        QCOMPARE(core::cp932ByteCount(QStringLiteral("ﾊﾞｲﾄ")), 4);
        QCOMPARE(core::cp932ByteCount(QStringLiteral("表é😀")), 6); // a surrogate pair is one character
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
