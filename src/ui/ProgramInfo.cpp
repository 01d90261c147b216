#include "ui/ProgramInfo.h"

#include "ui/PathHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// An installation puts the codec libraries in a private folder next to bin/; the build system names it.
#ifndef MP3RECAST_PRIVATE_LIBDIR_REL
#define MP3RECAST_PRIVATE_LIBDIR_REL "../lib/mp3recast"
#endif

namespace {

QString orStandard(const QString& given, QStandardPaths::StandardLocation location) {
    return given.isEmpty() ? QStandardPaths::writableLocation(location) : given;
}

// The product's own folder under a user root, created so that it can be used at once.
QString productFolder(const QString& root, const QString& productName) {
    const QString folder = QDir::cleanPath(root + QLatin1Char('/') + productName);
    QDir().mkpath(folder);
    return QDir::toNativeSeparators(folder);
}

} // namespace

ProgramInfo ProgramInfo::current() {
    ProgramInfo info;
    info.executableFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    return info;
}

QString ProgramInfo::mainCaption() const {
    return title + QStringLiteral(" Version ") + QString::number(versionMajor) + QLatin1Char('.') +
           QString::number(versionMinor) + QLatin1Char('.') + QString::number(versionRevision) +
           QStringLiteral("         Copyright ") + copyright;
}

QString ProgramInfo::privateLibraryFolder() {
    return QStringLiteral(MP3RECAST_PRIVATE_LIBDIR_REL);
}

bool ProgramInfo::isInstalled() const {
    return !executableFolder.isEmpty() &&
           QFileInfo(QDir(QDir::fromNativeSeparators(executableFolder)).filePath(privateLibraryFolder()))
               .isDir();
}

QString ProgramInfo::settingsFilePath() const {
    const QString fileName = productName + QStringLiteral(".INI");
    if (!settingsFolder.isEmpty())
        return AddPathSep(settingsFolder) + fileName;

    if (!isInstalled()) {
        const QString besideExecutable = AddPathSep(executableFolder) + fileName;
        const QFileInfo folder(executableFolder);
        if (QFileInfo::exists(besideExecutable) || (folder.isDir() && folder.isWritable()))
            return besideExecutable;
    }
    const QString configRoot = orStandard(userConfigRoot, QStandardPaths::GenericConfigLocation);
    return AddPathSep(productFolder(configRoot, productName)) + fileName;
}

bool ProgramInfo::usesUserFolders() const {
    const QFileInfo folder(executableFolder);
    return isInstalled() || !folder.isDir() || !folder.isWritable();
}

QString ProgramInfo::userMusicOrHome() const {
    const QString music = orStandard(userMusicFolder, QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir())
        return QDir::toNativeSeparators(music);
    return QDir::toNativeSeparators(orStandard(userHomeFolder, QStandardPaths::HomeLocation));
}

QString ProgramInfo::defaultSourceFolder() const {
    return usesUserFolders() ? userMusicOrHome() : executableFolder;
}

QString ProgramInfo::defaultWorkFolder() const {
    if (!usesUserFolders())
        return executableFolder;
    return productFolder(orStandard(userCacheRoot, QStandardPaths::GenericCacheLocation), productName);
}

QString ProgramInfo::defaultDestinationFolder() const {
    return defaultSourceFolder();
}

QString ProgramInfo::instanceLockPath() const {
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(productName + QStringLiteral(".lock"));
}
