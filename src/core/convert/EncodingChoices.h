// The bit rates and channel modes a file can be re-encoded at: the window's option buttons, the command
// line's -b and -m and the worker protocol all stand on these lists.
#pragma once

#include "gogo_bitrates.h"

#include <QString>
#include <QStringList>
#include <array>

namespace core {

// kbit/s, in the order of the window's bit-rate options: every rate the encoder takes.
inline constexpr std::array<int, gogo::BitRates.size()> BitRates = gogo::BitRates;

using gogo::isBitRate;

// The channel modes as the encoder numbers them (0 mono, 1 stereo, 2 joint stereo), named as the command
// line spells them.
inline QStringList channelModeNames() {
    return {QStringLiteral("mono"), QStringLiteral("stereo"), QStringLiteral("joint")};
}

inline constexpr int ChannelModeCount = 3;

} // namespace core
