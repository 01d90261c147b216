// Tag writes that rewrite a file in place, killed at a chosen system call (strace's fault injection), through
// the real libvbmp3: once the library touches the file or its folder again, every name of the file gives
// the old version or the new one, never part of each, and no journal or copy is left behind.
#include "codecs/decoder.h"
#include "codecs/tag_layout.h"
#include "mp3_fixtures.h"
#include "tagcrash_record.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using codecs::TagRecord;

namespace {

constexpr uid_t kNobody = 65534;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The hidden files of a folder: the journals and copies of rewrites.
QStringList hiddenFiles(const QString& folder) {
    return QDir(folder).entryList({u".*"_qs}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(native(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Runs `step` with `tmpdir` as the temporary folder, as the user the writer ran as: in a child process
// as nobody when the tests run as the superuser, else here. Its result; false when it could not run.
bool asWriter(const QString& tmpdir, const std::function<bool()>& step) {
    const QByteArray saved = qgetenv("TMPDIR"); // empty means the default, as unset does
    qputenv("TMPDIR", native(tmpdir));
    bool ok = false;
    if (::geteuid() != 0) {
        ok = step();
    } else if (const pid_t child = ::fork(); child == 0) {
        ::alarm(120);
        const gid_t group = kNobody;
        try {
            ok = ::setgroups(1, &group) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && step();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1); // never back into the test runner
    } else {
        int status = 0;
        ok = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
    }
    qputenv("TMPDIR", saved);
    return ok;
}

} // namespace

class TestTagCrash : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString strace_;
    QString writer_;
    QByteArray original_; // the file before the write
    QByteArray expected_; // the file after a write nobody killed
    codecs::Decoder decoder_;

    // A fresh folder holding the original file, song.mp3, and a second hard link to it, link.mp3: the
    // write cannot rename a new file over it and rewrites it in place.
    QString prepare(const QString& folderName) {
        const QString folder = dir_.filePath(folderName);
        const QString file = folder + u"/song.mp3"_qs;
        if (!QDir().mkpath(folder) || ::chmod(native(folder).constData(), 0755) != 0 ||
            !fixtures::writeFile(file, original_) || ::chmod(native(file).constData(), 0666) != 0 ||
            ::link(native(file).constData(), native(folder + u"/link.mp3"_qs).constData()) != 0) {
            return {};
        }
        return file;
    }

    // Runs the writer on `file` under strace, which kills it at the `when`th call of `syscall`. True when
    // it was killed (neither finished nor failed on its own).
    bool killWriterAt(const QString& file, const QString& syscall, int when,
                      const QStringList& writerOptions = {}, const QString& tmpdir = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // LeakSanitizer cannot work in a process that is already traced.
        environment.insert(u"ASAN_OPTIONS"_qs, environment.value(u"ASAN_OPTIONS"_qs) + u":detect_leaks=0"_qs);
        if (!tmpdir.isEmpty()) {
            environment.insert(u"TMPDIR"_qs, tmpdir);
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(strace_, QStringList{u"-f"_qs, u"-o"_qs, u"/dev/null"_qs, u"-e"_qs,
                                           u"inject=%1:signal=KILL:when=%2"_qs.arg(syscall).arg(when),
                                           u"--"_qs, writer_} +
                                   writerOptions + QStringList{file});
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return false;
        }
        return process.exitStatus() == QProcess::CrashExit || process.exitCode() == 128 + SIGKILL;
    }

    bool torn(const QString& file) const {
        const QByteArray bytes = fixtures::readFile(file);
        return bytes != original_ && bytes != expected_;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The writer may run as nobody, which must reach the folders.
        QVERIFY(::chmod(native(dir_.path()).constData(), 0755) == 0);
        strace_ = QStandardPaths::findExecutable(u"strace"_qs);
        if (strace_.isEmpty()) {
            QSKIP("strace is not installed: it kills the writer at a chosen system call");
        }
        if (QProcess::execute(strace_, {u"-f"_qs, u"-o"_qs, u"/dev/null"_qs, u"--"_qs, u"true"_qs}) != 0) {
            QSKIP("strace cannot trace a child process on this system");
        }
        writer_ = QCoreApplication::applicationDirPath() + u"/tagcrash_writer"_qs;
        QVERIFY(QFileInfo(writer_).isExecutable());

        // A picture makes the file some 2 MB, 30 blocks of the in-place copy. The tag has no padding, so the
        // new one is longer and everything behind it moves: a torn file is neither version.
        const QByteArray audio = fixtures::makeMp3({44100, 2, 128, false, 4, 1.0}).bytes;
        const QByteArray picture = fixtures::picturePayload("image/jpeg", fixtures::randomBytes(1900000, 7));
        original_ =
            fixtures::id3v2Tag(3,
                               {fixtures::id3v2Frame(
                                    3, "TIT2", fixtures::textPayload(fixtures::Encoding::Latin1, u"Old"_qs)),
                                fixtures::id3v2Frame(3, "APIC", picture)},
                               0) +
            audio;
        const QString reference = dir_.filePath(u"reference.mp3"_qs);
        QVERIFY(fixtures::writeFile(reference, original_));
        QCOMPARE(QProcess::execute(writer_, {reference}), 0);
        expected_ = fixtures::readFile(reference);
        QVERIFY(expected_.size() > original_.size());
        QVERIFY(!decoder_.genreName(0).isEmpty()); // loads the library before any child process is forked
    }

    // Killed once the journal is on disk: at the first block, half way, before the cut to size, before
    // the journal or the copy is removed. A read or a write of the file, or a sweep of its folder, finishes
    // the rewrite; `swept` is what the sweep after that step counts (a copy whose journal was gone).
    void killedRewriteEndsOldOrNew_data() {
        QTest::addColumn<QString>("syscall");
        QTest::addColumn<int>("when");
        QTest::addColumn<QString>("afterKill"); // old, torn or new
        QTest::addColumn<QString>("finish");    // read, write or sweep
        QTest::addColumn<int>("swept");
        QTest::newRow("first block, read") << u"pwrite64"_qs << 1 << u"old"_qs << u"read"_qs << 0;
        QTest::newRow("half way, read") << u"pwrite64"_qs << 12 << u"torn"_qs << u"read"_qs << 0;
        QTest::newRow("half way, write") << u"pwrite64"_qs << 20 << u"torn"_qs << u"write"_qs << 0;
        QTest::newRow("half way, sweep") << u"pwrite64"_qs << 25 << u"torn"_qs << u"sweep"_qs << 1;
        QTest::newRow("cut to size, sweep") << u"ftruncate"_qs << 1 << u"new"_qs << u"sweep"_qs << 1;
        QTest::newRow("journal removal, read") << u"unlink"_qs << 1 << u"new"_qs << u"read"_qs << 0;
        QTest::newRow("copy removal, read") << u"unlink"_qs << 2 << u"new"_qs << u"read"_qs << 1;
    }
    void killedRewriteEndsOldOrNew() {
        QFETCH(QString, syscall);
        QFETCH(int, when);
        QFETCH(QString, afterKill);
        QFETCH(QString, finish);
        QFETCH(int, swept);
        const QString folder = dir_.filePath(QString::fromUtf8(QTest::currentDataTag()));
        const QString file = prepare(QString::fromUtf8(QTest::currentDataTag()));
        QVERIFY(!file.isEmpty());
        const QString link = folder + u"/link.mp3"_qs;
        const ino_t inode = inodeOf(file);

        QVERIFY(killWriterAt(file, syscall, when));
        if (afterKill == u"torn"_qs) {
            QVERIFY(torn(file));
        } else {
            QCOMPARE(fixtures::readFile(file), afterKill == u"old"_qs ? original_ : expected_);
        }
        QVERIFY(!hiddenFiles(folder).isEmpty());

        if (finish == u"read"_qs) {
            TagRecord read;
            QVERIFY(decoder_.getFileTagInfo(file, read));
            QCOMPARE(read.title, QString::fromUtf8(tagcrash::kTitle));
        } else if (finish == u"write"_qs) {
            QVERIFY(decoder_.setTagInfo(file, codecs::unpackTagRecord(tagcrash::record())));
        }
        if (finish != u"sweep"_qs) {
            QCOMPARE(fixtures::readFile(link), expected_);
        }
        QCOMPARE(decoder_.completeRewrites(folder), swept);
        QCOMPARE(fixtures::readFile(file), expected_);
        QCOMPARE(fixtures::readFile(link), expected_);
        QVERIFY(inodeOf(file) == inode && inodeOf(link) == inode);
        QCOMPARE(hiddenFiles(folder), QStringList());
        QCOMPARE(decoder_.completeRewrites(folder), 0);
    }

    // Killed before the journal is on disk (writing the copy, writing the journal under its temporary
    // name): the file was never touched and stays byte for byte. The sweep removes the dead writer's work
    // files and leaves those of living writers: another process and this one.
    void killBeforeTheJournalKeepsTheOldFile_data() {
        QTest::addColumn<QString>("syscall");
        QTest::addColumn<int>("when");
        QTest::addColumn<int>("leftovers");
        QTest::newRow("copy being written") << u"write"_qs << 2 << 1;
        QTest::newRow("journal being written") << u"rename"_qs << 1 << 2;
    }
    void killBeforeTheJournalKeepsTheOldFile() {
        QFETCH(QString, syscall);
        QFETCH(int, when);
        QFETCH(int, leftovers);
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        const QString folder = dir_.filePath(tag);
        const QString file = prepare(tag);
        QVERIFY(!file.isEmpty());

        QVERIFY(killWriterAt(file, syscall, when));
        QCOMPARE(fixtures::readFile(file), original_);
        QCOMPARE(hiddenFiles(folder).size(), leftovers);
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(file, read));
        QCOMPARE(read.title, u"Old"_qs);

        QProcess living;
        living.start(u"sleep"_qs, {u"60"_qs});
        QVERIFY(living.waitForStarted());
        const QStringList alive = {u".song.mp3.vbmp3-%1-AbCdEf"_qs.arg(living.processId()),
                                   u".song.mp3.vbmp3-%1-GhIjKl"_qs.arg(QCoreApplication::applicationPid())};
        for (const QString& name : alive) {
            QVERIFY(fixtures::writeFile(folder + u'/' + name, "x"));
        }
        QCOMPARE(decoder_.completeRewrites(folder), leftovers);
        living.kill();
        living.waitForFinished();
        QStringList expectedLeft = alive;
        expectedLeft.sort();
        QCOMPARE(hiddenFiles(folder), expectedLeft);
        QCOMPARE(fixtures::readFile(file), original_);
        QCOMPARE(fixtures::readFile(folder + u"/link.mp3"_qs), original_);
        QCOMPARE(decoder_.completeRewrites(folder + u"/missing"_qs), -1); // not "nothing to do"
    }

    // A folder that cannot be written puts the copy and its journal into the temporary folder: a read of
    // the file by the writer's user finishes the rewrite from there; another user's process leaves that
    // journal alone.
    void rewriteThroughTheTemporaryFolder() {
        const QString file = prepare(u"locked"_qs);
        QVERIFY(!file.isEmpty());
        const QString folder = QFileInfo(file).path();
        const QString tmpdir = dir_.filePath(u"tmp"_qs);
        QVERIFY(QDir().mkpath(tmpdir) && ::chmod(native(tmpdir).constData(), 0777) == 0);
        QVERIFY(::chmod(native(folder).constData(), 0555) == 0);
        QStringList options; // the superuser may write anywhere: its writer runs as nobody
        if (::geteuid() == 0) {
            options << u"--as"_qs << QString::number(kNobody);
        }
        const bool killed = killWriterAt(file, u"pwrite64"_qs, 12, options, tmpdir);
        QVERIFY(::chmod(native(folder).constData(), 0755) == 0);
        QVERIFY(killed);
        QVERIFY(torn(file));
        QCOMPARE(hiddenFiles(folder), QStringList());
        QCOMPARE(hiddenFiles(tmpdir).size(), 2);
        if (::geteuid() == 0) {
            QCOMPARE(decoder_.completeRewrites(tmpdir), 0); // nobody's journal is not ours to follow
            QVERIFY(torn(file));
        }

        QVERIFY(asWriter(tmpdir, [&] {
            TagRecord read;
            return decoder_.getFileTagInfo(file, read) && read.title == QString::fromUtf8(tagcrash::kTitle) &&
                   decoder_.completeRewrites(tmpdir) == 0;
        }));
        QCOMPARE(fixtures::readFile(file), expected_);
        QCOMPARE(fixtures::readFile(folder + u"/link.mp3"_qs), expected_);
        QCOMPARE(hiddenFiles(tmpdir), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTagCrash)
#include "tst_tagcrash.moc"
