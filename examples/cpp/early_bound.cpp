// An early-bound client of Tessary: the interfaces come from Tessary.h and
// their identifiers from Tessary_i.c, which widl makes from the IDL (a
// release carries both in sdk/), and every call goes straight through the
// interface's vtable, checked by its HRESULT. Built from a release folder:
//
//   x86_64-w64-mingw32-g++ -I sdk examples/cpp/early_bound.cpp sdk/Tessary_i.c -lole32 -loleaut32 -static -o early_bound.exe
//
// The job: "Example Editor" keeps its data folder and a run count in the
// registry, through the key-and-value object _xRegistry, and finds the data
// folder through _xApplication.
//
//   early_bound.exe            count this run, print the settings
//   early_bound.exe --reset    delete the settings
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <utility>

#include "Tessary.h"

namespace {

// Owners of what the calls hand out: an interface reference, a string, a variant.
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { if (p_) p_->Release(); }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void** put() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

class Text {
public:
    Text() = default;
    explicit Text(const wchar_t* s) : b_(SysAllocString(s)) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { SysFreeString(b_); }
    BSTR get() const { return b_; }
    BSTR* put() { SysFreeString(b_); b_ = nullptr; return &b_; }
    std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

class Var {
public:
    Var() { VariantInit(&v_); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&v_); }
    VARIANT* put() { VariantClear(&v_); return &v_; }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

// The error a member raised, as the library described it.
void Report(const char* what, HRESULT hr) {
    std::fprintf(stderr, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        Text description;
        info->GetDescription(description.put());
        std::fprintf(stderr, ": %ls", description.str().c_str());
        info->Release();
    }
    std::fprintf(stderr, "\n");
}

#define CALL(expr)                                    \
    do {                                              \
        HRESULT hr_ = (expr);                         \
        if (FAILED(hr_)) { Report(#expr, hr_); return 1; } \
    } while (0)

constexpr LONG kCurrentUser = static_cast<LONG>(0x80000001);  // ERegistryClassConstants
constexpr LONG kRegDword = 4;                                  // ERegistryValueTypes
constexpr LONG kRegSz = 1;
constexpr LONG kAppData = 26;                                  // CSIDL_APPDATA
const wchar_t kSettings[] = L"Software\\Halvex\\Example Editor";

int Run(bool reset) {
    Ref<_xRegistry> reg;
    CALL(CoCreateInstance(CLSID_xRegistry, nullptr, CLSCTX_INPROC_SERVER, IID__xRegistry, reg.put()));
    Text section(kSettings);
    CALL(reg->put_ClassKey(kCurrentUser));
    CALL(reg->put_SectionKey(section.get()));

    if (reset) {
        VARIANT_BOOL exists = VARIANT_FALSE, deleted = VARIANT_FALSE;
        CALL(reg->get_KeyExists(&exists));
        if (exists) CALL(reg->DeleteKey(&deleted));
        std::printf("The settings of Example Editor are gone.\n");
        return 0;
    }

    // The run count: a REG_DWORD; a missing value reads as the Default, Empty.
    Text runsName(L"Runs");
    CALL(reg->put_ValueKey(runsName.get()));
    Var stored;
    CALL(reg->get_Value(stored.put()));
    LONG runs = stored.get().vt == VT_I4 ? V_I4(&stored.get()) : 0;
    ++runs;
    VARIANT next;
    V_VT(&next) = VT_I4;
    V_I4(&next) = runs;
    CALL(reg->put_ValueType(kRegDword));
    CALL(reg->put_Value(next));

    // The data folder, below the user's application data.
    Ref<_xApplication> app;
    CALL(CoCreateInstance(CLSID_xApplication, nullptr, CLSCTX_INPROC_SERVER, IID__xApplication, app.put()));
    LONG csidl = kAppData;
    Text appData;
    CALL(app->get_FolderSpecial(&csidl, appData.put()));
    std::wstring folder = appData.str() + L"Halvex\\Example Editor";
    Text folderName(L"DataFolder");
    CALL(reg->put_ValueKey(folderName.get()));
    CALL(reg->put_ValueType(kRegSz));
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(folder.c_str());
    HRESULT written = reg->put_Value(text);
    VariantClear(&text);
    CALL(written);

    Text windows, os;
    CALL(app->get_FolderWindows(windows.put()));
    CALL(app->get_winOS(os.put()));
    std::printf("Example Editor, run %ld\n", static_cast<long>(runs));
    std::printf("Data folder: %ls\n", folder.c_str());
    std::printf("Windows (%ls) in %ls\n", os.str().c_str(), windows.str().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool reset = argc > 1 && std::string(argv[1]) == "--reset";
    if (FAILED(CoInitialize(nullptr))) return 1;
    int rc = Run(reset);
    CoUninitialize();
    return rc;
}
