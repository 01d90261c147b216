/*
 * The constant bit rates libgogo encodes at (MC_BITRATE), lowest first: those of MPEG-1 Layer III but the
 * free format. Header-only, so that the program offers exactly these without linking the library.
 */
#ifndef GOGO_BITRATES_H
#define GOGO_BITRATES_H

#ifdef __cplusplus
#include <algorithm>
#include <array>

namespace gogo {

/* kbit/s */
inline constexpr std::array<int, 14> BitRates = {32,  40,  48,  56,  64,  80,  96,
                                                 112, 128, 160, 192, 224, 256, 320};

inline constexpr bool isBitRate(int kbps) {
    return std::find(BitRates.begin(), BitRates.end(), kbps) != BitRates.end();
}

} // namespace gogo
#endif

#endif
