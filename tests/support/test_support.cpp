#include "support/test_support.h"
#include "support/resource_census.h"

#include <utility>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessary::test {

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n);
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}

namespace {
// Removes the process's temporary folder when the test program ends.
struct TempDirCleanup {
    std::wstring dir;
    ~TempDirCleanup() {
        if (dir.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(dir), ignored);
    }
};
TempDirCleanup g_tempDirCleanup;
}  // namespace

std::wstring TempDir() {
    std::wstring& dir = g_tempDirCleanup.dir;
    if (dir.empty()) {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        dir = std::wstring(base) + L"tessary-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    return dir;
}

LoadedLibrary::LoadedLibrary() { module_ = LoadLibraryW((BinDir() + L"Tessary.dll").c_str()); }
LoadedLibrary::~LoadedLibrary() { if (module_) FreeLibrary(module_); }

HRESULT LoadedLibrary::GetClassObject(const CLSID& clsid, REFIID iid, void** out) const {
    using Fn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(module_, "DllGetClassObject"));
    return fn ? fn(clsid, iid, out) : E_FAIL;
}

HRESULT LoadedLibrary::CanUnloadNow() const {
    using Fn = HRESULT(WINAPI*)();
    auto fn = reinterpret_cast<Fn>(GetProcAddress(module_, "DllCanUnloadNow"));
    return fn ? fn() : E_FAIL;
}

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId) {
    ComPtr<IDispatch> object;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

DispatchResult::DispatchResult(DispatchResult&& other) noexcept
    : hr(other.hr), value(std::move(other.value)), exception(other.exception) {
    other.exception = EXCEPINFO{};
}

DispatchResult::~DispatchResult() {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

long DispatchResult::ErrorNumber() const {
    HRESULT code = hr == DISP_E_EXCEPTION ? exception.scode : hr;
    if (SUCCEEDED(code)) return 0;
    if (HRESULT_FACILITY(code) == FACILITY_CONTROL) return HRESULT_CODE(code);
    return code;
}

std::wstring DispatchResult::Description() const { return ToWide(exception.bstrDescription); }
std::wstring DispatchResult::Source() const { return ToWide(exception.bstrSource); }

static DispatchResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT*> args) {
    DispatchResult r;
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    r.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(r.hr)) return r;
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argError = 0;
    r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                          (flags & DISPATCH_PROPERTYPUT) ? nullptr : r.value.get(), &r.exception, &argError);
    return r;
}

DispatchResult CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT*> args) {
    return Call(object, name, flags, std::move(args));
}

DispatchResult PutByName(IDispatch* object, const wchar_t* name, VARIANT* value) {
    return Call(object, name, DISPATCH_PROPERTYPUT, {value});
}

void SetText(VARIANT* v, const std::wstring& text) {
    VariantInit(v);
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
void SetLong(VARIANT* v, long value) { VariantInit(v); V_VT(v) = VT_I4; V_I4(v) = value; }
void SetShort(VARIANT* v, short value) { VariantInit(v); V_VT(v) = VT_I2; V_I2(v) = value; }
void SetBool(VARIANT* v, bool value) { VariantInit(v); V_VT(v) = VT_BOOL; V_BOOL(v) = value ? VARIANT_TRUE : VARIANT_FALSE; }
void SetDouble(VARIANT* v, double value) { VariantInit(v); V_VT(v) = VT_R8; V_R8(v) = value; }

VARIANT RefTo(VARIANT* target) {
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = target;
    return ref;
}

MessageLog::MessageLog() {
    path_ = TempDir() + L"messages-" + std::to_wstring(GetTickCount()) + L".log";
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(L"TESSARY_MESSAGE_LOG", path_.c_str());
}

MessageLog::~MessageLog() {
    SetEnvironmentVariableW(L"TESSARY_MESSAGE_LOG", nullptr);
    DeleteFileW(path_.c_str());
}

void MessageLog::Clear() const { DeleteFileW(path_.c_str()); }

static std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

std::vector<RecordedMessage> MessageLog::Messages() const {
    std::vector<RecordedMessage> out;
    FILE* f = _wfopen(path_.c_str(), L"rb");
    if (!f) return out;
    std::string content;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
    fclose(f);
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        size_t a = line.find('\t');
        size_t b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        out.push_back({static_cast<UINT>(std::stoul(line.substr(0, a))), FromUtf8(line.substr(a + 1, b - a - 1)),
                       FromUtf8(line.substr(b + 1))});
    }
    return out;
}

// Wine answers GetGuiResources and GetProcessHandleCount with 0: count directly.
DWORD GdiObjectCount() { return static_cast<DWORD>(LiveGdiObjects()); }
DWORD KernelHandleCount() { return static_cast<DWORD>(LiveKernelHandles()); }

}  // namespace tessary::test
