#include "core/sync/LibrarySync.h"

#include "core/convert/CodecSessions.h"
#include "core/convert/Converter.h"
#include "core/files/FatNames.h"
#include "core/files/FileHelpers.h"
#include "core/files/SourceFiles.h"
#include "core/sync/SyncRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace core {
namespace {

constexpr int ReencodedRate = 44100; // the encoder always writes this rate

// Same content as when the record was made. Another size is a change. The same size and time is no
// change (the quick check, as rsync's), unless `checksum` asks for the content whatever the size and time.
// A source whose time changed is compared by the hash of its whole content, so that a touched file is
// left alone and an edit anywhere in it is seen; a record of an earlier version, without that hash, is
// compared by the hash of the parts it has (tag, first and last 64 KB).
bool sourceUnchanged(const SyncRecord& record, const QString& source, bool checksum) {
    const QFileInfo info(source);
    if (!info.isFile() || info.size() != record.sourceSize)
        return false;
    if (!checksum && info.lastModified().toMSecsSinceEpoch() == record.sourceModifiedMs)
        return true;
    // A source that cannot be read is not known to be unchanged: the run tries it, and says why it fails.
    if (!record.sourceSum.isEmpty()) {
        const Expected<QString> sum = wholeContentHash(source);
        return sum && *sum == record.sourceSum;
    }
    const Expected<QString> hash = contentHash(source);
    return hash && *hash == record.sourceHash;
}

bool sameFile(const QString& a, const QString& b) {
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

} // namespace

QString recordSettings(const ConversionJob& job, const SyncOptions& options) {
    QString settings = outputSettings(job);
    // Copies instead of re-encodings change what a run makes of a source, so the option is a setting.
    if (options.noUpscale)
        settings += QStringLiteral(" no-upscale");
    return settings;
}

SyncDecision decideJob(ConversionJob& job, const SyncOptions& options) {
    const QString settings = recordSettings(job, options);
    SyncDecision decision{SyncAction::Convert, QStringLiteral("new")};
    job.keepDate = options.keepDates;
    // The record first: an output that has one exists, so most files need no further look.
    const std::optional<SyncRecord> record =
        options.update ? readSyncRecord(job.destination) : std::optional<SyncRecord>();
    if (options.update && (record || QFileInfo::exists(job.destination))) {
        if (!record && !options.overwrite)
            return {SyncAction::Foreign, QStringLiteral("not made by mp3recast-cli")};
        if (!record)
            decision.reason = QStringLiteral("not made by mp3recast-cli, replaced");
        else if (record->settings != settings)
            decision.reason = QStringLiteral("settings changed");
        // A file converted where it lay is its own source: its record tells the file it replaced, and
        // converting it again would only lose quality once more. (Asked last: it resolves every link.)
        else if (sourceUnchanged(*record, job.source, options.checksum) ||
                 sameFile(job.source, job.destination))
            return {SyncAction::UpToDate, QStringLiteral("up to date")};
        else
            decision.reason = QStringLiteral("source changed");
    }
    job.copySource = options.noUpscale && notWorthReencoding(job);
    if (job.copySource)
        decision.action = SyncAction::Copy;
    if (options.stampRecord) {
        const Expected<SyncRecord> made = recordOfSource(job.source, settings, job.copySource);
        // A source that cannot be read fails in the run with the usual message.
        job.syncRecord = made ? made->text() : QString();
    }
    return decision;
}

bool notWorthReencoding(const ConversionJob& job) {
    // Evening out the loudness changes the audio: only a re-encoding can do it.
    if (job.normalize != Normalize::Off)
        return false;
    codecs::InputInfo info;
    try {
        DecoderSession session;
        if (!session.init() || !session.decoder().open(job.source, info))
            return false;
    } catch (const std::exception&) {
        return false; // the conversion reports the library's failure
    }
    // A mono source fits every mode; a stereo one only the two-channel modes. A VBR target compares by
    // LAME's typical average for its quality (-V0 245 kbit/s ... -V9 65 kbit/s).
    static const int typicalVbrAverage[] = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
    const int target =
        job.vbrQuality >= 0 && job.vbrQuality <= 9 ? typicalVbrAverage[job.vbrQuality] : job.bitRate;
    const bool channelsFit = info.channels == 1 || job.channelMode != 0;
    return info.bitRate > 0 && info.bitRate <= target && info.samplingRate == ReencodedRate && channelsFit;
}

PruneResult pruneOutputs(const QString& destination, bool recursive, const QSet<QString>& keep, bool dryRun) {
    PruneResult result;
    const QDir root(destination);
    if (!root.exists())
        return result;
    QStringList folders{QString()};
    if (recursive)
        folders += subFolders(destination);
    // On a stick that folds letter case, an output made as "song.mp3" is the file "Song.mp3" names.
    const bool foldsCase = foldsLetterCase(destination);
    QSet<QString> folded;
    if (foldsCase) {
        for (const QString& path : keep)
            folded.insert(path.toCaseFolded());
    }
    const auto kept = [&](const QString& path) {
        return foldsCase ? folded.contains(path.toCaseFolded()) : keep.contains(path);
    };
    QSet<QString> touched; // folders (relative) that lost a file
    for (const QString& relative : folders) {
        const QDir folder(relative.isEmpty() ? root.path() : root.filePath(relative));
        for (const QString& name : sortedByName(mp3FileNames(folder.path()))) {
            const QString path = folder.filePath(name);
            const QFileInfo info(path);
            if (info.isSymLink() || kept(QDir::cleanPath(info.absoluteFilePath())) || !readSyncRecord(path))
                continue;
            if (!dryRun && !DeleteFileForced(path)) {
                result.failed << path;
                continue;
            }
            result.removed << path;
            touched.insert(relative);
        }
    }
    if (dryRun)
        return result;
    // Deepest first, so that a folder emptied by its emptied sub-folder goes too.
    for (auto it = folders.crbegin(); it != folders.crend(); ++it) {
        const QString& relative = *it;
        if (relative.isEmpty() || !touched.contains(relative))
            continue;
        const QString path = root.filePath(relative);
        if (!QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System) ||
            !root.rmdir(relative))
            continue;
        result.removedFolders << path;
        const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
        if (slash > 0)
            touched.insert(relative.left(slash));
    }
    return result;
}

} // namespace core
