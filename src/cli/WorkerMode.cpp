#include "cli/WorkerMode.h"

#include "core/convert/Converter.h"
#include "core/files/FileHelpers.h"
#include "core/run/WorkerProtocol.h"

#include <QFileInfo>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

void send(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

class ProtocolSink : public core::ConversionSink {
  public:
    void started() override { send(core::protocol::startedLine()); }
    void decoding(const QString& songText) override { send(core::protocol::decodingLine(songText)); }
    void progress(int percent) override { send(core::protocol::progressLine(percent)); }
};

#ifdef MP3RECAST_WORKER_TEST_HOOK
// For the tests of a worker that crashes or hangs: MP3RECAST_WORKER_TEST=abort:NAME or hang:NAME makes
// the worker of a source whose file name contains NAME do so.
void testHook(const QString& source) {
    const QString hook = qEnvironmentVariable("MP3RECAST_WORKER_TEST");
    const qsizetype colon = hook.indexOf(QLatin1Char(':'));
    if (colon < 0 || !QFileInfo(source).fileName().contains(hook.mid(colon + 1)))
        return;
    if (hook.startsWith(QLatin1String("abort:")))
        std::abort();
    if (hook.startsWith(QLatin1String("hang:"))) {
        for (;;)
            QThread::sleep(60);
    }
}
#endif

// A worker works for its parent only: once the parent is gone (killed, crashed) it ends at once instead
// of writing on into a work folder that the next run reclaims.
void endWithParent() {
#ifdef Q_OS_LINUX
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above (the worker then belongs to another process
    // already): the parent names itself, since the worker cannot tell it from its new one.
    const qint64 parent = qEnvironmentVariableIntValue("MP3RECAST_PARENT_PID");
    if (parent > 0 && getppid() != pid_t(parent))
        std::_Exit(3);
#endif
}

} // namespace

int runWorker() {
    endWithParent();
    char buffer[65536];
    if (std::fgets(buffer, sizeof buffer, stdin) == nullptr)
        return 2;
    const auto job = core::protocol::parseJobLine(QByteArray(buffer));
    if (!job)
        return 2;
    ProtocolSink sink;
    core::Converter converter(*job, sink);
#ifdef MP3RECAST_WORKER_TEST_HOOK
    testHook(job->source);
#endif
    const core::Outcome outcome = converter.prepare();
    // Only the finished MP3 is needed from here on; the WAV would hold disk space until it is placed.
    // A WAV that stays is removed when the file is placed.
    if (outcome.converted())
        static_cast<void>(DeleteFileForced(converter.wavWorkPath()));
    send(core::protocol::outcomeLine(outcome));
    return 0;
}

} // namespace cli
