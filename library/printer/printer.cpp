#include "printer/printer.h"

#include <winspool.h>

#include <cmath>
#include <cstddef>
#include <optional>

#include "frame/errors.h"
#include "frame/message_sink.h"
#include "frame/text.h"
#include "frame/variant_convert.h"
#include "printdialog/print_dialog.h"
#include "printdialog/spooler_printers.h"
#include "printer/printer_math.h"

namespace tessary {

using namespace printer_math;

namespace {

struct EnhMetafileTraits {
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};
using UniqueEnhMetafile = UniqueHandle<HENHMETAFILE, EnhMetafileTraits>;

// Selects an object into a DC for one scope and puts back what it replaced.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), replaced_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (replaced_ && replaced_ != HGDI_ERROR) SelectObject(dc_, replaced_);
    }

private:
    HDC dc_;
    HGDIOBJ replaced_;
};

// A zero-filled fixed block for picture rows; an allocation the platform
// refuses is the run-time's out-of-memory error.
UniqueGlobal AllocateRows(int32_t rows, int32_t width) {
    const int32_t bytes = CheckedMul(CheckedMul(rows, width), 4);
    UniqueGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes)));
    if (!block) ThrowRuntime(kOutOfMemory);
    return block;
}

// The dots per inch of the screen, where a bitmap's pixels have their size.
int ScreenDpi(Axis axis) {
    WindowDc screen(nullptr);
    int dpi = screen.get() ? GetDeviceCaps(screen.get(), axis == Axis::X ? LOGPIXELSX : LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

constexpr double kHundredthsOfMillimetrePerInch = 2540.0;

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

Printer::Printer() : dialogUser_(true) {
    Showing(L"Printer class initialize error: ", [&] {
        if (SpoolerPrinters("0", 1).Needed() == 0) return;  // no printer: everything stays zero
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
        ReplaceDc(UniqueDc());
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
    // The DC goes first: the objects selected in it can only be deleted once
    // nothing holds them.
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
    state_.logFont.font.lfHeight = CheckedNegate(Convert(Conversion::LogToDOTY, 5));
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
        // The three-field form of the record (12 bytes on x86, 24 on x64);
        // the fields after it stay zero.
        DOCINFOA info = {};
        info.cbSize = offsetof(DOCINFOA, lpszDatatype);
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

// A DC is 32-bit significant: clients get it truncated to 32 bits.
long Printer::Hdc() { return HandleToLong(dc_.get()); }

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
            [&] { result = CheckedNegate(Convert(Conversion::DotToLogY, state_.logFont.font.lfHeight)); });
    return result;
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

// ---------------------------------------------------------------------------
// Shapes

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
    bool result = false;
    Showing(L"Printer class pPectangle error: ", [&] {
        long l = Convert(Conversion::LogToDOTX, left);
        long t = Convert(Conversion::LogToDOTY, top);
        long r = Convert(Conversion::LogToDOTX, right);
        long b = Convert(Conversion::LogToDOTY, bottom);
        result = ::Rectangle(dc_.get(), l, t, r, b) != 0;
    });
    return result;
}

bool Printer::Circle(float xCenter, float yCenter, float radius, const VARIANT* color, long width) {
    bool result = false;
    Showing(L"Printer class pCircle error: ", [&] {
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
        result = drawn;
    });
    return result;
}

// ---------------------------------------------------------------------------
// Pictures

void Printer::PaintPicture(long handle, long x, long y, VARIANT* width, VARIANT* height) {
    Showing(L"Printer PaintPicture error: ", [&] {
        // Picture handles arrive as 32-bit values; sign-extended they are the handle again.
        HGDIOBJ picture = LongToHandle(handle);
        switch (picture ? GetObjectType(picture) : 0) {
        case OBJ_ENHMETAFILE:
            PlayMetafile(static_cast<HENHMETAFILE>(picture), x, y, width, height);
            break;
        case OBJ_METAFILE: {
            // The older form is converted to an enhanced metafile, which
            // plays into a rectangle; the caller's metafile stays as it is.
            auto metafile = static_cast<HMETAFILE>(picture);
            const UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
            if (size == 0) return;
            UniqueEnhMetafile converted;
            {
                UniqueGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
                if (!block) ThrowRuntime(kOutOfMemory);
                GlobalLockGuard bits(block.get());
                GetMetaFileBitsEx(metafile, size, bits.get());
                // No suggested size: the picture is framed by its own extent
                // and scaled from there into the destination rectangle.
                METAFILEPICT description = {MM_ANISOTROPIC, 0, 0, nullptr};
                converted.reset(SetWinMetaFileBits(size, static_cast<const BYTE*>(bits.get()), nullptr, &description));
            }
            if (!converted) return;
            PlayMetafile(converted.get(), x, y, width, height);
            break;
        }
        case OBJ_BITMAP: {
            auto bitmap = static_cast<HBITMAP>(picture);
            BITMAP info = {};
            if (!GetObjectA(bitmap, sizeof info, &info)) return;
            // A bitmap's own size is its pixels at the screen's resolution.
            long w = PictureSize(width, Axis::X, info.bmWidth, ScreenDpi(Axis::X));
            long h = PictureSize(height, Axis::Y, info.bmHeight, ScreenDpi(Axis::Y));
            SendBitmap(bitmap, info, x, y, w, h);
            break;
        }
        default:
            // Another kind of handle (a pen, a brush, none): nothing to draw.
            break;
        }
    });
}

long Printer::PictureSize(VARIANT* given, Axis axis, double ownUnits, double unitsPerInch) {
    if (given && !IsMissing(*given)) return VariantToLong(*given);
    // Inches in twips, then twips in the current logical scale, as the
    // millimetre and inch conversions relate them.
    const bool x = axis == Axis::X;
    const long size = Exact(ownUnits)
                          .Mul(kTwipsPerInch)
                          .Div(unitsPerInch)
                          .Mul(x ? state_.scaleWidth : state_.scaleHeight)
                          .Div(x ? state_.baseScaleWidth : state_.baseScaleHeight)
                          .Round();
    if (given) {
        VariantClear(given);
        V_VT(given) = VT_I4;
        V_I4(given) = size;
    }
    return size;
}

void Printer::PlayMetafile(HENHMETAFILE metafile, long x, long y, VARIANT* width, VARIANT* height) {
    // A metafile's own size is its frame, in hundredths of a millimetre.
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    const long w = PictureSize(width, Axis::X, header.rclFrame.right - header.rclFrame.left,
                               kHundredthsOfMillimetrePerInch);
    const long h = PictureSize(height, Axis::Y, header.rclFrame.bottom - header.rclFrame.top,
                               kHundredthsOfMillimetrePerInch);
    // The far edges are worked out here in double precision throughout, so
    // that a large intermediate product does not overflow.
    RECT box;
    box.left = Convert(Conversion::LogToDOTX, x);
    box.top = Convert(Conversion::LogToDOTY, y);
    box.right = Exact(x).Add(w).Mul(state_.widthDot).Div(state_.scaleWidth).Round();
    box.bottom = Exact(y).Add(h).Mul(state_.heightDot).Div(state_.scaleHeight).Round();
    PlayEnhMetaFile(dc_.get(), metafile, &box);
}

void Printer::SendBitmap(HBITMAP bitmap, const BITMAP& info, long x, long y, long width, long height) {
    HDC dc = dc_.get();
    WindowDc screen(nullptr);
    const int32_t pixelsWide = info.bmWidth;
    const int32_t pixelsHigh = info.bmHeight;

    // Rows are fetched bottom-up (row 0 is the picture's bottom row), four
    // bytes a pixel.
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = pixelsWide;
    header.bmiHeader.biHeight = pixelsHigh;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    auto fetch = [&](int32_t firstRow, int32_t rows, void* bits) {
        header.bmiHeader.biHeight = pixelsHigh;
        GetDIBits(screen.get(), bitmap, static_cast<UINT>(firstRow), static_cast<UINT>(rows), bits, &header,
                  DIB_RGB_COLORS);
        header.bmiHeader.biHeight = rows;
    };

    // Every piece has the picture's horizontal place and width.
    const long left = Convert(Conversion::LogToDOTX, x);
    const long wide = Convert(Conversion::LogToDOTX, width);
    const long pictureBottom = Convert(Conversion::LogToDOTY, Exact(y).Add(height).Round());

    if (state_.fast) {
        // One piece: the whole bitmap in one block.
        const int16_t rows = CheckedInt16(pixelsHigh);
        UniqueGlobal block = AllocateRows(rows, pixelsWide);
        GlobalLockGuard bits(block.get());
        fetch(pixelsHigh - rows, rows, bits.get());
        const long top = Convert(Conversion::LogToDOTY, y);
        StretchDIBits(dc, left, top, wide, CheckedSub(pictureBottom, top), 0, 0, pixelsWide, rows, bits.get(), &header,
                      DIB_RGB_COLORS, SRCCOPY);
        return;
    }

    // Bands of at most 32768 bytes (one row when a row alone is larger),
    // from the bottom of the picture up. Each band's top edge is worked out
    // from its number, not added up, so the bands tile the destination
    // without gaps or overlaps whatever the rounding.
    const double fitting = std::floor(Exact(32768).Div(CheckedMul(pixelsWide, 4)).Value());
    int16_t rowsPerBand = CheckedInt16(static_cast<int32_t>(fitting));
    if (rowsPerBand == 0) rowsPerBand = 1;
    const int16_t fullBands = CheckedInt16(pixelsHigh / rowsPerBand);
    const int32_t rest = pixelsHigh % rowsPerBand;
    UniqueGlobal block = AllocateRows(rowsPerBand, pixelsWide);
    GlobalLockGuard bits(block.get());
    long previousTop = pictureBottom;
    for (int32_t band = 1; band <= fullBands; ++band) {
        const int16_t firstRow = CheckedInt16(CheckedMul(band - 1, rowsPerBand));
        fetch(firstRow, rowsPerBand, bits.get());
        const double above = Exact(height).Mul(rowsPerBand).Mul(band).Div(pixelsHigh).Value();
        const long top = Convert(Conversion::LogToDOTY, Exact(y).Add(height).Sub(above).Round());
        StretchDIBits(dc, left, top, wide, CheckedSub(previousTop, top), 0, 0, pixelsWide, rowsPerBand, bits.get(),
                      &header, DIB_RGB_COLORS, SRCCOPY);
        previousTop = top;
    }
    if (rest > 0) {
        // The top rows of the picture, ending exactly at its top edge.
        fetch(pixelsHigh - rest, rest, bits.get());
        const long top = Convert(Conversion::LogToDOTY, y);
        StretchDIBits(dc, left, top, wide, CheckedSub(previousTop, top), 0, 0, pixelsWide, rest, bits.get(), &header,
                      DIB_RGB_COLORS, SRCCOPY);
    }
}

// ---------------------------------------------------------------------------
// The print dialog

void Printer::ShowPrinter(const std::wstring& setup) {
    const PrintOutcome outcome = PrintDialog::Show(setup == L"Setup", state_.fast != VARIANT_FALSE);
    state_.ok = outcome.printPressed ? VARIANT_TRUE : VARIANT_FALSE;
    if (!outcome.dcReady) {
        ShowMessage(std::wstring(L"Could not create Printer DC: disabled for ") + kApplicationTitle,
                    MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }
    const bool initialised = PrintInit();
    if (outcome.printMode && outcome.printPressed && initialised) {
        // A copies count beyond 16 bits fails here, after OK and the DC.
        state_.copies = outcome.Copies();
        state_.printToFile = outcome.printToFile ? VARIANT_TRUE : VARIANT_FALSE;
        state_.fast = outcome.fast ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

}  // namespace tessary
