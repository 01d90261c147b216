// A command-line run: the planned jobs converted in this process (-j 1) or by worker processes, with the
// progress bar, one line per failure, and the exit status.
#pragma once

namespace cli {

struct Options;

// 0 when every file was converted or skipped, 1 when any failed.
[[nodiscard]] int runBatch(const Options& options);

} // namespace cli
