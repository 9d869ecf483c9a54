#include "autodial_store.h"

#include <oleauto.h>

#include "Tessary.h"
#include "frame/automation.h"
#include "frame/com_ptr.h"

namespace dovetta {

const wchar_t kApplicationTitle[] = L"Halvex AutoDial";
const wchar_t kInternetSettingsPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

namespace {

class RegistryStore : public AutodialStore {
public:
    explicit RegistryStore(tessary::ComPtr<_xRegistry> registry) : registry_(std::move(registry)) {}

    HRESULT Write(const std::wstring& valueName, short value) override {
        // Texts handed by reference: the member may replace them, and whatever
        // each one holds at the end is freed.
        tessary::Bstr root(L"HKCU");
        tessary::Bstr path(kInternetSettingsPath);
        tessary::Bstr name(valueName);
        tessary::Bstr type(L"REG_DWORD");
        // REG_DWORD is stored only for a 16- or 32-bit integer: a 16-bit one it is.
        tessary::Variant data;
        V_VT(data.get()) = VT_I2;
        V_I2(data.get()) = value;
        tessary::Variant result;
        return registry_->RegSysSet(root.ref(), path.ref(), name.ref(), data.get(), type.ref(), result.get());
    }

private:
    tessary::ComPtr<_xRegistry> registry_;
};

}  // namespace

HRESULT CreateRegistryStore(std::unique_ptr<AutodialStore>* store) {
    tessary::ComPtr<_xRegistry> registry;
    HRESULT hr = CoCreateInstance(CLSID_xRegistry, nullptr, CLSCTX_INPROC_SERVER, IID__xRegistry,
                                  reinterpret_cast<void**>(registry.put()));
    if (FAILED(hr)) return hr;
    if (!registry) return E_NOINTERFACE;
    *store = std::make_unique<RegistryStore>(std::move(registry));
    return S_OK;
}

std::wstring CreationFailureReport(HRESULT hr) {
    // The run-time tells an object without the expected interface (430) from
    // a component that cannot be created at all (429).
    if (hr == E_NOINTERFACE)
        return L"Run-time error '430':\n\nClass does not support Automation or does not support expected interface";
    return L"Run-time error '429':\n\nActiveX component can't create object";
}

std::wstring WindowFailureReport(HRESULT hr) {
    wchar_t code[16];
    wsprintfW(code, L"%08X", static_cast<unsigned>(hr));
    return std::wstring(L"Dovetta cannot open its window (error 0x") + code + L"). Is a display available?";
}

}  // namespace dovetta
