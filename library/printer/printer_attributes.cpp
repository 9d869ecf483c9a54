// The printer object's drawing attributes: the pen, brush and font it keeps
// as descriptions and rebuilds into the DC on every change, the text colour,
// drawing mode and background mode the DC keeps itself, and the current
// position in logical units.
#include "printer/printer.h"

#include "frame/errors.h"
#include "printer/printer_math.h"
#include "printer/showing_result.h"

namespace tessary {

using namespace printer_math;

void Printer::Rebuild(Kind kind) {
    HGDIOBJ fresh = nullptr;
    UniqueGdiObject* owned = nullptr;
    switch (kind) {
    case Kind::Font: {
        LOGFONTW font = state_.logFont.ForPlatform();
        fresh = CreateFontIndirectW(&font);
        owned = &font_;
        break;
    }
    case Kind::Pen:
        fresh = CreatePenIndirect(&state_.logPen);
        owned = &pen_;
        break;
    case Kind::Brush:
        fresh = CreateBrushIndirect(&state_.logBrush);
        owned = &brush_;
        break;
    }
    // A description the platform refuses leaves the DC as it was; the new
    // value stays in the description for the next rebuild.
    if (!fresh) return;
    if (HDC dc = dc_.get()) {
        HGDIOBJ replaced = SelectObject(dc, fresh);
        if (!replaced || replaced == HGDI_ERROR) {
            DeleteObject(fresh);
            return;
        }
        // What it replaced is our previous object or the DC's own default;
        // only ours is deleted (below), a stock object needs no deleting.
    }
    owned->reset(fresh);
}

// ---------------------------------------------------------------------------
// Pen and brush

long Printer::DrawWidth() { return state_.logPen.lopnWidth.x; }
long Printer::DrawStyle() { return static_cast<long>(state_.logPen.lopnStyle); }
long Printer::DrawColor() { return static_cast<long>(state_.logPen.lopnColor); }
long Printer::FillColor() { return static_cast<long>(state_.logBrush.lbColor); }
long Printer::FillStyle() { return static_cast<long>(state_.logBrush.lbStyle); }
long Printer::FillHatch() { return static_cast<long>(state_.logBrush.lbHatch); }

void Printer::SetDrawWidth(long value) {
    Showing(L"Printer class DrawWidth error: ", [&] {
        state_.logPen.lopnWidth.x = value;
        Rebuild(Kind::Pen);
    });
}

void Printer::SetDrawStyle(long value) {
    Showing(L"Printer class DrawStyle error: ", [&] {
        state_.logPen.lopnStyle = static_cast<UINT>(value);
        Rebuild(Kind::Pen);
    });
}

void Printer::SetDrawColor(long value) {
    Showing(L"Printer class DrawColor error: ", [&] {
        state_.logPen.lopnColor = static_cast<COLORREF>(value);
        Rebuild(Kind::Pen);
    });
}

void Printer::SetFillColor(long value) {
    Showing(L"Printer class FillColor error: ", [&] {
        state_.logBrush.lbColor = static_cast<COLORREF>(value);
        Rebuild(Kind::Brush);
    });
}

void Printer::SetFillStyle(long value) {
    Showing(L"Printer class FillStyle error: ", [&] {
        state_.logBrush.lbStyle = static_cast<UINT>(value);
        Rebuild(Kind::Brush);
    });
}

void Printer::SetFillHatch(long value) {
    Showing(L"Printer class FillHatch error: ", [&] {
        state_.logBrush.lbHatch = static_cast<ULONG_PTR>(value);
        Rebuild(Kind::Brush);
    });
}

// ---------------------------------------------------------------------------
// Font

std::wstring Printer::FontName() {
    return ShowingResult(L"Printer class FontName error: ", std::wstring(), [&] {
        std::wstring name;
        for (int i = 0; i < FontImage::kFaceStoreSize && state_.logFont.FaceUnit(i); ++i)
            name.push_back(state_.logFont.FaceUnit(i));
        return name;
    });
}

void Printer::SetFontName(std::wstring_view name) {
    Showing(L"Printer class FontName error: ", [&] {
        std::wstring terminated(name);
        terminated.push_back(L'\0');
        // Unit by unit into the 33-unit store, the name as the client gave
        // it; a unit with no place in it stops the copy, and the font is left
        // as it was.
        for (size_t i = 0; i < terminated.size(); ++i) {
            if (i >= static_cast<size_t>(FontImage::kFaceStoreSize)) ThrowRuntime(kSubscriptOutOfRange);
            state_.logFont.FaceUnit(static_cast<int>(i)) = terminated[i];
        }
        Rebuild(Kind::Font);
    });
}

long Printer::FontSize() {
    return ShowingResult(L"Printer class FontSize error: ", 0L, [&]() -> long {
        return CheckedNegate(Convert(Conversion::DotToLogY, state_.logFont.font.lfHeight));
    });
}

void Printer::SetFontSize(long value) {
    Showing(L"Printer class FontSize error: ", [&] {
        state_.logFont.font.lfHeight = CheckedNegate(Convert(Conversion::LogToDOTY, value));
        Rebuild(Kind::Font);
    });
}

bool Printer::FontBold() { return state_.logFont.font.lfWeight == FW_BOLD; }

void Printer::SetFontBold(bool bold) {
    Showing(L"Printer class FontBold error: ", [&] {
        state_.logFont.font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        Rebuild(Kind::Font);
    });
}

// ---------------------------------------------------------------------------
// What the DC keeps itself, and the current position

long Printer::ForeColor() { return static_cast<long>(GetTextColor(dc_.get())); }
void Printer::SetForeColor(long value) { SetTextColor(dc_.get(), static_cast<COLORREF>(value)); }
long Printer::DrawMode() { return GetROP2(dc_.get()); }
void Printer::SetDrawMode(long value) { SetROP2(dc_.get(), static_cast<int>(value)); }
long Printer::FontTransparent() { return GetBkMode(dc_.get()); }
void Printer::SetFontTransparent(long value) { SetBkMode(dc_.get(), static_cast<int>(value)); }

long Printer::CurrentX() {
    POINT at = {};
    GetCurrentPositionEx(dc_.get(), &at);
    return Convert(Conversion::DotToLogX, at.x);
}

long Printer::CurrentY() {
    POINT at = {};
    GetCurrentPositionEx(dc_.get(), &at);
    return Convert(Conversion::DotToLogY, at.y);
}

void Printer::SetCurrentX(long value) {
    Showing(L"Printer CurrentX error: ", [&] {
        long x = Convert(Conversion::LogToDOTX, value);
        long y = Convert(Conversion::LogToDOTY, CurrentY());
        MoveToEx(dc_.get(), x, y, nullptr);
    });
}

void Printer::SetCurrentY(long value) {
    Showing(L"Printer CurrentY error: ", [&] {
        long x = Convert(Conversion::LogToDOTX, CurrentX());
        long y = Convert(Conversion::LogToDOTY, value);
        MoveToEx(dc_.get(), x, y, nullptr);
    });
}

}  // namespace tessary
