#include "lists/cFile.h"

#include "ui/PathHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Where the scan for separators starts: on Windows after the drive colon, so that "C:\" is the first
// level met and is only ever tested; elsewhere from the first character, so the root "/" is met first.
qsizetype scanStart(const QString& path) {
#ifdef Q_OS_WIN
    const qsizetype colon = path.indexOf(QLatin1Char(':'));
    return colon < 0 ? 0 : colon + 1;
#else
    Q_UNUSED(path);
    return 0;
#endif
}

// True when a folder now stands at `level`, created here if it was missing. A file of that name, an
// invalid name or a missing volume all end up as false.
bool ensureFolder(const QString& level) {
    if (level.contains(QChar(0)))
        return false;
    const QString native = QDir::fromNativeSeparators(level);
    if (QFileInfo(native).isDir())
        return true;
    // mkdir rather than mkpath: each level is made on its own, so a failure stops exactly where it
    // happened and never creates anything past it.
    if (!QDir().mkdir(native))
        return false;
    return QFileInfo(native).isDir();
}

} // namespace

bool cFile::MakeDirs(QString& path) {
    path = AddPathSep(path);
    const QChar separator = QDir::separator();
    for (qsizetype i = scanStart(path); i < path.size(); ++i) {
        if (path.at(i) != separator)
            continue;
        if (!ensureFolder(path.left(i + 1)))
            return false;
    }
    return true;
}
