#include "core/loudness/AlbumLoudness.h"

#include "core/convert/CodecSessions.h"
#include "core/files/FileHelpers.h"
#include "core/files/SourceFiles.h"
#include "core/loudness/EncodingLoss.h"
#include "core/loudness/Loudness.h"
#include "vbmp3.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace core {
namespace {

// Decodes one file into the WAV work file and measures it, and what encoding it at the job's settings
// takes from its loudness; false when it cannot be decoded.
bool measureFile(const QString& source, const ConversionJob& job, const QString& workFolder,
                 LoudnessMeter& meter, std::optional<double>& loss) {
    const QString wav = wavWorkFile(workFolder);
    DecoderSession session;
    if (!session.init())
        return false;
    const DecodeResult result = decodeToWav(
        session, source, wav, [] {}, [](int, int) { return true; });
    session.end();
    const bool measured = result.opened && result.finalState == VBMP3_STATE_DONE && meter.measureWav(wav);
    if (measured)
        loss = encodingLoss(wav, job, workFolder);
    // The next decoding into the work folder replaces a WAV that stays.
    static_cast<void>(DeleteFileForced(wav));
    return measured;
}

struct Album {
    double loudness = -HUGE_VAL;
    double peak = -HUGE_VAL;
    double loss = 0.0;
};

// The loss of the folder as a whole: each file's, weighted by its share of the folder's energy (its
// length times its mean power), as the folder's loudness weighs it.
double combinedLoss(const std::vector<std::pair<double, double>>& weightedLosses) {
    double weights = 0.0, scaled = 0.0;
    for (const auto& [weight, loss] : weightedLosses) {
        weights += weight;
        scaled += weight * std::pow(10.0, loss / 10.0);
    }
    return weights > 0.0 && scaled > 0.0 ? 10.0 * std::log10(scaled / weights) : 0.0;
}

} // namespace

bool measureAlbums(QList<ConversionJob>& jobs, const QString& workFolder,
                   const std::function<bool(const QString&)>& measuring) {
    QHash<QString, Album> albums;
    for (const ConversionJob& job : jobs) {
        const QString folder = QFileInfo(job.source).absolutePath();
        if (job.normalize != Normalize::Album || albums.contains(folder))
            continue;
        std::vector<std::unique_ptr<LoudnessMeter>> meters;
        std::vector<std::pair<double, double>> losses;
        Album album;
        for (const QString& name : sortedByName(mp3FileNames(folder))) {
            const QString source = QDir(folder).filePath(name);
            if (!measuring(source))
                return false;
            auto meter = std::make_unique<LoudnessMeter>(true);
            std::optional<double> loss;
            if (!measureFile(source, job, workFolder, *meter, loss))
                continue;
            album.peak = std::max(album.peak, meter->peak());
            if (loss && std::isfinite(meter->integrated()))
                losses.emplace_back(meter->durationSeconds() * std::pow(10.0, meter->integrated() / 10.0),
                                    *loss);
            meters.push_back(std::move(meter));
        }
        album.loss = combinedLoss(losses);
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
        job.albumLoss = album.loss;
    }
    return true;
}

} // namespace core
