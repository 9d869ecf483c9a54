// The printer object's scale and sheet: the logical extent PrintInit fixed,
// the sheet's offsets, size and centre in logical units, and the twelve
// conversion members.
#include "printer/printer.h"

#include "frame/errors.h"
#include "printer/showing_result.h"

namespace tessary {

long Printer::WidthDot() { return state_.widthDot; }
long Printer::HeightDot() { return state_.heightDot; }
long Printer::ScaleWidth() { return state_.scaleWidth; }
void Printer::SetScaleWidth(long value) { state_.scaleWidth = value; }
long Printer::ScaleHeight() { return state_.scaleHeight; }
void Printer::SetScaleHeight(long value) { state_.scaleHeight = value; }

long Printer::OffsetX() {
    return ShowingResult(L"Printer class OffsetX error: ", 0L, [&]() -> long {
        return state_.OffsetToLogical(Axis::X, GetDeviceCaps(dc_.get(), PHYSICALOFFSETX));
    });
}

long Printer::OffsetY() {
    return ShowingResult(L"Printer class OffsetY error: ", 0L, [&]() -> long {
        return state_.OffsetToLogical(Axis::Y, GetDeviceCaps(dc_.get(), PHYSICALOFFSETY));
    });
}

long Printer::PageWidth() {
    return ShowingResult(L"Printer class PageWidth error: ", 0L, [&]() -> long {
        return state_.SheetToLogical(Axis::X, GetDeviceCaps(dc_.get(), PHYSICALWIDTH));
    });
}

long Printer::PageHeight() {
    return ShowingResult(L"Printer class PageHeight error: ", 0L, [&]() -> long {
        return state_.SheetToLogical(Axis::Y, GetDeviceCaps(dc_.get(), PHYSICALHEIGHT));
    });
}

long Printer::PageCenterX() {
    return ShowingResult(L"Printer class PageCenterX error: ", 0L, [&]() -> long {
        long offset = OffsetX();
        long page = PageWidth();
        return PageCenter(offset, page);
    });
}

long Printer::PageCenterY() {
    return ShowingResult(L"Printer class PageCenterY error: ", 0L, [&]() -> long {
        long offset = OffsetY();
        long page = PageHeight();
        return PageCenter(offset, page);
    });
}

long Printer::Convert(Conversion which, long value) {
    return ShowingResult(ConversionPrefix(which), 0L, [&]() -> long { return state_.Convert(which, value); });
}

}  // namespace tessary
