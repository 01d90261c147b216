#include "cli/BatchPlan.h"

#include "cli/CliOptions.h"
#include "core/files/DestinationCheck.h"
#include "core/files/FatNames.h"
#include "core/files/SourceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace cli {

BatchPlan planBatch(const Options& options) {
    BatchPlan plan;
    const QDir destination(options.destination);
    QSet<QString> sources;
    // Each output's key, and the input that claimed it first. On a stick that folds letter case,
    // "Song.mp3" and "song.mp3" are one file: the key is case-folded there.
    struct Claim {
        QString source, target, targetKey;
    };
    QHash<QString, Claim> claimed;
    const bool foldsCase = core::foldsLetterCase(options.destination);
    const auto fatName = [&](const QString& name) {
        return options.fatNames ? core::fatSafeName(name) : name;
    };

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
        const QString claimKey = foldsCase ? targetKey.toCaseFolded() : targetKey;
        if (const auto first = claimed.constFind(claimKey); first != claimed.cend()) {
            if (first->targetKey == targetKey)
                plan.notes
                    << QStringLiteral("%1: skipped, another input already goes to %2").arg(source, target);
            else
                plan.notes << QStringLiteral(
                                  "%1: skipped, its output %2 and %3's output %4 differ only in letter "
                                  "case, which the destination's file system takes for one name")
                                  .arg(source, target, first->source, first->target);
            return;
        }
        claimed.insert(claimKey, Claim{source, target, targetKey});
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
                const QString targetRelative =
                    options.fatNames ? core::fatSafeRelativePath(relative) : relative;
                const QDir target(relative.isEmpty() ? destination.path()
                                                     : destination.filePath(targetRelative));
                for (const QString& name : core::sortedByName(core::mp3FileNames(folder)))
                    add(QDir(folder).filePath(name), target.filePath(fatName(name)));
                const int unreadable = core::undecodableMp3Names(folder);
                if (unreadable > 0) {
                    plan.passedOverNotes << core::undecodableNamesNote(folder, unreadable);
                    plan.passedOver += unreadable;
                }
            }
        } else if (info.isFile()) {
            add(input, destination.filePath(fatName(info.fileName())));
        } else {
            plan.errors << QStringLiteral("%1: no such file or folder").arg(input);
        }
    }
    return plan;
}

} // namespace cli
