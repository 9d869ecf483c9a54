// The printer class's arithmetic on its own: 32-bit products and sums with
// overflow, the left-to-right double chain, and the numbers of a 600-dpi
// page of 4800 × 6600 dots worked out on the state record without any
// device. Rounding has its own tests (rounding_test.cpp).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "frame/errors.h"
#include "support/thrown_error.h"
#include "printer/printer_math.h"
#include "printer/printer_state.h"

using namespace tessary;
using tessary::test::ErrorNumber;
using namespace tessary::printer_math;

namespace {

TEST(PrinterMath, ProductsAndSumsAre32BitWithOverflow) {
    EXPECT_EQ(1491308 * 1440, CheckedMul(1491308, 1440));
    EXPECT_EQ(kOverflow, ErrorNumber([] { CheckedMul(1491309, 1440); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { CheckedMul(-1491309, 1440); }));
    EXPECT_EQ(INT_MIN, CheckedMul(INT_MIN, 1));
    EXPECT_EQ(kOverflow, ErrorNumber([] { CheckedMul(INT_MIN, -1); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { CheckedAdd(INT_MAX, 1); }));
    EXPECT_EQ(INT_MIN, CheckedAdd(INT_MIN + 1, -1));
    EXPECT_EQ(kOverflow, ErrorNumber([] { CheckedAbs(INT_MIN); }));
    EXPECT_EQ(7, CheckedAbs(-7));
}

TEST(PrinterMath, DivisionByZeroIsError11EvenForZeroByZero) {
    EXPECT_EQ(kDivisionByZero, ErrorNumber([] { Exact(1.0).Div(0.0); }));
    EXPECT_EQ(kDivisionByZero, ErrorNumber([] { Exact(0.0).Div(0.0); }));
    EXPECT_EQ(kOverflow, ErrorNumber([] { Exact(1e308).Mul(1e10); }));
}

TEST(PrinterMath, TheChainRunsLeftToRightInDoublePrecision) {
    // (v × 1440) ÷ 25.39954 × scale ÷ base, one rounding per step.
    double step = 14400.0;
    step = step / 25.39954;
    step = step * 1000.0;
    step = step / 11520.0;
    EXPECT_EQ(step, Exact(14400.0).Div(kMillimetresPerInch).Mul(1000).Div(11520).Value());
    // Reordering the same operations changes the last bits: the order is
    // what the members rely on.
    double other = 14400.0 * 1000.0 / 11520.0 / 25.39954;
    EXPECT_NEAR(step, other, 1e-9);
}

// A page of 4800 × 6600 dots at 600 dpi right after PrintInit.
PrinterState PageAt600Dpi() {
    PrinterState s;
    s.SetCreationDefaults();
    s.AdoptDeviceExtents(4800, 6600, 600, 600);
    s.FixBaseScale();
    return s;
}

TEST(PrinterState, PrintInitScaleOfA600DpiPage) {
    PrinterState s = PageAt600Dpi();
    EXPECT_EQ(4800, s.widthDot);
    EXPECT_EQ(6600, s.heightDot);
    EXPECT_EQ(11520, s.scaleWidth);
    EXPECT_EQ(15840, s.scaleHeight);
    EXPECT_EQ(11520, s.baseScaleWidth);
    EXPECT_EQ(15840, s.baseScaleHeight);
    // The initial character height: 5 logical units as dots, 2.083 → 2.
    EXPECT_EQ(2, s.Convert(Conversion::LogToDOTY, 5));
}

TEST(PrinterState, PrintInitScaleOverflowsWithTheDotsProduct) {
    PrinterState s;
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.AdoptDeviceExtents(1491309, 100, 600, 600); }));
    EXPECT_EQ(1491309, s.widthDot);  // what was done before the failure stays done
    EXPECT_EQ(0, s.scaleWidth);
    EXPECT_EQ(kDivisionByZero, ErrorNumber([&] { s.AdoptDeviceExtents(0, 0, 0, 0); }));
}

TEST(PrinterState, ConversionsOfTheTwipScale) {
    PrinterState s = PageAt600Dpi();
    EXPECT_EQ(567, s.Convert(Conversion::MMToLogX, 10));
    EXPECT_EQ(11906, s.Convert(Conversion::MMToLogX, 210));
    EXPECT_EQ(25, s.Convert(Conversion::LogToMMX, 1440));
    EXPECT_EQ(591, s.Convert(Conversion::MMToDOTX, 25));
    EXPECT_EQ(600, s.Convert(Conversion::LogToDOTX, 1440));
    EXPECT_EQ(1440, s.Convert(Conversion::DotToLogX, 600));
    EXPECT_EQ(2, s.Convert(Conversion::LogToInX, 2880));
    EXPECT_EQ(2, s.Convert(Conversion::LogToInX, 2160));  // 1.5 → 2
    EXPECT_EQ(2, s.Convert(Conversion::LogToInX, 3600));  // 2.5 → 2
    // The vertical axis has its own extents.
    EXPECT_EQ(600, s.Convert(Conversion::LogToDOTY, 1440));
    EXPECT_EQ(4, s.Convert(Conversion::LogToInY, 5040));  // 3.5 in → 4
}

