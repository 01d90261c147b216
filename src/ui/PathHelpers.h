#pragma once

#include <QString>

// The folder text followed by the path separator, unless its last character already is one.
// An empty text gives the separator alone.
QString AddPathSep(const QString& path);

// True when the path names an existing folder or file that is not hidden. Never fails: an invalid
// or unreachable path simply gives false.
[[nodiscard]] bool FolderExists(const QString& path);
