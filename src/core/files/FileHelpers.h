#pragma once

#include <QString>

// General file and text helpers. None of them shows a message; each reports through its result only.

// The text before its first NUL character, or the whole text when it holds none.
[[nodiscard]] QString CutAtNul(const QString& text);

// Copies source to destination and checks that both then have the same length. The copy is written to a
// temporary file beside the destination and renamed over it only when complete, so a copy that fails
// half-way (full disk, unreadable source) leaves an existing destination exactly as it was, and source and
// destination may be the same file. With failIfExists an existing destination is never replaced. A
// destination of equal length gets its permissions reset to a plain writable file, even when the copy
// itself failed (the result then stays false).
[[nodiscard]] bool CopyFileChecked(const QString& source, const QString& destination, bool failIfExists);

// Deletes a file whatever its permissions; true when it is gone.
[[nodiscard]] bool DeleteFileForced(const QString& path);

namespace core {

// Gives the owner read and write permission on an existing file, so that it can be replaced or removed.
// Best effort with no result: the write or removal that follows fails on its own and reports it.
void makePlainWritable(const QString& path);

} // namespace core

// The part after the last path separator, or the whole path when it is shorter than 3 characters or holds
// no separator. On Windows a drive colon counts as a separator too.
[[nodiscard]] QString ExtractFileName(const QString& path);
