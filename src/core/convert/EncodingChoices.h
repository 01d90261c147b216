// The bit rates and channel modes a file can be re-encoded at: the window's option buttons, the command
// line's -b and -m and the worker protocol all stand on these lists.
#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>

namespace core {

// kbit/s, in the order of the window's bit-rate options.
inline constexpr std::array<int, 14> BitRates = {32,  40,  48,  56,  64,  80,  96,
                                                 112, 128, 160, 192, 224, 256, 320};

inline constexpr bool isBitRate(int kbps) {
    return std::find(BitRates.begin(), BitRates.end(), kbps) != BitRates.end();
}

// The channel modes as the encoder numbers them (0 mono, 1 stereo, 2 joint stereo), named as the command
// line spells them.
inline QStringList channelModeNames() {
    return {QStringLiteral("mono"), QStringLiteral("stereo"), QStringLiteral("joint")};
}

inline constexpr int ChannelModeCount = 3;

} // namespace core
