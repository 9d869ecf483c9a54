// The stand-in device enumerator of endpoint_double.h. Wine's own enumerator
// does the work: this one wraps it, its device collections and its devices,
// and answers an output device's request for its endpoint volume itself.
//
// Wine's winmm builds its mixers on this enumerator too and tells the
// default device from the others by comparing interface pointers, so each
// real device has exactly one stand-in, whichever call hands it out (else
// winmm overruns its device table).
#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <oleauto.h>

#include <iterator>
#include <map>
#include <string>
#include <utility>

#include "frame/com_ptr.h"
#include "mixer/endpoint_double.h"

using tessary::ComPtr;
using tessary::test::EndpointCall;
using tessary::test::EndpointDoubleState;
using tessary::test::EndpointStep;

namespace {

HMODULE g_module;
EndpointDoubleState g_state;

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

// The reference count of a stand-in; COUNTED_UNKNOWN puts it behind IUnknown.
template <class Self>
class Counted {
public:
    ULONG AddRefImpl() { return InterlockedIncrement(&refs_); }
    ULONG ReleaseImpl() {
        const ULONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete static_cast<Self*>(this);
        return left;
    }

private:
    LONG refs_ = 1;
};

#define COUNTED_UNKNOWN                                                            \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }             \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

// QueryInterface of an object that is IUnknown and `Interface` alone.
template <class Interface>
HRESULT Hand(Interface* object, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, __uuidof(Interface))) return E_NOINTERFACE;
    object->AddRef();
    *out = object;
    return S_OK;
}

class Volume final : public IAudioEndpointVolume, public Counted<Volume> {
public:
    Volume() { InterlockedIncrement(&g_state.liveVolumes); }
    ~Volume() { InterlockedDecrement(&g_state.liveVolumes); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Hand(static_cast<IAudioEndpointVolume*>(this), iid, out);
    }
    COUNTED_UNKNOWN

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

class Device final : public IMMDevice, public IMMEndpoint, public Counted<Device> {
public:
    Device(ComPtr<IMMDevice> real, std::wstring id) : real_(std::move(real)), id_(std::move(id)) {
        // Only output devices have their volume served here.
        ComPtr<IMMEndpoint> endpoint;
        EDataFlow flow = eCapture;
        if (SUCCEEDED(real_->QueryInterface(__uuidof(IMMEndpoint), reinterpret_cast<void**>(endpoint.put()))))
            endpoint->GetDataFlow(&flow);
        output_ = flow == eRender;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && IsEqualIID(iid, __uuidof(IMMEndpoint))) {
            AddRef();
            *out = static_cast<IMMEndpoint*>(this);
            return S_OK;
        }
        return Hand(static_cast<IMMDevice*>(this), iid, out);
    }
    COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT* parameters, void** out) override {
        if (!output_ || !IsEqualIID(iid, __uuidof(IAudioEndpointVolume)))
            return real_->Activate(iid, context, parameters, out);
        lstrcpynW(g_state.activated, id_.c_str(), static_cast<int>(std::size(g_state.activated)));
        if (out) *out = nullptr;
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
    HRESULT STDMETHODCALLTYPE GetDataFlow(EDataFlow* flow) override {
        if (!flow) return E_POINTER;
        *flow = output_ ? eRender : eCapture;
        return S_OK;
    }

private:
    ComPtr<IMMDevice> real_;
    std::wstring id_;
    bool output_ = false;
};

// One stand-in per real device, by id, kept for the life of the process.
SRWLOCK g_devicesLock = SRWLOCK_INIT;
std::map<std::wstring, Device*>* g_devices;

// Hands out the stand-in of `real` (a reference the caller got) in `*out`.
HRESULT StandIn(HRESULT got, IMMDevice* real, IMMDevice** out) {
    ComPtr<IMMDevice> held(real);
    if (FAILED(got) || !real) return FAILED(got) ? got : E_POINTER;
    LPWSTR text = nullptr;
    const HRESULT named = real->GetId(&text);
    if (FAILED(named)) return named;
    const std::wstring id(text);
    CoTaskMemFree(text);
    AcquireSRWLockExclusive(&g_devicesLock);
    if (!g_devices) g_devices = new std::map<std::wstring, Device*>;
    Device*& device = (*g_devices)[id];
    if (!device) device = new Device(held, id);
    device->AddRef();
    *out = device;
    ReleaseSRWLockExclusive(&g_devicesLock);
    return S_OK;
}

class Collection final : public IMMDeviceCollection, public Counted<Collection> {
public:
    explicit Collection(IMMDeviceCollection* real) : real_(real) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Hand(static_cast<IMMDeviceCollection*>(this), iid, out);
    }
    COUNTED_UNKNOWN
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override { return real_->GetCount(count); }
    HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        IMMDevice* real = nullptr;
        const HRESULT got = real_->Item(index, &real);
        return StandIn(got, real, out);
    }

private:
    ComPtr<IMMDeviceCollection> real_;
};

class Enumerator final : public IMMDeviceEnumerator, public Counted<Enumerator> {
public:
    explicit Enumerator(IMMDeviceEnumerator* real) : real_(real) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Hand(static_cast<IMMDeviceEnumerator*>(this), iid, out);
    }
    COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD states, IMMDeviceCollection** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        IMMDeviceCollection* real = nullptr;
        const HRESULT got = real_->EnumAudioEndpoints(flow, states, &real);
        if (SUCCEEDED(got) && real) *out = new Collection(real);
        return got;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const HRESULT refused = Step(EndpointStep::Device);
        if (FAILED(refused)) return refused;
        IMMDevice* real = nullptr;
        const HRESULT got = real_->GetDefaultAudioEndpoint(flow, role, &real);
        return StandIn(got, real, out);
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const HRESULT refused = Step(EndpointStep::Device);
        if (FAILED(refused)) return refused;
        IMMDevice* real = nullptr;
        const HRESULT got = real_->GetDevice(id, &real);
        return StandIn(got, real, out);
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

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Hand(static_cast<IClassFactory*>(this), iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
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

Factory g_factory;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

EndpointDoubleState* WINAPI EndpointDouble() { return &g_state; }

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, __uuidof(MMDeviceEnumerator))) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

// The stand-ins live as long as the process.
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
