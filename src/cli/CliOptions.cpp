#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <array>
#include <optional>

namespace cli {
namespace {

constexpr std::array<int, 14> BitRates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

const char* const Usage =
    "Usage: mp3recast-cli [-b KBPS] [-m mono|stereo|joint] [-j N] [-w WORKDIR] [-r] [--overwrite]\n"
    "                     [--in-place] -o DESTDIR FILE|FOLDER...\n"
    "\n"
    "Re-encodes MP3 files at the chosen bit rate and channel mode, keeping each file's name and tags,\n"
    "into DESTDIR. The output is the same as the window program's for the same settings.\n"
    "\n"
    "  -b KBPS          bit rate: 32 40 48 56 64 80 96 112 128 160 192 224 256 320 (default 128)\n"
    "  -m MODE          channel mode: mono, stereo or joint (default stereo)\n"
    "  -j N             files converted at once, each in its own process (default: one per core)\n"
    "  -w WORKDIR       folder for the work files (default: the system's temporary folder)\n"
    "  -r               also the MP3 files of sub-folders, each under the same relative folder in DESTDIR\n"
    "  --overwrite      replace existing files in DESTDIR (by default they are skipped with a note)\n"
    "  --in-place       allow DESTDIR to be an input file's own folder: the original is replaced by its\n"
    "                   re-encoded copy (without it such a run is refused before any work)\n"
    "  -o DESTDIR       destination folder, created when missing (before any work: one that cannot be\n"
    "                   made ends the run at once)\n"
    "  -h, --help       this text\n"
    "  --version        the program's version\n"
    "\n"
    "A FOLDER means its *.mp3 files. A progress bar is drawn when stderr is a terminal; otherwise only\n"
    "failures are printed, one line each on stderr.\n"
    "Exit status: 0 all files converted (or skipped), 1 some failed, 2 bad usage.\n";

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

Command parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption bitRate(QStringLiteral("b"), QString(), QStringLiteral("KBPS"));
    const QCommandLineOption mode(QStringLiteral("m"), QString(), QStringLiteral("MODE"));
    const QCommandLineOption jobs(QStringLiteral("j"), QString(), QStringLiteral("N"));
    const QCommandLineOption work(QStringLiteral("w"), QString(), QStringLiteral("WORKDIR"));
    const QCommandLineOption recursive(QStringLiteral("r"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption inPlace(QStringLiteral("in-place"));
    const QCommandLineOption output(QStringLiteral("o"), QString(), QStringLiteral("DESTDIR"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption worker(QStringLiteral("worker"));
    const QCommandLineOption silence(QStringLiteral("silence-limit"), QString(), QStringLiteral("MS"));
    parser.addOptions(
        {bitRate, mode, jobs, work, recursive, overwrite, inPlace, output, help, version, worker, silence});

    if (!parser.parse(arguments))
        return UsageError{parser.errorText()};
    if (parser.isSet(help))
        return ShowText{QString::fromLatin1(Usage)};
    if (parser.isSet(version))
        return ShowText{QStringLiteral("mp3recast-cli %1.%2.%3\n")
                            .arg(MP3RECAST_VERSION_MAJOR)
                            .arg(MP3RECAST_VERSION_MINOR)
                            .arg(MP3RECAST_VERSION_PATCH)};
    if (parser.isSet(worker))
        return RunWorker{};

    Options options;
    if (parser.isSet(bitRate)) {
        const auto value = wholeNumber(parser.value(bitRate));
        if (!value || std::find(BitRates.begin(), BitRates.end(), *value) == BitRates.end())
            return UsageError{QStringLiteral("-b: not one of the fourteen bit rates: ") +
                              parser.value(bitRate)};
        options.bitRate = *value;
    }
    if (parser.isSet(mode)) {
        const QStringList modes = {QStringLiteral("mono"), QStringLiteral("stereo"), QStringLiteral("joint")};
        options.channelMode = int(modes.indexOf(parser.value(mode)));
        if (options.channelMode < 0)
            return UsageError{QStringLiteral("-m: mono, stereo or joint, not ") + parser.value(mode)};
    }
    if (parser.isSet(jobs)) {
        const auto value = wholeNumber(parser.value(jobs));
        if (!value || *value < 1 || *value > 256)
            return UsageError{QStringLiteral("-j: a number from 1 to 256, not ") + parser.value(jobs)};
        options.jobs = *value;
    }
    if (parser.isSet(silence)) {
        const auto value = wholeNumber(parser.value(silence));
        if (!value || *value < 1)
            return UsageError{QStringLiteral("--silence-limit: a number of milliseconds")};
        options.silenceLimitMs = *value;
    }
    options.workFolder = parser.value(work);
    options.recursive = parser.isSet(recursive);
    options.overwrite = parser.isSet(overwrite);
    options.inPlace = parser.isSet(inPlace);
    options.destination = parser.value(output);
    options.inputs = parser.positionalArguments();
    if (options.destination.isEmpty())
        return UsageError{QStringLiteral("-o DESTDIR is required")};
    if (options.inputs.isEmpty())
        return UsageError{QStringLiteral("no FILE or FOLDER given")};
    return RunBatch{options};
}

} // namespace cli
