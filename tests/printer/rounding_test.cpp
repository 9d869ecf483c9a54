// Halves-to-even rounding (frame/rounding.h), which the printer's conversions
// and the print dialog's copies count share: exact halves, values a hair
// either side of a half, and the ends of the 32-bit range.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "frame/errors.h"
#include "support/thrown_error.h"
#include "frame/rounding.h"

using namespace tessary;
using tessary::test::ErrorNumber;

namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(2, RoundHalfEven(2.5));
    EXPECT_EQ(4, RoundHalfEven(3.5));
    EXPECT_EQ(-2, RoundHalfEven(-2.5));
    EXPECT_EQ(-4, RoundHalfEven(-3.5));
    EXPECT_EQ(0, RoundHalfEven(0.5));
    EXPECT_EQ(0, RoundHalfEven(-0.5));
    EXPECT_EQ(1062, RoundHalfEven(1062.5));
    EXPECT_EQ(32, RoundHalfEven(31.5));
    EXPECT_EQ(3, RoundHalfEven(2.5000000001));
    EXPECT_EQ(2, RoundHalfEven(2.4999999999));
    EXPECT_EQ(-3, RoundHalfEven(-2.6));
}

TEST(Rounding, OutsideThe32BitRangeIsAnOverflow) {
    EXPECT_EQ(INT_MAX, RoundHalfEven(2147483647.4));
    EXPECT_EQ(INT_MIN, RoundHalfEven(-2147483648.5));  // even neighbour is in range
    EXPECT_EQ(kOverflow, ErrorNumber([] { RoundHalfEven(2147483647.5); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { RoundHalfEven(-2147483649.0); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { RoundHalfEven(NAN); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { RoundHalfEven(INFINITY); }));
}

TEST(Rounding, NearestEvenBeyondThe32BitRange) {
    // Just below 2^52 a half is the last bit of the double.
    EXPECT_EQ(4503599627370496.0, NearestEven(4503599627370495.5));
    EXPECT_EQ(4503599627370494.0, NearestEven(4503599627370494.5));
    EXPECT_EQ(-5e9, NearestEven(-5000000000.5));
    EXPECT_EQ(1e300, NearestEven(1e300));
    EXPECT_TRUE(std::isinf(NearestEven(-INFINITY)));
    EXPECT_TRUE(std::isnan(NearestEven(NAN)));
    // The largest double below one half is not a half.
    EXPECT_EQ(0.0, NearestEven(std::nextafter(0.5, 0.0)));
    EXPECT_EQ(1.0, NearestEven(std::nextafter(0.5, 1.0)));
}

}  // namespace
