// Shapes on the printer object's DC, in logical units, with the current pen
// and brush: lines, frames, rectangles and circles.
#include "printer/printer.h"

#include "frame/errors.h"
#include "frame/variant_convert.h"
#include "frame/handles.h"
#include "printer/printer_math.h"
#include "printer/showing_result.h"

namespace tessary {

using namespace printer_math;

void Printer::Line(long xStart, long yStart, long xEnd, long yEnd) {
    Showing(L"Printer Line error: ", [&] {
        HDC dc = dc_.get();
        POINT previous = {};
        long x = Convert(Conversion::LogToDOTX, xStart);
        long y = Convert(Conversion::LogToDOTY, yStart);
        MoveToEx(dc, x, y, &previous);
        x = Convert(Conversion::LogToDOTX, xEnd);
        y = Convert(Conversion::LogToDOTY, yEnd);
        LineTo(dc, x, y);
        MoveToEx(dc, previous.x, previous.y, nullptr);
    });
}

void Printer::Frame(long left, long top, long right, long bottom) {
    Showing(L"Printer draw frame error: ", [&] {
        HDC dc = dc_.get();
        // Each corner is converted where it is needed, as the four lines go
        // round: left-top, right-top, right-bottom, left-bottom, left-top.
        auto x = [&](long v) { return Convert(Conversion::LogToDOTX, v); };
        auto y = [&](long v) { return Convert(Conversion::LogToDOTY, v); };
        POINT previous = {};
        long px = x(left), py = y(top);
        MoveToEx(dc, px, py, &previous);
        const long corners[4][2] = {{right, top}, {right, bottom}, {left, bottom}, {left, top}};
        for (const auto& corner : corners) {
            px = x(corner[0]);
            py = y(corner[1]);
            LineTo(dc, px, py);
        }
        MoveToEx(dc, previous.x, previous.y, nullptr);
    });
}

bool Printer::Rectangle(long left, long top, long right, long bottom) {
    return ShowingResult(L"Printer class pPectangle error: ", false, [&] {
        long l = Convert(Conversion::LogToDOTX, left);
        long t = Convert(Conversion::LogToDOTY, top);
        long r = Convert(Conversion::LogToDOTX, right);
        long b = Convert(Conversion::LogToDOTY, bottom);
        return ::Rectangle(dc_.get(), l, t, r, b) != 0;
    });
}

bool Printer::Circle(float xCenter, float yCenter, float radius, const VARIANT* color, long width) {
    return ShowingResult(L"Printer class pCircle error: ", false, [&] {
        // The box in logical units is rounded before it goes to dots.
        const double cx = xCenter, cy = yCenter, r = radius;
        long left = Convert(Conversion::LogToDOTX, Exact(cx).Sub(r).Round());
        long top = Convert(Conversion::LogToDOTY, Exact(cy).Sub(r).Round());
        long right = Convert(Conversion::LogToDOTX, Exact(cx).Add(r).Round());
        long bottom = Convert(Conversion::LogToDOTY, Exact(cy).Add(r).Round());

        HDC dc = dc_.get();
        const bool colorGiven = color && !IsMissing(*color);
        bool drawn = false;
        if (!colorGiven && width == 0) {
            drawn = ::Ellipse(dc, left, top, right, bottom) != 0;
        } else {
            // A pen for this circle alone: the remembered pen stays as it is.
            LOGPEN pen = state_.logPen;
            if (colorGiven) pen.lopnColor = static_cast<COLORREF>(VariantToLong(*color));
            if (width > 0) {
                pen.lopnWidth.x = Exact(CheckedMul(width, ScaleWidth())).Div(WidthDot()).Add(1).Round();
            }
            UniqueGdiObject temporary(CreatePenIndirect(&pen));
            Selection selected(dc, temporary.get());
            drawn = ::Ellipse(dc, left, top, right, bottom) != 0;
        }
        SetCurrentX(RoundHalfEven(cx));
        SetCurrentY(RoundHalfEven(cy));
        return drawn;
    });
}

}  // namespace tessary
