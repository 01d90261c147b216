// What a full volume does to every file the program writes whole: the old file stays byte for byte, the
// failure is named, and nothing is left beside it. Each case runs on a real full tmpfs.

#include "FullVolume.h"
#include "core/files/AtomicFile.h"
#include "core/files/FileHelpers.h"
#include "core/run/RunFolder.h"
#include "core/text/TextConstants.h"
#include "mp3_fixtures.h"
#include "playlist/PlaylistFile.h"
#include "window/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The entries of the folder besides the filler, hidden ones included.
QStringList leftovers(const QString& folder, const QStringList& expected) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral(".filler"));
    for (const QString& name : expected)
        names.removeAll(name);
    return names;
}

} // namespace

#define REQUIRE_FULL_VOLUME()                                                                                \
    if (!m_volume->isMounted())                                                                              \
    QSKIP("cannot mount a small tmpfs here (mounting needs CAP_SYS_ADMIN)")

class TestFullVolume : public QObject {
    Q_OBJECT

  private slots:
    void init() { m_volume = std::make_unique<FullVolume>(); }
    void cleanup() { m_volume.reset(); }

    // Settings and playlists: the old file with its hand-written lines survives a save that cannot be
    // written, and the save says why.
    void wholeFilesKeepTheirOldContents() {
        REQUIRE_FULL_VOLUME();
        const QString ini = m_volume->filePath(QStringLiteral("MP3Recast.INI"));
        const QByteArray oldSettings = "; kept by hand\r\n[Setting]\r\nBits=3\r\n[Other]\r\nx=1\r\n";
        QVERIFY(fixtures::writeFile(ini, oldSettings));
        const QString list = m_volume->filePath(QStringLiteral("MP3LIST.M3U"));
        const QByteArray oldList = "a.mp3\r\nb.mp3\r\n\r\n";
        QVERIFY(fixtures::writeFile(list, oldList));
        m_volume->fill();

        ProfileFile settings = ProfileFile::load(ini);
        settings.write(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("13"));
        settings.write(QStringLiteral("Setting"), QStringLiteral("InPath"), QString(4096, QLatin1Char('x')));
        const core::Result saved = settings.save(ini);
        QVERIFY(!saved);
        QCOMPARE(saved.reason(), core::DiskSpaceHint);
        QCOMPARE(fixtures::readFile(ini), oldSettings);

        const core::Result failure = ui::writePlayListFile(
            m_volume->path(), QStringLiteral("MP3LIST.M3U"), ui::playListFileBytes(QString(8192, QLatin1Char('y'))));
        QVERIFY(failure.reason().contains(core::DiskSpaceHint));
        QCOMPARE(fixtures::readFile(list), oldList);
        // A new playlist that cannot be written is no empty file either.
        QVERIFY(!ui::writePlayListFile(m_volume->path(), QStringLiteral("NEW.M3U"), QByteArray(8192, 'z')));
        QVERIFY(!QFile::exists(m_volume->filePath(QStringLiteral("NEW.M3U"))));
        QCOMPARE(
            leftovers(m_volume->path(), {QStringLiteral("MP3Recast.INI"), QStringLiteral("MP3LIST.M3U")}),
            QStringList());
    }

    // An output copied onto a full destination fails, and the output of an earlier run stays whole.
    void outputsAreReplacedOnlyWhole() {
        REQUIRE_FULL_VOLUME();
        QTemporaryDir work;
        const QString finished = work.filePath(QStringLiteral("MP3Temp.tmp"));
        QVERIFY(fixtures::writeFile(finished, QByteArray(64 * 1024, 'n')));
        const QString output = m_volume->filePath(QStringLiteral("song.mp3"));
        const QByteArray old(16 * 1024, 'o');
        QVERIFY(fixtures::writeFile(output, old));
        m_volume->fill();

        QVERIFY(!CopyFileChecked(finished, output, false));
        QCOMPARE(fixtures::readFile(output), old);
        QVERIFY(!CopyFileChecked(finished, m_volume->filePath(QStringLiteral("new.mp3")), false));
        QVERIFY(!QFile::exists(m_volume->filePath(QStringLiteral("new.mp3"))));
        const core::Result written = core::copyFileAtomically(finished, output);
        QVERIFY(!written);
        QCOMPARE(written.systemError(), ENOSPC);
        QCOMPARE(leftovers(m_volume->path(), {QStringLiteral("song.mp3")}), QStringList());
    }

    // A work volume without room for a run's lock: the run has no folder, and leaves none behind.
    void runFolderOnAFullVolume() {
        REQUIRE_FULL_VOLUME();
        m_volume->fill();
        {
            core::RunFolder folder(m_volume->path());
            QVERIFY(!folder.isValid());
        }
        QCOMPARE(leftovers(m_volume->path(), {}), QStringList());
    }

    // The temporary file of a writer that was killed goes; one of a living writer stays.
    void staleTemporariesOfDeadWritersGo() {
        QTemporaryDir dir;
        const qint64 deadPid = fixtures::endedProcessId();
        QVERIFY(deadPid > 0);
        const QString deadName = QStringLiteral(".song.mp3.mp3recast-%1-AbCdEf").arg(deadPid);
        const QString livingName =
            QStringLiteral(".song.mp3.mp3recast-%1-GhIjKl").arg(QCoreApplication::applicationPid());
        const QString unrelated = QStringLiteral(".song.mp3.mine");
        for (const QString& name : {deadName, livingName, unrelated})
            QVERIFY(fixtures::writeFile(dir.filePath(name), "x"));
        QCOMPARE(core::removeStaleTemporaries(dir.path()), 1);
        QVERIFY(!QFile::exists(dir.filePath(deadName)));
        QVERIFY(QFile::exists(dir.filePath(livingName)));
        QVERIFY(QFile::exists(dir.filePath(unrelated)));
    }

  private:
    std::unique_ptr<FullVolume> m_volume;
};

QTEST_GUILESS_MAIN(TestFullVolume)
#include "tst_fullvolume.moc"
