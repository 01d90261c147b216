// Decoding through the program's bindings into WAV work files, against the real libvbmp3.
#include "codec_runs.h"
#include "codecs/decoder.h"
#include "mp3_fixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

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

    // Decodes a file that must open and decode cleanly; the PCM data of its WAV, which must hold exactly
    // the promised length.
    QByteArray decodedPcm(const QByteArray& mp3, const char* name) {
        const QString mp3Path = path(name);
        const QString wavPath = mp3Path + u".wav"_qs;
        if (!fixtures::writeFile(mp3Path, mp3)) {
            return "not written";
        }
        const codecruns::DecodeRun run = codecruns::decode(mp3Path, wavPath);
        const QByteArray wav = fixtures::readFile(wavPath);
        const auto header = fixtures::readWavHeader(wav);
        if (!run.opened || run.finalState != 0 || !header || run.lastPosition != run.totalLength ||
            header->dataBytes != qint64(run.totalLength) * header->channels * 2) {
            qWarning("%s: opened %d, state %d, length %d, position %d", name, run.opened, run.finalState,
                     run.totalLength, run.lastPosition);
            return "failed";
        }
        return wav.mid(header->dataOffset);
    }

    static int peak(const QByteArray& pcm) {
        int result = 0;
        for (qsizetype i = 0; i + 1 < pcm.size(); i += 2) {
            result = std::max(result, std::abs(int(qint16(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8)))));
        }
        return result;
    }

    // Byte offsets of the frames of a clean file's audio.
    static QList<qsizetype> frameOffsets(const QByteArray& mp3) {
        QList<qsizetype> offsets;
        qsizetype at = 0;
        const auto frames = fixtures::scanFrames(mp3);
        for (const fixtures::FrameHeader& frame : frames.value()) {
            offsets.append(at);
            at += frame.length;
        }
        return offsets;
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
        QVERIFY(decoder.decodeWave(path("long.wav")));
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
        QVERIFY(!decoder.decodeWave(path("nothing.wav"))); // nothing is open
        int position = 0;
        QVERIFY(decoder.getState(position) < 0);
        QVERIFY(!QFile::exists(path("nothing.wav")));
        decoder.free();
        decoder.free();
    }

    // Chains of false frame headers in noise are no stream; real frames inside a RIFF wrapper are.
    void acceptsOnlyConsistentStreams() {
        QByteArray noiseWav = fixtures::makeWav(22050, 2, 22050 * 20);
        noiseWav.replace(44, noiseWav.size() - 44, fixtures::randomBytes(noiseWav.size() - 44, 7));
        QVERIFY(fixtures::writeFile(path("noise.mp3"), noiseWav));
        QVERIFY(!codecruns::decode(path("noise.mp3"), path("noise.wav")).opened);
        // Noise with pairs of matching MPEG-2 layer II headers (22050 Hz, 64 kbit/s: 417-byte frames) in it.
        QByteArray planted = fixtures::randomBytes(1 << 20, 3);
        for (qsizetype at = 1000; at + 1000 < planted.size(); at += 9000) {
            planted.replace(at, 4, QByteArray("\xFF\xF4\x80\xC4", 4));
            planted.replace(at + 417, 4, QByteArray("\xFF\xF4\x80\xC4", 4));
        }
        QVERIFY(fixtures::writeFile(path("planted.mp3"), planted));
        QVERIFY(!codecruns::decode(path("planted.mp3"), path("planted.wav")).opened);

        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 1.0});
        QByteArray riff = fixtures::makeWav(44100, 2, 0);
        riff.replace(20, 2, QByteArray("\x55\x00", 2)); // format tag: MPEG layer 3
        riff.replace(40, 4, QByteArray::fromRawData("\0\0\0\0", 4));
        qToLittleEndian<quint32>(quint32(mp3.bytes.size()), riff.data() + 40);
        QCOMPARE(decodedPcm(riff + mp3.bytes, "riff.mp3").size(), mp3.samples * 4);
    }

    // Damage is skipped, never turned into sound, and every length reported is the length written.
    void damageCostsOnlyTheDamagedFrames() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 3.0});
        const QByteArray clean = decodedPcm(mp3.bytes, "clean.mp3");
        QCOMPARE(clean.size(), mp3.samples * 4);

        QByteArray damaged = mp3.bytes;
        damaged.insert(damaged.size() / 2 + 17, fixtures::randomBytes(200 * 1024, 99));
        const QByteArray pcm = decodedPcm(damaged, "damaged.mp3");
        QVERIFY2(pcm.size() > clean.size() * 9 / 10 && pcm.size() <= clean.size(),
                 qPrintable(QString::number(pcm.size())));
        QVERIFY2(peak(pcm) <= peak(clean) * 11 / 10, qPrintable(QString::number(peak(pcm))));

        // A frame count in the Info frame that lies: the audio is all there and the start still trimmed.
        const qsizetype count = mp3.bytes.indexOf("Info") + 8;
        QVERIFY(count > 8 && (mp3.bytes[count - 1] & 1) != 0);
        for (const quint32 lie : {1u, 0xFFFFFFFFu}) {
            QByteArray lying = mp3.bytes;
            qToBigEndian(lie, lying.data() + count);
            const QByteArray out = decodedPcm(lying, "lying.mp3");
            QVERIFY(out.size() >= clean.size());
            QCOMPARE(out.left(clean.size()), clean);
        }
    }

    // A cut last frame and what follows the frames are not audio errors; a cut file keeps its gapless
    // start, and a tag behind a cut frame does not change the audio.
    void cutFilesAndTrailingTags() {
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 2.0});
        const QByteArray full = decodedPcm(mp3.bytes, "full.mp3");
        const QList<qsizetype> frames = frameOffsets(mp3.bytes);

        const QByteArray cut = mp3.bytes.left(frames[40] + 200);
        const QByteArray cutPcm = decodedPcm(cut, "cut.mp3");
        QVERIFY(cutPcm.size() > 30 * 1152 * 4);
        QCOMPARE(cutPcm, full.left(cutPcm.size()));
        fixtures::Id3v1Fields v1{"Cut", "", "", "", "", -1, 255};
        QCOMPARE(decodedPcm(cut + fixtures::id3v1(v1), "cut-v1.mp3"), cutPcm);

        QByteArray apeFooter("APETAGEX");
        apeFooter += QByteArray("\xD0\x07\0\0\xFF\xFF\xFF\x7F\x01\0\0\0\0\0\0\x80", 16) + QByteArray(8, '\0');
        QCOMPARE(decodedPcm(mp3.bytes + apeFooter + fixtures::id3v1(v1), "ape.mp3"), full);
    }

    // The PCM written is mpg123's, to its gapless length: CRC-protected frames (the Info frame is found and
    // the delays trimmed), free-format frames, and damaged tails whose last frame mpg123 still plays.
    void decodesAsMpg123Does_data() {
        QTest::addColumn<QByteArray>("mp3");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("encoded"); // samples that went in, when the length must equal it
        ToneSpec crc{44100, 2, 128, false, 4, 5.0};
        crc.crc = true;
        const fixtures::Mp3 protectedMp3 = fixtures::makeMp3(crc);
        QVERIFY(quint8(protectedMp3.bytes[1]) == 0xFA);
        QTest::newRow("CRC (lame -p)") << protectedMp3.bytes << 2 << protectedMp3.samples;
        ToneSpec free{44100, 2, 200, false, 4, 3.0};
        free.freeFormat = true;
        const fixtures::Mp3 freeMp3 = fixtures::makeMp3(free);
        QVERIFY((quint8(freeMp3.bytes[2]) >> 4) == 0);
        QTest::newRow("free format 200 kbit/s") << freeMp3.bytes << 2 << freeMp3.samples;
        const fixtures::Mp3 mp3 = fixtures::makeMp3({44100, 2, 128, false, 4, 6.0});
        QTest::newRow("1 KB of junk after the last frame")
            << mp3.bytes + fixtures::randomBytes(1024, 11) << 2 << mp3.samples;
        // A last frame cut short, then an APEv2 tag with header and footer whose bytes fill the frame.
        QByteArray ape =
            "APETAGEX" + QByteArray("\xD0\x07\0\0\x30\x01\0\0\x01\0\0\0\0\0\0\xA0", 16) + QByteArray(8, '\0');
        ape += QByteArray("\x02\x01\0\0\0\0\0\0Title\0Song", 18) + QByteArray(254, ' ');
        ape +=
            "APETAGEX" + QByteArray("\xD0\x07\0\0\x30\x01\0\0\x01\0\0\0\0\0\0\x80", 16) + QByteArray(8, '\0');
        QTest::newRow("APEv2 after a cut frame") << mp3.bytes.left(mp3.bytes.size() - 300) + ape << 2 << -1ll;
    }

    void decodesAsMpg123Does() {
        QFETCH(QByteArray, mp3);
        QFETCH(int, channels);
        QFETCH(qint64, encoded);
        const QByteArray pcm = decodedPcm(mp3, "like-mpg123.mp3");
        QCOMPARE(pcm.size(), codecruns::externalPcm(u"mpg123"_qs, path("like-mpg123.mp3")).size());
        QVERIFY(pcm == codecruns::externalPcm(u"mpg123"_qs, path("like-mpg123.mp3")));
        if (encoded > 0) {
            QCOMPARE(pcm.size() / (2 * channels), encoded);
        }
    }

    // Free-format headers planted in noise at a steady distance are still no stream.
    void refusesFreeFormatNoise() {
        QByteArray planted = fixtures::randomBytes(1 << 18, 21);
        for (qsizetype at = 500; at + 4 < planted.size(); at += 7000) {
            for (int k = 0; k < 2; ++k) {
                planted.replace(at + k * 653, 4, QByteArray("\xFF\xFB\x00\x64", 4));
            }
        }
        QVERIFY(fixtures::writeFile(path("free-noise.mp3"), planted));
        QVERIFY(!codecruns::decode(path("free-noise.mp3"), path("free-noise.wav")).opened);
    }

    void init() { QVERIFY(dir_.isValid()); }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
