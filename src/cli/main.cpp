// mp3recast-cli: the window program's conversion from the command line, and its worker processes.

#include "cli/BatchRun.h"
#include "cli/CliOptions.h"
#include "cli/WorkerMode.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const cli::Command command = cli::parseCommandLine(QCoreApplication::arguments());
    if (const auto* text = std::get_if<cli::ShowText>(&command)) {
        std::fputs(text->text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<cli::UsageError>(&command)) {
        std::fprintf(stderr, "mp3recast-cli: %s\nTry 'mp3recast-cli --help'.\n",
                     error->message.toLocal8Bit().constData());
        return 2;
    }
    if (std::holds_alternative<cli::RunWorker>(command))
        return cli::runWorker();
    return cli::runBatch(std::get<cli::RunBatch>(command).options);
}
