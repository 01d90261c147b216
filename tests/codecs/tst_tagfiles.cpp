// What a tag write does to the file as a file, through the real libvbmp3: owner, mode, extended
// attributes and ACLs kept, folders that cannot be written, the reasons of a refusal, and a last frame cut
// short that every decoder still plays the same.
#include "codec_runs.h"
#include "codecs/decoder.h"
#include "mp3_fixtures.h"
#include "vbmp3.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using codecs::TagRecord;

namespace {

constexpr uid_t kNobody = 65534;

TagRecord titled(const QString& title) {
    return {title, u"Artist"_qs, QString(), u"2001"_qs, QString(), 1, QString(), 2};
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The end of a forked child: never back into the test runner, whatever `step` does.
[[noreturn]] void finishChild(const std::function<bool()>& step) {
    ::alarm(120);
    bool ok = false;
    try {
        ok = step();
    } catch (...) {
    }
    ::_exit(ok ? 0 : 1);
}

bool childSucceeded(pid_t child) {
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Runs `step` as a user that owns nothing here: in a child process as nobody when the tests run as root,
// else as the user running them. Its result, or false when it could not be run so.
bool asOrdinaryUser(const std::function<bool()>& step) {
    if (::geteuid() != 0) {
        return step();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t group = kNobody;
        finishChild([&] {
            return ::setgroups(1, &group) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && step();
        });
    }
    return childSucceeded(child);
}

QString getfacl(const QString& path) {
    QProcess process;
    process.start(u"getfacl"_qs, {u"-c"_qs, u"-p"_qs, path});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestTagFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray audio_;
    codecs::Decoder decoder_;

    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    struct stat statOf(const QString& file) const {
        struct stat st {};
        ::stat(native(file).constData(), &st);
        return st;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // Others must reach the folder for the steps run as nobody.
        QVERIFY(::chmod(native(dir_.path()).constData(), 0755) == 0);
        audio_ = fixtures::makeMp3({44100, 2, 128, false, 4, 0.5}).bytes;
        QVERIFY(!decoder_.genreName(0).isEmpty()); // loads the library before any child process is forked
    }

    // Mode, extended attributes and an ACL stay; so does the owner of a group-writable file of another
    // user that a member of the group edits.
    void keepsOwnerModeAttributesAndAcl() {
        const QString file = path("attrs.mp3");
        QVERIFY(fixtures::writeFile(file, audio_));
        QVERIFY(::chmod(native(file).constData(), 0640) == 0);
        if (::setxattr(native(file).constData(), "user.note", "hello", 5, 0) != 0) {
            QSKIP("no user extended attributes on this file system");
        }
        QVERIFY(QProcess::execute(u"setfacl"_qs, {u"-m"_qs, u"u:nobody:r"_qs, file}) == 0);
        const QString acl = getfacl(file);
        QVERIFY(acl.contains(u"user:nobody:r--"_qs));

        QVERIFY(decoder_.setTagInfo(file, titled(u"Kept"_qs)));
        QCOMPARE(statOf(file).st_mode & 07777, mode_t(0640));
        char note[16] = {};
        QCOMPARE(::getxattr(native(file).constData(), "user.note", note, sizeof note), ssize_t(5));
        QCOMPARE(QByteArray(note), QByteArray("hello"));
        QCOMPARE(getfacl(file), acl);

        if (::geteuid() != 0) {
            return; // only the superuser can make a file of another owner
        }
        const QString shared = path("shared.mp3");
        QVERIFY(fixtures::writeFile(shared, audio_));
        QVERIFY(::chmod(native(shared).constData(), 0666) == 0);
        QVERIFY(::chmod(native(dir_.path()).constData(), 0777) == 0);
        QVERIFY(asOrdinaryUser([&] { return decoder_.setTagInfo(shared, titled(u"Shared"_qs)); }));
        QVERIFY(::chmod(native(dir_.path()).constData(), 0755) == 0);
        QCOMPARE(statOf(shared).st_uid, uid_t(0));
        QCOMPARE(statOf(shared).st_mode & 07777, mode_t(0666));
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(shared, read));
        QCOMPARE(read.title, u"Shared"_qs);
    }

    // A writable file in a folder that cannot be written is rewritten in place; a file that cannot be
    // written either is refused with that reason and left as it was, with no work file anywhere.
    void folderThatCannotBeWritten() {
        QTemporaryDir locked(dir_.filePath(u"locked-XXXXXX"_qs));
        const QString file = locked.filePath(u"song.mp3"_qs);
        const QString readOnly = locked.filePath(u"fixed.mp3"_qs);
        QVERIFY(fixtures::writeFile(file, audio_) && fixtures::writeFile(readOnly, audio_));
        QVERIFY(::chmod(native(file).constData(), 0666) == 0 &&
                ::chmod(native(readOnly).constData(), 0444) == 0);
        QVERIFY(::chmod(native(locked.path()).constData(), 0555) == 0);
        const ino_t inode = statOf(file).st_ino;

        QVERIFY(asOrdinaryUser([&] { return decoder_.setTagInfo(file, titled(u"In place"_qs)); }));
        QVERIFY(asOrdinaryUser([&] {
            return !decoder_.setTagInfo(readOnly, titled(u"No"_qs)) &&
                   decoder_.lastTagError() == VBMP3_TAG_NOT_WRITABLE;
        }));
        QVERIFY(::chmod(native(locked.path()).constData(), 0755) == 0);
        QCOMPARE(statOf(file).st_ino, inode);
        TagRecord read;
        QVERIFY(decoder_.getFileTagInfo(file, read));
        QCOMPARE(read.title, u"In place"_qs);
        QCOMPARE(fixtures::readFile(readOnly), audio_);
        QCOMPARE(QDir(locked.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A write that runs out of room says so, and the file stays whole.
    void fullDiskIsTheReason() {
        QVERIFY(fixtures::writeFile(path("full.mp3"), audio_));
        const pid_t child = ::fork();
        if (child == 0) {
            finishChild([&] {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{4096, 4096};
                return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                       !decoder_.setTagInfo(path("full.mp3"), titled(u"Full"_qs)) &&
                       decoder_.lastTagError() == VBMP3_TAG_DISK_FULL;
            });
        }
        QVERIFY(childSucceeded(child));
        QCOMPARE(fixtures::readFile(path("full.mp3")), audio_);
    }

    // A last frame cut short gets an ID3v1 tag behind it without ffmpeg losing that frame: it is completed
    // with zero bytes, and mpg123, ffmpeg and the library then agree on the length.
    void cutLastFrameIsCompleted() {
        const auto frames = fixtures::scanFrames(audio_).value();
        const QString file = path("cut.mp3");
        QVERIFY(fixtures::writeFile(file, audio_.left(audio_.size() - frames.last().length / 2)));
        const qint64 ffmpegBefore = codecruns::externalSamples(u"ffmpeg"_qs, file, 2);
        QVERIFY(ffmpegBefore > 0);

        QVERIFY(decoder_.setTagInfo(file, titled(u"Cut"_qs)));
        const QByteArray written = fixtures::readFile(file);
        QVERIFY(fixtures::hasId3v1(written));
        QVERIFY(fixtures::scanFrames(written).has_value());
        QCOMPARE(fixtures::audioPart(written).size(), audio_.size());
        QCOMPARE(codecruns::externalSamples(u"ffmpeg"_qs, file, 2), ffmpegBefore);
        QCOMPARE(codecruns::externalSamples(u"mpg123"_qs, file, 2), ffmpegBefore);
        QCOMPARE(qint64(codecruns::decode(file, path("cut.wav")).totalLength), ffmpegBefore);
    }
};

QTEST_GUILESS_MAIN(TestTagFiles)
#include "tst_tagfiles.moc"
