#include "cli/CliOptions.h"

#include "core/EncodingChoices.h"

#include <QCommandLineParser>
#include <QDir>

#include <optional>

namespace cli {
namespace {

const char* const Usage =
    "Usage: mp3recast-cli [-b KBPS] [-m mono|stereo|joint] [-j N] [-w WORKDIR] [-r] [--overwrite]\n"
    "                     [--update] [--prune] [-n] [--no-upscale] [--keep-dates] [--in-place]\n"
    "                     -o DESTDIR FILE|FOLDER...\n"
    "\n"
    "Re-encodes MP3 files at the chosen bit rate and channel mode, keeping each file's name and tags,\n"
    "into DESTDIR. The output is the same as the window program's for the same settings; with --update,\n"
    "--prune or --no-upscale each output also records what it was made from (a TXXX frame).\n"
    "\n"
    "  -b KBPS          bit rate: 32 40 48 56 64 80 96 112 128 160 192 224 256 320 (default 128)\n"
    "  -m MODE          channel mode: mono, stereo or joint (default stereo)\n"
    "  -j N             files converted at once, each in its own process (default: one per core)\n"
    "  -w WORKDIR       folder for the work files (default: the system's temporary folder)\n"
    "  -r               also the MP3 files of sub-folders, each under the same relative folder in DESTDIR\n"
    "  --overwrite      replace existing files in DESTDIR (by default they are skipped with a note)\n"
    "  --update         convert only sources whose output is missing or out of date (made from other\n"
    "                   content or with other settings); outputs record what they were made from\n"
    "  --prune          after the run, delete outputs in DESTDIR (with -r, its sub-folders) whose source\n"
    "                   is no longer among the inputs; only files this program made, and the folders\n"
    "                   this leaves empty\n"
    "  -n, --dry-run    print what would be converted, copied and pruned; change nothing\n"
    "  --no-upscale     copy a source instead of re-encoding it when its bit rate (VBR: its average) is\n"
    "                   at or below KBPS, it is at 44,100 Hz and its channels fit the mode\n"
    "  --keep-dates     each output gets its source's modification time\n"
    "  --in-place       allow DESTDIR to be an input file's own folder: the original is replaced by its\n"
    "                   re-encoded copy (without it such a run is refused before any work)\n"
    "  -o DESTDIR       destination folder, created when missing (before any work: one that cannot be\n"
    "                   made ends the run at once)\n"
    "  -h, --help       this text\n"
    "  --version        the program's version\n"
    "\n"
    "A FOLDER means its *.mp3 files. A progress bar with the time left is drawn when stderr is a\n"
    "terminal; otherwise only failures and notes are printed, one line each on stderr. At the end one\n"
    "line on stdout sums up the run. Keeping a copy in step, a month later:\n"
    "  mp3recast-cli -r --update --prune -b 128 -o /media/car ~/Music\n"
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
    const QCommandLineOption update(QStringLiteral("update"));
    const QCommandLineOption prune(QStringLiteral("prune"));
    const QCommandLineOption dryRun(QStringList{QStringLiteral("n"), QStringLiteral("dry-run")});
    const QCommandLineOption noUpscale(QStringLiteral("no-upscale"));
    const QCommandLineOption keepDates(QStringLiteral("keep-dates"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption worker(QStringLiteral("worker"));
    const QCommandLineOption silence(QStringLiteral("silence-limit"), QString(), QStringLiteral("MS"));
    parser.addOptions({bitRate, mode, jobs, work, recursive, overwrite, inPlace, output, update, prune,
                       dryRun, noUpscale, keepDates, help, version, worker, silence});

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
        if (!value || !core::isBitRate(*value))
            return UsageError{QStringLiteral("-b: not one of the fourteen bit rates: ") +
                              parser.value(bitRate)};
        options.bitRate = *value;
    }
    if (parser.isSet(mode)) {
        options.channelMode = int(core::channelModeNames().indexOf(parser.value(mode)));
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
    options.update = parser.isSet(update);
    options.prune = parser.isSet(prune);
    options.dryRun = parser.isSet(dryRun);
    options.noUpscale = parser.isSet(noUpscale);
    options.keepDates = parser.isSet(keepDates);
    options.destination = parser.value(output);
    options.inputs = parser.positionalArguments();
    if (options.destination.isEmpty())
        return UsageError{QStringLiteral("-o DESTDIR is required")};
    if (options.inputs.isEmpty())
        return UsageError{QStringLiteral("no FILE or FOLDER given")};
    return RunBatch{options};
}

} // namespace cli
