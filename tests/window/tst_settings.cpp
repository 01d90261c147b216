// The settings file as a Windows profile file: how values are found, cleaned, cut and defaulted, how a
// write keeps the rest of the file byte for byte, how text written on Windows in CP932 is read, and which
// files are never read or written; the program's keys over it: the [Options] section's values, the
// defaults that malformed ones read as, and when a close leaves a file's bytes alone.

#include "window/LegacyText.h"
#include "window/ProgramSettings.h"
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
    return profile.save(file).ok();
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
        QVERIFY(legacytext::isValidUtf8(file.toBytes()));
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
            QVERIFY(legacytext::isValidUtf8(file.toBytes()));
            QVERIFY(!legacytext::encodeCp932(folder));
        }
        // Their CP932 twins stay CP932.
        QCOMPARE(*legacytext::encodeCp932(QStringLiteral("～")), QByteArray("\x81\x60"));
    }

    // Each row: one line in [Options], the value it gives, and the line closing writes back for it. A
    // malformed or out-of-range value reads as the default and goes back as the default.
    void optionValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("shown"); // the value as the object gives it back
        QTest::addColumn<QByteArray>("written");
        auto row = [](const char* line, const char* shown, const char* written) {
            QTest::newRow(line) << QByteArray(line) << QString::fromUtf8(shown) << QByteArray(written);
        };
        row("Vbr=0", "vbr 0", "Vbr=0");
        row("Vbr=10", "vbr -1", "Vbr=-1");
        row("Vbr=-2", "vbr -1", "Vbr=-1");
        row("Vbr=2.5", "vbr -1", "Vbr=-1");
        row("CoverMax=500", "cover 500", "CoverMax=500");
        row("CoverMax=15", "cover 0", "CoverMax=0");
        row("CoverMax=4097", "cover 0", "CoverMax=0");
        row("Target=-14.5", "target -14.5", "Target=-14.5");
        row("Target=-4", "target -16", "Target=-16");
        row("Target=nan", "target -16", "Target=-16");
        row("Target=-1e400", "target -16", "Target=-16");
        row("Target=-20 LUFS", "target -16", "Target=-16");
        row("Normalize=ALBUM", "normalize album", "Normalize=album");
        row("Normalize=loud", "normalize off", "Normalize=off");
        row("Id3v23= 1 ", "id3v23 1", "Id3v23= 1 "); // a line that holds the value stays as it is
        row("Update=yes", "update 0", "Update=0");
        row("FatNames=2", "fat 0", "FatNames=0");
        row("SyncPrune=1", "prune 1", "SyncPrune=1");
        row("SyncSource=/音楽/ベスト", "source /音楽/ベスト", "SyncSource=/音楽/ベスト");
    }
    void optionValues() {
        QFETCH(QByteArray, line);
        QFETCH(QString, shown);
        QFETCH(QByteArray, written);
        const ProgramSettings settings =
            ProgramSettings::read(ProfileFile::fromBytes("[Options]\n" + line + "\n"), {});
        const core::RunOptions& o = settings.runOptions();
        const QString key = shown.section(QLatin1Char(' '), 0, 0);
        const QHash<QString, QString> values = {
            {QStringLiteral("vbr"), QString::number(o.vbrQuality)},
            {QStringLiteral("cover"), QString::number(o.coverMax)},
            {QStringLiteral("target"), QString::number(o.targetLufs)},
            {QStringLiteral("normalize"), QStringList{QStringLiteral("off"), QStringLiteral("track"),
                                                      QStringLiteral("album")}[int(o.normalize)]},
            {QStringLiteral("id3v23"), QString::number(o.id3v23)},
            {QStringLiteral("update"), QString::number(o.update)},
            {QStringLiteral("fat"), QString::number(o.fatNames)},
            {QStringLiteral("prune"), QString::number(settings.syncPrune())},
            {QStringLiteral("source"), settings.syncSource()},
        };
        QCOMPARE(key + QLatin1Char(' ') + values.value(key), shown);

        ProfileFile file = ProfileFile::fromBytes("[Options]\n" + line + "\n");
        settings.writeTo(file);
        const QByteArray bytes = file.toBytes();
        QVERIFY2(bytes.contains('\n' + written + '\n'), bytes.constData());
        // Read again, the file gives the same value.
        QCOMPARE(ProgramSettings::read(ProfileFile::fromBytes(bytes), {}).runOptions(), o);
    }

    // A file without [Options] keeps its bytes through a close while no option is set; once one is, the
    // whole section is added, and a section the file has is written in full where it stands.
    void optionsSectionOnlyWhenThere() {
        const QByteArray plain = "[Setting]\r\nBits=8\r\nStereo=1\r\nSort=1\r\nInPath=/a\r\nTempPath=/a\r\n"
                                 "OutPath=/a\r\nPlayList=MP3LIST.M3U\r\nPlayListPathSet=0\r\n";
        const SettingDefaults defaults{QStringLiteral("/a"), QStringLiteral("/a"), QStringLiteral("/a"), 4};
        ProgramSettings settings = ProgramSettings::read(ProfileFile::fromBytes(plain), defaults);
        ProfileFile file = ProfileFile::fromBytes(plain);
        settings.writeTo(file);
        QVERIFY(!file.isChanged());
        QCOMPARE(file.toBytes(), plain);

        // An index no option has is not written: the stored one stays.
        settings.setBitRateIndex(-1);
        settings.setChannelModeIndex(3);
        settings.writeTo(file);
        QVERIFY(!file.isChanged());

        core::RunOptions options;
        options.vbrQuality = 2;
        options.targetLufs = -23;
        settings.setRunOptions(options);
        settings.setSyncDestination(QStringLiteral("/media/stick"));
        settings.writeTo(file);
        QCOMPARE(file.toBytes(), plain +
                                     "\r\n[Options]\r\nUpdate=0\r\nNoUpscale=0\r\nKeepDates=0\r\nId3v23=0\r\n"
                                     "CoverMax=0\r\nNormalize=off\r\nTarget=-23\r\nVbr=2\r\nFatNames=0\r\n"
                                     "SyncSource=\r\nSyncDestination=/media/stick\r\nSyncPrune=0\r\n");
        const ProgramSettings again = ProgramSettings::read(ProfileFile::fromBytes(file.toBytes()), defaults);
        QCOMPARE(again.runOptions(), options);
        QCOMPARE(again.syncDestination(), QStringLiteral("/media/stick"));
        QCOMPARE(again.syncSource(), QString());

        // All at their defaults again, the section stays and says so.
        settings.setRunOptions({});
        settings.setSyncDestination({});
        settings.writeTo(file);
        QVERIFY(file.toBytes().contains("\r\nVbr=-1\r\n"));
        QVERIFY(file.toBytes().contains("\r\nSyncDestination=\r\n"));

        ProfileFile partial = ProfileFile::fromBytes("[options]\nfatnames=1\n\n[Other]\nx=1\n");
        ProgramSettings::read(partial, defaults).writeTo(partial);
        const QByteArray bytes = partial.toBytes();
        QVERIFY2(bytes.startsWith("[options]\nfatnames=1\nUpdate=0\n"), bytes.constData());
        QVERIFY(bytes.contains("\nSyncPrune=0\n\n[Other]\nx=1\n\n[Setting]\nBits=8\n"));
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
