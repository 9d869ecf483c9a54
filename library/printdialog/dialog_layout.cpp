#include "printdialog/dialog_layout.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "frame/handles.h"

namespace tessary::print_dialog {

const wchar_t kDesignCaption[] = L"Print";
const wchar_t kFastToolTip[] = L"Faster printing of bitmaps, but uses more memory";
// The forms' own font: the design's sizes were made for it.
const wchar_t kDialogFontFace[] = L"MS Sans Serif";

// Item ids: the two closing buttons are the dialog's IDOK and IDCANCEL, so
// Enter and Escape reach them the usual way.
const ControlDesign kControls[kControlCount] = {
    {"cmdOK", Kind::Button, -1, L"Print", 4080, 3960, 975, 315, IDOK, true},
    {"cmdCancel", Kind::Button, -1, L"Cancel", 5400, 3960, 975, 315, IDCANCEL, true},
    {"Frame1", Kind::Frame, -1, L"Printer", 120, 60, 6195, 2055, 100, true},
    {"ComboPrinter", Kind::Combo, Frame1, L"", 960, 300, 3315, 315, 101, true},
    {"Label2", Kind::Label, Frame1, L"&Name:", 180, 360, 555, 255, 102, true},
    {"cmdProperties", Kind::Button, Frame1, L"&Properties...", 4440, 300, 1455, 315, 103, true},
    {"labStat", Kind::Label, Frame1, L"Status:", 180, 780, 4095, 255, 104, true},
    {"labType", Kind::Label, Frame1, L"Type:", 180, 1080, 4095, 255, 105, true},
    {"labWhere", Kind::Label, Frame1, L"Where:", 180, 1380, 4095, 195, 106, true},
    {"labComment", Kind::Label, Frame1, L"Comment:", 180, 1680, 4095, 255, 107, true},
    {"frPaper", Kind::Frame, -1, L"Paper", 120, 2220, 3735, 1575, 110, true},
    {"Label7", Kind::Label, frPaper, L"Size:", 180, 420, 555, 195, 111, true},
    {"Label8", Kind::Label, frPaper, L"Source:", 180, 960, 675, 195, 112, true},
    {"ComboPaper", Kind::Combo, frPaper, L"", 900, 360, 2655, 315, 113, true},
    {"ComboBin", Kind::Combo, frPaper, L"", 900, 900, 2655, 315, 114, true},
    {"frOrientation", Kind::Frame, -1, L"Orientation", 4020, 2220, 2295, 1575, 120, true},
    {"optPort", Kind::Option, frOrientation, L"Portrait", 1020, 420, 1035, 195, 121, true},
    {"optLand", Kind::Option, frOrientation, L"Landscape", 1020, 840, 1155, 195, 122, true},
    {"frRange", Kind::Frame, -1, L"Print range", 60, 4380, 3255, 1575, 130, true},
    {"frCopies", Kind::Frame, -1, L"Copies", 3540, 4380, 2775, 1575, 140, true},
    {"Option1", Kind::Option, frRange, L"&All", 180, 360, 1215, 195, 131, true},
    {"Option2", Kind::Option, frRange, L"Pages", 180, 720, 855, 195, 132, false},
    {"Option3", Kind::Option, frRange, L"&Selection", 180, 1080, 1215, 195, 133, false},
    {"Label1", Kind::Label, frRange, L"from:", 1080, 720, 435, 195, 134, false},
    {"Label9", Kind::Label, frRange, L"to:", 2100, 720, 255, 195, 135, false},
    {"Text1", Kind::TextBox, frRange, L"0", 1560, 690, 495, 285, 136, false},
    {"Text2", Kind::TextBox, frRange, L"0", 2400, 690, 495, 285, 137, false},
    {"Label10", Kind::Label, frCopies, L"Number of &copies:", 180, 420, 1455, 195, 141, true},
    {"txtCopies", Kind::TextBox, frCopies, L"1", 1800, 360, 720, 320, 142, true},
    {"UpDown1", Kind::UpDown, frCopies, L"", 2300, 390, 195, 255, 143, true},
    {"chkFile", Kind::Check, Frame1, L"Print to fi&le", 4500, 1680, 1455, 195, 150, true},
    {"chkFast", Kind::Check, -1, L"Fast bitmap printing", 120, 3960, 1815, 195, 151, true},
};

DialogUnits DialogUnits::Measure() {
    DialogUnits units;
    WindowDc screen(nullptr);
    if (!screen.get()) return units;
    units.dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX);
    units.dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    // The dialog manager's own rule: the font's height, and the average width
    // of the 52 letters, rounded.
    UniqueGdiObject font(CreateFontW(-MulDiv(kDialogFontPoints, units.dpiY, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, 0, 0, kDialogFontFace));
    if (font) {
        Selection selected(screen.get(), font.get());
        TEXTMETRICW metrics;
        SIZE extent;
        static const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsW(screen.get(), &metrics) && GetTextExtentPoint32W(screen.get(), letters, 52, &extent) &&
            metrics.tmHeight > 0 && extent.cx > 0) {
            units.baseY = metrics.tmHeight;
            units.baseX = (extent.cx / 26 + 1) / 2;
        }
    }
    if (units.dpiX <= 0) units.dpiX = 96;
    if (units.dpiY <= 0) units.dpiY = 96;
    return units;
}

