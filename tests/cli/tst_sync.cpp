// Keeping a converted copy of a library in step with mp3recast-cli: --update redoes exactly the outputs
// whose source content or settings changed, --prune deletes only the program's own outputs of sources
// that are gone, --dry-run changes nothing, --no-upscale copies what re-encoding would spoil, and
// --keep-dates carries the sources' times over. Every case runs on a tree generated here.

#include "cli_run.h"
#include "codecs/decoder.h"
#include "core/sync/SyncRecord.h"
#include "mp3_fixtures.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray tone(double frequency, int bitRate = 128, int channels = 2, int sampleRate = 44100) {
    fixtures::ToneSpec spec;
    spec.seconds = 1.0;
    spec.frequency = frequency;
    spec.bitRate = bitRate;
    spec.channels = channels;
    spec.sampleRate = sampleRate;
    return fixtures::makeMp3(spec).bytes;
}

QByteArray titled(const QString& title, const QByteArray& audio) {
    return fixtures::id3v2Tag(
               3, {fixtures::id3v2Frame(3, "TIT2", fixtures::textPayload(fixtures::Encoding::Latin1, title))},
               64) +
           audio;
}

void shiftTime(const QString& path, int seconds) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(
        file.setFileTime(QFileInfo(path).lastModified().addSecs(seconds), QFileDevice::FileModificationTime));
}

codecs::TagRecord tagOf(const QString& path) {
    codecs::TagRecord record;
    static_cast<void>(codecs::Decoder().getFileTagInfo(path, record)); // no tag: the empty record
    return record;
}

// Writes the file, making its folder first.
bool put(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && fixtures::writeFile(path, bytes);
}

