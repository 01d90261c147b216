// How the file lists scale: ">>" on a source folder of 10,000 MP3 files (and the "<", "<<" that follow)
// and the destination listing of a folder of 10,000 MP3 files in both orders. Run by hand:
//   build/release/bin/bench_lists [FILES]
// The files are empty apart from a few bytes; only names, sizes and time stamps matter here.

#include "WindowDriver.h"
#include "core/models/DestinationListing.h"
#include "ui/Dialogs.h"
#include "ui/ProgramInfo.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

void makeFolder(const QString& folder, int files) {
    for (int i = 0; i < files; ++i) {
        QFile file(folder + QStringLiteral("/%1 曲名 Track.mp3").arg(files - i, 5, 10, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(i % 97, 'x'));
    }
}

template <typename Action> double timed(const char* what, int repeats, Action action) {
    double best = 1e9;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer timer;
        timer.start();
        action();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    std::printf("%-46s %8.3f s  (best of %d)\n", what, best, repeats);
    return best;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10'000;

    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("source"));
    const QString destination = root.filePath(QStringLiteral("destination"));
    QDir().mkpath(source);
    QDir().mkpath(destination);
    makeFolder(source, files);
    makeFolder(destination, files);

    ProgramInfo program = ProgramInfo::current();
    program.executableFolder = root.path();
    program.settingsFolder = root.path();
    program.lockFolder = root.path();
    QtDialogs dialogs; // never shown: nothing here asks a question
    MainForm form(program, dialogs);
    ui::field(form, "SelectFolderText", 0)->setText(source);
    ui::field(form, "SelectFolderText", 1)->setText(root.path());
    ui::field(form, "SelectFolderText", 2)->setText(destination);
    std::printf("%d files per folder\n", files);

    timed("source list refresh", 3, [&] { form.RefreshSourceList(source); });
    timed("\">>\" into an empty queue", 3, [&] {
        ui::click(form, "AllRemove");
        ui::click(form, "AllSelect");
    });
    timed("\">>\" again (every file already queued)", 3, [&] { ui::click(form, "AllSelect"); });
    // Every other entry selected: the worst case for taking entries out one by one.
    QItemSelection everyOther;
    for (int i = 0; i < ui::list(form, "SelectList")->count(); i += 2) {
        const QModelIndex entry = ui::list(form, "SelectList")->model()->index(i, 0);
        everyOther.select(entry, entry);
    }
    ui::list(form, "SelectList")->selectionModel()->select(everyOther, QItemSelectionModel::Select);
    timed("\"<\" with every other entry selected", 1, [&] { ui::click(form, "OneRemove"); });
    timed("\"<<\"", 1, [&] { ui::click(form, "AllRemove"); });

    ui::option(form, "ListSort", 1)->setChecked(true);
    timed("GetDiskFree, name order", 3, [&] { form.GetDiskFree(); });
    ui::option(form, "ListSort", 0)->setChecked(true);
    timed("GetDiskFree, creation-date order", 3, [&] { form.GetDiskFree(); });
    // What a run does after each file it places: the listing takes the file in where a fresh reading
    // would put it, instead of reading the folder again (GetDiskFree above).
    core::DestinationListing listing;
    listing.load(destination, core::DestinationListing::Order::ByDate);
    int placed = 0;
    timed("one placed file into the date-order listing", 3, [&] {
        const QString name = QStringLiteral("placed %1.mp3").arg(++placed);
        QFile file(QDir(destination).filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.close();
        listing.addPlaced(name);
    });
    if (listing.count() != files + placed)
        return 1;
    return ui::list(form, "DFileList")->count() == files ? 0 : 1;
}
