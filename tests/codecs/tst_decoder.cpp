// Decoding through the program's bindings into WAV work files, against the real libvbmp3.
#include "codec_runs.h"
#include "codecs/decoder.h"
#include "mp3_fixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using fixtures::ToneSpec;

class TestDecoder : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    // The WAV's header must describe exactly the data that follows it.
    static void checkWavConsistent(const QByteArray& wav, int channels, int rate) {
        const auto header = fixtures::readWavHeader(wav);
        QVERIFY(header.has_value());
        QCOMPARE(header->channels, channels);
        QCOMPARE(header->sampleRate, rate);
        QCOMPARE(header->bitsPerSample, 16);
        QCOMPARE(header->dataOffset + header->dataBytes, qint64(wav.size()));
        QCOMPARE(header->riffSize, qint64(wav.size()) - 8);
    }

  private slots:
    void decodesExactSampleCount_data() {
        QTest::addColumn<ToneSpec>("spec");
        QTest::newRow("44100 stereo CBR") << ToneSpec{44100, 2, 128, false, 4, 1.5};
        QTest::newRow("48000 stereo CBR") << ToneSpec{48000, 2, 192, false, 4, 1.2};
        QTest::newRow("32000 mono CBR") << ToneSpec{32000, 1, 64, false, 4, 1.0};
        QTest::newRow("22050 mono MPEG-2") << ToneSpec{22050, 1, 64, false, 4, 1.3};
        QTest::newRow("24000 stereo MPEG-2") << ToneSpec{24000, 2, 64, false, 4, 1.0};
        QTest::newRow("11025 mono MPEG-2.5") << ToneSpec{11025, 1, 32, false, 4, 1.0};
        QTest::newRow("44100 stereo VBR") << ToneSpec{44100, 2, 0, true, 2, 2.0};
        QTest::newRow("44100 mono VBR") << ToneSpec{44100, 1, 0, true, 6, 1.0};
    }

    void decodesExactSampleCount() {
        QFETCH(ToneSpec, spec);
        const fixtures::Mp3 mp3 = fixtures::makeMp3(spec);
        QVERIFY(fixtures::writeFile(path("in.mp3"), mp3.bytes));

        const codecruns::DecodeRun run = codecruns::decode(path("in.mp3"), path("out.wav"));
        QVERIFY(run.opened);
        QCOMPARE(run.totalLength, int(mp3.samples));
        QCOMPARE(run.finalState, 0);
        QVERIFY(run.positionsInRange);
        QCOMPARE(run.lastPosition, run.totalLength);

        const QByteArray wav = fixtures::readFile(path("out.wav"));
        checkWavConsistent(wav, spec.channels, spec.sampleRate);
        QCOMPARE(fixtures::readWavHeader(wav)->dataBytes, mp3.samples * spec.channels * 2);
    }

    void refusesFilesWithoutAudio_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("This is not an MP3 file, just some words.\r\n").repeated(50);
        fixtures::Id3v1Fields v1;
        v1.title = "Only a tag";
        const QByteArray v2 = fixtures::id3v2Tag(
            3,
            {fixtures::id3v2Frame(3, "TIT2", fixtures::textPayload(fixtures::Encoding::Latin1, u"Only"_qs))},
            512);
        QTest::newRow("ID3v2 and ID3v1 only") << v2 + fixtures::id3v1(v1);
        QTest::newRow("ID3v1 only") << fixtures::id3v1(v1);
        QTest::newRow("zeros") << QByteArray(20000, '\0');
    }

    void refusesFilesWithoutAudio() {
        QFETCH(QByteArray, content);
        QVERIFY(fixtures::writeFile(path("bad.mp3"), content));
        const codecruns::DecodeRun run = codecruns::decode(path("bad.mp3"), path("bad.wav"));
        QVERIFY(!run.opened);
        QCOMPARE(run.totalLength, 0);
    }

    void missingFileDoesNotOpen() {
        const codecruns::DecodeRun run = codecruns::decode(path("nowhere.mp3"), path("x.wav"));
        QVERIFY(!run.opened);
    }

    void fullDiskEndsNegative() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 2.0});
        QVERIFY(fixtures::writeFile(path("full.mp3"), mp3.bytes));
        const codecruns::DecodeRun run = codecruns::decode(path("full.mp3"), QStringLiteral("/dev/full"));
        QVERIFY(run.opened);
        QVERIFY2(run.finalState < 0, qPrintable(QString::number(run.finalState)));
    }

    void unwritableWavEndsNegative() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 1, 64, false, 4, 0.5});
        QVERIFY(fixtures::writeFile(path("ok.mp3"), mp3.bytes));
        const codecruns::DecodeRun run = codecruns::decode(path("ok.mp3"), path("no/such/folder/x.wav"));
        QVERIFY(run.opened);
        QVERIFY(run.finalState < 0);
    }

    // Junk inside the stream costs the damaged frames only.
    void skipsGarbageInTheMiddle() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 3.0});
        QByteArray damaged = mp3.bytes;
        QByteArray junk(5000, '\0');
        QRandomGenerator random(1234);
        for (char& c : junk) {
            c = static_cast<char>(random.bounded(256));
        }
        damaged.insert(damaged.size() / 2 + 17, junk);
        QVERIFY(fixtures::writeFile(path("junk.mp3"), damaged));

        const codecruns::DecodeRun run = codecruns::decode(path("junk.mp3"), path("junk.wav"));
        QVERIFY(run.opened);
        QCOMPARE(run.finalState, 0);
        const QByteArray wav = fixtures::readFile(path("junk.wav"));
        checkWavConsistent(wav, 2, 44100);
        const qint64 samples = fixtures::readWavHeader(wav)->dataBytes / 4;
        QVERIFY2(samples > mp3.samples * 9 / 10 && samples < mp3.samples * 11 / 10,
                 qPrintable(QString::number(samples)));
    }

    // Two files glued together: one output format for all of it, with all of the audio.
    void gluedStreamsKeepOneFormat() {
        const fixtures::Mp3 first = fixtures::makeMp3({44100, 2, 128, false, 4, 1.0});
        const fixtures::Mp3 second = fixtures::makeMp3({22050, 1, 32, false, 4, 1.0});
        QVERIFY(fixtures::writeFile(path("glued.mp3"), first.bytes + second.bytes));

        const codecruns::DecodeRun run = codecruns::decode(path("glued.mp3"), path("glued.wav"));
        QVERIFY(run.opened);
        QCOMPARE(run.finalState, 0);
        const QByteArray wav = fixtures::readFile(path("glued.wav"));
        checkWavConsistent(wav, 2, 44100);
        const double seconds = fixtures::readWavHeader(wav)->dataBytes / 4 / 44100.0;
        QVERIFY2(seconds > 1.9 && seconds < 2.2, qPrintable(QString::number(seconds)));
    }

    void closeStopsARunningDecode() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 20.0});
        QVERIFY(fixtures::writeFile(path("long.mp3"), mp3.bytes));
        codecs::Decoder decoder;
        QVERIFY(decoder.init());
        codecs::InputInfo info;
        QVERIFY(decoder.open(path("long.mp3"), info));
        decoder.decodeWave(path("long.wav"));
        decoder.close();
        int position = 0;
        QVERIFY(decoder.getState(position) != 1);
        QVERIFY(position < info.totalLength);
        decoder.free();
    }

    void closeAndFreeAreHarmlessWhenIdle() {
        codecs::Decoder decoder;
        decoder.close();
        decoder.free();
        decoder.close();
        QVERIFY(decoder.init());
        decoder.decodeWave(path("nothing.wav")); // nothing is open
        int position = 0;
        QVERIFY(decoder.getState(position) < 0);
        QVERIFY(!QFile::exists(path("nothing.wav")));
        decoder.free();
        decoder.free();
    }

    void init() { QVERIFY(dir_.isValid()); }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
