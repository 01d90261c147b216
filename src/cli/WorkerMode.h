// mp3recast-cli --worker: converts the one job read from stdin and reports on stdout (see
// core/WorkerProtocol.h). The parent places the finished file; the worker leaves it in its work folder.
#pragma once

namespace cli {

[[nodiscard]] int runWorker();

} // namespace cli
