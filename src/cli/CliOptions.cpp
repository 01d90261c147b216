#include "cli/CliOptions.h"

#include "core/convert/EncodingChoices.h"

#include <QCommandLineParser>
#include <QDir>

#include <optional>

namespace cli {
namespace {

const char* const Usage =
    "Usage: mp3recast-cli [-b KBPS | --vbr Q] [-m mono|stereo|joint] [-j N] [-w WORKDIR] [-r] [--overwrite]\n"
    "                     [--update [--checksum]] [--prune] [-n] [--no-upscale] [--keep-dates]\n"
    "                     [--in-place]\n"
    "                     [--id3v23] [--cover-max PX] [--normalize[=track|album] [--target LUFS]]\n"
    "                     [--fat-names]\n"
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
    "                   content or with other settings); outputs record what they were made from.\n"
    "                   A source of another size has changed; one of the same size and time has not;\n"
    "                   one whose time changed is compared by the hash of its whole content\n"
    "  --checksum       with --update: compare every source's whole content with its output's record,\n"
    "                   whatever its size and time (sees an edit that kept both; reads every source)\n"
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
    "For car stereos and older players:\n"
    "  --vbr Q          variable bit rate at LAME's -V quality Q, 0 (best) to 9, instead of -b\n"
    "  --id3v23         write the ID3v2 tag as version 2.3 (2.4 frames converted, those without a 2.3\n"
    "                   form dropped with a note)\n"
    "  --cover-max PX   re-encode embedded pictures larger than PX x PX, or not baseline JPEG, as baseline\n"
    "                   JPEG of at most PX x PX (16 to 4096)\n"
    "  --fat-names      name outputs and folders as FAT32 and exFAT sticks take them: : ? \" * < > | \\\n"
    "                   become the full-width forms, control characters _, trailing dots and spaces\n"
    "                   go (\"AC:DC\" is written \"AC\xef\xbc\x9a"
    "DC\"); --update and --prune know such an output as\n"
    "                   its source's own. Without it a name the stick refuses fails that file alone\n"
    "  --normalize[=track|album]\n"
    "                   scale each file (track, the default) or each source folder as a whole (album) to\n"
    "                   the target loudness (EBU R128), the true peak kept at or below -1 dBTP; the gain is\n"
    "                   recorded in a TXXX frame MP3RECAST_GAIN and the source's ReplayGain frames removed\n"
    "  --target LUFS    loudness for --normalize, -40 to -5 (default -16)\n"
    "\n"
    "A FOLDER means its *.mp3 files. A progress bar with the time left is drawn when stderr is a\n"
    "terminal; otherwise only failures and notes are printed, one line each on stderr. At the end one\n"
    "line on stdout sums up the run. Keeping a copy in step, a month later:\n"
    "  mp3recast-cli -r --update --prune -b 128 -o /media/car ~/Music\n"
    "Exit status: 0 all files converted (or skipped), 1 some failed, 2 bad usage, 130 interrupted.\n"
    "\n"
    "Example, for a car stereo:\n"
    "  mp3recast-cli -r --vbr 2 --id3v23 --cover-max 500 --normalize=album -o /media/usb/music ~/Music\n";

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// --normalize takes an optional value, which the parser does not know: a bare one means track mode.
QStringList withNormalizeValue(QStringList arguments) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
        if (arguments[i] == QLatin1String("--normalize"))
            arguments[i] = QStringLiteral("--normalize=track");
    }
    return arguments;
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
    const QCommandLineOption vbr(QStringLiteral("vbr"), QString(), QStringLiteral("Q"));
    const QCommandLineOption id3v23(QStringLiteral("id3v23"));
    const QCommandLineOption coverMax(QStringLiteral("cover-max"), QString(), QStringLiteral("PX"));
    const QCommandLineOption normalize(QStringLiteral("normalize"), QString(), QStringLiteral("MODE"));
    const QCommandLineOption target(QStringLiteral("target"), QString(), QStringLiteral("LUFS"));
    const QCommandLineOption fatNames(QStringLiteral("fat-names"));
    const QCommandLineOption checksum(QStringLiteral("checksum"));
    parser.addOptions({bitRate, mode,  jobs,   work,      recursive, overwrite, inPlace,  output,
                       update,  prune, dryRun, noUpscale, keepDates, help,      version,  worker,
                       silence, vbr,   id3v23, coverMax,  normalize, target,    fatNames, checksum});

    if (!parser.parse(withNormalizeValue(arguments)))
        return UsageError{parser.errorText()};
    if (parser.isSet(help))
        return ShowText{QString::fromUtf8(Usage)};
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
    if (parser.isSet(vbr)) {
        const auto value = wholeNumber(parser.value(vbr));
        if (!value || *value < 0 || *value > 9)
            return UsageError{QStringLiteral("--vbr: a quality from 0 to 9, not ") + parser.value(vbr)};
        if (parser.isSet(bitRate))
            return UsageError{QStringLiteral("-b and --vbr: choose one")};
        options.vbrQuality = *value;
    }
    if (parser.isSet(coverMax)) {
        const auto value = wholeNumber(parser.value(coverMax));
        if (!value || *value < 16 || *value > 4096)
            return UsageError{QStringLiteral("--cover-max: a size from 16 to 4096 pixels, not ") +
                              parser.value(coverMax)};
        options.coverMax = *value;
    }
    if (parser.isSet(normalize)) {
        const QString value = parser.value(normalize);
        if (value != QLatin1String("track") && value != QLatin1String("album"))
            return UsageError{QStringLiteral("--normalize: track or album, not ") + value};
        options.normalize = value == QLatin1String("album") ? core::Normalize::Album : core::Normalize::Track;
    }
    if (parser.isSet(target)) {
        bool ok = false;
        const double value = parser.value(target).toDouble(&ok);
        if (!ok || value < -40 || value > -5)
            return UsageError{QStringLiteral("--target: a loudness from -40 to -5 LUFS, not ") +
                              parser.value(target)};
        if (!parser.isSet(normalize))
            return UsageError{QStringLiteral("--target goes with --normalize")};
        options.targetLufs = value;
    }
    options.id3v23 = parser.isSet(id3v23);
    options.workFolder = parser.value(work);
    options.recursive = parser.isSet(recursive);
    options.overwrite = parser.isSet(overwrite);
    options.inPlace = parser.isSet(inPlace);
    options.update = parser.isSet(update);
    options.prune = parser.isSet(prune);
    options.dryRun = parser.isSet(dryRun);
    options.noUpscale = parser.isSet(noUpscale);
    options.keepDates = parser.isSet(keepDates);
    options.fatNames = parser.isSet(fatNames);
    options.checksum = parser.isSet(checksum);
    if (options.checksum && !options.update)
        return UsageError{QStringLiteral("--checksum goes with --update")};
    options.destination = parser.value(output);
    options.inputs = parser.positionalArguments();
    if (options.destination.isEmpty())
        return UsageError{QStringLiteral("-o DESTDIR is required")};
    if (options.inputs.isEmpty())
        return UsageError{QStringLiteral("no FILE or FOLDER given")};
    return RunBatch{options};
}

} // namespace cli
