// The bindings themselves: record byte layouts, replaceable function tables, loading failures.
#include "codecs/codec_error.h"
#include "codecs/decoder.h"
#include "codecs/encoder.h"
#include "codecs/functions.h"
#include "codecs/library_loader.h"
#include "codecs/tag_layout.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <cstring>

namespace {

// What the fake decoder saw of the record it was given.
VBMP3_TAG_INFO g_received;

int16_t fakeTagReader(const char*, VBMP3_TAG_INFO* tag) {
    g_received = *tag;
    std::memset(tag, 0, sizeof *tag);
    std::memcpy(tag->title, "abc\0ignored", 11);
    std::memset(tag->artist, 'x', sizeof tag->artist); // a full field without NUL
    tag->genre = 200;
    tag->trackNo = -1;
    return 0;
}

int32_t fakeVersion(int32_t* version, char*) {
    *version = 1;
    return 0;
}

int32_t fakeEmptyVersion(int32_t* version, char* text) {
    *version = 1;
    text[0] = '\0';
    return 0;
}

} // namespace

class TestBindings : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        codecs::resetDecoderFunctions();
        codecs::resetEncoderFunctions();
        codecs::setLibraryLocation(codecs::Library::Decoder, QString());
        codecs::setLibraryLocation(codecs::Library::Encoder, QString());
    }

    void packText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("padded") << u"ab"_qs << 5 << QByteArray("ab   ");
        QTest::newRow("year") << u"2003"_qs << 5 << QByteArray("2003 ");
        QTest::newRow("exact") << u"abcde"_qs << 5 << QByteArray("abcde");
        QTest::newRow("cut") << u"abcdefg"_qs << 5 << QByteArray("abcde");
        QTest::newRow("empty") << QString() << 3 << QByteArray("   ");
        // "あ" is three bytes: a cut never leaves part of it behind.
        QTest::newRow("cut before a character") << u"aあい"_qs << 6 << QByteArray("a\xE3\x81\x82  ");
        QTest::newRow("cut inside a character") << u"あい"_qs << 5 << QByteArray("\xE3\x81\x82  ");
        QTest::newRow("four-byte character") << u"a😀"_qs << 4 << QByteArray("a   ");
    }

    void packText() {
        QFETCH(QString, text);
        QFETCH(int, size);
        QFETCH(QByteArray, bytes);
        QCOMPARE(codecs::packText(text, size), bytes);
    }

    void unpackTextCutsAtNul() {
        QCOMPARE(codecs::unpackText("ab\0cd", 5), u"ab"_qs);
        QCOMPARE(codecs::unpackText("abcde", 3), u"abc"_qs);
        QCOMPARE(codecs::unpackText("x  \0", 4), u"x  "_qs); // trailing blanks stay
        QCOMPARE(codecs::unpackText("\xE6\x97\xA5\0", 4), u"日"_qs);
    }

    void tagRecordLayout() {
        const codecs::TagRecord record{u"T"_qs, u"A"_qs,    u"B"_qs,   u"1999"_qs,
                                       u"C"_qs, 0x01020304, QString(), -1};
        VBMP3_TAG_INFO layout;
        codecs::packTagRecord(record, layout);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&layout);
        QCOMPARE(bytes[0], 'T');
        QCOMPARE(bytes[128], 'A');
        QCOMPARE(bytes[256], 'B');
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes + 384), 5), QByteArray("1999 "));
        QCOMPARE(bytes[389], 'C');
        QCOMPARE(bytes[517] | bytes[518] | bytes[519], 0);
        QCOMPARE(bytes[520], 0x04); // little-endian
        QCOMPARE(bytes[523], 0x01);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes + 524), 128), QByteArray(128, '\0'));
        QCOMPARE(bytes[652] & bytes[653] & bytes[654] & bytes[655], 0xFF);
        QCOMPARE(codecs::unpackTagRecord(layout).year, u"1999 "_qs);

        // Texts nobody set leave their fields as a fresh record has them: all zero.
        VBMP3_TAG_INFO blank;
        std::memset(&blank, 0x55, sizeof blank);
        codecs::packTagRecord(codecs::TagRecord{}, blank);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&blank), sizeof blank),
                 QByteArray(sizeof blank, '\0'));
        codecs::TagRecord typed;
        typed.comment = QStringLiteral(""); // put in by the program, if empty: blank-padded
        codecs::packTagRecord(typed, blank);
        QCOMPARE(QByteArray(blank.comment, sizeof blank.comment), QByteArray(sizeof blank.comment, ' '));
        QCOMPARE(blank.title[0], '\0');
    }

    // The record goes to the library packed and comes back unpacked, even when the call reports failure.
    void recordsCrossTheBoundary() {
        codecs::DecoderFunctions fake;
        fake.getFileTagInfoEX = &fakeTagReader;
        codecs::installDecoderFunctions(fake);
        codecs::TagRecord record;
        record.title = u"in"_qs;
        QVERIFY(!codecs::Decoder().getFileTagInfo(u"x.mp3"_qs, record));
        QCOMPARE(QByteArray(g_received.title, 4), QByteArray("in  "));
        QCOMPARE(record.title, u"abc"_qs);
        QCOMPARE(record.artist, QString(128, u'x'));
        QCOMPARE(record.genre, 200);
        QCOMPARE(record.trackNumber, -1);
    }

    void versionText() {
        QCOMPARE(codecs::Encoder::versionText(QByteArray("gogo 1\0   ", 10)),
                 std::optional<QString>(u"gogo 1"_qs));
        QCOMPARE(codecs::Encoder::versionText(QByteArray("\0gogo", 5)), std::nullopt);
        QCOMPARE(codecs::Encoder::versionText(QByteArray(255, ' ')), std::nullopt);

        codecs::EncoderFunctions fake;
        fake.getVersion = &fakeVersion; // writes nothing into the buffer
        codecs::installEncoderFunctions(fake);
        int number = 0;
        QCOMPARE(codecs::Encoder::versionText(codecs::Encoder().getVersion(number)), std::nullopt);
        fake.getVersion = &fakeEmptyVersion;
        codecs::installEncoderFunctions(fake);
        QCOMPARE(codecs::Encoder::versionText(codecs::Encoder().getVersion(number)), std::nullopt);
    }

    void missingLibraryIsDescribed() {
        codecs::setLibraryLocation(codecs::Library::Decoder, u"/nonexistent/libvbmp3.so"_qs);
        try {
            static_cast<void>(codecs::Decoder().init());
            QFAIL("no error raised");
        } catch (const codecs::CodecError& error) {
            QCOMPARE(error.library(), u"libvbmp3.so"_qs);
            QCOMPARE(error.operation(), u"vbmp3_init"_qs);
            QVERIFY(error.description().contains(u"libvbmp3.so"_qs));
            QVERIFY(error.description().contains(u"vbmp3_init"_qs));
        }
    }

    void missingOperationIsDescribed() {
        // The encoder library is a real library without any vbmp3_ operation.
        codecs::setLibraryLocation(codecs::Library::Decoder,
                                   QDir(QCoreApplication::applicationDirPath()).filePath(u"libgogo.so"_qs));
        try {
            static_cast<void>(codecs::Decoder().genreName(1));
            QFAIL("no error raised");
        } catch (const codecs::CodecError& error) {
            QCOMPARE(error.operation(), u"vbmp3_getGenre"_qs);
            QVERIFY(error.description().contains(u"vbmp3_getGenre"_qs));
            QVERIFY(error.description().contains(u"libvbmp3.so"_qs));
        }
        // A table without the entry fails the same way.
        codecs::installEncoderFunctions(codecs::EncoderFunctions{});
        QVERIFY_THROWS_EXCEPTION(codecs::CodecError, static_cast<void>(codecs::Encoder().processFrame()));
    }

    void realLibrariesLoadAgainAfterReset() {
        codecs::setLibraryLocation(codecs::Library::Decoder, u"/nonexistent/libvbmp3.so"_qs);
        QVERIFY_THROWS_EXCEPTION(codecs::CodecError, static_cast<void>(codecs::Decoder().init()));
        codecs::setLibraryLocation(codecs::Library::Decoder, QString());
        QCOMPARE(codecs::Decoder().genreName(17), u"Rock"_qs);
    }
};

QTEST_GUILESS_MAIN(TestBindings)
#include "tst_bindings.moc"
