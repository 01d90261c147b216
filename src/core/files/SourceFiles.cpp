#include "core/files/SourceFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dirent.h>

namespace core {

QStringList mp3FileNames(const QString& folder) {
    QStringList names;
    if (folder.isEmpty())
        return names;
    // Without QDir::Hidden, names starting with "." stay out; QDir::Files alone leaves folders (even one
    // named "x.mp3") and special files out. Name filters match without regard to letter case.
    QDirIterator it(QDir::fromNativeSeparators(folder), {QStringLiteral("*.mp3")}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

int undecodableMp3Names(const QString& folder) {
    DIR* dir = ::opendir(QFile::encodeName(QDir::fromNativeSeparators(folder)).constData());
    if (dir == nullptr)
        return 0;
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || name.size() < 4 || name.right(4).toLower() != ".mp3")
            continue;
        if (QString::fromUtf8(name).toUtf8() != name)
            ++count;
    }
    ::closedir(dir);
    return count;
}

QString undecodableNamesNote(const QString& folder, int count) {
    if (count == 0)
        return {};
    return QStringLiteral("%1: %2 MP3 file(s) passed over: their names are not valid UTF-8 (rename them, for "
                          "example with: convmv -f cp932 -t utf8 --notest *.mp3)")
        .arg(folder)
        .arg(count);
}

bool isListedMp3(const QString& folder, const QString& name) {
    if (folder.isEmpty() || name.startsWith(QLatin1Char('.')) ||
        !name.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        return false;
    return QFileInfo(QDir(QDir::fromNativeSeparators(folder)).filePath(name)).isFile();
}

namespace {

QStringList subFoldersUnder(const QString& folder, const QString& relative) {
    QStringList folders;
    const QDir here(QDir(folder).filePath(relative));
    const QStringList children = here.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& child : sortedByName(children)) {
        const QString path = relative.isEmpty() ? child : relative + QLatin1Char('/') + child;
        folders << path;
        folders += subFoldersUnder(folder, path);
    }
    return folders;
}

} // namespace

QStringList subFolders(const QString& folder) {
    return subFoldersUnder(folder, QString());
}

QStringList sortedByName(QStringList names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

} // namespace core
