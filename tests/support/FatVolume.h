// A real FAT32 or exFAT volume for the tests of what a USB stick does: an image file made with mkfs,
// mounted through the FUSE drivers (fusefat for FAT32; exfat-fuse over a loop device for exFAT), as the
// kernels here have no vfat or exfat driver. Mounting needs CAP_SYS_ADMIN (CI runs the suite as the
// superuser first) and the drivers; elsewhere isMounted() is false and skipReason() says why.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <unistd.h>

class FatVolume {
  public:
    enum Kind { Fat32, ExFat };

    explicit FatVolume(Kind kind, int megabytes = 64) : m_kind(kind) {
        const QString tool = kind == Fat32 ? QStringLiteral("fusefat") : QStringLiteral("mount.exfat-fuse");
        const QString mkfs = kind == Fat32 ? QStringLiteral("mkfs.vfat") : QStringLiteral("mkfs.exfat");
        if (::geteuid() != 0) {
            m_skipReason =
                QStringLiteral("cannot mount the %1 test image here (mounting needs CAP_SYS_ADMIN)")
                    .arg(name());
            return;
        }
        if (find(tool).isEmpty() || find(mkfs).isEmpty() || !QFile::exists(QStringLiteral("/dev/fuse"))) {
            m_skipReason =
                QStringLiteral("%1 and %2 are needed for a %3 volume (scripts/install-deps --test)")
                    .arg(mkfs, tool, name());
            return;
        }
        const QString image = m_dir.filePath(QStringLiteral("volume.img"));
        m_mountPoint = m_dir.filePath(QStringLiteral("mnt"));
        QFile file(image);
        if (!QDir().mkpath(m_mountPoint) || !file.open(QIODevice::WriteOnly) ||
            !file.resize(qint64(megabytes) << 20)) {
            m_skipReason = QStringLiteral("cannot make an image file for a %1 volume").arg(name());
            return;
        }
        file.close();
        const bool made = kind == Fat32 ? run(mkfs, {QStringLiteral("-F"), QStringLiteral("32"), image})
                                        : run(mkfs, {image});
        if (!made) {
            m_skipReason = QStringLiteral("%1 failed").arg(mkfs);
            return;
        }
        if (kind == Fat32) {
            m_mounted = run(tool, {QStringLiteral("-o"), QStringLiteral("rw+"), image, m_mountPoint});
        } else {
            // exfat-fuse takes a block device only.
            QString device;
            if (!run(find(QStringLiteral("losetup")), {QStringLiteral("-f"), QStringLiteral("--show"), image},
                     &device)) {
                m_skipReason = QStringLiteral("cannot attach a loop device for the exFAT image");
                return;
            }
            m_loopDevice = device.trimmed();
            m_mounted = run(tool, {m_loopDevice, m_mountPoint});
        }
        m_mounted = m_mounted && isMountPoint(m_mountPoint);
        if (!m_mounted)
            m_skipReason = QStringLiteral("%1 could not mount the %2 image").arg(tool, name());
    }
    ~FatVolume() {
        if (m_mounted && ::umount2(QFile::encodeName(m_mountPoint).constData(), 0) != 0)
            ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
        // A device still held by the driver is detached once it lets go (autoclear).
        if (!m_loopDevice.isEmpty())
            run(find(QStringLiteral("losetup")), {QStringLiteral("-d"), m_loopDevice});
    }
    FatVolume(const FatVolume&) = delete;
    FatVolume& operator=(const FatVolume&) = delete;

    bool isMounted() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }
    QString name() const { return m_kind == Fat32 ? QStringLiteral("FAT32") : QStringLiteral("exFAT"); }
    QString path() const { return m_mountPoint; }
    QString filePath(const QString& relative) const { return QDir(m_mountPoint).filePath(relative); }

  private:
    static QString find(const QString& tool) {
        return QStandardPaths::findExecutable(tool, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                     QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    }
    // The drivers put themselves in the background once the volume is mounted.
    static bool run(const QString& program, const QStringList& arguments, QString* out = nullptr) {
        QProcess process;
        process.start(program.startsWith(QLatin1Char('/')) ? program : find(program), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return false;
        if (out)
            *out = QString::fromLocal8Bit(process.readAllStandardOutput());
        return true;
    }
    static bool isMountPoint(const QString& path) {
        QFile mounts(QStringLiteral("/proc/self/mountinfo"));
        if (!mounts.open(QIODevice::ReadOnly))
            return false;
        const QByteArray needle = ' ' + QFile::encodeName(path) + ' ';
        return mounts.readAll().contains(needle);
    }

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_mountPoint;
    QString m_loopDevice;
    QString m_skipReason;
    bool m_mounted = false;
};
