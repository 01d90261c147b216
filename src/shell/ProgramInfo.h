#pragma once

#include <QString>

// The program's identity and its executable folder. Tests build one that points at a temporary folder so
// that the settings file and the instance lock never touch the real installation.
struct ProgramInfo {
    QString title = QStringLiteral("MP3Recast");
    QString productName = QStringLiteral("MP3Recast");
    int versionMajor = MP3RECAST_VERSION_MAJOR;
    int versionMinor = MP3RECAST_VERSION_MINOR;
    int versionRevision = MP3RECAST_VERSION_PATCH;
    QString copyright = QStringLiteral("(C) 2026 MP3Recast developers");
    // Folder of the executable, without a trailing separator unless it is the file-system root.
    QString executableFolder;
    // Where the settings file lives; empty means "decide from the executable folder" (see settingsFilePath).
    QString settingsFolder;
    // Folder of the single-instance lock; empty means the user's runtime folder.
    QString lockFolder;

    // Identity of the running program, with the executable folder taken from Qt.
    static ProgramInfo current();

    // "MP3Recast Version 0.9.5         Copyright (C) 2026 MP3Recast developers"
    QString mainCaption() const;

    // The settings file: beside the executable when that folder is writable or already holds the file
    // (portable use), otherwise in the user's configuration folder.
    QString settingsFilePath() const;

    QString instanceLockPath() const;
};
