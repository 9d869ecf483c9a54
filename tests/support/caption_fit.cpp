#include "support/caption_fit.h"

#include <string>

namespace tessary::test {

std::string CaptionFit::Describe() const {
    std::string narrow(text.begin(), text.end());
    return "'" + narrow + "' needs " + std::to_string(needed) + " px, has " + std::to_string(available);
}

CaptionFit MeasureCaption(HWND control) {
    CaptionFit fit;
    wchar_t text[512] = L"";
    GetWindowTextW(control, text, 512);
    fit.text = text;

    RECT client = {};
    GetClientRect(control, &client);
    const int width = client.right - client.left;
    wchar_t kind[32] = L"";
    GetClassNameW(control, kind, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);

    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));

    UINT flags = DT_CALCRECT | DT_SINGLELINE;
    fit.available = width;
    if (lstrcmpiW(kind, L"Static") == 0) {
        if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
    } else if (lstrcmpiW(kind, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
            type == BS_3STATE || type == BS_AUTO3STATE) {
            INT zero = 0;
            GetCharWidth32W(dc, L'0', L'0', &zero);
            fit.available = width - (12 * GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1) - zero / 2;
        } else {
            fit.available = width - 2 * GetSystemMetrics(SM_CXEDGE);
        }
    }
    RECT extent = {0, 0, 0, 0};
    DrawTextW(dc, fit.text.c_str(), -1, &extent, flags);
    fit.needed = extent.right - extent.left;

    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return fit;
}

}  // namespace tessary::test
