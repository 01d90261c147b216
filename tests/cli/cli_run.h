// Running mp3recast-cli as a user does, and reading back the trees it writes.
#pragma once

#include "mp3_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QStringList>

struct CliResult {
    int exitCode = -1;
    QString out, err;
};

inline CliResult runCli(const QStringList& arguments,
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(MP3RECAST_CLI), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Relative path -> bytes of every file under the folder.
inline QMap<QString, QByteArray> tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), fixtures::readFile(path));
    }
    return files;
}
