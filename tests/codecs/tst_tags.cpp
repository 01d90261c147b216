// ID3 tags read and written through the program's bindings, against the real libvbmp3.
#include "codec_runs.h"
#include "codecs/decoder.h"
#include "mp3_fixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using codecs::TagRecord;
using fixtures::Encoding;
using fixtures::id3v2Frame;

namespace {

TagRecord record(const QString& title, const QString& artist, const QString& album, const QString& year,
                 const QString& comment, int genre, const QString& genreName, int track) {
    return {title, artist, album, year, comment, genre, genreName, track};
}

QByteArray textFrame(int version, const char* id, Encoding encoding, const QString& text) {
    return id3v2Frame(version, id, fixtures::textPayload(encoding, text));
}

// The tag with a version 2.3 extended header (CRC flag off, no padding) between its header and frames.
QByteArray withExtendedHeader(const QByteArray& tag) {
    const QByteArray extended("\0\0\0\x06\0\0\0\0\0\0", 10);
    QByteArray out = tag.left(10) + extended + tag.mid(10);
    out[5] = 0x40;
    const int size = int(out.size() - 10);
    for (int i = 0; i < 4; ++i) {
        out[6 + i] = static_cast<char>((size >> (21 - 7 * i)) & 0x7F);
    }
    return out;
}

QMap<QByteArray, QByteArray> framesOf(const QByteArray& file) {
    QMap<QByteArray, QByteArray> frames;
    for (const fixtures::RawFrame& frame : fixtures::id3v2Frames(file)) {
        frames.insert(frame.id, frame.payload);
    }
    return frames;
}

} // namespace

