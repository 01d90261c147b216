// A real full file system for the tests of what a full disk does: a small tmpfs mounted on a temporary
// folder, filled to its last byte once the test has put its files there. Mounting needs CAP_SYS_ADMIN (CI
// runs the suite as root first); elsewhere isMounted() is false and the test skips.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <unistd.h>

class FullVolume {
  public:
    explicit FullVolume(int kilobytes = 512) {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0777";
        m_mounted = m_dir.isValid() && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                                               0, options.constData()) == 0;
    }
    ~FullVolume() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    FullVolume(const FullVolume&) = delete;
    FullVolume& operator=(const FullVolume&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    // The entries of the volume besides the filler and the `expected` names, hidden ones included.
    QStringList leftovers(const QStringList& expected = {}) const {
        QStringList names =
            QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral(".filler"));
        for (const QString& name : expected)
            names.removeAll(name);
        return names;
    }

    // Takes every free byte of the volume: files can still be created, but a write into one fails with
    // ENOSPC, as on a full stick.
    void fill() {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }

  private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
