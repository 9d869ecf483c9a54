// Text on the printer object's DC: a line at the current position, a
// paragraph wrapped between two edges, and the extent of a text, all in
// logical units. The text goes to the platform as the client gave it, in
// UTF-16, with its own length in UTF-16 units: every character the font (or a
// font linked to it) can show is drawn and measured, whatever the code page.
#include "printer/printer.h"

#include <algorithm>
#include <climits>

#include "frame/errors.h"
#include "printer/printer_math.h"
#include "printer/showing_result.h"

namespace tessary {
namespace {

// The caller's DrawText flags as pPrintWrapped passes them on. Dropped:
// DT_MODIFYSTRING and DT_CALCRECT (the platform would write into the text,
// or measure instead of drawing: the member measures on its own),
// DT_TABSTOP (it turns the flags' high byte into a tab width), bits that
// DrawText does not define, and all but one ellipsis style (end, else word,
// else path): Wine aborts the process on DT_PATH_ELLIPSIS with DT_END_ELLIPSIS.
// The length the platform gets: the text's UTF-16 units, embedded NULs
// included (no automation text holds more than an int can count).
int TextLength(std::wstring_view text) { return static_cast<int>(std::min<size_t>(text.size(), INT_MAX)); }

UINT WrappedTextFormat(long flags) {
    const UINT kDefined = 0x003FFFFF;
    UINT format = static_cast<UINT>(flags) & kDefined & ~static_cast<UINT>(DT_MODIFYSTRING | DT_CALCRECT | DT_TABSTOP);
    const UINT ellipses = DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS;
    UINT kept = 0;
    for (UINT style : {UINT(DT_END_ELLIPSIS), UINT(DT_WORD_ELLIPSIS), UINT(DT_PATH_ELLIPSIS)}) {
        if (format & style) {
            kept = style;
            break;
        }
    }
    return (format & ~ellipses) | kept;
}

}  // namespace

using namespace printer_math;

void Printer::Print(std::wstring_view text) {
    Showing(L"Printer class pPrint error: ", [&] {
        long x = Convert(Conversion::LogToDOTX, CurrentX());
        long y = Convert(Conversion::LogToDOTY, CurrentY());
        TextOutW(dc_.get(), x, y, text.data(), TextLength(text));
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
        // Given NUL-terminated and with the length -1: the text ends at its
        // first NUL.
        const std::wstring terminated(text);
        const UINT format = WrappedTextFormat(flags);
        DrawTextW(dc, terminated.c_str(), -1, &box, format | DT_CALCRECT | DT_WORDBREAK);
        DrawTextW(dc, terminated.c_str(), -1, &box, format | DT_WORDBREAK);
        SetCurrentY(Convert(Conversion::DotToLogY, box.bottom));
    });
}

namespace {

// The text's extent in dots with the DC's font.
SIZE Extent(HDC dc, std::wstring_view text) {
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.data(), TextLength(text), &extent);
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
