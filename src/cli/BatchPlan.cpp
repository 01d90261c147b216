#include "cli/BatchPlan.h"

#include "cli/CliOptions.h"
#include "core/DestinationCheck.h"
#include "core/SourceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace cli {

BatchPlan planBatch(const Options& options) {
    BatchPlan plan;
    const QDir destination(options.destination);
    QSet<QString> sources;
    QSet<QString> destinations;

    // Keys are absolute paths; the working folder is asked once, not for each of thousands of files.
    const QString here = QDir::currentPath();
    const auto absolute = [&](const QString& path) {
        return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : here + QLatin1Char('/') + path);
    };
    const auto add = [&](const QString& source, const QString& target) {
        const QString key = absolute(source);
        if (sources.contains(key))
            return;
        sources.insert(key);
        const QString targetKey = absolute(target);
        plan.targets.insert(targetKey);
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
        if (!options.overwrite && !options.update && !replacesSource && QFileInfo::exists(target)) {
            plan.notes
                << QStringLiteral("%1: skipped, %2 exists (--overwrite replaces it)").arg(source, target);
            return;
        }
        core::ConversionJob job;
        job.source = source;
        job.destination = target;
        job.bitRate = options.bitRate;
        job.channelMode = options.channelMode;
        job.vbrQuality = options.vbrQuality;
        job.id3v23 = options.id3v23;
        job.coverMax = options.coverMax;
        job.normalize = options.normalize;
        job.targetLufs = options.targetLufs;
        plan.jobs << job;
    };

    for (const QString& input : options.inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            QStringList folders{QString()};
            if (options.recursive)
                folders += core::subFolders(input);
            for (const QString& relative : folders) {
                const QString folder = relative.isEmpty() ? input : QDir(input).filePath(relative);
                const QDir target(relative.isEmpty() ? destination.path() : destination.filePath(relative));
                for (const QString& name : core::sortedByName(core::mp3FileNames(folder)))
                    add(QDir(folder).filePath(name), target.filePath(name));
                const int unreadable = core::undecodableMp3Names(folder);
                if (unreadable > 0) {
                    plan.passedOverNotes << core::undecodableNamesNote(folder, unreadable);
                    plan.passedOver += unreadable;
                }
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
