#include "cli/BatchPlan.h"

#include "cli/CliOptions.h"
#include "core/DestinationCheck.h"
#include "core/SourceFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

namespace cli {
namespace {

// Sub-folders of `folder` (hidden ones and links left out) as paths relative to it, each before its own
// sub-folders, siblings in name order.
QStringList subFolders(const QString& folder, const QString& relative = {}) {
    QStringList folders;
    const QDir here(QDir(folder).filePath(relative));
    const QStringList children = here.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& child : core::sortedByName(children)) {
        const QString path = relative.isEmpty() ? child : relative + QLatin1Char('/') + child;
        folders << path;
        folders += subFolders(folder, path);
    }
    return folders;
}

} // namespace

BatchPlan planBatch(const Options& options) {
    BatchPlan plan;
    const QDir destination(options.destination);
    QSet<QString> sources;
    QSet<QString> destinations;

    const auto add = [&](const QString& source, const QString& target) {
        const QString key = QFileInfo(source).absoluteFilePath();
        if (sources.contains(key))
            return;
        sources.insert(key);
        const QString targetKey = QFileInfo(target).absoluteFilePath();
        if (destinations.contains(targetKey)) {
            plan.notes << QStringLiteral("%1: skipped, another input already goes to %2").arg(source, target);
            return;
        }
        destinations.insert(targetKey);
        // Replacing an original with its lossy re-encode must be asked for by name, never a side effect
        // of --overwrite.
        const bool replacesSource = core::isFolderOf(QFileInfo(target).path(), source);
        if (replacesSource && !options.inPlace) {
            plan.inPlace << source;
            return;
        }
        if (!options.overwrite && !replacesSource && QFileInfo::exists(target)) {
            plan.notes
                << QStringLiteral("%1: skipped, %2 exists (--overwrite replaces it)").arg(source, target);
            return;
        }
        core::ConversionJob job;
        job.source = source;
        job.destination = target;
        job.bitRate = options.bitRate;
        job.channelMode = options.channelMode;
        plan.jobs << job;
    };

    for (const QString& input : options.inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            QStringList folders{QString()};
            if (options.recursive)
                folders += subFolders(input);
            for (const QString& relative : folders) {
                const QString folder = relative.isEmpty() ? input : QDir(input).filePath(relative);
                const QDir target(relative.isEmpty() ? destination.path() : destination.filePath(relative));
                for (const QString& name : core::sortedByName(core::mp3FileNames(folder)))
                    add(QDir(folder).filePath(name), target.filePath(name));
            }
        } else if (info.isFile()) {
            add(input, destination.filePath(info.fileName()));
        } else {
            plan.errors << QStringLiteral("%1: no such file or folder").arg(input);
        }
    }
    return plan;
}

} // namespace cli