TEST(PrinterState, MillimetreConversionsFollowAClientScale) {
    PrinterState s = PageAt600Dpi();
    s.scaleWidth = 1000;
    EXPECT_EQ(49, s.Convert(Conversion::MMToLogX, 10));
    EXPECT_EQ(203, s.Convert(Conversion::LogToMMX, 1000));
    EXPECT_EQ(5, s.Convert(Conversion::LogToDOTX, 1));
    EXPECT_EQ(11520, s.baseScaleWidth);
    EXPECT_EQ(4800, s.widthDot);
}

TEST(PrinterState, ConversionFailures) {
    PrinterState none;  // before any PrintInit every extent is 0
    for (Conversion c : {Conversion::MMToLogX, Conversion::MMToLogY, Conversion::LogToMMX, Conversion::LogToMMY,
                         Conversion::MMToDOTX, Conversion::MMToDOTY, Conversion::LogToDOTX, Conversion::LogToDOTY,
                         Conversion::DotToLogX, Conversion::DotToLogY, Conversion::LogToInX, Conversion::LogToInY}) {
        EXPECT_EQ(kDivisionByZero, ErrorNumber([&] { none.Convert(c, 10); })) << ConversionPrefix(c);
    }
    PrinterState s = PageAt600Dpi();
    // Millimetre inputs beyond ±1491308 overflow v × 1440.
    EXPECT_EQ(0, ErrorNumber([&] { s.Convert(Conversion::MMToLogX, 1491308); }));
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.Convert(Conversion::MMToLogX, 1491309); }));
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.Convert(Conversion::MMToDOTY, -1491309); }));
    // Logical inputs overflow the extent product: 11520 × 186413 fits, 186414 does not.
    EXPECT_EQ(0, ErrorNumber([&] { s.Convert(Conversion::LogToMMX, 186413); }));
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.Convert(Conversion::LogToMMX, 186414); }));
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.Convert(Conversion::LogToInX, 186414); }));
    // A zero client scale divides by zero on that axis only.
    s.scaleWidth = 0;
    EXPECT_EQ(kDivisionByZero, ErrorNumber([&] { s.Convert(Conversion::LogToDOTX, 1); }));
    EXPECT_EQ(600, s.Convert(Conversion::LogToDOTY, 1440));
    // A result beyond 32 bits after the chain is an overflow too.
    s.scaleWidth = 1;
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.Convert(Conversion::LogToDOTX, 1000000); }));
}

TEST(PrinterState, SheetGeometryOfA600DpiPage) {
    PrinterState s = PageAt600Dpi();
    int32_t page = s.SheetToLogical(Axis::X, 5100);
    int32_t offset = s.OffsetToLogical(Axis::X, 150);
    EXPECT_EQ(12240, page);
    EXPECT_EQ(360, offset);
    EXPECT_EQ(5760, PageCenter(offset, page));

    s.scaleWidth = 1000;
    page = s.SheetToLogical(Axis::X, 5100);
    offset = s.OffsetToLogical(Axis::X, 150);
    EXPECT_EQ(1062, page);  // 1062.5
    EXPECT_EQ(31, offset);  // 31.25
    EXPECT_EQ(500, PageCenter(offset, page));

    // Without an offset nothing is divided, even by a zero extent.
    PrinterState none;
    EXPECT_EQ(0, none.OffsetToLogical(Axis::X, 0));
    EXPECT_EQ(kDivisionByZero, ErrorNumber([&] { none.SheetToLogical(Axis::X, 0); }));
    // A sheet 5100 dots wide under a scale of one million overflows.
    s.scaleWidth = 1000000;
    EXPECT_EQ(kOverflow, ErrorNumber([&] { s.SheetToLogical(Axis::X, 5100); }));
}

TEST(PrinterState, CreationDefaults) {
    PrinterState s;
    s.SetCreationDefaults();
    EXPECT_EQ(VARIANT_TRUE, s.connected);
    EXPECT_EQ(1, s.logPen.lopnWidth.x);
    EXPECT_EQ(1, s.logPen.lopnWidth.y);
    EXPECT_EQ(0u, s.logPen.lopnStyle);
    EXPECT_EQ(0u, s.logPen.lopnColor);
    EXPECT_EQ(0u, s.logBrush.lbStyle);
    EXPECT_EQ(0xFFFFFFu, s.logBrush.lbColor);
    EXPECT_EQ(3u, s.logBrush.lbHatch);
}

}  // namespace