QString summaryOf(const CliResult& result) {
    return result.out.section(QLatin1Char(';'), 0, 0);
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    QString path(const QString& relative) const { return root.filePath(relative); }

    CliResult sync(const QString& out, const QString& library, const QStringList& extra = {}) {
        return runCli(QStringList{QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-r"),
                                  QStringLiteral("--update"), QStringLiteral("-o"), out} +
                      extra + QStringList{library});
    }

  private slots:
    // Each rule of --update in turn on one library: only what changed is converted again.
    void updateRedoesExactlyWhatChanged() {
        const QString lib = path(QStringLiteral("lib")), out = path(QStringLiteral("car"));
        QVERIFY(put(lib + QStringLiteral("/a.mp3"), titled(QStringLiteral("A"), tone(440))));
        QVERIFY(put(lib + QStringLiteral("/b.mp3"), titled(QStringLiteral("B"), tone(550))));
        QVERIFY(put(lib + QStringLiteral("/sub/c.mp3"), tone(660)));

        // The first run converts everything, in worker processes, and each output records its making.
        CliResult run = runCli({QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-r"),
                                QStringLiteral("--update"), QStringLiteral("-o"), out, lib});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 3, copied 0, skipped 0, failed 0, pruned 0"));
        const qint64 read = QFileInfo(lib + QStringLiteral("/a.mp3")).size() +
                            QFileInfo(lib + QStringLiteral("/b.mp3")).size() +
                            QFileInfo(lib + QStringLiteral("/sub/c.mp3")).size();
        QVERIFY2(
            run.out.contains(QStringLiteral("read %1 bytes").arg(QLocale(QLocale::English).toString(read))),
            qPrintable(run.out));
        const auto record = core::readSyncRecord(out + QStringLiteral("/sub/c.mp3"));
        QVERIFY(record);
        QCOMPARE(record->settings, QStringLiteral("b=128 m=stereo"));
        QCOMPARE(record->sourceSize, QFileInfo(lib + QStringLiteral("/sub/c.mp3")).size());
        QCOMPARE(tagOf(out + QStringLiteral("/a.mp3")).title, QStringLiteral("A"));

        const auto unchanged = [&](const QMap<QString, QByteArray>& before) {
            const CliResult again = sync(out, lib);
            QCOMPARE(again.exitCode, 0);
            QVERIFY2(summaryOf(again).startsWith(QStringLiteral("converted 0, copied 0")),
                     qPrintable(again.out));
            QCOMPARE(tree(out), before);
        };
        QMap<QString, QByteArray> before = tree(out);
        unchanged(before);

        // A source touched without being changed.
        shiftTime(lib + QStringLiteral("/a.mp3"), 3600);
        unchanged(before);

        // An output whose tag the user edited stays, with the edit.
        codecs::TagRecord edited = tagOf(out + QStringLiteral("/a.mp3"));
        edited.title = QStringLiteral("My A");
        QVERIFY(codecs::Decoder().setTagInfo(out + QStringLiteral("/a.mp3"), edited));
        before = tree(out);
        unchanged(before);

        // A source whose tag was edited, and one whose audio was replaced by other audio of the same size.
        codecs::TagRecord retitled = tagOf(lib + QStringLiteral("/b.mp3"));
        retitled.title = QStringLiteral("B2");
        QVERIFY(codecs::Decoder().setTagInfo(lib + QStringLiteral("/b.mp3"), retitled));
        const QByteArray other = tone(770);
        QCOMPARE(other.size(), fixtures::readFile(lib + QStringLiteral("/sub/c.mp3")).size());
        QVERIFY(put(lib + QStringLiteral("/sub/c.mp3"), other));
        run = sync(out, lib);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 2, copied 0, skipped 1, failed 0, pruned 0"));
        QCOMPARE(tagOf(out + QStringLiteral("/b.mp3")).title, QStringLiteral("B2"));
        QVERIFY(tree(out).value(QStringLiteral("sub/c.mp3")) != before.value(QStringLiteral("sub/c.mp3")));
        QCOMPARE(tree(out).value(QStringLiteral("a.mp3")), before.value(QStringLiteral("a.mp3")));

        // An output the program did not make is kept, with a note, unless --overwrite.
        QVERIFY(put(lib + QStringLiteral("/d.mp3"), tone(880)));
        QVERIFY(put(out + QStringLiteral("/d.mp3"), tone(990)));
        run = sync(out, lib);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 0, copied 0, skipped 4, failed 0, pruned 0"));
        QVERIFY(run.err.contains(QStringLiteral("d.mp3 was not made by mp3recast-cli")));
        QCOMPARE(fixtures::readFile(out + QStringLiteral("/d.mp3")), tone(990));
        run = sync(out, lib, {QStringLiteral("--overwrite")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 1, copied 0, skipped 3, failed 0, pruned 0"));
        QVERIFY(core::readSyncRecord(out + QStringLiteral("/d.mp3")));

        // Another bit rate makes every output out of date.
        run = sync(out, lib, {QStringLiteral("-b"), QStringLiteral("96")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 4, copied 0, skipped 0, failed 0, pruned 0"));
        QCOMPARE(fixtures::scanFrames(fixtures::readFile(out + QStringLiteral("/a.mp3")))->last().bitRate,
                 96);
    }

    // Edits that keep the size: one in the middle of the audio with a new time is seen by the hash of the
    // whole content; a tag edit that also keeps the time passes the quick check, and --checksum sees it.
    void editsOfTheSameSize() {
        const QString lib = path(QStringLiteral("same-size")), out = path(QStringLiteral("same-size-out"));
        fixtures::ToneSpec spec;
        spec.seconds = 30.0; // about 480 KB
        const QByteArray audio = fixtures::makeMp3(spec).bytes;
        spec.frequency = 880.0;
        const QByteArray otherAudio = fixtures::makeMp3(spec).bytes;
        const QString source = lib + QStringLiteral("/a.mp3");
        QVERIFY(put(source, titled(QStringLiteral("A"), audio)));
        QCOMPARE(summaryOf(sync(out, lib)),
                 QStringLiteral("converted 1, copied 0, skipped 0, failed 0, pruned 0"));
        const QByteArray first = fixtures::readFile(out + QStringLiteral("/a.mp3"));

        QByteArray edited = fixtures::readFile(source);
        QVERIFY(edited.size() > 280'000 && otherAudio.size() > 280'000);
        edited.replace(200'000, 80'000, otherAudio.mid(200'000, 80'000));
        QVERIFY(put(source, edited));
        shiftTime(source, 60);
        CliResult run = sync(out, lib);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 1, copied 0, skipped 0, failed 0, pruned 0"));
        const QByteArray second = fixtures::readFile(out + QStringLiteral("/a.mp3"));
        QVERIFY(second != first);

        const QDateTime time = QFileInfo(source).lastModified();
        edited.replace(edited.indexOf("A"), 1, "Z"); // the title, in place
        QVERIFY(put(source, edited));
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        run = sync(out, lib);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 0, copied 0, skipped 1, failed 0, pruned 0"));
        run = sync(out, lib, {QStringLiteral("--checksum")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 1, copied 0, skipped 0, failed 0, pruned 0"));
        QCOMPARE(tagOf(out + QStringLiteral("/a.mp3")).title, QStringLiteral("Z"));
        run = sync(out, lib, {QStringLiteral("--checksum")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 0, copied 0, skipped 1, failed 0, pruned 0"));
    }

    // --prune deletes the program's outputs of vanished sources and the folders they leave empty; a file
    // without the record, a link and anything outside the destination stay. --dry-run only tells.
    void pruneAndDryRun() {
        const QString lib = path(QStringLiteral("plib")), out = path(QStringLiteral("pout"));
        QVERIFY(put(lib + QStringLiteral("/x.mp3"), titled(QStringLiteral("X"), tone(440))));
        QVERIFY(put(lib + QStringLiteral("/gone/deep/y.mp3"), tone(550)));
        QVERIFY(put(lib + QStringLiteral("/gone/z.mp3"), tone(660)));
        QCOMPARE(sync(out, lib, {QStringLiteral("--prune")}).exitCode, 0);
        QVERIFY(put(out + QStringLiteral("/foreign.mp3"), tone(770)));
        const QString outside = path(QStringLiteral("outside.mp3"));
        QVERIFY(QFile::copy(out + QStringLiteral("/x.mp3"), outside));
        QVERIFY(QFile::link(outside, out + QStringLiteral("/link.mp3")));

        QVERIFY(QDir(lib + QStringLiteral("/gone")).removeRecursively());
        codecs::TagRecord retitled = tagOf(lib + QStringLiteral("/x.mp3"));
        retitled.title = QStringLiteral("X2");
        QVERIFY(codecs::Decoder().setTagInfo(lib + QStringLiteral("/x.mp3"), retitled));

        const QMap<QString, QByteArray> before = tree(out);
        const CliResult dry = sync(out, lib, {QStringLiteral("--prune"), QStringLiteral("-n")});
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(tree(out), before);
        QVERIFY(QFileInfo(out + QStringLiteral("/gone/deep")).isDir());
        const QStringList lines = dry.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("convert ") + lib + QStringLiteral("/x.mp3 -> ")));
        QCOMPARE(lines[1], QStringLiteral("prune ") + out + QStringLiteral("/gone/z.mp3"));
        QCOMPARE(lines[2], QStringLiteral("prune ") + out + QStringLiteral("/gone/deep/y.mp3"));
        QVERIFY(lines[3].startsWith(QStringLiteral(
            "dry run, nothing changed: converted 1, copied 0, skipped 0, failed 0, pruned 2;")));

        // With an input missing (a library not mounted), nothing is pruned.
        CliResult run = sync(out, lib, {QStringLiteral("--prune"), path(QStringLiteral("not-mounted"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QStringLiteral("not pruning")));
        QVERIFY(QFileInfo::exists(out + QStringLiteral("/gone/z.mp3")));

        run = sync(out, lib, {QStringLiteral("--prune")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(summaryOf(run), QStringLiteral("converted 0, copied 0, skipped 1, failed 0, pruned 2"));
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("/gone")));
        QCOMPARE(tree(out).keys(), (QStringList{QStringLiteral("foreign.mp3"), QStringLiteral("link.mp3"),
                                                QStringLiteral("x.mp3")}));
        QVERIFY(QFileInfo(outside).isFile());
    }

    // --no-upscale copies a source that re-encoding would only spoil: its bytes, tags included, plus the
    // record. A source above the target, at another rate, or with channels the mode drops is re-encoded.
    void noUpscale_data() {
        QTest::addColumn<QByteArray>("audio");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("copied");
        fixtures::ToneSpec vbr;
        vbr.vbr = true;
        vbr.vbrQuality = 9;
        QTest::newRow("96 kbit/s stereo") << tone(440, 96) << "stereo" << true;
        QTest::newRow("128 kbit/s, joint stereo") << tone(440, 128) << "joint" << true;
        QTest::newRow("mono into stereo") << tone(440, 64, 1) << "stereo" << true;
        QTest::newRow("VBR averaging below") << fixtures::makeMp3(vbr).bytes << "stereo" << true;
        QTest::newRow("160 kbit/s") << tone(440, 160) << "stereo" << false;
        QTest::newRow("stereo into mono") << tone(440, 96) << "mono" << false;
        QTest::newRow("48 kHz") << tone(440, 96, 2, 48000) << "stereo" << false;
    }
    void noUpscale() {
        QFETCH(QByteArray, audio);
        QFETCH(QString, mode);
        QFETCH(bool, copied);
        const QString lib = path(QStringLiteral("ulib/") + QLatin1String(QTest::currentDataTag()));
        const QString out = path(QStringLiteral("uout/") + QLatin1String(QTest::currentDataTag()));
        const QByteArray source = titled(QStringLiteral("Keep me"), audio);
        QVERIFY(put(lib + QStringLiteral("/s.mp3"), source));
        const CliResult run = runCli(
            {QStringLiteral("--no-upscale"), QStringLiteral("-m"), mode, QStringLiteral("-o"), out, lib});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(summaryOf(run),
                 copied ? QStringLiteral("converted 0, copied 1, skipped 0, failed 0, pruned 0")
                        : QStringLiteral("converted 1, copied 0, skipped 0, failed 0, pruned 0"));
        const QByteArray output = fixtures::readFile(out + QStringLiteral("/s.mp3"));
        QCOMPARE(fixtures::audioPart(output) == audio, copied);
        QCOMPARE(tagOf(out + QStringLiteral("/s.mp3")).title, QStringLiteral("Keep me"));
        const auto record = core::readSyncRecord(out + QStringLiteral("/s.mp3"));
        QVERIFY(record);
        QCOMPARE(record->copied, copied);
        QCOMPARE(record->settings.endsWith(QStringLiteral(" no-upscale")), true);
    }

    // --keep-dates gives outputs their sources' times. An output converted again gets a record of its
    // own making; a plain conversion passes no record on, and the record shows in no tag field.
    void datesAndRecordsOfRecordedSources() {
        const QString lib = path(QStringLiteral("dlib")), out = path(QStringLiteral("dout"));
        QVERIFY(put(lib + QStringLiteral("/a.mp3"), titled(QStringLiteral("A"), tone(440))));
        shiftTime(lib + QStringLiteral("/a.mp3"), -86400 * 30);
        QCOMPARE(sync(out, lib, {QStringLiteral("--keep-dates")}).exitCode, 0);
        const QString output = out + QStringLiteral("/a.mp3");
        QCOMPARE(QFileInfo(output).lastModified(), QFileInfo(lib + QStringLiteral("/a.mp3")).lastModified());

        // An up-to-date output whose time is off by less than FAT keeps (2 s) is left alone: it is where a
        // FAT stick rounds the time to, and touching it would rewrite every output of every run.
        shiftTime(output, 1);
        const QDateTime rounded = QFileInfo(output).lastModified();
        QCOMPARE(sync(out, lib, {QStringLiteral("--keep-dates")}).exitCode, 0);
        QCOMPARE(QFileInfo(output).lastModified(), rounded);
        shiftTime(output, 60);
        QCOMPARE(sync(out, lib, {QStringLiteral("--keep-dates")}).exitCode, 0);
        QCOMPARE(QFileInfo(output).lastModified(), QFileInfo(lib + QStringLiteral("/a.mp3")).lastModified());

        const QString again = path(QStringLiteral("again"));
        QCOMPARE(sync(again, out).exitCode, 0);
        const auto record = core::readSyncRecord(again + QStringLiteral("/a.mp3"));
        QVERIFY(record);
        QCOMPARE(record->sourceSize, QFileInfo(output).size());
        QCOMPARE(record->sourceHash, core::contentHash(output).valueOr(QString()));

        const QString plain = path(QStringLiteral("plain"));
        QCOMPARE(runCli({QStringLiteral("-o"), plain, output}).exitCode, 0);
        QVERIFY(!core::readSyncRecord(plain + QStringLiteral("/a.mp3")));
        QCOMPARE(tagOf(plain + QStringLiteral("/a.mp3")), tagOf(output));
        QCOMPARE(tagOf(again + QStringLiteral("/a.mp3")), tagOf(output));
    }

    // A library converted where it lies is converted once: each file is then its own up-to-date output.
    void convertedInPlaceOnlyOnce() {
        const QString lib = path(QStringLiteral("inplace"));
        QVERIFY(put(lib + QStringLiteral("/a.mp3"), tone(440, 192)));
        CliResult run = sync(lib, lib, {QStringLiteral("--overwrite"), QStringLiteral("--in-place")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 1, copied 0, skipped 0, failed 0, pruned 0"));
        const QMap<QString, QByteArray> once = tree(lib);
        run = sync(lib, lib, {QStringLiteral("--overwrite"), QStringLiteral("--in-place")});
        QCOMPARE(summaryOf(run), QStringLiteral("converted 0, copied 0, skipped 1, failed 0, pruned 0"));
        QCOMPARE(tree(lib), once);
    }
};

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
