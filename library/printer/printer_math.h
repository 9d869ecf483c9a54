// The printer class's exact arithmetic, as pure functions.
//
// Every unit conversion of xPrinter has the same shape: one product of two
// 32-bit integers formed in 32-bit arithmetic (overflow is run-time error 6),
// then a chain of double-precision operations applied strictly from left to
// right, then rounding to the nearest 32-bit integer with halves going to the
// even neighbour (frame/rounding.h: a result outside the 32-bit range is
// error 6 again). Division by zero anywhere in the chain is run-time error
// 11. The order of the operations fixes the last bits of the result, so
// callers spell it out:
//
//     Exact(CheckedMul(v, 1440)).Div(kMillimetresPerInch).Mul(scale).Div(base).Round()
//
// The library is built for 32-bit x86, where the compiler may keep doubles in
// 80-bit x87 registers; these files are compiled with SSE2 arithmetic so that
// each step rounds to double exactly once.
#pragma once
#include <cmath>
#include <cstdint>

#include "frame/errors.h"
#include "frame/rounding.h"

namespace tessary::printer_math {

constexpr double kMillimetresPerInch = 25.39954;
constexpr int32_t kTwipsPerInch = 1440;

// a × b in 32-bit signed arithmetic; error 6 when it does not fit.
inline int32_t CheckedMul(int32_t a, int32_t b) {
    int64_t product = static_cast<int64_t>(a) * b;
    if (product < INT32_MIN || product > INT32_MAX) ThrowRuntime(kOverflow);
    return static_cast<int32_t>(product);
}

// a + b in 32-bit signed arithmetic; error 6 when it does not fit.
inline int32_t CheckedAdd(int32_t a, int32_t b) {
    int64_t sum = static_cast<int64_t>(a) + b;
    if (sum < INT32_MIN || sum > INT32_MAX) ThrowRuntime(kOverflow);
    return static_cast<int32_t>(sum);
}

// a − b in 32-bit signed arithmetic; error 6 when it does not fit.
inline int32_t CheckedSub(int32_t a, int32_t b) {
    int64_t difference = static_cast<int64_t>(a) - b;
    if (difference < INT32_MIN || difference > INT32_MAX) ThrowRuntime(kOverflow);
    return static_cast<int32_t>(difference);
}

// -a in 32-bit arithmetic: the negation of the most negative value overflows.
inline int32_t CheckedNegate(int32_t a) { return CheckedMul(a, -1); }

// A 16-bit signed integer of the run-time; error 6 outside its range.
inline int16_t CheckedInt16(int32_t a) {
    if (a < INT16_MIN || a > INT16_MAX) ThrowRuntime(kOverflow);
    return static_cast<int16_t>(a);
}

// |a|; the absolute value of the most negative integer does not fit (error 6).
inline int32_t CheckedAbs(int32_t a) {
    if (a == INT32_MIN) ThrowRuntime(kOverflow);
    return a < 0 ? -a : a;
}

// A double-precision value carried through operations applied from left to
// right; each operation rounds to double before the next one.
class Exact {
public:
    // Every 32-bit integer converts to double exactly.
    explicit Exact(double start) : value_(start) {}

    Exact Mul(double factor) const { return Exact(Finite(value_ * factor)); }
    Exact Div(double divisor) const {
        if (divisor == 0.0) ThrowRuntime(kDivisionByZero);
        return Exact(Finite(value_ / divisor));
    }
    Exact Add(double term) const { return Exact(Finite(value_ + term)); }
    Exact Sub(double term) const { return Exact(Finite(value_ - term)); }

    double Value() const { return value_; }
    int32_t Round() const { return RoundHalfEven(value_); }

private:
    // A step that leaves the double range is an overflow, as in the run-time.
    static double Finite(double v) {
        if (!std::isfinite(v)) ThrowRuntime(kOverflow);
        return v;
    }
    double value_;
};

}  // namespace tessary::printer_math
