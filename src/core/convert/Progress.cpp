#include "core/convert/Progress.h"

#include <cmath>
#include <cstdint>

int core::halfPercent(double part, double whole, double offset) {
    if (whole == 0)
        throw ConversionFault("0 で除算しました。");
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double value = std::nearbyint(part / whole * 100.0 / 2.0 + offset);
    if (!std::isfinite(value) || value > INT32_MAX || value < INT32_MIN)
        throw ConversionFault("オーバーフローしました。");
    return static_cast<int>(value);
}
