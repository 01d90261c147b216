#include "shell/ProgramInfo.h"

#include "shell/PathHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString ProgramInfo::settingsFilePath() const {
    const QString fileName = productName + QStringLiteral(".INI");
    if (!settingsFolder.isEmpty())
        return AddPathSep(settingsFolder) + fileName;

    const QString besideExecutable = AddPathSep(executableFolder) + fileName;
    const QFileInfo folder(executableFolder);
    if (QFileInfo::exists(besideExecutable) || (folder.isDir() && folder.isWritable()))
        return besideExecutable;

    const QString configRoot = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString configFolder = QDir::toNativeSeparators(configRoot + QLatin1Char('/') + productName);
    QDir().mkpath(configFolder);
    return AddPathSep(configFolder) + fileName;
}

QString ProgramInfo::instanceLockPath() const {
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(productName + QStringLiteral(".lock"));
}
