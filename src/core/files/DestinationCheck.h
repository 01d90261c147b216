// Whether the destination can take the converted files, asked before any work is done, and why a copy
// into it failed. Each cause is one line for the user.
#pragma once

#include "core/Result.h"

#include <QString>

namespace core {

// Whether a file can be created in `folder` now (tried with a file of the moment); the failure's reason is
// the cause, one line for the user.
[[nodiscard]] Result checkDestinationFolder(const QString& folder);

// Makes `folder` with every missing level; succeeds when it then exists and can take files.
[[nodiscard]] Result makeDestinationFolder(const QString& folder);

// Why copying a finished file to `destination` failed: the folder, a protected file of the same name,
// or (when nothing else explains it) the free space.
[[nodiscard]] QString copyFailureCause(const QString& destination);

// True when `folder` is the folder holding `file`, links and trailing separators notwithstanding:
// converting `file` into `folder` would replace it.
[[nodiscard]] bool isFolderOf(const QString& folder, const QString& file);

} // namespace core
