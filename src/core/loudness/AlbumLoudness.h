// Album normalizing: one gain for all files of a source folder, so that quiet and loud songs of an album
// keep their difference. Each folder is measured as a whole before any of its files is converted.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QList>
#include <functional>

namespace core {

// For every source folder among the album jobs, decodes all MP3 files of that folder (not only those
// being converted, so that a later run over the same folder finds the same gain) into the work folder,
// measures them together and gives each of the folder's jobs the loudness and the highest true peak.
// `measuring` is told each file before it is measured and returns false to stop (the jobs are then left
// as they were). A file that cannot be decoded is left out of its folder's measurement.
[[nodiscard]] bool measureAlbums(QList<ConversionJob>& jobs, const QString& workFolder,
                                 const std::function<bool(const QString& source)>& measuring);

} // namespace core
