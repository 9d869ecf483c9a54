#include "printer/printer.h"

#include <winspool.h>

#include <optional>

#include "frame/errors.h"
#include "frame/text.h"
#include "printdialog/print_dialog.h"
#include "printer/printer_math.h"

namespace tessary {

using namespace printer_math;

namespace {

// -v in 32-bit arithmetic: the negation of the most negative value overflows.
int32_t Negate(int32_t v) { return CheckedMul(v, -1); }

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

Printer::Printer() : dialogUser_(true) {
    Showing(L"Printer class initialize error: ", [&] {
        DWORD needed = 0, returned = 0;
        BYTE probe[4];
        EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, const_cast<char*>("0"), 1, probe, 0, &needed,
                      &returned);
        if (needed == 0) return;  // no printer: everything stays zero
        state_.SetCreationDefaults();
        PrintDialog::Get();
        PrintInit();
    });
}

Printer::Printer(Detached, HDC dc) : dc_(dc) {}

Printer::~Printer() {
    Showing(L"Printer class terminate error: ", [&] {
        if (dialogUser_) PrintDialog::Unload();
        EndDoc();
        // The DC goes first: the objects selected in it can only be deleted
        // once nothing holds them.
        dc_.reset();
        font_.reset();
        pen_.reset();
        brush_.reset();
    });
}

// ---------------------------------------------------------------------------
// PrintInit and the DC

bool Printer::PrintInit() {
    // The first step is not covered by the member's own report: a failure
    // here reaches the caller.
    PrintDialog& dialog = PrintDialog::Get();
    const std::string& name = dialog.PrinterName();
    const std::wstring newName = FromAnsi(name.data(), name.size());
    const bool samePrinter = newName == state_.deviceName;
    state_.deviceName = newName;

    // The object keeps its DC as long as the dialog still stands for the DC
    // it was made from; a new HDCloc gives the object a DC of its own.
    if (!dc_ || dialog.DcSerial() != dcSerial_) {
        if (state_.jobId != 0 && dc_ && samePrinter && dialog.HDCloc()) {
            // A document is open in this DC: it stays, and the new settings
            // apply from its next page on.
            if (const DEVMODEA* record = dialog.DcRecord()) ResetDCA(dc_.get(), record);
            dcSerial_ = dialog.DcSerial();
        } else {
            // Another printer: the document open in the old DC is finished
            // there rather than lost with it.
            if (state_.jobId != 0 && dc_) {
                ::EndDoc(dc_.get());
                state_.jobId = 0;
            }
            uint64_t serial = 0;
            UniqueDc fresh = dialog.TakeDc(&serial);
            ReplaceDc(std::move(fresh));
            dcSerial_ = serial;
        }
    }

    bool result = false;
    Showing(L"Printer PrintInit (hdc) error: ", [&] {
        InitializeDc();
        result = true;
    });
    return result;
}

void Printer::ReplaceDc(UniqueDc fresh) {
    dc_.reset();
    font_.reset();
    pen_.reset();
    brush_.reset();
    dc_ = std::move(fresh);
}

void Printer::InitializeDc() {
    HDC dc = dc_.get();
    SetTextAlign(dc, TA_UPDATECP);
    state_.AdoptDeviceExtents(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, LOGPIXELSX),
                              GetDeviceCaps(dc, LOGPIXELSY));
    SetMapMode(dc, MM_TEXT);
    // Face name and weight come from the font the DC has selected: the
    // device's default on a new DC, ours on the same one. The 33rd byte of the
    // face store lies beyond LOGFONTA and keeps its value.
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof(LOGFONTA), &state_.logFont.font);
    state_.logFont.font.lfHeight = Negate(Convert(Conversion::LogToDOTY, 5));
    state_.FixBaseScale();
    state_.logFont.font.lfWidth = 0;
    state_.logFont.font.lfCharSet = DEFAULT_CHARSET;
    Rebuild(Kind::Font);
    SetFillStyle(BS_NULL);
    // The pen the properties report is the pen the DC draws with, on a new
    // DC as on the old one.
    Rebuild(Kind::Pen);
    // Text is drawn without a background box: text printed over a shape or a
    // picture leaves it visible, as FontTransparent True does.
    SetBkMode(dc, TRANSPARENT);
}

