// Whether the destination can take the converted files, asked before any work is done, and why a copy
// into it failed. Each answer is one line naming the cause, empty when there is nothing wrong.
#pragma once

#include <QString>

namespace core {

// Empty when a file can be created in `folder` now (tried with a file of the moment), else the cause.
QString destinationProblem(const QString& folder);

// Makes `folder` with every missing level; empty when it then exists and can take files, else the cause.
QString makeDestinationFolder(const QString& folder);

// Why copying a finished file to `destination` failed: the folder, a protected file of the same name,
// or (when nothing else explains it) the free space.
QString copyFailureCause(const QString& destination);

// True when `folder` is the folder holding `file`, links and trailing separators notwithstanding:
// converting `file` into `folder` would replace it.
bool isFolderOf(const QString& folder, const QString& file);

} // namespace core
