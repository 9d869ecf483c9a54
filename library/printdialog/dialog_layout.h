// The design of the print dialog: every control with its name, kind,
// container, caption and position in twips, in tab order; and the in-memory
// dialog template built from it.
//
// The platform has no containers inside a dialog template: a frame is a group
// box, and the controls "inside" it are its siblings placed at the frame's
// position plus their own. Positions are converted from twips to dialog units
// with the base units of the dialog's own font, so the dialog has the design's
// size in pixels at the screen's resolution.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace tessary::print_dialog {

enum class Kind { Frame, Label, Combo, Button, Check, Option, TextBox, UpDown };

// Indexes into kControls; the order is the tab order.
enum Control : int {
    cmdOK, cmdCancel, Frame1, ComboPrinter, Label2, cmdProperties, labStat, labType, labWhere,
    labComment, frPaper, Label7, Label8, ComboPaper, ComboBin, frOrientation, optPort, optLand,
    frRange, frCopies, Option1, Option2, Option3, Label1, Label9, Text1, Text2, Label10, txtCopies,
    UpDown1, chkFile, chkFast,
    kControlCount
};

struct ControlDesign {
    const char* name;
    Kind kind;
    int container;  // a Control, or -1 for the dialog itself
    const wchar_t* caption;
    int left, top, width, height;  // twips, relative to the container
    int id;                        // dialog item id
    bool enabled;
};

extern const ControlDesign kControls[kControlCount];

constexpr int kClientWidthTwips = 6480;
constexpr int kDesignClientHeightTwips = 4320;
constexpr int kLoadedOuterHeightTwips = 4845;
constexpr int kMiddleRowTopTwips = 2220;  // where frRange and frCopies go on load
constexpr int kCopiesMin = 1;
constexpr int kCopiesMax = 100;
extern const wchar_t kDesignCaption[];
extern const wchar_t kFastToolTip[];
extern const wchar_t kDialogFontFace[];
constexpr int kDialogFontPoints = 8;

// The dialog font's base units and the screen's resolution.
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;
    int dpiX = 96;
    int dpiY = 96;
    static DialogUnits Measure();

    int TwipsToPixelsX(int twips) const { return MulDiv(twips, dpiX, 1440); }
    int TwipsToPixelsY(int twips) const { return MulDiv(twips, dpiY, 1440); }
    int TwipsToUnitsX(int twips) const { return MulDiv(TwipsToPixelsX(twips), 4, baseX); }
    int TwipsToUnitsY(int twips) const { return MulDiv(TwipsToPixelsY(twips), 8, baseY); }
};

// Absolute position in twips of a control on the dialog's client area, given
// the current top-left corners (twips, relative to their containers) of all.
RECT AbsoluteTwips(int control, const POINT (&corner)[kControlCount]);

// A DLGTEMPLATEEX for the dialog, hidden, with every control at its design
// position (frames at `corner`).
std::vector<uint8_t> BuildTemplate(const DialogUnits& units, const POINT (&corner)[kControlCount]);

}  // namespace tessary::print_dialog
