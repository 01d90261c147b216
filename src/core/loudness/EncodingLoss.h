// How much loudness the encoding itself takes away. At low bit rates LAME's low-pass filter removes the
// top of the spectrum (above 5.5 kHz at 32 kbit/s, 17 kHz at 128), and with it part of the energy the
// source's loudness was measured on: a gain measured on the decoded source alone leaves the output up
// to 2 LU short of its target. A short trial encoding of excerpts of the source, at the job's own
// settings, measures that loss for this very audio, so that the gain can make up for it.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QString>
#include <optional>

namespace core {

// The loudness of the excerpts after encoding and decoding, less their loudness before, in LU (negative
// when the encoding takes loudness away). `wavPath` is the decoded source (16-bit PCM); the trial's
// files lie in `workFolder` and are gone afterwards. nullopt when the trial cannot be made or measured
// (silence, a failing library): the gain is then the measured one.
[[nodiscard]] std::optional<double> encodingLoss(const QString& wavPath, const ConversionJob& job,
                                                 const QString& workFolder);

} // namespace core
