// Encoding through the program's bindings, against the real libgogo; results checked frame by frame.
#include "codec_runs.h"
#include "codecs/encoder.h"
#include "gogo.h"
#include "mp3_fixtures.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The Xing/Info quality field of the first frame (LAME fills it with 100 - 10 x VBR quality - algorithmic
// quality), found through the flags, with or without a seek table; -1 without the tag.
int xingQuality(const QByteArray& mp3, qsizetype frameLength) {
    const QByteArray first = mp3.left(frameLength);
    qsizetype at = first.indexOf("Info");
    if (at < 0)
        at = first.indexOf("Xing");
    if (at < 0 || at + 8 > first.size())
        return -1;
    const auto word = [&](qsizetype offset) {
        return quint32(quint8(first[offset])) << 24 | quint32(quint8(first[offset + 1])) << 16 |
               quint32(quint8(first[offset + 2])) << 8 | quint32(quint8(first[offset + 3]));
    };
    const quint32 flags = word(at + 4);
    qsizetype field = at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0);
    return (flags & 8) && field + 4 <= first.size() ? int(word(field)) : -1;
}

} // namespace

class TestEncoder : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(fixtures::writeFile(path("stereo.wav"), fixtures::makeWav(44100, 2, 22050)));
    }

    void versionNamesLibraryAndLame() {
        codecs::Encoder encoder;
        int number = 0;
        const QByteArray buffer = encoder.getVersion(number);
        QCOMPARE(buffer.size(), codecs::Encoder::VersionBufferSize);
        const auto text = codecs::Encoder::versionText(buffer);
        QVERIFY(text.has_value());
        QVERIFY2(text->contains(u"gogo"_qs) && text->contains(u"LAME 3."_qs), qPrintable(*text));
        QVERIFY(number > 0);
    }

    // Every bit rate and channel mode the program offers, read back from the frame headers.
    void everyBitRateAndMode() {
        const int bitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        const int headerModeOf[] = {3, 0, 1}; // mono, stereo, joint stereo as coded in the header
        for (const int bitRate : bitRates) {
            for (int mode = 0; mode < 3; ++mode) {
                const QString label = QStringLiteral("%1 kbit/s mode %2").arg(bitRate).arg(mode);
                const codecruns::EncodeRun run =
                    codecruns::encode(path("stereo.wav"), path("out.mp3"), bitRate, mode);
                QVERIFY2(run.detectResult == 0 && run.lastResult == 1, qPrintable(label));
                QVERIFY2(run.calls == run.frameCount + 1,
                         qPrintable(label)); // the last call completes the file

                const QByteArray mp3 = fixtures::readFile(path("out.mp3"));
                const auto frames = fixtures::scanFrames(mp3);
                QVERIFY2(frames.has_value() && frames->size() > 10, qPrintable(label));
                for (const fixtures::FrameHeader& frame : *frames) {
                    QVERIFY2(frame.version == 1 && frame.layer == 3 && frame.sampleRate == 44100,
                             qPrintable(label));
                    QVERIFY2(frame.bitRate == bitRate && frame.mode == headerModeOf[mode], qPrintable(label));
                }
                // The first frame carries the Info tag (CBR's name for the Xing/LAME tag) at every rate, the
                // lowest included, and says the stream was encoded at LAME's quality 4, not 3.
                QVERIFY2(mp3.mid(0, frames->front().length).contains("Info"), qPrintable(label));
                QCOMPARE(xingQuality(mp3, frames->front().length), 56);
                // With the encoder delay and padding it carries, other decoders give back exactly the
                // source's samples, also where LAME's own tag does not fit a frame.
                if (bitRate <= 64 || bitRate == 320) {
                    for (const QString& decoder : {QStringLiteral("mpg123"), QStringLiteral("ffmpeg")}) {
                        QCOMPARE(codecruns::externalSamples(decoder, path("out.mp3"), mode == 0 ? 1 : 2),
                                 qint64(22050));
                    }
                }
            }
        }
    }

    // Other rates are resampled to 44100 Hz; the Info tag lets a decoder recover the exact length.
    void resamplesToExactLength_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("mode");
        QTest::newRow("44100 stereo -> joint") << 44100 << 2 << 2;
        QTest::newRow("48000 stereo -> stereo") << 48000 << 2 << 1;
        QTest::newRow("22050 mono -> joint") << 22050 << 1 << 2;
        QTest::newRow("32000 mono -> mono") << 32000 << 1 << 0;
        QTest::newRow("11025 stereo -> mono") << 11025 << 2 << 0;
    }

    void resamplesToExactLength() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, mode);
        const qint64 samples = rate * 3 / 4;
        QVERIFY(fixtures::writeFile(path("in.wav"), fixtures::makeWav(rate, channels, samples)));
        const codecruns::EncodeRun encoded = codecruns::encode(path("in.wav"), path("re.mp3"), 128, mode);
        QCOMPARE(encoded.lastResult, 1);
        QCOMPARE(encoded.calls, encoded.frameCount + 1);

        const codecruns::DecodeRun decoded = codecruns::decode(path("re.mp3"), path("re.wav"));
        QCOMPARE(decoded.finalState, 0);
        const auto wav = fixtures::readWavHeader(fixtures::readFile(path("re.wav")));
        QVERIFY(wav.has_value());
        QCOMPARE(wav->sampleRate, 44100);
        QCOMPARE(wav->channels, mode == 0 ? 1 : 2);
        const qint64 expected = samples * 44100 / rate;
        QVERIFY2(qAbs(decoded.totalLength - expected) <= 2,
                 qPrintable(QStringLiteral("%1 vs %2").arg(decoded.totalLength).arg(expected)));
    }

    void fullDiskIsAnErrorCode() {
        QVERIFY(fixtures::writeFile(path("long.wav"), fixtures::makeWav(44100, 2, 44100 * 3)));
        const codecruns::EncodeRun run =
            codecruns::encode(path("long.wav"), QStringLiteral("/dev/full"), 320, 1);
        QCOMPARE(run.detectResult, 0);
        QVERIFY2(run.lastResult != 0 && run.lastResult != 1, qPrintable(QString::number(run.lastResult)));
    }

    void unreadableInputIs13_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("text") << QByteArray("RIFF? no, just text\n").repeated(20);
        QByteArray eightBit = fixtures::makeWav(44100, 1, 1000);
        eightBit[34] = 8; // bits per sample
        QTest::newRow("8-bit PCM") << eightBit;
        QByteArray floatWav = fixtures::makeWav(44100, 2, 1000);
        floatWav[20] = 3; // IEEE float
        QTest::newRow("float") << floatWav;
        QTest::newRow("MP3") << fixtures::makeMp3({44100, 2, 128, false, 4, 0.3}).bytes;
    }

    void unreadableInputIs13() {
        QFETCH(QByteArray, content);
        const QString input = path("bad.wav");
        QFile::remove(input);
        if (!content.isEmpty()) {
            QVERIFY(fixtures::writeFile(input, content));
        }
        QCOMPARE(codecruns::encode(input, path("bad.mp3"), 128, 1).detectResult, 13);
    }

    void settingsOutsideTheListsAreRefused_data() {
        QTest::addColumn<int>("bitRate");
        QTest::addColumn<int>("mode");
        QTest::newRow("bit rate 100") << 100 << 1;
        QTest::newRow("bit rate 0") << 0 << 1;
        QTest::newRow("mode 3") << 128 << 3;
        QTest::newRow("mode -1") << 128 << -1;
    }

    void settingsOutsideTheListsAreRefused() {
        QFETCH(int, bitRate);
        QFETCH(int, mode);
        const int rc = codecruns::encode(path("stereo.wav"), path("x.mp3"), bitRate, mode).detectResult;
        QVERIFY2(rc != 0 && rc != 13, qPrintable(QString::number(rc)));
    }

    // The two additions of the command line, set after the bit rate: a VBR quality (the bit rate item is
    // then unused) gives a Xing header; values outside their ranges are refused by the check.
    void vbrQualityAndGainItems() {
        const auto encodeWith = [&](int vbrQuality, int gain, int bitRate) {
            codecs::Encoder encoder;
            if (encoder.initializeWork() != 0)
                return -1;
            // Every item is taken as it comes; only the check judges them.
            int rc = encoder.setConfigure(codecs::Encoder::InputFile, 0, path("stereo.wav")) |
                     encoder.setConfigure(codecs::Encoder::OutputFile, 0, path("vbr.mp3")) |
                     encoder.setConfigure(codecs::Encoder::OutputRate, 44100) |
                     encoder.setConfigure(codecs::Encoder::Mode, 2) |
                     encoder.setConfigure(codecs::Encoder::BitRate, bitRate) |
                     encoder.setConfigure(codecs::Encoder::VbrQuality, vbrQuality) |
                     encoder.setConfigure(codecs::Encoder::Gain, gain);
            if (rc == 0)
                rc = encoder.detectConfigure();
            while (rc == 0)
                rc = encoder.processFrame();
            encoder.closeCoder();
            encoder.endCoder();
            return rc;
        };
        QCOMPARE(encodeWith(2, -600, 0), 1);
        const QByteArray mp3 = fixtures::readFile(path("vbr.mp3"));
        const auto frames = fixtures::scanFrames(mp3);
        QVERIFY(frames.has_value() && frames->size() > 10);
        QVERIFY(mp3.mid(0, frames->front().length).contains("Xing"));
        // VBR keeps LAME 3.100's own choice for -V 2 (its quality 0): 100 - 10 x 2 - 0.
        QCOMPARE(xingQuality(mp3, frames->front().length), 80);
        QCOMPARE(encodeWith(10, 0, 128), ME_BAD_VBR);
        QCOMPARE(encodeWith(-2, 0, 128), ME_BAD_VBR);
        QCOMPARE(encodeWith(-1, 6001, 128), ME_BAD_VBR);
        QCOMPARE(encodeWith(-1, 0, 100), ME_BAD_BITRATE);
    }

    void processFrameOutOfOrderFails() {
        codecs::Encoder encoder;
        QCOMPARE(encoder.initializeWork(), 0);
        const int rc = encoder.processFrame();
        QVERIFY(rc != 0 && rc != 1);
        encoder.closeCoder();
        encoder.endCoder();
        encoder.closeCoder(); // harmless when nothing is open
        encoder.endCoder();
    }
};

QTEST_GUILESS_MAIN(TestEncoder)
#include "tst_encoder.moc"
