// A client that uses Tessary without registration. It runs from a folder
// that holds Tessary.dll, the DLL's assembly manifest and this program's own
// manifest naming the assembly; the registry knows nothing of the library.
//
// It creates every class by program id and by class id and calls one member
// of each through its dual interface, in the main apartment and in a second
// one (a thread with its own CoInitialize and its own objects). From the
// second apartment it also calls an object of the first: the call crosses
// apartments through the automation marshaler, which the manifest's
// proxy-stub entries and type library select.
//
// Prints one line per check and "<n> passed, <n> failed". Exit code 0 when
// everything worked, 2 when no class could be created at all because none is
// known (what a folder without the manifests gives), 1 otherwise.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "Tessary.h"
#include "frame/automation.h"
#include "frame/com_ptr.h"

namespace {

using tessary::Bstr;
using tessary::ComPtr;

// One call of a member that needs neither a printer nor a sound device; S_OK
// when the member gave what it should. The object must answer for its class's
// own dual interface, which shows it is of that class.
HRESULT CallRegistry(IUnknown* object) {
    ComPtr<_xRegistry> reg;
    HRESULT hr = object->QueryInterface(IID__xRegistry, reinterpret_cast<void**>(reg.put()));
    const LONG currentUser = static_cast<LONG>(0x80000001);
    LONG read = 0;
    if (SUCCEEDED(hr)) hr = reg->put_ClassKey(currentUser);
    if (SUCCEEDED(hr)) hr = reg->get_ClassKey(&read);
    return FAILED(hr) ? hr : read == currentUser ? S_OK : E_UNEXPECTED;
}

HRESULT CallApplication(IUnknown* object) {
    ComPtr<_xApplication> app;
    HRESULT hr = object->QueryInterface(IID__xApplication, reinterpret_cast<void**>(app.put()));
    Bstr text(std::wstring(L"ab\0cd", 5)), stripped;
    if (SUCCEEDED(hr)) hr = app->StripTerminator(text.get(), stripped.put());
    return FAILED(hr) ? hr : tessary::ToWide(stripped.get()) == L"ab" ? S_OK : E_UNEXPECTED;
}

HRESULT CallMixer(IUnknown* object) {
    ComPtr<_xMixer> mix;
    HRESULT hr = object->QueryInterface(IID__xMixer, reinterpret_cast<void**>(mix.put()));
    short line = 0;
    if (SUCCEEDED(hr)) hr = mix->put_idMix(1);
    if (SUCCEEDED(hr)) hr = mix->get_idMix(&line);
    return FAILED(hr) ? hr : line == 1 ? S_OK : E_UNEXPECTED;
}

HRESULT CallPrinter(IUnknown* object) {
    ComPtr<_xPrinter> prn;
    HRESULT hr = object->QueryInterface(IID__xPrinter, reinterpret_cast<void**>(prn.put()));
    return FAILED(hr) ? hr : prn->A_Description();
}

struct ClassCase {
    const wchar_t* progId;
    const CLSID* clsid;
    HRESULT (*call)(IUnknown*);
};

const ClassCase kClasses[] = {
    {L"Tessary.xRegistry", &CLSID_xRegistry, &CallRegistry},
    {L"Tessary.xApplication", &CLSID_xApplication, &CallApplication},
    {L"Tessary.xMixer", &CLSID_xMixer, &CallMixer},
    {L"Tessary.xPrinter", &CLSID_xPrinter, &CallPrinter},
};

struct Tally {
    int passed = 0;
    int failed = 0;
    int created = 0;
    int unknown = 0;  // creations refused because the class is not known

