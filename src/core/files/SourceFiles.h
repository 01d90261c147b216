// The MP3 files of a folder, as the source list shows them and as a folder argument queues them.
#pragma once

#include <QString>
#include <QStringList>

namespace core {

// The names of the plain files in folder that end in ".mp3" in any letter case, hidden files left out,
// in the order the file system gives them. A folder that is missing or unreadable gives no names.
[[nodiscard]] QStringList mp3FileNames(const QString& folder);

// How many MP3 files of the folder (names ending in ".mp3", hidden ones left out) have names that are not
// valid UTF-8, such as CP932 names from an old Windows archive: no list can show them, and a path formed
// from their decoded names would not reach them.
[[nodiscard]] int undecodableMp3Names(const QString& folder);

// The line that tells the user about them; empty for none.
[[nodiscard]] QString undecodableNamesNote(const QString& folder, int count);

// True when mp3FileNames(folder) would list `name`.
[[nodiscard]] bool isListedMp3(const QString& folder, const QString& name);

// Sub-folders of `folder` (hidden ones and links left out) as paths relative to it, each before its own
// sub-folders, siblings in name order.
[[nodiscard]] QStringList subFolders(const QString& folder);

// The same names in ascending order without regard to letter case (ties by exact text).
[[nodiscard]] QStringList sortedByName(QStringList names);

} // namespace core
