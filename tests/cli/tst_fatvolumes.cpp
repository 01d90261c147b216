// mp3recast-cli writing to real FAT32 and exFAT volumes, as to a USB stick for a car or a player: names
// that differ only in letter case are one file there, names with : ? and the like are refused (or, with
// --fat-names, written in full-width forms), entries keep the order they were created in, and kept dates
// survive the driver. Each case mounts an image through the FUSE drivers and skips where it cannot.

#include "FatVolume.h"
#include "cli_run.h"
#include "mp3_fixtures.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <dirent.h>

namespace {

QByteArray tone(double seconds, double frequency = 440.0) {
    fixtures::ToneSpec spec;
    spec.seconds = seconds;
    spec.frequency = frequency;
    return fixtures::makeMp3(spec).bytes;
}

bool put(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && fixtures::writeFile(path, bytes);
}

// The folder's entries in the order the driver lists them (its directory slots), dot entries left out.
QStringList entryOrder(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names << name;
    }
    ::closedir(dir);
    return names;
}

QString summaryOf(const CliResult& result) {
    return result.out.section(QLatin1Char(';'), 0, 0);
}

#define MOUNT_OR_SKIP(volume)                                                                                \
    if (!(volume).isMounted())                                                                               \
        QSKIP(qPrintable((volume).skipReason()));

} // namespace

class TestFatVolumes : public QObject {
    Q_OBJECT