    void Record(const char* apartment, const wchar_t* what, const char* how, HRESULT hr) {
        (SUCCEEDED(hr) ? passed : failed)++;
        if (SUCCEEDED(hr))
            std::printf("ok   %s: %ls %s\n", apartment, what, how);
        else
            std::printf("FAIL %s: %ls %s (0x%08lX)\n", apartment, what, how, static_cast<unsigned long>(hr));
    }
};

bool IsUnknownClass(HRESULT hr) { return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG; }

// Every class by program id and by class id, and one member call on each.
void CreateAndCallEach(const char* apartment, Tally& tally) {
    for (const ClassCase& c : kClasses) {
        // From a manifest the program id gives the activation context's own
        // alias of the class id, not the class id itself: it is only passed on.
        CLSID fromProgId = {};
        HRESULT hr = CLSIDFromProgID(c.progId, &fromProgId);
        const CLSID* ways[] = {&fromProgId, c.clsid};
        const char* names[] = {"by program id", "by class id"};
        for (int way = 0; way < 2; ++way) {
            ComPtr<IUnknown> object;
            HRESULT created = hr;
            if (way == 1 || SUCCEEDED(created))
                created = CoCreateInstance(*ways[way], nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                           reinterpret_cast<void**>(object.put()));
            if (SUCCEEDED(created)) ++tally.created;
            if (IsUnknownClass(created)) ++tally.unknown;
            tally.Record(apartment, c.progId, names[way], SUCCEEDED(created) ? c.call(object.get()) : created);
        }
    }
}

struct SecondApartment {
    IStream* marshaled = nullptr;  // the first apartment's xRegistry, for the second
    Tally tally;
};

DWORD WINAPI RunSecondApartment(void* parameter) {
    auto* second = static_cast<SecondApartment*>(parameter);
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        second->tally.Record("second apartment", L"CoInitialize", "", hr);
        return 0;
    }
    CreateAndCallEach("second apartment", second->tally);
    if (second->marshaled) {
        ComPtr<IUnknown> proxy;
        hr = CoGetInterfaceAndReleaseStream(second->marshaled, IID__xRegistry, reinterpret_cast<void**>(proxy.put()));
        second->marshaled = nullptr;
        second->tally.Record("second apartment", L"Tessary.xRegistry", "of the first apartment, marshaled",
                             SUCCEEDED(hr) ? CallRegistry(proxy.get()) : hr);
    }
    CoUninitialize();
    return 0;
}

// Runs the second apartment while this one serves the calls marshaled to it.
void RunBesideThisApartment(SecondApartment& second, Tally& tally) {
    HANDLE thread = CreateThread(nullptr, 0, &RunSecondApartment, &second, 0, nullptr);
    if (!thread) {
        tally.Record("main apartment", L"second apartment", "started", HRESULT_FROM_WIN32(GetLastError()));
        return;
    }
    DWORD index = 0;
    CoWaitForMultipleHandles(0, INFINITE, 1, &thread, &index);
    CloseHandle(thread);
}

int Run() {
    Tally main;
    CreateAndCallEach("main apartment", main);

    SecondApartment second;
    ComPtr<IUnknown> shared;
    HRESULT hr = CoCreateInstance(CLSID_xRegistry, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(shared.put()));
    if (SUCCEEDED(hr))
        hr = CoMarshalInterThreadInterfaceInStream(IID__xRegistry, shared.get(), &second.marshaled);
    if (FAILED(hr)) main.Record("main apartment", L"Tessary.xRegistry", "marshaled to the second apartment", hr);
    RunBesideThisApartment(second, main);
    if (second.marshaled) second.marshaled->Release();

    const int passed = main.passed + second.tally.passed;
    const int failed = main.failed + second.tally.failed;
    const int unknown = main.unknown + second.tally.unknown;
    std::printf("%d passed, %d failed\n", passed, failed);
    if (failed == 0) return 0;
    // Every creation, in both apartments, refused for want of the class.
    const int creations = 2 * 2 * static_cast<int>(sizeof(kClasses) / sizeof(kClasses[0]));
    return main.created + second.tally.created == 0 && unknown == creations ? 2 : 1;
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    const int rc = Run();
    CoUninitialize();
    return rc;
}
