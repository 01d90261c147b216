#pragma once

#include <QString>

// The program's identity, its executable folder and the user's folders it falls back on. Tests build one
// that points at temporary folders so that the settings file, the instance lock and the default folders
// never touch the real installation or the real home folder.
struct ProgramInfo {
    QString title = QStringLiteral("MP3Recast");
    QString productName = QStringLiteral("MP3Recast");
    int versionMajor = MP3RECAST_VERSION_MAJOR;
    int versionMinor = MP3RECAST_VERSION_MINOR;
    int versionRevision = MP3RECAST_VERSION_PATCH;
    QString copyright = QStringLiteral("(C) 2026 MP3Recast developers");
    // Folder of the executable, without a trailing separator unless it is the file-system root.
    QString executableFolder;
    // Where the settings file lives; empty means "decide from the installation" (see settingsFilePath).
    QString settingsFolder;
    // Folder of the single-instance lock; empty means the user's runtime folder.
    QString lockFolder;
    // The user's folders; empty means the ones the desktop names (QStandardPaths). The configuration
    // and cache roots get a folder named after the product.
    QString userConfigRoot;
    QString userCacheRoot;
    QString userMusicFolder;
    QString userHomeFolder;

    // Identity of the running program, with the executable folder taken from Qt.
    static ProgramInfo current();

    // "MP3Recast Version 0.9.5         Copyright (C) 2026 MP3Recast developers"
    QString mainCaption() const;

    // The codec libraries' folder, relative to the executable folder, that an installation creates.
    static QString privateLibraryFolder();

    // True when the program runs from an installation (the private library folder exists beside it),
    // false for portable use: the build tree, or a copy in a folder of its own.
    bool isInstalled() const;

    // The settings file. Installed: always in the user's configuration folder, even for root, who could
    // write into any installation. Portable: beside the executable when that folder is writable or
    // already holds the file, otherwise in the user's configuration folder.
    QString settingsFilePath() const;

    // Defaults of the three folder fields. Portable use with a writable program folder: the executable
    // folder for all three. Installed, or a program folder that cannot be written: the user's cache
    // folder for the work files (created) and the music folder (the home folder when there is none) for
    // the source and the destination, so that a first conversion does not fail for lack of permission.
    QString defaultSourceFolder() const;
    QString defaultWorkFolder() const;
    QString defaultDestinationFolder() const;

    QString instanceLockPath() const;

  private:
    bool usesUserFolders() const;
    QString userMusicOrHome() const;
};
