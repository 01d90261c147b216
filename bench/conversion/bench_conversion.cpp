// The conversion as the user runs it (the real window offscreen, scripted dialogs, the codec libraries)
// against the same decode and encode work done with direct libmpg123 + LAME calls, in the same run.
//
// Usage: bench_conversion [files, default 10] [seconds each, default 60]
//        bench_conversion --long MINUTES   converts one long file and prints the peak memory
//        bench_conversion --window JOBS OUT FILE...   one window run over the files (JOBS as the settings
//                                                      key Jobs); prints seconds and peak memory in MB
//        bench_conversion --direct OUT FILE...        the same work with direct libmpg123 + LAME calls
// (the last two are the steps bench/compare.sh alternates with the command line and ffmpeg)
// Goals: a ratio of at most 1.10 against the direct calls; peak memory under 80 MB for a 60-minute file,
// not growing with the file's length.

#include "ProcessMemory.h"
#include "ScriptedDialogs.h"
#include "WindowDriver.h"
#include "core/models/ConversionQueue.h"
#include "direct_conversion.h"
#include "mp3_fixtures.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

// The largest peak resident memory of any finished child process (the workers), in MB. The kernel counts
// in it the window's pages a worker holds between fork and exec, so it never reads below the window's own
// size at the first start of a worker; a worker's own peak is measured with GNU time on mp3recast-cli.
double childPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024.0;
}

double convertThroughWindow(const QStringList& sources, const QString& root, int jobs = 1,
                            const QString& out = QString()) {
    ProgramInfo program;
    program.executableFolder = program.settingsFolder = program.lockFolder = root;
    ScriptedDialogs dialogs;
    MainForm form(program, dialogs);
    const QString work = root + QStringLiteral("/work");
    const QString destination = out.isEmpty() ? root + QStringLiteral("/out") : out;
    QDir().mkpath(work);
    QDir().mkpath(destination);
    form.setWorkers(jobs);
    ui::field(form, "SelectFolderText", 1)->setText(work);
    ui::field(form, "SelectFolderText", 2)->setText(destination);
    for (const QString& source : sources)
        form.queue().add(source);
    ui::option(form, "Bits", 8)->setChecked(true);   // 128 kbit/s
    ui::option(form, "Stereo", 2)->setChecked(true); // joint stereo
    QElapsedTimer timer;
    timer.start();
    ui::click(form, "ConvertStart");
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!dialogs.shown.isEmpty())
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(dialogs.shown.first().text));
    return seconds;
}

double convertDirect(const QStringList& sources, const QString& root,
                     const QString& destination = QString()) {
    const QString out = destination.isEmpty() ? root + QStringLiteral("/direct") : destination;
    QDir().mkpath(out);
    QElapsedTimer timer;
    timer.start();
    for (const QString& source : sources) {
        if (!convertDirectly(source, out + QStringLiteral("/Temp.tmp"),
                             out + QLatin1Char('/') + QFileInfo(source).fileName(), 128))
            std::fprintf(stderr, "direct conversion failed: %s\n", qPrintable(source));
    }
    return timer.nsecsElapsed() / 1e9;
}

int longFile(int minutes) {
    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("long.mp3"));
    if (!writeLongMp3(source, minutes * 60))
        return 1;
    const double before = bench::peakMegabytes();
    const double seconds = convertThroughWindow({source}, root.path());
    std::printf("%d-minute file: %.1f s (%.1fx real time), peak memory %.1f MB (%.1f MB before the run)\n",
                minutes, seconds, minutes * 60 / seconds, bench::peakMegabytes(), before);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--long") == 0)
        return longFile(std::atoi(argv[2]));
    if (argc >= 5 && std::strcmp(argv[1], "--window") == 0) {
        const QStringList sources = QCoreApplication::arguments().mid(4);
        QTemporaryDir root;
        const double seconds =
            convertThroughWindow(sources, root.path(), std::atoi(argv[2]), QString::fromLocal8Bit(argv[3]));
        std::printf("%.3f %.1f %.1f\n", seconds, bench::peakMegabytes(), childPeakMegabytes());
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "--direct") == 0) {
        QTemporaryDir root;
        const double seconds =
            convertDirect(QCoreApplication::arguments().mid(3), root.path(), QString::fromLocal8Bit(argv[2]));
        std::printf("%.3f %.1f\n", seconds, bench::peakMegabytes());
        return 0;
    }

    const int files = argc > 1 ? std::atoi(argv[1]) : 10;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    QTemporaryDir root;
    QStringList sources;
    for (int i = 0; i < files; ++i) {
        fixtures::ToneSpec spec;
        spec.seconds = seconds;
        spec.bitRate = 192;
        spec.frequency = 300 + 40 * i;
        sources << root.filePath(QStringLiteral("%1.mp3").arg(i));
        fixtures::writeFile(sources.last(), fixtures::makeMp3(spec).bytes);
    }

    // Alternate the two so that neither gains from a warmer cache; keep the best of each.
    double window = 1e30, direct = 1e30;
    for (int round = 0; round < 3; ++round) {
        direct = std::min(direct, convertDirect(sources, root.path()));
        window = std::min(window, convertThroughWindow(sources, root.path()));
    }
    const double audio = double(files) * seconds;
    std::printf("%d files of %d s, 192 -> 128 kbit/s joint stereo\n", files, seconds);
    std::printf("  through the window: %.2f s (%.1fx real time)\n", window, audio / window);
    std::printf("  direct calls:       %.2f s (%.1fx real time)\n", direct, audio / direct);
    std::printf("  ratio: %.3f\n", window / direct);
    return 0;
}
