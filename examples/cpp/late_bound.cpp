// A late-bound client of Tessary: it knows no header and no vtable, only the
// program id and the names of the members, and calls them through IDispatch
// the way a script host does.
//
// The job: print a page with a picture into a file. The picture is a bitmap
// made here (four colour bands with a border); PaintPicture scales it to
// 2 x 1 inches at one inch from the corner of the printable area, and a
// caption goes below it.
//
//   late_bound.exe C:\Temp\picture.ps
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Owners of an interface reference, a variant and a GDI bitmap.
class Dispatch {
public:
    Dispatch() = default;
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    ~Dispatch() { if (p_) p_->Release(); }
    IDispatch* get() const { return p_; }
    void** put() { return reinterpret_cast<void**>(&p_); }

private:
    IDispatch* p_ = nullptr;
};

class Var {
public:
    Var() { VariantInit(&v_); }
    explicit Var(long n) { VariantInit(&v_); V_VT(&v_) = VT_I4; V_I4(&v_) = n; }
    explicit Var(const wchar_t* s) { VariantInit(&v_); V_VT(&v_) = VT_BSTR; V_BSTR(&v_) = SysAllocString(s); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }

private:
    VARIANT v_;
};

class Bitmap {
public:
    explicit Bitmap(HBITMAP b) : b_(b) {}
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap() { if (b_) DeleteObject(b_); }
    HBITMAP get() const { return b_; }

private:
    HBITMAP b_;
};

// Calls a member by name. Arguments go as references to the caller's
// variants, in call order, as a script host passes its variables; a
// property write passes its value as the one named argument.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, std::vector<VARIANT*> args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> refs(args.size());
    for (size_t i = 0; i < args.size(); ++i) {  // DISPPARAMS wants them last first
        VariantInit(&refs[i]);
        V_VT(&refs[i]) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&refs[i]) = args[args.size() - 1 - i];
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {refs.data(), nullptr, static_cast<UINT>(refs.size()), 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO error = {};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &error, nullptr);
    if (hr == DISP_E_EXCEPTION && error.bstrDescription)
        std::fprintf(stderr, "%ls: %ls\n", name, error.bstrDescription);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    return hr;
}

bool IsTrue(VARIANT* v) { return V_VT(v) == VT_BOOL && V_BOOL(v) != VARIANT_FALSE; }

// A 120 x 60 picture: red, yellow, green and blue bands inside a black border.
HBITMAP MakePicture() {
    const int width = 120, height = 60;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return nullptr;
    const DWORD bands[] = {0xDC2020, 0xF0D020, 0x20A040, 0x2040C0};  // 0xRRGGBB
    auto* pixel = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool border = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
            pixel[y * width + x] = border ? 0 : bands[x * 4 / width];
        }
    return bitmap;
}

int Print(const wchar_t* output) {
    CLSID clsid;
    Dispatch printer;
    if (FAILED(CLSIDFromProgID(L"Tessary.xPrinter", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, printer.put()))) {
        std::fprintf(stderr, "Tessary.xPrinter is not registered\n");
        return 1;
    }
    IDispatch* p = printer.get();
    Var connected;
    if (FAILED(Call(p, L"Connected", DISPATCH_PROPERTYGET, {}, connected.get())) || !IsTrue(connected.get())) {
        std::fprintf(stderr, "No printer is installed.\n");
        return 1;
    }
    Var docName(L"Tessary late-bound picture"), outFile(output), started, pageStarted;
    if (FAILED(Call(p, L"StartDoc", DISPATCH_METHOD, {docName.get(), outFile.get()}, started.get())) ||
        !IsTrue(started.get()) || FAILED(Call(p, L"StartPage", DISPATCH_METHOD, {}, pageStarted.get()))) {
        std::fprintf(stderr, "The document could not be started.\n");
        return 1;
    }

    // Twips: 1440 to the inch, from the corner of the printable area. The
    // handle crosses the interface as a 32-bit number.
    Bitmap picture(MakePicture());
    Var handle(HandleToLong(picture.get())), x(1440), y(1440), width(2880), height(1440);
    HRESULT drawn = Call(p, L"PaintPicture", DISPATCH_METHOD, {handle.get(), x.get(), y.get(), width.get(), height.get()},
                         nullptr);

    Var captionX(1440), captionY(3024), font(L"DejaVu Sans"), size(200);
    Call(p, L"FontName", DISPATCH_PROPERTYPUT, {font.get()}, nullptr);
    Call(p, L"FontSize", DISPATCH_PROPERTYPUT, {size.get()}, nullptr);
    Call(p, L"CurrentX", DISPATCH_PROPERTYPUT, {captionX.get()}, nullptr);
    Call(p, L"CurrentY", DISPATCH_PROPERTYPUT, {captionY.get()}, nullptr);
    Var caption(L"A bitmap printed with PaintPicture, 2 x 1 inches");
    Call(p, L"pPrint", DISPATCH_METHOD, {caption.get()}, nullptr);

    Var pageEnded, docEnded, device;
    Call(p, L"EndPage", DISPATCH_METHOD, {}, pageEnded.get());
    Call(p, L"EndDoc", DISPATCH_METHOD, {}, docEnded.get());
    Call(p, L"DeviceName", DISPATCH_PROPERTYGET, {}, device.get());
    if (FAILED(drawn) || !IsTrue(docEnded.get())) {
        std::fprintf(stderr, "The page was not printed.\n");
        return 1;
    }
    std::printf("Printed a picture on %ls into %ls\n", V_VT(device.get()) == VT_BSTR ? V_BSTR(device.get()) : L"?", output);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: late_bound.exe <output file>\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    int rc = Print(argv[1]);
    CoUninitialize();
    return rc;
}
