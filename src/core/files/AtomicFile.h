// Writing a whole file so that its name always gives the old contents or the new, never a part: the new
// bytes go into a hidden temporary file beside the target, every write, the flush to disk and the close
// are checked, and only a complete file is renamed over the target; the folder is then flushed too, so
// that the rename itself survives a power loss or a stick pulled right after it.
//
// The temporary file is named ".NAME.mp3recast-PID-XXXXXX". A writer killed before its rename leaves it
// behind; removeStaleTemporaries() takes away those whose process is gone, never those of a living one.
#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

namespace core {

// A failure's reason is one line for the user naming the cause (a full disk, no permission, ...); its
// systemError() is the errno of the step that failed.

// Replaces (or creates) `path` with `bytes`. On failure the target is exactly as it was and no temporary
// file is left. The new file keeps the old one's permission bits (a new one gets 0666 less the umask).
Result writeFileAtomically(const QString& path, const QByteArray& bytes);

// Copies `source` into `destination` the same way, streaming; the copy takes the source's permission
// bits. False (and the destination untouched) on any failure, a short read of the source included.
Result copyFileAtomically(const QString& source, const QString& destination);

// Flushes a folder's entries (a rename or a new link inside it) to disk; true when it worked or the file
// system cannot do it.
[[nodiscard]] bool syncFolder(const QString& folder);

// Removes the temporary files in `folder` that writers which no longer run left behind; returns how many.
int removeStaleTemporaries(const QString& folder);

// What writers killed in `folder` left: their temporary files go (removeStaleTemporaries), and the tag
// library finishes the in-place tag rewrites whose journals lie there, so that every such file holds its
// new version. Run for the folders a run or the window is about to use; returns how many files it
// removed or finished (a count for a log: callers that keep none may drop it).
int finishInterruptedWrites(const QString& folder);

} // namespace core
