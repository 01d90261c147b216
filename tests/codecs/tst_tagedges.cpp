// Tags as other taggers leave them, written through the program's bindings against the real libvbmp3:
// ID3v1-only files, tags other tools read without complaint, genre clearing, blanks, WAV-wrapped MP3 and
// two ID3v2 tags in a row.
#include "codecs/decoder.h"
#include "mp3_fixtures.h"
#include "vbmp3.h"

#include <QTemporaryDir>
#include <QTest>

using codecs::TagRecord;
using fixtures::Encoding;
using fixtures::id3v2Frame;

namespace {

QByteArray textFrame(const char* id, const QString& text) {
    return id3v2Frame(3, id, fixtures::textPayload(Encoding::Latin1, text));
}

QMap<QByteArray, QByteArray> framesOf(const QByteArray& file) {
    QMap<QByteArray, QByteArray> frames;
    for (const fixtures::RawFrame& frame : fixtures::id3v2Frames(file)) {
        frames.insert(frame.id, frame.payload);
    }
    return frames;
}

// The record as the tag editor hands back what it read: every text blank-padded by the bindings.
TagRecord asEdited(const TagRecord& read) {
    TagRecord edited = read;
    edited.genreName.clear();
    return edited;
}

} // namespace

class TestTagEdges : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray audio_;
    codecs::Decoder decoder_;

    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    TagRecord read(const char* name) {
        TagRecord record;
        // Without a tag the record keeps its defaults, which the cases compare against.
        static_cast<void>(decoder_.getFileTagInfo(path(name), record));
        return record;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        audio_ = fixtures::makeMp3({44100, 2, 128, false, 4, 0.5}).bytes;
    }

    // Changing one field of an ID3v1-only file gives an ID3v2 tag with all seven fields, so that readers
    // that prefer ID3v2 lose nothing; an unedited round trip still changes no byte.
    void id3v1OnlyEditKeepsEveryField() {
        const fixtures::Id3v1Fields v1{fixtures::toCp932(u"古い題名"_qs),
                                       fixtures::toCp932(u"歌手"_qs),
                                       fixtures::toCp932(u"盤"_qs),
                                       "1998",
                                       fixtures::toCp932(u"感想"_qs),
                                       4,
                                       17};
        const QByteArray original = audio_ + fixtures::id3v1(v1);
        QVERIFY(fixtures::writeFile(path("v1only.mp3"), original));
        TagRecord edited = asEdited(read("v1only.mp3"));
        QVERIFY(decoder_.setTagInfo(path("v1only.mp3"), edited));
        QCOMPARE(fixtures::readFile(path("v1only.mp3")), original);

        edited.title = u"新しい題名"_qs;
        QVERIFY(decoder_.setTagInfo(path("v1only.mp3"), edited));
        const QMap<QByteArray, QByteArray> frames = framesOf(fixtures::readFile(path("v1only.mp3")));
        QCOMPARE(frames.keys(), (QList<QByteArray>{"COMM", "TALB", "TCON", "TIT2", "TPE1", "TRCK", "TYER"}));
        QCOMPARE(frames.value("TPE1"), fixtures::textPayload(Encoding::Utf16, u"歌手"_qs));
        QCOMPARE(frames.value("TIT2"), fixtures::textPayload(Encoding::Utf16, u"新しい題名"_qs));
        QCOMPARE(frames.value("TRCK"), QByteArray("\0"
                                                  "4",
                                                  2));
    }

    // Tags that other tools read are read to their end and written, the odd frames kept byte for byte.
    void writesTagsOtherToolsRead_data() {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QByteArray>("kept"); // bytes that must survive the write
        const QByteArray title = textFrame("TIT2", u"Old"_qs), artist = textFrame("TPE1", u"Singer"_qs);
        QByteArray ffPadded = fixtures::id3v2Tag(3, {title, artist}, 0) + QByteArray(40, '\xFF');
        ffPadded[9] = static_cast<char>(ffPadded[9] + 40);
        QTest::newRow("0xFF padding") << ffPadded << artist;
        const QByteArray odd = textFrame("Tpos", u"1/2"_qs);
        QTest::newRow("lower-case frame name") << fixtures::id3v2Tag(3, {title, odd, artist}, 10) << odd;
        QByteArray overrun = fixtures::id3v2Tag(3, {title, artist});
        overrun[10 + title.size() + 7] = static_cast<char>(overrun[10 + title.size() + 7] + 5);
        QTest::newRow("last frame overruns by 5 bytes") << overrun << title;
    }

    void writesTagsOtherToolsRead() {
        QFETCH(QByteArray, tag);
        QFETCH(QByteArray, kept);
        QVERIFY(fixtures::writeFile(path("other.mp3"), tag + audio_));
        TagRecord edited = asEdited(read("other.mp3"));
        QCOMPARE(edited.artist, u"Singer"_qs);
        edited.album = u"New album"_qs;
        QVERIFY(decoder_.setTagInfo(path("other.mp3"), edited));
        const QByteArray file = fixtures::readFile(path("other.mp3"));
        QVERIFY(file.left(fixtures::id3v2Length(file)).contains(kept));
        QCOMPARE(read("other.mp3").album, u"New album"_qs);
        QCOMPARE(fixtures::audioPart(file), audio_);
    }

    // Genre -1 clears a genre of the list and leaves a free text (or no genre) alone.
    void genreMinusOneClearsOnlyAListedGenre() {
        fixtures::Id3v1Fields v1{"Song", "", "", "", "", -1, 17};
        QVERIFY(
            fixtures::writeFile(path("listed.mp3"), fixtures::id3v2Tag(3, {textFrame("TCON", u"(17)"_qs)}) +
                                                        audio_ + fixtures::id3v1(v1)));
        TagRecord edited = asEdited(read("listed.mp3"));
        QCOMPARE(edited.genre, 17);
        edited.genre = -1;
        QVERIFY(decoder_.setTagInfo(path("listed.mp3"), edited));
        QByteArray file = fixtures::readFile(path("listed.mp3"));
        QVERIFY(!framesOf(file).contains("TCON"));
        QCOMPARE(quint8(file.back()), 255);
        QCOMPARE(read("listed.mp3").genre, -1);

        const QByteArray free = fixtures::id3v2Tag(3, {textFrame("TCON", u"Chiptune Noir"_qs)});
        v1.genre = 255;
        QVERIFY(fixtures::writeFile(path("free.mp3"), free + audio_ + fixtures::id3v1(v1)));
        edited = asEdited(read("free.mp3"));
        QCOMPARE(edited.genre, -1);
        edited.title = u"Renamed"_qs;
        QVERIFY(decoder_.setTagInfo(path("free.mp3"), edited));
        QCOMPARE(read("free.mp3").genreName, u"Chiptune Noir"_qs);
    }

    // A stored ID3v1 text shows as it is, blanks at its end included; an unedited write changes nothing.
    void id3v1BlanksAreKept() {
        const fixtures::Id3v1Fields v1{"Spaced title   ", "Artist  ", "", "", "", -1, 255};
        const QByteArray original = audio_ + fixtures::id3v1(v1);
        QVERIFY(fixtures::writeFile(path("blanks.mp3"), original));
        const TagRecord shown = read("blanks.mp3");
        QCOMPARE(shown.title, u"Spaced title   "_qs);
        QCOMPARE(shown.artist, u"Artist  "_qs);
        QVERIFY(decoder_.setTagInfo(path("blanks.mp3"), asEdited(shown)));
        QCOMPARE(fixtures::readFile(path("blanks.mp3")), original);
    }

    // A WAV file holding MP3 frames is refused with its reason, never given a tag no reader looks at.
    void riffWrappedMp3IsRefused() {
        QByteArray riff = fixtures::makeWav(44100, 2, 0);
        riff.replace(20, 2, QByteArray("\x55\x00", 2));
        const QByteArray original = riff + audio_;
        QVERIFY(fixtures::writeFile(path("riff.mp3"), original));
        TagRecord edited = asEdited(read("riff.mp3"));
        edited.title = u"New"_qs;
        QVERIFY(!decoder_.setTagInfo(path("riff.mp3"), edited));
        QCOMPARE(decoder_.lastTagError(), int(VBMP3_TAG_RIFF));
        QCOMPARE(fixtures::readFile(path("riff.mp3")), original);
    }

    // A second ID3v2 tag behind the first: its frames the first lacks (a cover) are carried over, and the
    // conversion's record write keeps them.
    void secondId3v2TagIsCarried() {
        const QByteArray cover =
            id3v2Frame(3, "APIC", fixtures::picturePayload("image/png", QByteArray(700, 'p')));
        const QByteArray first = fixtures::id3v2Tag(3, {textFrame("TIT2", u"First"_qs)}, 20);
        const QByteArray second =
            fixtures::id3v2Tag(3, {textFrame("TIT2", u"Second"_qs), textFrame("TALB", u"Album"_qs), cover});
        QVERIFY(fixtures::writeFile(path("two.mp3"), first + second + audio_));
        const QByteArray encoded = fixtures::makeMp3({44100, 1, 64, false, 4, 0.5}).bytes;
        QVERIFY(fixtures::writeFile(path("converted.mp3"), encoded));

        const TagRecord source = read("two.mp3");
        QCOMPARE(source.title, u"First"_qs);
        QCOMPARE(source.album, u"Album"_qs);
        QVERIFY(decoder_.copyId3v2Tag(path("two.mp3"), path("converted.mp3")));
        QVERIFY(decoder_.setTagInfo(path("converted.mp3"), asEdited(source)));
        const QByteArray file = fixtures::readFile(path("converted.mp3"));
        const QMap<QByteArray, QByteArray> frames = framesOf(file);
        QCOMPARE(frames.value("TIT2"), fixtures::textPayload(Encoding::Latin1, u"First"_qs));
        QCOMPARE(frames.value("TALB"), fixtures::textPayload(Encoding::Latin1, u"Album"_qs));
        QVERIFY(file.contains(cover));
        QCOMPARE(fixtures::audioPart(file), encoded);
    }
};

QTEST_GUILESS_MAIN(TestTagEdges)
#include "tst_tagedges.moc"
