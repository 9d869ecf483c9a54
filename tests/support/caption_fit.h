// Whether a control's caption fits the control, measured as the control
// draws it: in its own font (WM_GETFONT), on one line, against the part of
// its client area the text may use. A label has the whole width; a push
// button loses its 3-D edges; a check box or option button loses its box and
// the gap before the text (half the width of a "0").
#pragma once
#include <windows.h>

#include <string>

namespace tessary::test {

struct CaptionFit {
    std::wstring text;
    int needed = 0;     // pixels the text takes
    int available = 0;  // pixels the control gives it
    bool Fits() const { return needed <= available; }
    std::string Describe() const;  // "'text' needs N px, has M" for failure messages
};

CaptionFit MeasureCaption(HWND control);

}  // namespace tessary::test
