// The work folder of one run inside the work folder the user chose: "MP3Recast.<pid>.<n>", holding a
// lock file for as long as the run lives. A run that is killed (SIGKILL, a crash, a logout) cannot clean
// up after itself, so every run first reclaims the folders whose lock has no living owner; folders of a
// run that is still alive, in this program or another copy of it, are never touched.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace core {

class RunFolder {
  public:
    // Reclaims what dead runs left inside `base`, then makes and locks a folder of this run there.
    explicit RunFolder(const QString& base);
    // Removes the folder with everything in it and releases the lock.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // False when the folder could not be made or locked.
    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // Removes the run folders inside `base` whose run is no longer alive; returns how many went.
    static int reclaim(const QString& base);

  private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace core