void Printer::Rebuild(Kind kind) {
    HGDIOBJ fresh = nullptr;
    UniqueGdiObject* owned = nullptr;
    switch (kind) {
    case Kind::Font: {
        LOGFONTA font = state_.logFont.ForPlatform();
        fresh = CreateFontIndirectA(&font);
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
// Document and page bracket, identity

bool Printer::StartDoc(const std::wstring& docName, const std::wstring* outFile) {
    bool result = false;
    Showing(L"Printer StartDoc Error: ", [&] {
        if (!dc_) return;
        AnsiText name(docName);
        std::optional<AnsiText> output;
        if (outFile && !outFile->empty()) output.emplace(*outFile);
        // The three-field form of the record; the fields after it stay zero.
        DOCINFOA info = {};
        info.cbSize = 12;
        info.lpszDocName = name.c_str();
        info.lpszOutput = output ? output->c_str() : nullptr;
        // A document already open in the DC stays the object's when the
        // platform refuses a second one, so that EndDoc still ends it.
        int job = ::StartDocA(dc_.get(), &info);
        if (job >= 1) {
            state_.jobId = job;
            result = true;
        }
    });
    return result;
}

bool Printer::StartPage() {
    bool result = false;
    Showing(L"Printer StartPage Error: ", [&] {
        if (state_.jobId == 0) return;
        result = ::StartPage(dc_.get()) > 0;
    });
    return result;
}

bool Printer::EndPage() {
    bool result = false;
    Showing(L"Printer EndPage error: ", [&] {
        if (state_.jobId == 0) return;
        result = ::EndPage(dc_.get()) > 0;
    });
    return result;
}

bool Printer::EndDoc() {
    bool result = false;
    Showing(L"EndDoc Error: ", [&] {
        if (state_.jobId == 0) return;
        int ended = ::EndDoc(dc_.get());
        state_.jobId = 0;
        result = ended > 0;
    });
    return result;
}

long Printer::Hdc() { return static_cast<long>(reinterpret_cast<intptr_t>(dc_.get())); }

std::wstring Printer::DeviceName() {
    std::wstring result;
    Showing(L"Printer class DeviceName error: ", [&] {
        // The name ends in the NUL the dialog appends; an empty name has no
        // last character to drop.
        if (state_.deviceName.empty()) ThrowRuntime(kInvalidArgument);
        result = state_.deviceName.substr(0, state_.deviceName.size() - 1);
    });
    return result;
}

bool Printer::IsPrinter() {
    bool result = false;
    Showing(L"Printer class IsPrinter error: ",
            [&] { result = GetDeviceCaps(dc_.get(), TECHNOLOGY) == DT_RASPRINTER; });
    return result;
}

long Printer::PrintJobID() { return state_.jobId; }

long Printer::Orientation() {
    long result = 0;
    Showing(L"Printer class Orientation error: ", [&] { result = PrintDialog::Get().lngOrientation(); });
    return result;
}

void Printer::SetOrientation(long value) {
    Showing(L"Printer class Orientation error: ", [&] {
        PrintDialog& dialog = PrintDialog::Get();
        if (value == 1) dialog.ChoosePortrait();
        else dialog.ChooseLandscape();
        dialog.ClickOK();
        PrintInit();
    });
}

// ---------------------------------------------------------------------------
// Scale and sheet geometry

long Printer::WidthDot() { return state_.widthDot; }
long Printer::HeightDot() { return state_.heightDot; }
long Printer::ScaleWidth() { return state_.scaleWidth; }
void Printer::SetScaleWidth(long value) { state_.scaleWidth = value; }
long Printer::ScaleHeight() { return state_.scaleHeight; }
void Printer::SetScaleHeight(long value) { state_.scaleHeight = value; }

long Printer::OffsetX() {
    long result = 0;
    Showing(L"Printer class OffsetX error: ",
            [&] { result = state_.OffsetToLogical(Axis::X, GetDeviceCaps(dc_.get(), PHYSICALOFFSETX)); });
    return result;
}

long Printer::OffsetY() {
    long result = 0;
    Showing(L"Printer class OffsetY error: ",
            [&] { result = state_.OffsetToLogical(Axis::Y, GetDeviceCaps(dc_.get(), PHYSICALOFFSETY)); });
    return result;
}

long Printer::PageWidth() {
    long result = 0;
    Showing(L"Printer class PageWidth error: ",
            [&] { result = state_.SheetToLogical(Axis::X, GetDeviceCaps(dc_.get(), PHYSICALWIDTH)); });
    return result;
}

long Printer::PageHeight() {
    long result = 0;
    Showing(L"Printer class PageHeight error: ",
            [&] { result = state_.SheetToLogical(Axis::Y, GetDeviceCaps(dc_.get(), PHYSICALHEIGHT)); });
    return result;
}

long Printer::PageCenterX() {
    long result = 0;
    Showing(L"Printer class PageCenterX error: ", [&] {
        long offset = OffsetX();
        long page = PageWidth();
        result = PageCenter(offset, page);
    });
    return result;
}

long Printer::PageCenterY() {
    long result = 0;
    Showing(L"Printer class PageCenterY error: ", [&] {
        long offset = OffsetY();
        long page = PageHeight();
        result = PageCenter(offset, page);
    });
    return result;
}

long Printer::Convert(Conversion which, long value) {
    long result = 0;
    Showing(ConversionPrefix(which), [&] { result = state_.Convert(which, value); });
    return result;
}

// ---------------------------------------------------------------------------
// Attributes

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

std::wstring Printer::FontName() {
    std::wstring result;
    Showing(L"Printer class FontName error: ", [&] {
        char store[FontImage::kFaceStoreSize];
        int length = 0;
        for (int i = 0; i < FontImage::kFaceStoreSize; ++i) store[i] = state_.logFont.FaceByte(i);
        while (length < FontImage::kFaceStoreSize && store[length]) ++length;
        result = FromAnsi(store, static_cast<size_t>(length));
    });
    return result;
}

void Printer::SetFontName(const std::wstring& name) {
    Showing(L"Printer class FontName error: ", [&] {
        std::wstring terminated = name;
        terminated.push_back(L'\0');
        AnsiText bytes(terminated);
        // Byte by byte into the 33-byte store; a byte with no place in it
        // stops the copy, and the font is left as it was.
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i >= static_cast<size_t>(FontImage::kFaceStoreSize)) ThrowRuntime(kSubscriptOutOfRange);
            state_.logFont.FaceByte(static_cast<int>(i)) = bytes.c_str()[i];
        }
        Rebuild(Kind::Font);
    });
}

long Printer::FontSize() {
    long result = 0;
    Showing(L"Printer class FontSize error: ",
            [&] { result = Negate(Convert(Conversion::DotToLogY, state_.logFont.font.lfHeight)); });
    return result;
}

void Printer::SetFontSize(long value) {
    Showing(L"Printer class FontSize error: ", [&] {
        state_.logFont.font.lfHeight = Negate(Convert(Conversion::LogToDOTY, value));
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

// ---------------------------------------------------------------------------
// Text

void Printer::Print(const std::wstring& text) {
    Showing(L"Printer class pPrint error: ", [&] {
        long x = Convert(Conversion::LogToDOTX, CurrentX());
        long y = Convert(Conversion::LogToDOTY, CurrentY());
        AnsiText bytes(text);
        // The length in bytes: in a double-byte code page a character may
        // take two.
        TextOutA(dc_.get(), x, y, bytes.c_str(), static_cast<int>(bytes.size()));
        SetCurrentX(0);
        long top = CurrentY();
        long advance = Convert(Conversion::DotToLogY, CheckedAbs(state_.logFont.font.lfHeight));
        SetCurrentY(CheckedAdd(top, advance));
    });
}

void Printer::PrintWrapped(const std::wstring& text, long left, long right, long top, long flags) {
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
        std::wstring terminated = text;
        terminated.push_back(L'\0');
        AnsiText bytes(terminated);
        // DT_MODIFYSTRING would let the platform write past the text.
        UINT format = static_cast<UINT>(flags) & ~static_cast<UINT>(DT_MODIFYSTRING);
        DrawTextA(dc, bytes.c_str(), -1, &box, format | DT_CALCRECT | DT_WORDBREAK);
        DrawTextA(dc, bytes.c_str(), -1, &box, format | DT_WORDBREAK);
        SetCurrentY(Convert(Conversion::DotToLogY, box.bottom));
    });
}

long Printer::TextWidth(const std::wstring& text) {
    long result = 0;
    Showing(L"Printer TextWidth Error: ", [&] {
        AnsiText bytes(text);
        SIZE extent = {};
        GetTextExtentPoint32A(dc_.get(), bytes.c_str(), static_cast<int>(bytes.size()), &extent);
        result = Convert(Conversion::DotToLogX, extent.cx);
    });
    return result;
}

long Printer::TextHeight(const std::wstring& text) {
    long result = 0;
    Showing(L"Printer TextHeight Error: ", [&] {
        AnsiText bytes(text);
        SIZE extent = {};
        GetTextExtentPoint32A(dc_.get(), bytes.c_str(), static_cast<int>(bytes.size()), &extent);
        result = Convert(Conversion::DotToLogY, extent.cy);
    });
    return result;
}

}  // namespace tessary