  private slots:
    void kinds_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("FAT32") << int(FatVolume::Fat32);
        QTest::newRow("exFAT") << int(FatVolume::ExFat);
    }

    // Song.mp3 and song.mp3 would be one file on the stick: the second is refused before any work, naming
    // both, and later --update runs keep the first one's output instead of flipping between the two.
    // On a folder that tells case apart both are converted.
    void caseFoldedNamesCollide_data() { kinds_data(); }
    void caseFoldedNamesCollide() {
        QFETCH(int, kind);
        FatVolume volume{FatVolume::Kind(kind)};
        MOUNT_OR_SKIP(volume);
        QTemporaryDir lib;
        QVERIFY(put(lib.filePath(QStringLiteral("Song.mp3")), tone(1.0, 440)));
        QVERIFY(put(lib.filePath(QStringLiteral("song.mp3")), tone(2.0, 660)));
        QVERIFY(put(lib.filePath(QStringLiteral("other.mp3")), tone(1.0, 550)));
        const QString out = volume.filePath(QStringLiteral("music"));
        const QStringList sync{QStringLiteral("--update"), QStringLiteral("-o"), out, lib.path()};

        const CliResult first = runCli(sync);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(summaryOf(first), QStringLiteral("converted 2, copied 0, skipped 1, failed 0, pruned 0"));
        QVERIFY2(first.err.contains(lib.filePath(QStringLiteral("song.mp3"))) &&
                     first.err.contains(lib.filePath(QStringLiteral("Song.mp3"))) &&
                     first.err.contains(QStringLiteral("letter case")),
                 qPrintable(first.err));
        QCOMPARE(entryOrder(out).size(), 2);
        const QByteArray kept = fixtures::readFile(QDir(out).filePath(QStringLiteral("Song.mp3")));
        QVERIFY(!kept.isEmpty());

        for (int again = 0; again < 2; ++again) {
            const CliResult next = runCli(sync);
            QCOMPARE(next.exitCode, 0);
            QCOMPARE(summaryOf(next), QStringLiteral("converted 0, copied 0, skipped 3, failed 0, pruned 0"));
            QCOMPARE(fixtures::readFile(QDir(out).filePath(QStringLiteral("Song.mp3"))), kept);
        }

        QTemporaryDir caseTelling;
        const CliResult both = runCli({QStringLiteral("-o"), caseTelling.path(), lib.path()});
        QCOMPARE(summaryOf(both), QStringLiteral("converted 3, copied 0, skipped 0, failed 0, pruned 0"));
    }

    // A folder the stick refuses ("AC:DC") fails its own files with that cause and the rest of the library
    // is copied; with --fat-names the names are written in full-width forms, without a trailing dot, and
    // --update and --prune know them as their sources' own. (fusefat takes ASCII names only, so the
    // full-width names are tried on exFAT.)
    void refusedNames() {
        FatVolume fat(FatVolume::Fat32);
        MOUNT_OR_SKIP(fat);
        FatVolume exfat(FatVolume::ExFat);
        MOUNT_OR_SKIP(exfat);
        QTemporaryDir lib;
        QVERIFY(put(lib.filePath(QStringLiteral("AC:DC/Back.mp3")), tone(1.0)));
        QVERIFY(put(lib.filePath(QStringLiteral("Vol. 1./Why?.mp3")), tone(1.0, 550)));
        QVERIFY(put(lib.filePath(QStringLiteral("Plain/Song.mp3")), tone(1.0, 660)));

        const QString plainOut = fat.filePath(QStringLiteral("music"));
        const CliResult plain = runCli({QStringLiteral("-r"), QStringLiteral("-o"), plainOut, lib.path()});
        QCOMPARE(plain.exitCode, 1);
        QCOMPARE(summaryOf(plain), QStringLiteral("converted 1, copied 0, skipped 0, failed 2, pruned 0"));
        QVERIFY(QFileInfo::exists(QDir(plainOut).filePath(QStringLiteral("Plain/Song.mp3"))));
        QVERIFY2(plain.err.contains(QStringLiteral("AC:DC")) &&
                     plain.err.contains(QStringLiteral("名前に使えない文字")),
                 qPrintable(plain.err));

        const QString out = exfat.filePath(QStringLiteral("music"));
        const QStringList sync{QStringLiteral("-r"),
                               QStringLiteral("--fat-names"),
                               QStringLiteral("--update"),
                               QStringLiteral("--prune"),
                               QStringLiteral("-o"),
                               out,
                               lib.path()};
        const CliResult first = runCli(sync);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(summaryOf(first), QStringLiteral("converted 3, copied 0, skipped 0, failed 0, pruned 0"));
        const QStringList made = tree(out).keys();
        QCOMPARE(made, (QStringList{QStringLiteral("AC：DC/Back.mp3"), QStringLiteral("Plain/Song.mp3"),
                                    QStringLiteral("Vol. 1/Why？.mp3")}));
        const auto before = tree(out);
        const CliResult again = runCli(sync);
        QCOMPARE(summaryOf(again), QStringLiteral("converted 0, copied 0, skipped 3, failed 0, pruned 0"));
        QCOMPARE(tree(out), before);

        QVERIFY(QFile::remove(lib.filePath(QStringLiteral("AC:DC/Back.mp3"))));
        const CliResult pruned = runCli(sync);
        QCOMPARE(summaryOf(pruned), QStringLiteral("converted 0, copied 0, skipped 2, failed 0, pruned 1"));
        QCOMPARE(tree(out).keys(),
                 (QStringList{QStringLiteral("Plain/Song.mp3"), QStringLiteral("Vol. 1/Why？.mp3")}));
    }

    // Car players play a folder in the order its entries were made. With two workers the short files
    // finish before the long first one, and still the entries are made in name order.
    void entriesInNameOrder_data() { kinds_data(); }
    void entriesInNameOrder() {
        QFETCH(int, kind);
        FatVolume volume{FatVolume::Kind(kind)};
        MOUNT_OR_SKIP(volume);
        QTemporaryDir lib;
        const QStringList names{QStringLiteral("01 Long.mp3"), QStringLiteral("02 b.mp3"),
                                QStringLiteral("03 c.mp3"), QStringLiteral("04 d.mp3"),
                                QStringLiteral("05 e.mp3")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(put(lib.filePath(names[i]), tone(i == 0 ? 20.0 : 0.5, 300 + 50 * i)));

        // How this driver lists entries made one after the other: oldest or newest first.
        const QString reference = volume.filePath(QStringLiteral("reference"));
        for (const QString& name : names)
            QVERIFY(put(QDir(reference).filePath(name), "x"));
        const QStringList madeInNameOrder = entryOrder(reference);
        QVERIFY(madeInNameOrder == names || madeInNameOrder == QStringList(names.crbegin(), names.crend()));

        const QString out = volume.filePath(QStringLiteral("music"));
        const CliResult run =
            runCli({QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-o"), out, lib.path()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(entryOrder(out), madeInNameOrder);
    }

    // --keep-dates reaches the stick: the time is set once the file is closed, so the driver's own stamp
    // at close does not undo it, and the next --update --keep-dates run leaves the output alone.
    void keptDatesSurviveTheDriver() {
        FatVolume volume(FatVolume::Fat32);
        MOUNT_OR_SKIP(volume);
        QTemporaryDir lib;
        const QString source = lib.filePath(QStringLiteral("Song.mp3"));
        QVERIFY(put(source, tone(1.0)));
        const QDateTime then = QDateTime::fromString(QStringLiteral("2019-05-04T10:20:30Z"), Qt::ISODate);
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(then, QFileDevice::FileModificationTime));
        }
        const QString out = volume.filePath(QStringLiteral("music"));
        const QStringList sync{QStringLiteral("--update"), QStringLiteral("--keep-dates"),
                               QStringLiteral("-o"), out, lib.path()};
        QCOMPARE(runCli(sync).exitCode, 0);
        const QString output = QDir(out).filePath(QStringLiteral("Song.mp3"));
        QVERIFY(qAbs(QFileInfo(output).lastModified().secsTo(then)) <= 2);
        const CliResult again = runCli(sync);
        QCOMPARE(summaryOf(again), QStringLiteral("converted 0, copied 0, skipped 1, failed 0, pruned 0"));
    }
};

QTEST_GUILESS_MAIN(TestFatVolumes)
#include "tst_fatvolumes.moc"
