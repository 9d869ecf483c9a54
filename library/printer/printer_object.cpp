// The automation face of xPrinter: converts the interface's types and hands
// each member to Printer, which applies the member's failure style (shown in
// a message box, then a normal return). By-reference parameters are read and
// left unchanged, except StartDoc's empty output name, which becomes the null
// string in the caller's variable.
//
// No C++ exception crosses the interface: texts go to Printer as views of the
// caller's BSTR, so that copying and converting them happens inside the
// member's own failure style, every other argument is a plain value, and the
// two members whose failures reach the caller run under Raising. Each method
// says so with noexcept.
#include "printer/printer_object.h"

#include <string_view>

#include "Tessary.h"
#include "frame/automation.h"
#include "frame/com_object.h"
#include "frame/errors.h"
#include "printer/printer.h"

namespace tessary {
namespace {

long In(const LONG* value) noexcept { return value ? *value : 0; }
// The text of a by-reference BSTR with its full counted length, embedded NULs
// included; a missing or null BSTR is the empty text.
std::wstring_view InText(const BSTR* text) noexcept {
    return text && *text ? std::wstring_view(*text, SysStringLen(*text)) : std::wstring_view();
}

class PrinterObject final : public DispatchObject<_xPrinter> {
public:
    // Public fields
    HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* result) noexcept override {
        return Get(result, p_.State().connected);
    }
    HRESULT STDMETHODCALLTYPE put_Connected(VARIANT_BOOL value) noexcept override {
        p_.State().connected = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_OK(VARIANT_BOOL* result) noexcept override { return Get(result, p_.State().ok); }
    HRESULT STDMETHODCALLTYPE put_OK(VARIANT_BOOL value) noexcept override { p_.State().ok = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_Copies(short* result) noexcept override { return Get(result, p_.State().copies); }
    HRESULT STDMETHODCALLTYPE put_Copies(short value) noexcept override { p_.State().copies = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_PrintToFile(VARIANT_BOOL* result) noexcept override {
        return Get(result, p_.State().printToFile);
    }
    HRESULT STDMETHODCALLTYPE put_PrintToFile(VARIANT_BOOL value) noexcept override {
        p_.State().printToFile = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Fast(VARIANT_BOOL* result) noexcept override { return Get(result, p_.State().fast); }
    HRESULT STDMETHODCALLTYPE put_Fast(VARIANT_BOOL value) noexcept override { p_.State().fast = value; return S_OK; }

    // Scale and geometry
    HRESULT STDMETHODCALLTYPE get_WidthDot(LONG* result) noexcept override { return Get(result, p_.WidthDot()); }
    HRESULT STDMETHODCALLTYPE get_HeightDot(LONG* result) noexcept override { return Get(result, p_.HeightDot()); }
    HRESULT STDMETHODCALLTYPE get_ScaleWidth(LONG* result) noexcept override { return Get(result, p_.ScaleWidth()); }
    HRESULT STDMETHODCALLTYPE put_ScaleWidth(LONG value) noexcept override { p_.SetScaleWidth(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_ScaleHeight(LONG* result) noexcept override { return Get(result, p_.ScaleHeight()); }
    HRESULT STDMETHODCALLTYPE put_ScaleHeight(LONG value) noexcept override { p_.SetScaleHeight(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_OffsetX(LONG* result) noexcept override { return Get(result, p_.OffsetX()); }
    HRESULT STDMETHODCALLTYPE get_OffsetY(LONG* result) noexcept override { return Get(result, p_.OffsetY()); }
    HRESULT STDMETHODCALLTYPE get_PageWidth(LONG* result) noexcept override { return Get(result, p_.PageWidth()); }
    HRESULT STDMETHODCALLTYPE get_PageHeight(LONG* result) noexcept override { return Get(result, p_.PageHeight()); }
    HRESULT STDMETHODCALLTYPE get_PageCenterX(LONG* result) noexcept override { return Get(result, p_.PageCenterX()); }
    HRESULT STDMETHODCALLTYPE get_PageCenterY(LONG* result) noexcept override { return Get(result, p_.PageCenterY()); }

    // Identity
    HRESULT STDMETHODCALLTYPE get_IsPrinter(VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.IsPrinter()));
    }
    HRESULT STDMETHODCALLTYPE get_PrintJobID(LONG* result) noexcept override { return Get(result, p_.PrintJobID()); }
    HRESULT STDMETHODCALLTYPE get_hdc(LONG* result) noexcept override { return Get(result, p_.Hdc()); }
    HRESULT STDMETHODCALLTYPE get_DeviceName(BSTR* result) noexcept override {
        return GetText(result, p_.DeviceName());
    }
    HRESULT STDMETHODCALLTYPE get_Orientation(LONG* result) noexcept override { return Get(result, p_.Orientation()); }
    HRESULT STDMETHODCALLTYPE put_Orientation(LONG value) noexcept override { p_.SetOrientation(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE A_Description() noexcept override { return S_OK; }

    // Current position and attributes
    HRESULT STDMETHODCALLTYPE get_CurrentX(LONG* result) noexcept override { return Get(result, p_.CurrentX()); }
    HRESULT STDMETHODCALLTYPE put_CurrentX(LONG value) noexcept override { p_.SetCurrentX(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_CurrentY(LONG* result) noexcept override { return Get(result, p_.CurrentY()); }
    HRESULT STDMETHODCALLTYPE put_CurrentY(LONG value) noexcept override { p_.SetCurrentY(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE put_FontBold(VARIANT_BOOL* bold) noexcept override {
        p_.SetFontBold(bold && *bold != VARIANT_FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FontBold(VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.FontBold()));
    }
    HRESULT STDMETHODCALLTYPE put_FontSize(LONG* size) noexcept override { p_.SetFontSize(In(size)); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FontSize(LONG* result) noexcept override { return Get(result, p_.FontSize()); }
    HRESULT STDMETHODCALLTYPE put_FontName(BSTR* name) noexcept override { p_.SetFontName(InText(name)); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FontName(BSTR* result) noexcept override { return GetText(result, p_.FontName()); }
    HRESULT STDMETHODCALLTYPE put_FontTransparent(LONG* mode) noexcept override {
        p_.SetFontTransparent(In(mode));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FontTransparent(LONG* result) noexcept override {
        return Get(result, p_.FontTransparent());
    }
    HRESULT STDMETHODCALLTYPE put_DrawWidth(LONG value) noexcept override { p_.SetDrawWidth(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_DrawWidth(LONG* result) noexcept override { return Get(result, p_.DrawWidth()); }
    HRESULT STDMETHODCALLTYPE put_DrawStyle(LONG value) noexcept override { p_.SetDrawStyle(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_DrawStyle(LONG* result) noexcept override { return Get(result, p_.DrawStyle()); }
    HRESULT STDMETHODCALLTYPE put_DrawColor(LONG value) noexcept override { p_.SetDrawColor(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_DrawColor(LONG* result) noexcept override { return Get(result, p_.DrawColor()); }
    HRESULT STDMETHODCALLTYPE get_DrawMode(LONG* result) noexcept override { return Get(result, p_.DrawMode()); }
    HRESULT STDMETHODCALLTYPE put_DrawMode(LONG value) noexcept override { p_.SetDrawMode(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_ForeColor(LONG* result) noexcept override { return Get(result, p_.ForeColor()); }
    HRESULT STDMETHODCALLTYPE put_ForeColor(LONG value) noexcept override { p_.SetForeColor(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE put_FillColor(LONG value) noexcept override { p_.SetFillColor(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FillColor(LONG* result) noexcept override { return Get(result, p_.FillColor()); }
    HRESULT STDMETHODCALLTYPE put_FillStyle(LONG value) noexcept override { p_.SetFillStyle(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FillStyle(LONG* result) noexcept override { return Get(result, p_.FillStyle()); }
    HRESULT STDMETHODCALLTYPE put_FillHatch(LONG value) noexcept override { p_.SetFillHatch(value); return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FillHatch(LONG* result) noexcept override { return Get(result, p_.FillHatch()); }

    // Document and page bracket
    HRESULT STDMETHODCALLTYPE PrintInit(LONG* /*hWndLoc: accepted and ignored*/,
                                        VARIANT_BOOL* result) noexcept override {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        // Only a failure of its first step reaches the caller.
        return Raising([&] { *result = ToVariantBool(p_.PrintInit()); });
    }
    HRESULT STDMETHODCALLTYPE StartDoc(BSTR* docName, BSTR* outFile, VARIANT_BOOL* result) noexcept override {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        if (outFile && *outFile && SysStringLen(*outFile) == 0) {
            // The caller's empty text becomes the null string.
            SysFreeString(*outFile);
            *outFile = nullptr;
        }
        *result = ToVariantBool(p_.StartDoc(InText(docName), InText(outFile)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartPage(VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.StartPage()));
    }
    HRESULT STDMETHODCALLTYPE EndPage(VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.EndPage()));
    }
    HRESULT STDMETHODCALLTYPE EndDoc(VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.EndDoc()));
    }

    // Text
    HRESULT STDMETHODCALLTYPE pPrint(BSTR* text) noexcept override { p_.Print(InText(text)); return S_OK; }
    HRESULT STDMETHODCALLTYPE pPrintWrapped(BSTR* text, LONG* left, LONG* right, LONG* top,
                                            LONG* flag) noexcept override {
        p_.PrintWrapped(InText(text), In(left), In(right), In(top), In(flag));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TextHeight(BSTR* text, LONG* result) noexcept override {
        return Get(result, p_.TextHeight(InText(text)));
    }
    HRESULT STDMETHODCALLTYPE TextWidth(BSTR* text, LONG* result) noexcept override {
        return Get(result, p_.TextWidth(InText(text)));
    }

    // Conversions
    HRESULT STDMETHODCALLTYPE MMToLogY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::MMToLogY, v, r);
    }
    HRESULT STDMETHODCALLTYPE MMToLogX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::MMToLogX, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToMMY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToMMY, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToMMX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToMMX, v, r);
    }
    HRESULT STDMETHODCALLTYPE MMToDOTX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::MMToDOTX, v, r);
    }
    HRESULT STDMETHODCALLTYPE MMToDOTY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::MMToDOTY, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToDOTX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToDOTX, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToDOTY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToDOTY, v, r);
    }
    HRESULT STDMETHODCALLTYPE DotToLogX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::DotToLogX, v, r);
    }
    HRESULT STDMETHODCALLTYPE DotToLogY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::DotToLogY, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToInY(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToInY, v, r);
    }
    HRESULT STDMETHODCALLTYPE LogToInX(LONG* v, LONG* r) noexcept override {
        return Convert(Conversion::LogToInX, v, r);
    }

    // Shapes and pictures
    HRESULT STDMETHODCALLTYPE pLine(LONG* xStart, LONG* yStart, LONG* xEnd, LONG* yEnd) noexcept override {
        p_.Line(In(xStart), In(yStart), In(xEnd), In(yEnd));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE pFrame(LONG* left, LONG* top, LONG* right, LONG* bottom) noexcept override {
        p_.Frame(In(left), In(top), In(right), In(bottom));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE pRectangle(LONG* left, LONG* top, LONG* right, LONG* bottom,
                                         VARIANT_BOOL* result) noexcept override {
        return Get(result, ToVariantBool(p_.Rectangle(In(left), In(top), In(right), In(bottom))));
    }
    HRESULT STDMETHODCALLTYPE pCircle(float* xCenter, float* yCenter, float* radius, VARIANT* color, LONG* width,
                                      VARIANT_BOOL* result) noexcept override {
        auto in = [](const float* v) { return v ? *v : 0.0f; };
        return Get(result, ToVariantBool(p_.Circle(in(xCenter), in(yCenter), in(radius), color, In(width))));
    }
    HRESULT STDMETHODCALLTYPE PaintPicture(LONG* handle, LONG* x, LONG* y, VARIANT* width,
                                           VARIANT* height) noexcept override {
        p_.PaintPicture(In(handle), In(x), In(y), width, height);
        return S_OK;
    }

    // The print dialog: its failures reach the caller.
    HRESULT STDMETHODCALLTYPE ShowPrinter(BSTR* setup) noexcept override {
        return Raising([&] { p_.ShowPrinter(InText(setup)); });
    }

private:
    template <class T, class V>
    static HRESULT Get(T* result, V value) noexcept {
        if (!result) return E_POINTER;
        *result = static_cast<T>(value);
        return S_OK;
    }
    static HRESULT GetText(BSTR* result, const std::wstring& text) noexcept {
        if (!result) return E_POINTER;
        *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *result || text.empty() ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT Convert(Conversion which, LONG* value, LONG* result) noexcept {
        return Get(result, p_.Convert(which, In(value)));
    }

    Printer p_;
};

}  // namespace

HRESULT CreatePrinterObject(REFIID iid, void** out) {
    return DispatchObject<_xPrinter>::CreateInstance<PrinterObject>(iid, out);
}

}  // namespace tessary
