// mp3recast-cli's options for car stereos and older players, checked with tools of their own: mutagen
// reads the tags, ffprobe the pictures, ffmpeg's ebur128 filter measures loudness and true peak.

#include "mp3_fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Result runCli(const QStringList& arguments) {
    return run(QStringLiteral(MP3RECAST_CLI), arguments);
}

// What mutagen (Debian's, beside the system Python) reads: the tag version, each frame's text as mutagen
// shows it, and the pictures' bytes in hex.
QJsonObject mutagenView(const QString& path) {
    const char* script = R"(
import json, sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
from mutagen.id3 import ID3NoHeaderError
try:
    tag = ID3(sys.argv[1], load_v1=False)
    raw = ID3(sys.argv[1], load_v1=False, translate=False)
except ID3NoHeaderError:
    tag = raw = ID3()
frames = {}
for key, frame in tag.items():
    if key.startswith('APIC'):
        frames[key] = frame.mime + ' ' + frame.data.hex()
    elif hasattr(frame, 'people'):
        frames[key] = ';'.join(role + '=' + name for role, name in frame.people)
    else:
        frames[key] = '/'.join(str(t) for t in frame.text)
info = MP3(sys.argv[1]).info
print(json.dumps({'version': '.'.join(map(str, tag.version)), 'frames': frames,
                  'stored': sorted(raw.keys()), 'vbr': str(info.bitrate_mode)}))
)";
    const Result result =
        run(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    return QJsonDocument::fromJson(result.out.toUtf8()).object();
}

struct Loudness {
    double integrated = 0;
    double truePeak = 0;
};

// Integrated loudness and true peak as ffmpeg's ebur128 filter measures the decoded file.
Loudness measure(const QString& path) {
    const Result result =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"), path,
             QStringLiteral("-af"), QStringLiteral("ebur128=peak=true"), QStringLiteral("-f"),
             QStringLiteral("null"), QStringLiteral("-")});
    const qsizetype summary = result.err.lastIndexOf(QStringLiteral("Summary:"));
    const QString tail = result.err.mid(summary);
    const auto number = [&](const QString& label) {
        const QRegularExpression pattern(label + QStringLiteral(R"(:\s+(-?[0-9.]+|-inf))"));
        return pattern.match(tail).captured(1).toDouble();
    };
    return {number(QStringLiteral("I")), number(QStringLiteral("Peak"))};
}

// Pink noise at a gain, encoded by ffmpeg's LAME: its loudness lies near `gainDb` - 21.2 LUFS.
bool makeNoise(const QString& path, double gainDb, const QString& extra = QString()) {
    const QString filter =
        QStringLiteral("anoisesrc=d=6:c=pink:a=0.5:seed=7,volume=%1dB").arg(gainDb) + extra;
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                QStringLiteral("lavfi"), QStringLiteral("-i"), filter, QStringLiteral("-ac"),
                QStringLiteral("2"), QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-c:a"),
                QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("192k"),
                QStringLiteral("-id3v2_version"), QStringLiteral("0"), path})
               .exitCode == 0;
}

QByteArray jpeg(int width, int height, bool progressive) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(80);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return buffer.data();
}

QByteArray picture(const QByteArray& mime, const QByteArray& data) {
    return fixtures::id3v2Frame(4, "APIC", fixtures::picturePayload(mime, data));
}

QByteArray userText(const QByteArray& description, const QByteArray& value) {
    return fixtures::id3v2Frame(4, "TXXX", QByteArray(1, '\0') + description + '\0' + value);
}

QString ffprobeVideo(const QString& path, const QString& entries) {
    return run(QStringLiteral("ffprobe"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                QStringLiteral("v"), QStringLiteral("-show_entries"), QStringLiteral("stream=") + entries,
                QStringLiteral("-of"), QStringLiteral("csv=p=0"), path})
        .out.trimmed();
}

} // namespace

