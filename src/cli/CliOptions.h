// The command line of mp3recast-cli, parsed.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QString>
#include <QStringList>
#include <variant>

namespace cli {

struct Options {
    int bitRate = 128;
    int channelMode = 1; // 0 mono, 1 stereo, 2 joint stereo
    int jobs = 0;        // 0: one per core
    QString workFolder;  // empty: the system's temporary folder
    bool recursive = false;
    bool overwrite = false;
    bool inPlace = false;   // a destination that is an input's own folder replaces the originals
    bool update = false;    // only outputs that are missing or out of date
    bool checksum = false;  // with update: every source's content compared, whatever its size and time
    bool prune = false;     // delete outputs whose sources are gone
    bool dryRun = false;    // print what would be done, change nothing
    bool noUpscale = false; // copy sources at or below the target
    bool keepDates = false; // outputs get their sources' modification times
    bool fatNames = false;  // names FAT and exFAT refuse are written in full-width forms
    QString destination;
    QStringList inputs;
    int silenceLimitMs = 120000; // a worker silent this long counts as hung
    // Files for car stereos and older players (see --help).
    int vbrQuality = -1; // --vbr Q
    bool id3v23 = false;
    int coverMax = 0;
    core::Normalize normalize = core::Normalize::Off;
    double targetLufs = -16.0;
};

// What the command line asks for.
struct RunBatch {
    Options options;
};
struct RunWorker {};
struct ShowText {
    QString text; // --help or --version, printed on stdout, exit 0
};
struct UsageError {
    QString message; // printed on stderr with a pointer to --help, exit 2
};
using Command = std::variant<RunBatch, RunWorker, ShowText, UsageError>;

// arguments as main() gets them, the program name first.
Command parseCommandLine(const QStringList& arguments);

} // namespace cli
