// Text on the printer object's DC: a line at the current position, a
// paragraph wrapped between two edges, and the extent of a text, all in
// logical units and in the system's ANSI code page.
#include "printer/printer.h"

#include "frame/errors.h"
#include "frame/text.h"
#include "printer/printer_math.h"
#include "printer/showing_result.h"

namespace tessary {

using namespace printer_math;

void Printer::Print(std::wstring_view text) {
    Showing(L"Printer class pPrint error: ", [&] {
        long x = Convert(Conversion::LogToDOTX, CurrentX());
        long y = Convert(Conversion::LogToDOTY, CurrentY());
        AnsiText bytes{std::wstring(text)};
        // The length in bytes: in a double-byte code page a character may
        // take two.
        TextOutA(dc_.get(), x, y, bytes.c_str(), static_cast<int>(bytes.size()));
        SetCurrentX(0);
        long top = CurrentY();
        long advance = Convert(Conversion::DotToLogY, CheckedAbs(state_.logFont.font.lfHeight));
        SetCurrentY(CheckedAdd(top, advance));
    });
}

void Printer::PrintWrapped(std::wstring_view text, long left, long right, long top, long flags) {
    Showing(L"Printer class pPrintWrapped error: ", [&] {
        HDC dc = dc_.get();
        SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        // Text output at the current position comes back whatever happens
        // below, so that pPrint keeps moving down the page.
        struct UpdateCpAgain {
            HDC dc;
            ~UpdateCpAgain() { SetTextAlign(dc, TA_UPDATECP); }
        } again{dc};
        RECT box;
        box.top = Convert(Conversion::LogToDOTY, top);
        box.left = Convert(Conversion::LogToDOTX, left);
        box.right = Convert(Conversion::LogToDOTX, right);
        box.bottom = 0;
        std::wstring terminated(text);
        terminated.push_back(L'\0');
        AnsiText bytes(terminated);
        // DT_MODIFYSTRING would let the platform write past the text.
        UINT format = static_cast<UINT>(flags) & ~static_cast<UINT>(DT_MODIFYSTRING);
        DrawTextA(dc, bytes.c_str(), -1, &box, format | DT_CALCRECT | DT_WORDBREAK);
        DrawTextA(dc, bytes.c_str(), -1, &box, format | DT_WORDBREAK);
        SetCurrentY(Convert(Conversion::DotToLogY, box.bottom));
    });
}

namespace {

// The text's extent in dots with the DC's font.
SIZE Extent(HDC dc, std::wstring_view text) {
    AnsiText bytes{std::wstring(text)};
    SIZE extent = {};
    GetTextExtentPoint32A(dc, bytes.c_str(), static_cast<int>(bytes.size()), &extent);
    return extent;
}

}  // namespace

long Printer::TextWidth(std::wstring_view text) {
    return ShowingResult(L"Printer TextWidth Error: ", 0L,
                         [&] { return Convert(Conversion::DotToLogX, Extent(dc_.get(), text).cx); });
}

long Printer::TextHeight(std::wstring_view text) {
    return ShowingResult(L"Printer TextHeight Error: ", 0L,
                         [&] { return Convert(Conversion::DotToLogY, Extent(dc_.get(), text).cy); });
}

}  // namespace tessary
