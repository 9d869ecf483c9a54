// The four exports of Tessary.dll, its DllMain and the one class factory.
#include <windows.h>
#include <uxtheme.h>

#include <new>

#include "server/class_table.h"
#include "frame/module.h"
#include "frame/registration.h"
#include "frame/type_info_cache.h"

namespace tessary {
namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) { ModuleAddRef(); }
    ~ClassFactory() { ModuleRelease(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ModuleAddRef();
        else ModuleRelease();
        return S_OK;
    }

private:
    CreateFunction create_;
    LONG refs_ = 0;
};

}  // namespace
}  // namespace tessary

using namespace tessary;

// The thread library's TLS callback (winpthreads, linked in statically). On a
// thread it did not create, its first use gives the thread a record holding
// an event and a duplicate of the thread's handle; on the 32-bit build that
// happens at every load, when libgcc registers this DLL's unwind tables (a
// pthread_once). The callback frees the record when it is told the thread
// detaches.
extern "C" const PIMAGE_TLS_CALLBACK __xl_f;

// The theme DLL is imported, so that it is loaded with this library and never
// later. Under Wine, a thread that loads the common controls (the spooler
// brings them along) while another thread makes the process's first window
// deadlocks: that thread loads the theme DLL while holding the window lock,
// the loading one registers window classes while holding the loader lock.
// A client that has a window of its own (every single-threaded apartment)
// has the theme DLL loaded already, so the import costs it nothing.
extern "C" __attribute__((used)) const void* const kThemeDllImported = reinterpret_cast<const void*>(&IsAppThemed);

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleHandle(instance);
        // Nothing else happens at load: the system DLLs that only some
        // members need are loaded (and pinned) by the first call that needs
        // one (frame/delay_load.h).
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary (the process goes on): let go of what the
        // DLL loaded. At process exit (reserved set) nothing is released:
        // the automation run-time may be gone already.
        ReleaseTypeInfoCache();
        // The unloading thread (usually the one that loaded the DLL) lives
        // on, so the thread library would keep its record, two handles, for
        // good: detach the thread from it now, as its end would.
        __xl_f(instance, DLL_THREAD_DETACH, nullptr);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < kClassCount; ++i) {
        if (!IsEqualCLSID(clsid, *kClasses[i].clsid)) continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(kClasses[i].create);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return ModuleRefCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() { return RegisterServer(ModulePath(), kClasses, kClassCount); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return UnregisterServer(kClasses, kClassCount); }
