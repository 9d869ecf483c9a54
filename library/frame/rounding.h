// Rounding a double to the nearest integer with halves going to the even
// neighbour, the run-time's rule wherever a fraction becomes an integer.
// Pure functions: only the range check reaches the error conventions.
#pragma once
#include <cmath>
#include <cstdint>

#include "frame/errors.h"

namespace tessary {

// The nearest integral value, halves to the even neighbour (2.5 gives 2,
// 3.5 gives 4, -2.5 gives -2). Not a number and the infinities come back
// as they are.
inline double NearestEven(double value) {
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5) return below + 1.0;
    if (fraction < 0.5) return below;
    // floor(below / 2) * 2 == below exactly when below is even.
    return std::floor(below / 2.0) * 2.0 == below ? below : below + 1.0;
}

// The same as a 32-bit integer; not a number or outside the range is the
// run-time's overflow (error 6).
inline int32_t RoundHalfEven(double value) {
    const double rounded = NearestEven(value);
    if (!std::isfinite(rounded) || rounded < static_cast<double>(INT32_MIN) ||
        rounded > static_cast<double>(INT32_MAX))
        ThrowRuntime(kOverflow);
    return static_cast<int32_t>(rounded);
}

}  // namespace tessary