class TestTags : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QByteArray audio_;
    codecs::Decoder decoder_;

    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        audio_ = fixtures::makeMp3({44100, 2, 128, false, 4, 1.0}).bytes;
    }

    void readsTags_data() {
        QTest::addColumn<QByteArray>("head"); // ID3v2 tag before the audio
        QTest::addColumn<QByteArray>("tail"); // ID3v1 tag after it
        QTest::addColumn<TagRecord>("expected");

        fixtures::Id3v1Fields v10{"Title", "Artist", "Album", "1999", "a comment of thirty characters",
                                  -1,      17};
        QTest::newRow("ID3v1.0") << QByteArray() << fixtures::id3v1(v10)
                                 << record(u"Title"_qs, u"Artist"_qs, u"Album"_qs, u"1999"_qs,
                                           u"a comment of thirty characters"_qs, 17, u"Rock"_qs, -1);
        fixtures::Id3v1Fields v11{"T", "A", "B", "2004", "short", 7, 8};
        QTest::newRow("ID3v1.1") << QByteArray() << fixtures::id3v1(v11)
                                 << record(u"T"_qs, u"A"_qs, u"B"_qs, u"2004"_qs, u"short"_qs, 8, u"Jazz"_qs,
                                           7);
        fixtures::Id3v1Fields cp932{fixtures::toCp932(u"桜の季節"_qs),
                                    fixtures::toCp932(u"ｱｰﾃｨｽﾄ"_qs),
                                    fixtures::toCp932(u"日本のアルバム"_qs),
                                    "2001",
                                    fixtures::toCp932(u"コメント"_qs),
                                    3,
                                    146};
        QTest::newRow("ID3v1 CP932") << QByteArray() << fixtures::id3v1(cp932)
                                     << record(u"桜の季節"_qs, u"ｱｰﾃｨｽﾄ"_qs, u"日本のアルバム"_qs, u"2001"_qs,
                                               u"コメント"_qs, 146, u"Jpop"_qs, 3);
        fixtures::Id3v1Fields latin1{u"Café Müller"_qs.toLatin1(),
                                     u"Ñandú"_qs.toLatin1(),
                                     u"Éléphant déçu"_qs.toLatin1(),
                                     "1985",
                                     u"naïve"_qs.toLatin1(),
                                     -1,
                                     255};
        QTest::newRow("ID3v1 Latin-1") << QByteArray() << fixtures::id3v1(latin1)
                                       << record(u"Café Müller"_qs, u"Ñandú"_qs, u"Éléphant déçu"_qs,
                                                 u"1985"_qs, u"naïve"_qs, -1, QString(), -1);

        const QByteArray v23 = fixtures::id3v2Tag(
            3,
            {textFrame(3, "TIT2", Encoding::Utf16, u"夜に駆ける"_qs),
             textFrame(3, "TPE1", Encoding::Utf16, u"ヨアソビ"_qs),
             textFrame(3, "TALB", Encoding::Utf16, u"ＴＨＥ ＢＯＯＫ"_qs),
             textFrame(3, "TYER", Encoding::Latin1, u"2021"_qs),
             id3v2Frame(3, "COMM", fixtures::commentPayload(Encoding::Utf16, u"日本語のコメント"_qs)),
             textFrame(3, "TCON", Encoding::Latin1, u"(13)"_qs),
             textFrame(3, "TRCK", Encoding::Latin1, u"3/12"_qs)},
            256);
        // An ID3v2 tag wins over the ID3v1 tag of the same file.
        QTest::newRow("ID3v2.3 UTF-16") << v23 << fixtures::id3v1(v10)
                                        << record(u"夜に駆ける"_qs, u"ヨアソビ"_qs, u"ＴＨＥ ＢＯＯＫ"_qs,
                                                  u"2021"_qs, u"日本語のコメント"_qs, 13, u"Pop"_qs, 3);
        const QByteArray v24 =
            fixtures::id3v2Tag(4, {textFrame(4, "TIT2", Encoding::Utf8, u"Ünïcödé ☃"_qs),
                                   textFrame(4, "TPE1", Encoding::Utf8, u"東京"_qs),
                                   textFrame(4, "TDRC", Encoding::Latin1, u"2019-05-01"_qs),
                                   textFrame(4, "TCON", Encoding::Utf8, u"jazz"_qs),
                                   textFrame(4, "TRCK", Encoding::Latin1, u"11"_qs)});
        QTest::newRow("ID3v2.4 UTF-8")
            << v24 << QByteArray()
            << record(u"Ünïcödé ☃"_qs, u"東京"_qs, QString(), u"2019"_qs, QString(), 8, u"Jazz"_qs, 11);
        const QByteArray sjisFrames = fixtures::id3v2Tag(
            3, {id3v2Frame(3, "TIT2", fixtures::rawLatin1Payload(fixtures::toCp932(u"春よ、来い"_qs))),
                id3v2Frame(3, "TPE1", fixtures::rawLatin1Payload(fixtures::toCp932(u"松任谷由実"_qs))),
                id3v2Frame(3, "TCON", fixtures::rawLatin1Payload(fixtures::toCp932(u"歌謡曲"_qs)))});
        QTest::newRow("ID3v2 ISO-8859-1 frames in CP932")
            << sjisFrames << QByteArray()
            << record(u"春よ、来い"_qs, u"松任谷由実"_qs, QString(), QString(), QString(), -1, u"歌謡曲"_qs,
                      -1);
        const QByteArray v22 = fixtures::id3v2Tag(2, {textFrame(2, "TT2", Encoding::Latin1, u"Old"_qs),
                                                      textFrame(2, "TP1", Encoding::Latin1, u"Tagger"_qs),
                                                      textFrame(2, "TCO", Encoding::Latin1, u"(8)"_qs)});
        QTest::newRow("ID3v2.2") << v22 << QByteArray()
                                 << record(u"Old"_qs, u"Tagger"_qs, QString(), QString(), QString(), 8,
                                           u"Jazz"_qs, -1);
        // An old tagger cut this CP932 title at byte 30, inside its last character.
        fixtures::Id3v1Fields cutCp932;
        cutCp932.title = "a" + fixtures::toCp932(u"あいうえおかきくけこさしすせそ"_qs).left(29);
        QTest::newRow("ID3v1 CP932 cut in a character")
            << QByteArray() << fixtures::id3v1(cutCp932)
            << record(u"aあいうえおかきくけこさしすせ"_qs, QString(), QString(), QString(), QString(), -1,
                      QString(), -1);
        const QByteArray oddEncoding = fixtures::id3v2Tag(
            3, {id3v2Frame(3, "TIT2", QByteArray("\x2cPlain")), id3v2Frame(3, "TPE1",
                                                                           QByteArray("\x07"
                                                                                      "Caf\xE9"))});
        QTest::newRow("ID3v2 unknown text encodings")
            << oddEncoding << QByteArray()
            << record(u"Plain"_qs, u"Café"_qs, QString(), QString(), QString(), -1, QString(), -1);
        const QByteArray extended = withExtendedHeader(
            fixtures::id3v2Tag(3, {textFrame(3, "TIT2", Encoding::Utf16, u"拡張ヘッダー"_qs),
                                   textFrame(3, "TYER", Encoding::Latin1, u"1998"_qs)}));
        QTest::newRow("ID3v2.3 extended header")
            << extended << QByteArray()
            << record(u"拡張ヘッダー"_qs, QString(), QString(), u"1998"_qs, QString(), -1, QString(), -1);
        fixtures::Id3v1Fields older{"Old title", "Old artist", "", "2024", "from ID3v1", 7, 13};
        const QByteArray releaseDate =
            fixtures::id3v2Tag(4, {textFrame(4, "TIT2", Encoding::Utf8, u"新しい題"_qs),
                                   textFrame(4, "TDRL", Encoding::Latin1, u"2023-04-01"_qs),
                                   textFrame(4, "TCON", Encoding::Latin1, u"J-Pop"_qs)});
        QTest::newRow("ID3v2 fields missing taken from ID3v1")
            << releaseDate << fixtures::id3v1(older)
            << record(u"新しい題"_qs, u"Old artist"_qs, QString(), u"2023"_qs, u"from ID3v1"_qs, 146,
                      u"Jpop"_qs, 7);
        QTest::newRow("no tag") << QByteArray() << QByteArray()
                                << record(QString(), QString(), QString(), QString(), QString(), -1,
                                          QString(), -1);
    }

    void readsTags() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(TagRecord, expected);
        QVERIFY(fixtures::writeFile(path("read.mp3"), head + audio_ + tail));
        TagRecord tag;
        QCOMPARE(decoder_.getFileTagInfo(path("read.mp3"), tag), !head.isEmpty() || !tail.isEmpty());
        QCOMPARE(tag.title, expected.title);
        QCOMPARE(tag.artist, expected.artist);
        QCOMPARE(tag.album, expected.album);
        QCOMPARE(tag.year, expected.year);
        QCOMPARE(tag.comment, expected.comment);
        QCOMPARE(tag.genre, expected.genre);
        QCOMPARE(tag.genreName, expected.genreName);
        QCOMPARE(tag.trackNumber, expected.trackNumber);
    }

    // Records as the program sends them (blank-padded) come back trimmed and otherwise equal.
    void writtenTagsReadBack_data() {
        QTest::addColumn<TagRecord>("written");
        QTest::addColumn<QByteArray>("id3v1Title"); // the title bytes expected in the ID3v1 tag
        QTest::newRow("Japanese v1.1") << record(u"ひこうき雲"_qs, u"荒井由実"_qs, u"ひこうき雲"_qs,
                                                 u"1973"_qs, u"名曲"_qs, 146, QString(), 1)
                                       << fixtures::toCp932(u"ひこうき雲"_qs);
        QTest::newRow("Latin-1 v1.0")
            << record(u"Café"_qs, u"Zoë"_qs, u"Ça"_qs, u"1990"_qs, u"déjà vu"_qs, 0, QString(), -1)
            << u"Café"_qs.toLatin1();
        QTest::newRow("mixed scripts, track 255")
            << record(u"Ünï 日本"_qs, u"A"_qs, QString(), QString(), QString(), 191, QString(), 255)
            << QByteArray("?n? \x93\xfa\x96\x7b");
        QTest::newRow("long title, no genre")
            << record(QStringLiteral("An overly long title that does not fit thirty bytes"), u"B"_qs, u"C"_qs,
                      u"2000"_qs, QString(), -1, QString(), 42)
            << QByteArray("An overly long title that does");
    }

    void writtenTagsReadBack() {
        QFETCH(TagRecord, written);
        QFETCH(QByteArray, id3v1Title);
        QVERIFY(fixtures::writeFile(path("write.mp3"), audio_));
        QVERIFY(decoder_.setTagInfo(path("write.mp3"), written));

        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(path("write.mp3"), read));
        TagRecord expected = written;
        expected.genreName = decoder_.genreName(written.genre);
        QCOMPARE(read, expected);

        const QByteArray file = fixtures::readFile(path("write.mp3"));
        QVERIFY(fixtures::hasId3v1(file));
        const QByteArray v1 = file.right(128);
        const QByteArray titleField = v1.mid(3, 30);
        QCOMPARE(titleField.left(titleField.indexOf('\0') < 0 ? 30 : titleField.indexOf('\0')), id3v1Title);
        const bool v11 = written.trackNumber >= 1 && written.trackNumber <= 255;
        QCOMPARE(v1.at(125) == '\0' && v1.at(126) != '\0', v11);
        QCOMPARE(fixtures::audioPart(file), audio_);
        QCOMPARE(fixtures::id3v2Version(file), 3);
    }

    void otherFramesSurviveByteForByte_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("2.3") << 3;
        QTest::newRow("2.4") << 4;
    }

    void otherFramesSurviveByteForByte() {
        QFETCH(int, version);
        QByteArray image(6000, '\0');
        for (int i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>((i * 7919) >> 3);
        }
        const QByteArray picture = fixtures::picturePayload("image/jpeg", image);
        const QByteArray privateData = QByteArray("owner@example.org") + '\0' + QByteArray(300, '\x5a');
        const QByteArray tag = fixtures::id3v2Tag(
            version, {textFrame(version, "TIT2", Encoding::Latin1, u"Before"_qs),
                      id3v2Frame(version, "APIC", picture), id3v2Frame(version, "PRIV", privateData)});
        QVERIFY(fixtures::writeFile(path("art.mp3"), tag + audio_));

        QVERIFY(decoder_.setTagInfo(path("art.mp3"), record(u"After"_qs, u"X"_qs, QString(), QString(),
                                                            QString(), -1, QString(), -1)));
        const QByteArray file = fixtures::readFile(path("art.mp3"));
        QCOMPARE(fixtures::id3v2Version(file), version);
        QByteArray apic, priv;
        for (const fixtures::RawFrame& frame : fixtures::id3v2Frames(file)) {
            if (frame.id == "APIC") {
                apic = frame.payload;
            } else if (frame.id == "PRIV") {
                priv = frame.payload;
            }
        }
        QCOMPARE(apic, picture);
        QCOMPARE(priv, privateData);
        QCOMPARE(fixtures::audioPart(file), audio_);
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(path("art.mp3"), read));
        QCOMPARE(read.title, u"After"_qs);
    }

    // Files a tag writer would damage are refused and left exactly as they were.
    void refusesToDamageFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QByteArray lying = fixtures::id3v2Tag(3, {textFrame(3, "TIT2", Encoding::Latin1, u"x"_qs)});
        lying[6] = 0x7F; // claims far more bytes than the file holds
        QTest::newRow("ID3v2 size beyond the file") << lying + audio_;
        QTest::newRow("no MPEG audio") << QByteArray("just some text, no audio at all\n").repeated(40);
        QTest::newRow("empty") << QByteArray();
    }

    void refusesToDamageFiles() {
        QFETCH(QByteArray, content);
        QVERIFY(fixtures::writeFile(path("fragile.mp3"), content));
        QVERIFY(!decoder_.setTagInfo(
            path("fragile.mp3"), record(u"T"_qs, u"A"_qs, QString(), QString(), QString(), 1, QString(), 1)));
        QCOMPARE(fixtures::readFile(path("fragile.mp3")), content);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).filter(u"fragile"_qs).size(), 1);
    }

    // The tag editor's load-then-update keeps the tag byte for byte; a real change touches its frame only.
    void unchangedFieldsKeepTheirFrames() {
        const QString title = u"A title of forty-eight characters, far too long"_qs;
        const QString artist = u"An artist name of fifty-one characters, longer yet!"_qs;
        const QByteArray comment = QByteArray("\x01jpn\0\0", 6) +
                                   fixtures::textPayload(Encoding::Utf16, u"日本語のコメントです"_qs).mid(1);
        const QByteArray tag = fixtures::id3v2Tag(
            3,
            {textFrame(3, "TIT2", Encoding::Utf16, title), textFrame(3, "TPE1", Encoding::Latin1, artist),
             id3v2Frame(3, "RVAD", QByteArray("\x03\x10\x12\x34\x12\x34", 6)),
             textFrame(3, "TYER", Encoding::Latin1, u"1999"_qs),
             textFrame(3, "TDAT", Encoding::Latin1, u"0403"_qs),
             textFrame(3, "TIME", Encoding::Latin1, u"1011"_qs),
             textFrame(3, "TRDA", Encoding::Latin1, u"March 4th"_qs),
             textFrame(3, "TSIZ", Encoding::Latin1, u"123456"_qs),
             textFrame(3, "TCON", Encoding::Latin1, u"J-Pop"_qs),
             textFrame(3, "TRCK", Encoding::Latin1, u"5/12"_qs), id3v2Frame(3, "COMM", comment)},
            64);
        QVERIFY(fixtures::writeFile(path("keep.mp3"), tag + audio_));

        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(path("keep.mp3"), read));
        QCOMPARE(read.genre, 146);
        QCOMPARE(read.trackNumber, 5);
        // As the editor hands it back: 30-character boxes, a 4-character year, no genre name.
        TagRecord edited{read.title.left(30),   read.artist.left(30), read.album, read.year.left(4),
                         read.comment.left(30), read.genre,           QString(),  read.trackNumber};
        QVERIFY(decoder_.setTagInfo(path("keep.mp3"), edited));
        QByteArray file = fixtures::readFile(path("keep.mp3"));
        QCOMPARE(file.left(tag.size()), tag);

        edited.title = u"新しいタイトル"_qs;
        edited.trackNumber = 6;
        QVERIFY(decoder_.setTagInfo(path("keep.mp3"), edited));
        file = fixtures::readFile(path("keep.mp3"));
        QCOMPARE(fixtures::id3v2Version(file), 3);
        QMap<QByteArray, QByteArray> before = framesOf(tag + audio_), after = framesOf(file);
        QCOMPARE(after.take("TIT2"), fixtures::textPayload(Encoding::Utf16, u"新しいタイトル"_qs));
        QCOMPARE(after.take("TRCK"), fixtures::textPayload(Encoding::Latin1, u"6/12"_qs));
        before.remove("TIT2");
        before.remove("TRCK");
        QCOMPARE(after, before);
        QCOMPARE(fixtures::audioPart(file), audio_);
    }

    // A version 2.3 extended header is read past; a tag that cannot be read to its end is not written.
    void writesOnlyTagsItCanRead() {
        const QByteArray picture = fixtures::picturePayload("image/png", fixtures::randomBytes(3000, 5));
        const QByteArray extended = withExtendedHeader(fixtures::id3v2Tag(
            3, {textFrame(3, "TIT2", Encoding::Latin1, u"Before"_qs), id3v2Frame(3, "APIC", picture)}));
        QVERIFY(fixtures::writeFile(path("ext.mp3"), extended + audio_));
        QVERIFY(decoder_.setTagInfo(path("ext.mp3"), record(u"After"_qs, QString(), QString(), QString(),
                                                            QString(), -1, QString(), -1)));
        const QByteArray file = fixtures::readFile(path("ext.mp3"));
        QCOMPARE(framesOf(file).value("APIC"), picture);
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(path("ext.mp3"), read));
        QCOMPARE(read.title, u"After"_qs);

        QByteArray broken = fixtures::id3v2Tag(
            3, {textFrame(3, "TIT2", Encoding::Latin1, u"Title"_qs), id3v2Frame(3, "APIC", picture)}, 100);
        broken[10 + 10 + 6 + 4] = 0x7F; // the picture frame claims more than the tag holds
        QVERIFY(fixtures::writeFile(path("broken.mp3"), broken + audio_));
        QVERIFY(!decoder_.setTagInfo(path("broken.mp3"), record(u"New"_qs, QString(), QString(), QString(),
                                                                QString(), -1, QString(), -1)));
        QCOMPARE(fixtures::readFile(path("broken.mp3")), broken + audio_);
    }

    // A tag behind a last frame cut short keeps the audio before that frame, which it completes; links
    // stay what they were.
    void tagWritesKeepAudioAndLinks() {
        const auto frames = fixtures::scanFrames(audio_).value();
        const QByteArray cut = audio_.left(audio_.size() - frames.last().length / 2);
        QVERIFY(fixtures::writeFile(path("cut.mp3"), cut));
        QVERIFY(codecruns::decode(path("cut.mp3"), path("before.wav")).finalState == 0);
        const TagRecord tag = record(u"T"_qs, u"A"_qs, QString(), u"2001"_qs, QString(), 1, QString(), 2);
        QVERIFY(decoder_.setTagInfo(path("cut.mp3"), tag));
        QVERIFY(codecruns::decode(path("cut.mp3"), path("after.wav")).finalState == 0);
        const QByteArray before = fixtures::readFile(path("before.wav")),
                         after = fixtures::readFile(path("after.wav"));
        QVERIFY(after.size() > before.size());
        QCOMPARE(after.mid(44, before.size() - 44), before.mid(44));
        const QByteArray written = fixtures::readFile(path("cut.mp3"));
        QVERIFY(fixtures::hasId3v1(written));
        QVERIFY(fixtures::scanFrames(written).has_value()); // no partial frame left before the ID3v1 tag

        QVERIFY(fixtures::writeFile(path("target.mp3"), audio_));
        QVERIFY(QFile::link(path("target.mp3"), path("symlink.mp3")));
        QVERIFY(::link(QFile::encodeName(path("target.mp3")).constData(),
                       QFile::encodeName(path("hardlink.mp3")).constData()) == 0);
        QVERIFY(decoder_.setTagInfo(path("symlink.mp3"), tag));
        QVERIFY(QFileInfo(path("symlink.mp3")).isSymLink());
        struct stat target {
        }, hard{};
        QVERIFY(::stat(QFile::encodeName(path("target.mp3")).constData(), &target) == 0);
        QVERIFY(::stat(QFile::encodeName(path("hardlink.mp3")).constData(), &hard) == 0);
        QCOMPARE(hard.st_ino, target.st_ino);
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(path("hardlink.mp3"), read));
        QCOMPARE(read.title, u"T"_qs);
    }

    void copiesTheWholeId3v2Tag() {
        const QByteArray sourceTag = fixtures::id3v2Tag(
            4,
            {textFrame(4, "TIT2", Encoding::Utf8, u"元の曲"_qs),
             id3v2Frame(4, "APIC", fixtures::picturePayload("image/png", QByteArray(900, '\x11')))},
            100);
        const QByteArray otherAudio = fixtures::makeMp3({22050, 1, 64, false, 4, 0.5}).bytes;
        fixtures::Id3v1Fields v1{"Target", "", "", "", "", -1, 255};
        QVERIFY(fixtures::writeFile(path("source.mp3"), sourceTag + audio_));
        QVERIFY(fixtures::writeFile(
            path("target.mp3"), fixtures::id3v2Tag(3, {textFrame(3, "TIT2", Encoding::Latin1, u"old"_qs)}) +
                                    otherAudio + fixtures::id3v1(v1)));

        QVERIFY(decoder_.copyId3v2Tag(path("source.mp3"), path("target.mp3")));
        QCOMPARE(fixtures::readFile(path("target.mp3")), sourceTag + otherAudio + fixtures::id3v1(v1));

        QVERIFY(fixtures::writeFile(path("plain.mp3"), audio_));
        QVERIFY(decoder_.copyId3v2Tag(path("plain.mp3"), path("target.mp3")));
        QCOMPARE(fixtures::readFile(path("target.mp3")), otherAudio + fixtures::id3v1(v1));
    }

    // The user text frames the program keeps its own records in: set, replaced in place, read back,
    // removed; every other frame, the ID3v1 tag and the audio stay byte for byte, and a call that changes
    // nothing leaves the file's bytes alone even where the tag would render differently.
    void userTextFrames_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("2.2") << 2;
        QTest::newRow("2.3") << 3;
        QTest::newRow("2.4") << 4;
    }
    void userTextFrames() {
        QFETCH(int, version);
        const char* txxx = version == 2 ? "TXX" : "TXXX";
        const QByteArray other =
            id3v2Frame(version, txxx, QByteArray("\0other\0kept", 12)); // another description stays
        const QByteArray tag = fixtures::id3v2Tag(
            version, {textFrame(version, version == 2 ? "TT2" : "TIT2", Encoding::Utf16, u"曲"_qs), other},
            40);
        fixtures::Id3v1Fields v1{"Old", "", "", "", "", -1, 255};
        QVERIFY(fixtures::writeFile(path("user.mp3"), tag + audio_ + fixtures::id3v1(v1)));
        const QString file = path("user.mp3");

        QCOMPARE(decoder_.userText(file, u"MP3Recast source"_qs), std::nullopt);
        QVERIFY(decoder_.setUserText(file, u"MP3Recast source"_qs, u"1 size=5"_qs));
        QVERIFY(decoder_.setUserText(file, u"MP3Recast source"_qs, u"1 size=6 変換"_qs));
        QCOMPARE(decoder_.userText(file, u"MP3Recast source"_qs), u"1 size=6 変換"_qs);
        QCOMPARE(decoder_.userText(file, u"other"_qs), u"kept"_qs);
        const QByteArray written = fixtures::readFile(file);
        QCOMPARE(fixtures::id3v2Version(written), version);
        QCOMPARE(fixtures::audioPart(written), audio_);
        QVERIFY(written.endsWith(fixtures::id3v1(v1)));
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(file, read));
        QCOMPARE(read.title, u"曲"_qs);

        // Setting the same value again, or removing a record that is not there, writes nothing.
        QVERIFY(decoder_.setUserText(file, u"MP3Recast source"_qs, u"1 size=6 変換"_qs));
        QCOMPARE(fixtures::readFile(file), written);
        QVERIFY(decoder_.setUserText(file, u"absent"_qs, QString()));
        QCOMPARE(fixtures::readFile(file), written);

        QVERIFY(decoder_.setUserText(file, u"MP3Recast source"_qs, QString()));
        QCOMPARE(decoder_.userText(file, u"MP3Recast source"_qs), std::nullopt);
        QCOMPARE(fixtures::audioPart(fixtures::readFile(file)), audio_);
        QCOMPARE(decoder_.userText(file, u"other"_qs), u"kept"_qs);

        // A file without an ID3v2 tag gets one to hold the value.
        QVERIFY(fixtures::writeFile(path("bare.mp3"), audio_));
        QVERIFY(decoder_.setUserText(path("bare.mp3"), u"MP3Recast source"_qs, u"x"_qs));
        QCOMPARE(decoder_.userText(path("bare.mp3"), u"MP3Recast source"_qs), u"x"_qs);
        QCOMPARE(fixtures::audioPart(fixtures::readFile(path("bare.mp3"))), audio_);
    }

    void names256Genres() {
        QCOMPARE(decoder_.genreName(0), u"Blues"_qs);
        QCOMPARE(decoder_.genreName(17), u"Rock"_qs);
        QCOMPARE(decoder_.genreName(147), u"Synthpop"_qs);
        QCOMPARE(decoder_.genreName(191), u"Psybient"_qs);
        for (int n = 0; n < 256; ++n) {
            QCOMPARE(decoder_.genreName(n).isEmpty(), n > 191);
        }
    }
};

QTEST_GUILESS_MAIN(TestTags)
#include "tst_tags.moc"
