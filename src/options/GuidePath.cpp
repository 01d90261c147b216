#include "options/GuidePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace options {

QString guidePath(const QString& executableFolder) {
    // Relative to the program's folder, so that an installed tree that was moved as a whole still finds
    // its guide; the build tree has no such folder and reads the source's copy instead.
    const QString installed = QDir(QDir::fromNativeSeparators(executableFolder))
                                  .filePath(QStringLiteral(MP3RECAST_GUIDE_INSTALLED_REL));
    if (!executableFolder.isEmpty() && QFileInfo(installed).isFile())
        return QDir::cleanPath(installed);
    const QString source = QStringLiteral(MP3RECAST_GUIDE_SOURCE);
    if (QFileInfo(source).isFile())
        return source;
    return QString();
}

QString guidePath() {
    return guidePath(QCoreApplication::applicationDirPath());
}

} // namespace options