class TestCliPlayers : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    QString path(const QString& name) const { return root.filePath(name); }

    // A tone with a version 2.4 tag of the given frames in front.
    QString tagged(const QString& name, const QList<QByteArray>& frames) {
        fixtures::ToneSpec spec;
        spec.seconds = 1.0;
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        fixtures::writeFile(file, fixtures::id3v2Tag(4, frames, 64) + fixtures::makeMp3(spec).bytes);
        return file;
    }

  private slots:
    void badValuesAreUsageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("vbr 10") << QStringList{QStringLiteral("--vbr"), QStringLiteral("10")};
        QTest::newRow("vbr and bit rate") << QStringList{QStringLiteral("--vbr"), QStringLiteral("2"),
                                                         QStringLiteral("-b"), QStringLiteral("128")};
        QTest::newRow("cover 8 px") << QStringList{QStringLiteral("--cover-max"), QStringLiteral("8")};
        QTest::newRow("normalize loud") << QStringList{QStringLiteral("--normalize=loud")};
        QTest::newRow("target -3") << QStringList{QStringLiteral("--normalize"), QStringLiteral("--target"),
                                                  QStringLiteral("-3")};
        QTest::newRow("target alone") << QStringList{QStringLiteral("--target"), QStringLiteral("-14")};
    }
    void badValuesAreUsageErrors() {
        QFETCH(QStringList, arguments);
        const Result result = runCli(arguments + QStringList{QStringLiteral("-o"), path(QStringLiteral("x")),
                                                             path(QStringLiteral("none.mp3"))});
        QCOMPARE(result.exitCode, 2);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("x"))));
    }

    // A 2.4 tag as taggers write it becomes a 2.3 tag with the same texts; the frame without a 2.3 form
    // is named on stderr; the cover and the other frames are kept; without the option the tag stays 2.4.
    void id3v23KeepsEveryText() {
        const QByteArray cover = jpeg(64, 48, false);
        const QString source = tagged(
            QStringLiteral("v24/song.mp3"),
            {fixtures::id3v2Frame(
                 4, "TIT2", fixtures::textPayload(fixtures::Encoding::Utf8, QStringLiteral("夜明けのうた"))),
             fixtures::id3v2Frame(4, "TPE1", QByteArray("\x03") + "歌手" + '\0' + "Guest"),
             fixtures::id3v2Frame(
                 4, "TDRC",
                 fixtures::textPayload(fixtures::Encoding::Latin1, QStringLiteral("2024-05-17T13:45"))),
             fixtures::id3v2Frame(4, "TDOR",
                                  fixtures::textPayload(fixtures::Encoding::Latin1, QStringLiteral("1999"))),
             fixtures::id3v2Frame(
                 4, "TIPL", QByteArray("\x03") + "producer" + '\0' + "山田" + '\0' + "mix" + '\0' + "Bob"),
             fixtures::id3v2Frame(
                 4, "TSST", fixtures::textPayload(fixtures::Encoding::Latin1, QStringLiteral("Disc 1"))),
             fixtures::id3v2Frame(
                 4, "COMM", fixtures::commentPayload(fixtures::Encoding::Utf8, QStringLiteral("コメント"))),
             picture("image/jpeg", cover)});
        const QByteArray before = fixtures::readFile(source);

        const Result result =
            runCli({QStringLiteral("--id3v23"), QStringLiteral("-o"), path(QStringLiteral("v23")), source});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(
            result.err.contains(QStringLiteral("note: ID3v2.3: dropped frames without a 2.3 form: TSST")),
            qPrintable(result.err));
        const QString output = path(QStringLiteral("v23/song.mp3"));
        const QJsonObject view = mutagenView(output);
        QCOMPARE(view.value(QStringLiteral("version")).toString(), QStringLiteral("2.3.0"));
        const QJsonObject frames = view.value(QStringLiteral("frames")).toObject();
        QCOMPARE(frames.value(QStringLiteral("TIT2")).toString(), QStringLiteral("夜明けのうた"));
        QCOMPARE(frames.value(QStringLiteral("TPE1")).toString(), QStringLiteral("歌手/Guest"));
        QCOMPARE(frames.value(QStringLiteral("TDRC")).toString(), QStringLiteral("2024-05-17 13:45:00"));
        QCOMPARE(frames.value(QStringLiteral("TDOR")).toString(), QStringLiteral("1999"));
        QCOMPARE(frames.value(QStringLiteral("TIPL")).toString(), QStringLiteral("producer=山田;mix=Bob"));
        QCOMPARE(frames.value(QStringLiteral("COMM::eng")).toString(), QStringLiteral("コメント"));
        QCOMPARE(frames.value(QStringLiteral("APIC:cover")).toString(),
                 QStringLiteral("image/jpeg ") + QString::fromLatin1(cover.toHex()));
        QVERIFY(!frames.contains(QStringLiteral("TSST")));
        // Stored as the 2.3 frames, not as 2.4 ones a 2.3 reader would not know.
        const QStringList stored = view.value(QStringLiteral("stored")).toVariant().toStringList();
        for (const QString& id : {QStringLiteral("TYER"), QStringLiteral("TDAT"), QStringLiteral("TIME"),
                                  QStringLiteral("TORY"), QStringLiteral("IPLS")})
            QVERIFY2(stored.contains(id), qPrintable(stored.join(QLatin1Char(' '))));
        QCOMPARE(fixtures::readFile(source), before);

        const Result plain = runCli({QStringLiteral("-o"), path(QStringLiteral("v24out")), source});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(
            mutagenView(path(QStringLiteral("v24out/song.mp3"))).value(QStringLiteral("version")).toString(),
            QStringLiteral("2.4.0"));
    }

    // Covers a car stereo can show: a large progressive JPEG and a PNG become baseline JPEGs within the
    // limit, aspect kept; a small baseline JPEG stays byte for byte; a picture that is no image is kept
    // with a note.
    void coversBecomeSmallBaselineJpegs() {
        const QByteArray huge = jpeg(3000, 3000, true);
        const QByteArray small = jpeg(300, 200, false);
        QImage wide(1200, 600, QImage::Format_ARGB32);
        wide.fill(qRgba(200, 10, 10, 128));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        wide.save(&png, "PNG");
        const QString folder = path(QStringLiteral("covers"));
        const QString hugeSource = tagged(QStringLiteral("covers/huge.mp3"), {picture("image/jpeg", huge)});
        fixtures::writeFile(path(QStringLiteral("huge.jpg")), huge);
        QCOMPARE(ffprobeVideo(path(QStringLiteral("huge.jpg")), QStringLiteral("profile")),
                 QStringLiteral("Progressive"));
        tagged(QStringLiteral("covers/small.mp3"), {picture("image/jpeg", small)});
        tagged(QStringLiteral("covers/wide.mp3"), {picture("image/png", png.data())});
        tagged(QStringLiteral("covers/broken.mp3"), {picture("image/jpeg", "not an image")});

        const Result result = runCli({QStringLiteral("--cover-max"), QStringLiteral("500"),
                                      QStringLiteral("-o"), path(QStringLiteral("covers-out")), folder});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err.count(QStringLiteral("note: a picture could not be decoded")), 1);
        QVERIFY(result.err.contains(QStringLiteral("broken.mp3: note:")));
        const auto cover = [&](const QString& name) {
            const QString picture = path(QStringLiteral("covers-out/") + name + QStringLiteral(".jpg"));
            const QString text =
                mutagenView(path(QStringLiteral("covers-out/") + name + QStringLiteral(".mp3")))
                    .value(QStringLiteral("frames"))
                    .toObject()
                    .value(QStringLiteral("APIC:cover"))
                    .toString();
            fixtures::writeFile(picture, QByteArray::fromHex(text.section(QLatin1Char(' '), 1).toLatin1()));
            return text.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ') +
                   ffprobeVideo(picture, QStringLiteral("profile,width,height"));
        };
        QCOMPARE(cover(QStringLiteral("huge")), QStringLiteral("image/jpeg Baseline,500,500"));
        QCOMPARE(cover(QStringLiteral("wide")), QStringLiteral("image/jpeg Baseline,500,250"));
        cover(QStringLiteral("small"));
        cover(QStringLiteral("broken"));
        QCOMPARE(fixtures::readFile(path(QStringLiteral("covers-out/small.jpg"))), small);
        QCOMPARE(fixtures::readFile(path(QStringLiteral("covers-out/broken.jpg"))),
                 QByteArray("not an image"));
        QVERIFY(fixtures::readFile(path(QStringLiteral("covers-out/huge.mp3"))).size() <
                fixtures::readFile(hugeSource).size());
    }

    // A quiet and a loud file both come out at the target, their true peak at most -1 dBTP, the gain
    // recorded and the source's ReplayGain frames gone; whatever the number of workers, the same files.
    // A quiet file with loud clicks gets less gain instead of clipping.
    void normalizeReachesTheTarget() {
        const QString folder = path(QStringLiteral("loudness"));
        QDir().mkpath(folder);
        QVERIFY(makeNoise(folder + QStringLiteral("/quiet.mp3"), -8.8));
        QVERIFY(makeNoise(folder + QStringLiteral("/loud.mp3"), 13.5));
        // Clicks of nearly full scale once a second over quiet noise: loudness near -30, peak near 0.
        QVERIFY(
            makeNoise(folder + QStringLiteral("/clicks.mp3"), -8.8,
                      QStringLiteral(",aeval=exprs=val(0)+if(lt(mod(t\\,1)\\,0.0005)\\,0.9\\,0)|val(1)")));
        QVERIFY(qAbs(measure(folder + QStringLiteral("/quiet.mp3")).integrated + 30) < 1.0);
        QVERIFY(qAbs(measure(folder + QStringLiteral("/loud.mp3")).integrated + 8) < 1.0);
        const QByteArray loudBytes = fixtures::readFile(folder + QStringLiteral("/loud.mp3"));
        fixtures::writeFile(
            folder + QStringLiteral("/loud.mp3"),
            fixtures::id3v2Tag(4, {userText("REPLAYGAIN_TRACK_GAIN", "+3.00 dB"),
                                   userText("replaygain_album_gain", "+2.00 dB"), userText("Mood", "calm")}) +
                loudBytes);

        QMap<QString, QByteArray> first;
        for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("2")}) {
            const QString out = path(QStringLiteral("loudness-j") + jobs);
            const Result result = runCli({QStringLiteral("-j"), jobs, QStringLiteral("--normalize"),
                                          QStringLiteral("-o"), out, folder});
            QCOMPARE(result.exitCode, 0);
            QMap<QString, QByteArray> files;
            for (const QString& name :
                 {QStringLiteral("quiet.mp3"), QStringLiteral("loud.mp3"), QStringLiteral("clicks.mp3")})
                files.insert(name, fixtures::readFile(out + QLatin1Char('/') + name));
            if (first.isEmpty())
                first = files;
            else
                QCOMPARE(files, first);
        }
        const QString out = path(QStringLiteral("loudness-j1/"));
        for (const QString& name : {QStringLiteral("quiet.mp3"), QStringLiteral("loud.mp3")}) {
            const Loudness measured = measure(out + name);
            QVERIFY2(qAbs(measured.integrated + 16) <= 0.5,
                     qPrintable(name + QString::number(measured.integrated)));
            QVERIFY2(measured.truePeak <= -1.0, qPrintable(name + QString::number(measured.truePeak)));
        }
        const Loudness clicks = measure(out + QStringLiteral("clicks.mp3"));
        QVERIFY2(clicks.truePeak <= -1.0, qPrintable(QString::number(clicks.truePeak)));
        QVERIFY(clicks.integrated < -17);

        const QJsonObject frames =
            mutagenView(out + QStringLiteral("loud.mp3")).value(QStringLiteral("frames")).toObject();
        QCOMPARE(frames.keys(),
                 (QStringList{QStringLiteral("TXXX:MP3RECAST_GAIN"), QStringLiteral("TXXX:Mood")}));
        QVERIFY(frames.value(QStringLiteral("TXXX:MP3RECAST_GAIN"))
                    .toString()
                    .contains(QStringLiteral(" dB; track; measured -")));
    }

    // The target is reached at low bit rates too, where LAME's low-pass takes part of the energy the source
    // was measured on (2 LU at 32 kbit/s for pink noise): excerpts encoded at the run's settings tell the
    // loss, and the gain makes up for it, per track and for an album.
    void normalizeReachesTheTargetAtLowRates_data() {
        QTest::addColumn<QString>("bitRate");
        QTest::addColumn<QString>("mode");
        QTest::newRow("32 track") << QStringLiteral("32") << QStringLiteral("track");
        QTest::newRow("128 track") << QStringLiteral("128") << QStringLiteral("track");
        QTest::newRow("32 album") << QStringLiteral("32") << QStringLiteral("album");
        QTest::newRow("128 album") << QStringLiteral("128") << QStringLiteral("album");
    }
    void normalizeReachesTheTargetAtLowRates() {
        QFETCH(QString, bitRate);
        QFETCH(QString, mode);
        const QString folder = path(QStringLiteral("low-rate-") + bitRate + mode);
        QDir().mkpath(folder);
        for (const char* name : {"a", "b"}) {
            // 30 s of pink noise and a tone, so that the loss is measured on excerpts, not the whole file.
            const QString filter = QStringLiteral("anoisesrc=d=30:c=pink:a=0.3:seed=%1,volume=-6dB")
                                       .arg(name[0] == 'a' ? 3 : 11);
            QVERIFY(run(QStringLiteral("ffmpeg"),
                        {QStringLiteral("-v"),
                         QStringLiteral("error"),
                         QStringLiteral("-y"),
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         filter,
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         QStringLiteral("sine=f=900:d=30"),
                         QStringLiteral("-filter_complex"),
                         QStringLiteral("amix=inputs=2"),
                         QStringLiteral("-ac"),
                         QStringLiteral("2"),
                         QStringLiteral("-ar"),
                         QStringLiteral("44100"),
                         QStringLiteral("-c:a"),
                         QStringLiteral("libmp3lame"),
                         QStringLiteral("-b:a"),
                         QStringLiteral("256k"),
                         folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".mp3")})
                        .exitCode == 0);
        }
        const QString out = folder + QStringLiteral("-out");
        const Result result = runCli({QStringLiteral("-b"), bitRate, QStringLiteral("--normalize=") + mode,
                                      QStringLiteral("-o"), out, folder});
        QCOMPARE(result.exitCode, 0);
        for (const char* name : {"/a.mp3", "/b.mp3"}) {
            const Loudness measured = measure(out + QLatin1String(name));
            QVERIFY2(
                qAbs(measured.integrated + 16) <= 0.3,
                qPrintable(QLatin1String(name) + QStringLiteral(" at %1 LUFS").arg(measured.integrated)));
            QVERIFY(measured.truePeak <= -1.0);
        }
        QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).size() == 2);
    }

    // Album: every file of the folder gets the same gain, so their difference in loudness stays.
    void albumKeepsTheDifference() {
        const QString folder = path(QStringLiteral("album"));
        QDir().mkpath(folder);
        QVERIFY(makeNoise(folder + QStringLiteral("/a.mp3"), -8.8));
        QVERIFY(makeNoise(folder + QStringLiteral("/b.mp3"), 1.2));
        const QString out = path(QStringLiteral("album-out/"));
        // Only b is converted, in this process, but the whole folder is measured.
        const Result result =
            runCli({QStringLiteral("--normalize=album"), QStringLiteral("--target"), QStringLiteral("-18"),
                    QStringLiteral("-o"), out, folder + QStringLiteral("/b.mp3")});
        QCOMPARE(result.exitCode, 0);
        const QByteArray firstB = fixtures::readFile(out + QStringLiteral("b.mp3"));
        // Both again, by two workers: the folder's loudness travels to them with the jobs.
        const Result rest = runCli({QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--overwrite"),
                                    QStringLiteral("--normalize=album"), QStringLiteral("--target"),
                                    QStringLiteral("-18"), QStringLiteral("-o"), out, folder});
        QCOMPARE(rest.exitCode, 0);
        const auto gain = [&](const QString& name) {
            return mutagenView(out + name)
                .value(QStringLiteral("frames"))
                .toObject()
                .value(QStringLiteral("TXXX:MP3RECAST_GAIN"))
                .toString();
        };
        QVERIFY(gain(QStringLiteral("a.mp3")).contains(QStringLiteral("; album; ")));
        QCOMPARE(gain(QStringLiteral("a.mp3")), gain(QStringLiteral("b.mp3")));
        const double a = measure(out + QStringLiteral("a.mp3")).integrated;
        const double b = measure(out + QStringLiteral("b.mp3")).integrated;
        QVERIFY2(qAbs(b - a - 10) < 0.5, qPrintable(QStringLiteral("%1 %2").arg(a).arg(b)));
        QVERIFY(b > -18 && a < -18);
        QCOMPARE(fixtures::readFile(out + QStringLiteral("b.mp3")), firstB);
    }

    // With the library sync options: the player options are settings of the record (a run without them
    // converts again), a VBR target is compared by LAME's typical average for its quality, and a file to
    // be normalized is never copied.
    void syncKnowsThePlayerOptions() {
        const QString source = tagged(QStringLiteral("sync/a.mp3"), {userText("Mood", "calm")});
        const QString out = path(QStringLiteral("sync-out"));
        const auto summary = [&](const QStringList& options) {
            const Result result = runCli(options + QStringList{QStringLiteral("-o"), out, source});
            return result.out.section(QLatin1Char(';'), 0, 0).trimmed();
        };
        const QStringList update{QStringLiteral("--update"), QStringLiteral("--id3v23")};
        QVERIFY(summary(update).startsWith(QStringLiteral("converted 1,")));
        QVERIFY(summary(update).startsWith(QStringLiteral("converted 0,")));
        QVERIFY(summary({QStringLiteral("--update")}).startsWith(QStringLiteral("converted 1,")));
        // The source is 128 kbit/s: -V2 (about 190) would not make it better, -V9 (about 65) smaller.
        const QStringList copy{QStringLiteral("--overwrite"), QStringLiteral("--no-upscale"),
                               QStringLiteral("--vbr")};
        QVERIFY(summary(copy + QStringList{QStringLiteral("2")})
                    .startsWith(QStringLiteral("converted 0, copied 1")));
        QVERIFY(summary(copy + QStringList{QStringLiteral("9")})
                    .startsWith(QStringLiteral("converted 1, copied 0")));
        QVERIFY(summary(copy + QStringList{QStringLiteral("2"), QStringLiteral("--normalize")})
                    .startsWith(QStringLiteral("converted 1, copied 0")));
    }

    // --vbr 2: a VBR stream with a Xing/LAME header, decoded to exactly the source's length.
    void vbrKeepsTheExactLength() {
        fixtures::ToneSpec spec;
        spec.seconds = 3.3;
        const fixtures::Mp3 source = fixtures::makeMp3(spec);
        QDir().mkpath(path(QStringLiteral("vbr")));
        fixtures::writeFile(path(QStringLiteral("vbr/tone.mp3")), source.bytes);
        const Result result = runCli({QStringLiteral("--vbr"), QStringLiteral("2"), QStringLiteral("-o"),
                                      path(QStringLiteral("vbr-out")), path(QStringLiteral("vbr/tone.mp3"))});
        QCOMPARE(result.exitCode, 0);
        const QString output = path(QStringLiteral("vbr-out/tone.mp3"));
        const QByteArray bytes = fixtures::readFile(output);
        QVERIFY(bytes.left(400).contains("Xing"));
        QCOMPARE(mutagenView(output).value(QStringLiteral("vbr")).toString(),
                 QStringLiteral("BitrateMode.VBR"));
        QProcess decode;
        decode.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), output,
                      QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
        QVERIFY(decode.waitForFinished(60000));
        QCOMPARE(decode.readAllStandardOutput().size() / 4, source.samples);
    }
};

QTEST_GUILESS_MAIN(TestCliPlayers)
#include "tst_cli_players.moc"
