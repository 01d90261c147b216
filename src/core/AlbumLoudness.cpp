#include "core/AlbumLoudness.h"

#include "core/CodecSessions.h"
#include "core/FileHelpers.h"
#include "core/Loudness.h"
#include "core/SourceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace core {
namespace {

// Decodes one file into the WAV work file and measures it; false when it cannot be decoded.
bool measureFile(const QString& source, const QString& wav, LoudnessMeter& meter) {
    DecoderSession session;
    if (!session.init())
        return false;
    const DecodeResult result = decodeToWav(
        session, source, wav, [] {}, [](int, int) { return true; });
    session.end();
    const bool measured = result.opened && result.finalState == VBMP3_STATE_DONE && meter.measureWav(wav);
    DeleteFileForced(wav);
    return measured;
}

struct Album {
    double loudness = -HUGE_VAL;
    double peak = -HUGE_VAL;
};

} // namespace

bool measureAlbums(QList<ConversionJob>& jobs, const QString& workFolder,
                   const std::function<bool(const QString&)>& measuring) {
    QHash<QString, Album> albums;
    for (const ConversionJob& job : jobs) {
        const QString folder = QFileInfo(job.source).absolutePath();
        if (job.normalize != Normalize::Album || albums.contains(folder))
            continue;
        std::vector<std::unique_ptr<LoudnessMeter>> meters;
        Album album;
        for (const QString& name : sortedByName(mp3FileNames(folder))) {
            const QString source = QDir(folder).filePath(name);
            if (!measuring(source))
                return false;
            auto meter = std::make_unique<LoudnessMeter>(true);
            if (!measureFile(source, wavWorkFile(workFolder), *meter))
                continue;
            album.peak = std::max(album.peak, meter->peak());
            meters.push_back(std::move(meter));
        }
        QList<const LoudnessMeter*> all;
        for (const auto& meter : meters)
            all << meter.get();
        album.loudness = LoudnessMeter::combined(all);
        albums.insert(folder, album);
    }
    for (ConversionJob& job : jobs) {
        if (job.normalize != Normalize::Album)
            continue;
        const Album album = albums.value(QFileInfo(job.source).absolutePath());
        job.albumLoudness = album.loudness;
        job.albumPeak = album.peak;
    }
    return true;
}

} // namespace core
