#include "ui/PathHelpers.h"

#include <QDir>
#include <QFileInfo>

QString AddPathSep(const QString& path) {
    const QChar separator = QDir::separator();
    // QString indexes UTF-16 code units; a separator is never part of a surrogate pair, so looking at
    // the last unit is looking at the last character.
    if (path.endsWith(separator))
        return path;
    return path + separator;
}

bool FolderExists(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;

    // A trailing separator asks about the folder itself; the root stays the root.
    QString cleaned = path;
    const QChar separator = QDir::separator();
    while (cleaned.size() > 1 && cleaned.endsWith(separator))
        cleaned.chop(1);

    const QFileInfo info(QDir::fromNativeSeparators(cleaned));
    if (!info.exists())
        return false;
    // Hidden entries count as missing, like a search that leaves hidden entries out. The root has
    // no name and is never hidden.
    if (!info.isRoot() && info.fileName().startsWith(QLatin1Char('.')))
        return false;
    return true;
}
