// The stand-in device enumerator of endpoint_double.h. Wine's own enumerator
// does the work: this one wraps it, and wraps the devices it hands out by
// id, whose endpoint volume it serves itself.
//
// Wine's winmm builds its mixers on this enumerator too and tells the
// default device from the others by comparing the pointers that the device
// collection and the default-device call hand out (it overruns its device
// table when none matches): those stay Wine's own, unwrapped. winmm asks for
// devices by id only to open streams and session volumes, which the
// stand-ins hand on.
#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <oleauto.h>

#include <iterator>

#include "frame/com_ptr.h"
#include "mixer/endpoint_double.h"

using tessary::ComPtr;
using tessary::test::EndpointCall;
using tessary::test::EndpointDoubleState;
using tessary::test::EndpointStep;

namespace {

HMODULE g_module;
EndpointDoubleState g_state;
constexpr int kIdLength = static_cast<int>(std::size(g_state.activated));

void LeaveErrorObject() {
    ComPtr<ICreateErrorInfo> create;
    ComPtr<IErrorInfo> info;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    create->SetDescription(const_cast<LPOLESTR>(L"refused by the test's endpoint"));
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
        SetErrorInfo(0, info.get());
}

// Records the step; its refusal, or S_OK.
HRESULT Step(EndpointStep step, float level = 0, BOOL mute = FALSE) {
    const LONG n = InterlockedIncrement(&g_state.callCount) - 1;
    if (n < static_cast<LONG>(std::size(g_state.calls)))
        g_state.calls[n] = EndpointCall{step, level, mute, GetCurrentThreadId()};
    const HRESULT refusal = g_state.refuse[static_cast<int>(step)];
    const bool anyThread = step != EndpointStep::Create && step != EndpointStep::Device;
    if (SUCCEEDED(refusal) || (!anyThread && GetCurrentThreadId() != g_state.refusingThread)) return S_OK;
    LeaveErrorObject();
    return refusal;
}

// One interface and IUnknown, reference counted; deleted with its last reference.
template <class Interface>
class Unknown : public Interface {
public:
    virtual ~Unknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, __uuidof(Interface))) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

private:
    LONG refs_ = 1;
};

class Volume final : public Unknown<IAudioEndpointVolume> {
public:
    Volume() { InterlockedIncrement(&g_state.liveVolumes); }
    ~Volume() { InterlockedDecrement(&g_state.liveVolumes); }

    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) override {
        const HRESULT refused = Step(EndpointStep::GetLevel);
        if (FAILED(refused)) return refused;
        if (!level) return E_POINTER;
        *level = g_state.level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) override {
        const HRESULT refused = Step(EndpointStep::SetLevel, level);
        if (FAILED(refused)) return refused;
        if (!(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        g_state.level = level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override {
        const HRESULT refused = Step(EndpointStep::GetMute);
        if (FAILED(refused)) return refused;
        if (!mute) return E_POINTER;
        *mute = g_state.mute;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override {
        const HRESULT refused = Step(EndpointStep::SetMute, 0, mute);
        if (FAILED(refused)) return refused;
        g_state.mute = mute;
        return S_OK;
    }

    // Nothing else is served.
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float*, float*, float*) override { return E_NOTIMPL; }
};

// A device as the library asks for it, by id: its endpoint volume is served
// here, anything else it is asked for comes from the real device.
class Device final : public Unknown<IMMDevice> {
public:
    explicit Device(IMMDevice* real) : real_(real) {}

    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT* parameters, void** out) override {
        if (!IsEqualIID(iid, __uuidof(IAudioEndpointVolume))) return real_->Activate(iid, context, parameters, out);
        if (out) *out = nullptr;
        LPWSTR id = nullptr;
        if (SUCCEEDED(real_->GetId(&id))) lstrcpynW(g_state.activated, id, kIdLength);
        CoTaskMemFree(id);
        const HRESULT refused = Step(EndpointStep::Activate);
        if (FAILED(refused)) return refused;
        if (!out) return E_POINTER;
        *out = static_cast<IAudioEndpointVolume*>(new Volume);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override {
        return real_->OpenPropertyStore(access, store);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override { return real_->GetId(id); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override { return real_->GetState(state); }

private:
    ComPtr<IMMDevice> real_;
};

class Enumerator final : public Unknown<IMMDeviceEnumerator> {
public:
    explicit Enumerator(IMMDeviceEnumerator* real) : real_(real) {}

    // winmm tells the default device from the others by comparing the
    // pointers these hand out: they stay Wine's own.
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD states, IMMDeviceCollection** out) override {
        return real_->EnumAudioEndpoints(flow, states, out);
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** out) override {
        return real_->GetDefaultAudioEndpoint(flow, role, out);
    }
    // How the library finds the endpoint winmm names for mixer device 0.
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const HRESULT refused = Step(EndpointStep::Device);
        if (FAILED(refused)) return refused;
        IMMDevice* real = nullptr;
        const HRESULT got = real_->GetDevice(id, &real);
        if (SUCCEEDED(got)) *out = new Device(real);
        return got;
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* client) override {
        return real_->RegisterEndpointNotificationCallback(client);
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override {
        return real_->UnregisterEndpointNotificationCallback(client);
    }

private:
    ComPtr<IMMDeviceEnumerator> real_;
};

// Wine's own enumerator, from its DLL's own class factory (the registry
// names this DLL instead).
HRESULT RealEnumerator(IMMDeviceEnumerator** out) {
    static HMODULE wine = LoadLibraryW(L"mmdevapi.dll");
    auto getClass = wine ? reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(wine, "DllGetClassObject")) : nullptr;
    if (!getClass) return REGDB_E_CLASSNOTREG;
    ComPtr<IClassFactory> factory;
    HRESULT got = getClass(__uuidof(MMDeviceEnumerator), IID_IClassFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(got)) return got;
    return factory->CreateInstance(nullptr, __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(out));
}

// One factory for the process: the reference it is made with is never given up.
class Factory final : public Unknown<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        const HRESULT refused = Step(EndpointStep::Create);
        if (FAILED(refused)) return refused;
        IMMDeviceEnumerator* real = nullptr;
        const HRESULT got = RealEnumerator(&real);
        if (FAILED(got)) return got;
        ComPtr<Enumerator> enumerator(new Enumerator(real));
        return enumerator->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory* const g_factory = new Factory;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

EndpointDoubleState* WINAPI EndpointDouble() { return &g_state; }

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, __uuidof(MMDeviceEnumerator))) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory->QueryInterface(iid, out);
}

// Stays: the test program reads its state for the life of the process.
HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

// Puts this DLL over the enumerator's class id: in the test prefix only.
HRESULT WINAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    const wchar_t key[] = L"CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}\\InprocServer32";
    const wchar_t both[] = L"Both";
    const bool ok =
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, path, (length + 1) * sizeof(wchar_t)) == ERROR_SUCCESS &&
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key, L"ThreadingModel", REG_SZ, both, sizeof both) == ERROR_SUCCESS;
    return ok ? S_OK : E_FAIL;
}

}  // extern "C"
