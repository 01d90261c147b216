// What a full volume does to the outputs and the run folder the core writes: the old file stays byte for
// byte, the failure is named, and nothing is left beside it. Each case runs on a real full tmpfs.

#include "FullVolume.h"
#include "core/files/AtomicFile.h"
#include "core/files/FileHelpers.h"
#include "core/run/RunFolder.h"
#include "mp3_fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#define REQUIRE_FULL_VOLUME()                                                                                \
    if (!m_volume->isMounted())                                                                              \
    QSKIP("cannot mount a small tmpfs here (mounting needs CAP_SYS_ADMIN)")

class TestFullVolume : public QObject {
    Q_OBJECT

  private slots:
    void init() { m_volume = std::make_unique<FullVolume>(); }
    void cleanup() { m_volume.reset(); }

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
        QCOMPARE(m_volume->leftovers({QStringLiteral("song.mp3")}), QStringList());
    }

    // A work volume without room for a run's lock: the run has no folder, and leaves none behind.
    void runFolderOnAFullVolume() {
        REQUIRE_FULL_VOLUME();
        m_volume->fill();
        {
            core::RunFolder folder(m_volume->path());
            QVERIFY(!folder.isValid());
        }
        QCOMPARE(m_volume->leftovers(), QStringList());
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
