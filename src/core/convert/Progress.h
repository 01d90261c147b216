#pragma once

#include <stdexcept>

// A failure of the conversion's own arithmetic, reported like a library failure of the same phase.
class ConversionFault : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace core {

// part / whole * 100 / 2 + offset, rounded to the nearest integer with halves to even. A whole of 0 or a
// result beyond the 32-bit range throws ConversionFault.
[[nodiscard]] int halfPercent(double part, double whole, double offset);

} // namespace core