RECT AbsoluteTwips(int control, const POINT (&corner)[kControlCount]) {
    const ControlDesign& design = kControls[control];
    POINT at = corner[control];
    if (design.container >= 0) {
        at.x += corner[design.container].x;
        at.y += corner[design.container].y;
    }
    return RECT{at.x, at.y, at.x + design.width, at.y + design.height};
}

namespace {

class TemplateWriter {
public:
    void Align(size_t to) {
        while (bytes_.size() % to) bytes_.push_back(0);
    }
    template <class T>
    void Put(T value) {
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof value);
    }
    // A template's texts are UTF-16, as the design's are.
    void PutText(const wchar_t* text) {
        for (; *text; ++text) Put<WORD>(static_cast<WORD>(*text));
        Put<WORD>(0);
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

DWORD StyleOf(const ControlDesign& design, int index) {
    DWORD style = WS_CHILD;
    switch (design.kind) {
    case Kind::Frame: style |= BS_GROUPBOX | WS_GROUP; break;
    // One line each, as designed: a text wider than its label is cut at the
    // edge rather than losing whole words to a second line nobody sees.
    case Kind::Label: style |= SS_LEFTNOWORDWRAP | WS_GROUP; break;
    case Kind::Combo: style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP; break;
    case Kind::Button: style |= BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP; break;
    case Kind::Check: style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP; break;
    case Kind::Option:
        // Each frame's option buttons form one group, led by its first.
        style |= BS_AUTORADIOBUTTON;
        if (index == optPort || index == Option1) style |= WS_GROUP | WS_TABSTOP;
        break;
    case Kind::TextBox: style |= ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP; break;
    case Kind::UpDown: style |= UDS_ARROWKEYS | UDS_HOTTRACK; break;
    }
    if (index == cmdOK) style = (style & ~BS_PUSHBUTTON) | BS_DEFPUSHBUTTON;
    // The spin control sits over the right edge of the copies box.
    if (index == txtCopies) style |= WS_CLIPSIBLINGS;
    if (!design.enabled) style |= WS_DISABLED;
    return style;
}

}  // namespace

std::vector<uint8_t> BuildTemplate(const DialogUnits& units, const POINT (&corner)[kControlCount]) {
    TemplateWriter out;
    out.Put<WORD>(1);       // dlgVer
    out.Put<WORD>(0xFFFF);  // signature: DLGTEMPLATEEX
    out.Put<DWORD>(0);      // helpID
    out.Put<DWORD>(0);      // exStyle
    out.Put<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    out.Put<WORD>(kControlCount);
    out.Put<short>(0);
    out.Put<short>(0);
    out.Put<short>(static_cast<short>(units.TwipsToUnitsX(kClientWidthTwips)));
    out.Put<short>(static_cast<short>(units.TwipsToUnitsY(kDesignClientHeightTwips)));
    out.Put<WORD>(0);  // no menu
    out.Put<WORD>(0);  // the standard dialog class
    out.PutText(kDesignCaption);
    out.Put<WORD>(kDialogFontPoints);
    out.Put<WORD>(FW_NORMAL);
    out.Put<BYTE>(0);  // italic
    out.Put<BYTE>(DEFAULT_CHARSET);
    out.PutText(kDialogFontFace);

    for (int i = 0; i < kControlCount; ++i) {
        const ControlDesign& design = kControls[i];
        RECT twips = AbsoluteTwips(i, corner);
        int height = design.height;
        // A drop-down combo's template height is that of the box with its
        // list dropped; the closed height follows from the font.
        if (design.kind == Kind::Combo) height += 1440;
        out.Align(4);
        out.Put<DWORD>(0);  // helpID
        out.Put<DWORD>(0);  // exStyle
        out.Put<DWORD>(StyleOf(design, i));
        out.Put<short>(static_cast<short>(units.TwipsToUnitsX(twips.left)));
        out.Put<short>(static_cast<short>(units.TwipsToUnitsY(twips.top)));
        out.Put<short>(static_cast<short>(units.TwipsToUnitsX(design.width)));
        out.Put<short>(static_cast<short>(units.TwipsToUnitsY(height)));
        out.Put<DWORD>(static_cast<DWORD>(design.id));
        switch (design.kind) {
        case Kind::Frame:
        case Kind::Button:
        case Kind::Check:
        case Kind::Option:
            out.Put<WORD>(0xFFFF);
            out.Put<WORD>(0x0080);
            break;
        case Kind::TextBox:
            out.Put<WORD>(0xFFFF);
            out.Put<WORD>(0x0081);
            break;
        case Kind::Label:
            out.Put<WORD>(0xFFFF);
            out.Put<WORD>(0x0082);
            break;
        case Kind::Combo:
            out.Put<WORD>(0xFFFF);
            out.Put<WORD>(0x0085);
            break;
        case Kind::UpDown:
            out.PutText(UPDOWN_CLASSW);
            break;
        }
        out.PutText(design.caption);
        out.Put<WORD>(0);  // no creation data
    }
    return out.Take();
}

}  // namespace tessary::print_dialog
