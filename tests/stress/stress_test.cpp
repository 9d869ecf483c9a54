// The library under load: eight single-threaded apartments and the
// multithreaded one using all four classes at once, calls carried between
// apartments by marshaling and the Global Interface Table, the DLL unloaded
// and loaded again, and a soak of every class with the process's handles,
// GDI objects, windows and private bytes watched. Every phase runs against a
// watchdog; the run ends with one summary line and passes only when it
// counts no crash, no hang, no wrong result and no growing series.
//
//   stress [--cycles N] [--soak N] [--every N] [--unloads N] [--phase-seconds N]
//
// The suite runs it short; the long run is --cycles 1000 --soak 10000.
#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Tessary.h"
#include "frame/handles.h"
#include "printer/printer_test_support.h"
#include "support/resource_census.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

struct Options {
    int cycles = 20;  // per apartment, concurrent phase
    int soak = 1000;  // per class
    int every = 1000;  // soak checkpoint interval
    int unloads = 200;
    int phaseSeconds = 300;
};
Options g_options;

std::atomic<long> g_crashes{0}, g_hangs{0}, g_wrong{0}, g_growing{0};
std::string g_known;  // known exceptions, reported in the summary
std::mutex g_printLock;

void Say(const char* format, ...) {
    std::lock_guard<std::mutex> lock(g_printLock);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

// A wrong result: counted, and the first few described.
void Wrong(const char* format, ...) {
    const long n = ++g_wrong;
    if (n > 25) return;
    std::lock_guard<std::mutex> lock(g_printLock);
    printf("WRONG: ");
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

void Check(bool ok, const char* format, ...) {
    if (ok) return;
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Wrong("%s", text);
}

void Summary() {
    const bool pass = g_crashes == 0 && g_hangs == 0 && g_wrong == 0 && g_growing == 0;
    Say("STRESS SUMMARY: %s crashes=%ld hangs=%ld wrong=%ld growing=%ld%s%s\n", pass ? "PASS" : "FAIL",
        g_crashes.load(), g_hangs.load(), g_wrong.load(), g_growing.load(), g_known.empty() ? "" : " known: ",
        g_known.c_str());
}

// ---------------------------------------------------------------------------
// Crashes and hangs end the run with the summary rather than silently.

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    ++g_crashes;
    Say("CRASH: exception %08lx at %p in thread %lu\n", info->ExceptionRecord->ExceptionCode,
        info->ExceptionRecord->ExceptionAddress, GetCurrentThreadId());
    Summary();
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void Phase(const char* name) {
        std::lock_guard<std::mutex> lock(lock_);
        name_ = name;
        start_ = std::chrono::steady_clock::now();
        Say("phase %s (limit %d s)\n", name, g_options.phaseSeconds);
    }
    double Elapsed() {
        std::lock_guard<std::mutex> lock(lock_);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    void Watch() {
        while (!stop_) {
            Sleep(250);
            std::lock_guard<std::mutex> lock(lock_);
            if (name_.empty()) continue;
            auto spent = std::chrono::steady_clock::now() - start_;
            if (spent > std::chrono::seconds(g_options.phaseSeconds)) {
                ++g_hangs;
                Say("HANG: phase %s still running after %d s\n", name_.c_str(), g_options.phaseSeconds);
                Summary();
                TerminateProcess(GetCurrentProcess(), 1);
            }
        }
    }
    std::mutex lock_;
    std::string name_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// ---------------------------------------------------------------------------
// One use of each class, checked: `who` names the caller (a per-thread
// registry key), `cycle` varies the values, odd cycles go through IDispatch.

template <class Interface>
ComPtr<Interface> Make(const CLSID& clsid) {
    ComPtr<Interface> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Interface),
                                  reinterpret_cast<void**>(object.put()));
    Check(SUCCEEDED(hr) && object, "CoCreateInstance failed: %08lx", hr);
    return object;
}

bool g_printers = false;

void UseRegistry(_xRegistry* r, int who, int cycle) {
    if (!r) return;
    const std::wstring section = L"Software\\TessaryTests\\Stress\\T" + std::to_wstring(who);
    const std::wstring text = L"value " + std::to_wstring(who) + L"." + std::to_wstring(cycle);
    Bstr s(section), name(L"Check");
    r->put_ClassKey(LONG(0x80000001));
    r->put_SectionKey(s.get());
    r->put_ValueKey(name.get());
    r->put_ValueType(REG_SZ);
    VARIANT_BOOL made = VARIANT_FALSE;
    Check(r->CreateKey(&made) == S_OK, "registry CreateKey failed");
    Variant in, out;
    SetText(in.get(), text);
    if (cycle % 2) {
        ComPtr<IDispatch> d;
        r->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put()));
        Check(PutByName(d.get(), L"Value", in.get()).hr == S_OK, "registry Value put through IDispatch failed");
        DispatchResult got = CallByName(d.get(), L"Value", DISPATCH_PROPERTYGET, {});
        Check(got.hr == S_OK && V_VT(got.value.get()) == VT_BSTR && ToWide(V_BSTR(got.value.get())) == text,
              "registry value read back through IDispatch differs (thread %d)", who);
    } else {
        Check(r->put_Value(*in.get()) == S_OK, "registry Value put failed");
        Check(r->get_Value(out.get()) == S_OK && V_VT(out.get()) == VT_BSTR && ToWide(V_BSTR(out.get())) == text,
              "registry value read back differs (thread %d)", who);
    }
}

void UsePrinter(_xPrinter* p, int who, int cycle) {
    if (!p || !g_printers) return;
    LONG width = 0, height = 0, mm = 25, dots = 0;
    if (cycle % 2) {
        ComPtr<IDispatch> d;
        p->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put()));
        DispatchResult w = CallByName(d.get(), L"WidthDot", DISPATCH_PROPERTYGET, {});
        VariantChangeType(w.value.get(), w.value.get(), 0, VT_I4);
        width = V_I4(w.value.get());
    } else {
        p->get_WidthDot(&width);
    }
    p->get_HeightDot(&height);
    p->MMToDOTX(&mm, &dots);
    Check(width > 0 && height > 0 && dots > 0, "printer page %ld x %ld, 25 mm = %ld dots (thread %d)", width, height,
          dots, who);
    // A logical width of 1000: half of it is half the page, to the dot.
    const LONG scale = 1000 + who;
    LONG half = scale / 2, halfDots = 0, back = 0;
    p->put_ScaleWidth(scale);
    p->get_ScaleWidth(&back);
    p->LogToDOTX(&half, &halfDots);
    const double expected = double(width) * (scale / 2) / scale;
    Check(back == scale && halfDots >= expected - 1 && halfDots <= expected + 1,
          "printer scale %ld: %ld logical units gave %ld dots, expected %.1f (thread %d)", back, half, halfDots,
          expected, who);
}

void UseApplication(_xApplication* a, int who, int cycle) {
    if (!a) return;
    const std::wstring head = L"head" + std::to_wstring(who) + L"_" + std::to_wstring(cycle);
    const std::wstring full = head + std::wstring(L"\0tail", 5);
    Bstr in(full), out;
    if (cycle % 2) {
        ComPtr<IDispatch> d;
        a->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put()));
        Variant arg;
        SetText(arg.get(), full);
        DispatchResult got = CallByName(d.get(), L"StripTerminator", DISPATCH_METHOD, {arg.get()});
        Check(got.hr == S_OK && V_VT(got.value.get()) == VT_BSTR && ToWide(V_BSTR(got.value.get())) == head,
              "StripTerminator through IDispatch gave the wrong text (thread %d)", who);
    } else {
        Check(a->StripTerminator(in.get(), out.put()) == S_OK && ToWide(out.get()) == head,
              "StripTerminator gave the wrong text (thread %d)", who);
    }
}

void UseMixer(_xMixer* m, int who, int cycle) {
    if (!m) return;
    // No audio device is needed for the object's own fields.
    const short id = static_cast<short>(who * 100 + cycle % 100);
    short back = -1;
    if (cycle % 2) {
        ComPtr<IDispatch> d;
        m->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put()));
        Variant v;
        SetShort(v.get(), id);
        PutByName(d.get(), L"idMix", v.get());
        DispatchResult got = CallByName(d.get(), L"idMix", DISPATCH_PROPERTYGET, {});
        VariantChangeType(got.value.get(), got.value.get(), 0, VT_I2);
        back = V_I2(got.value.get());
    } else {
        m->put_idMix(id);
        m->get_idMix(&back);
    }
    Check(back == id, "mixer idMix %d read back as %d (thread %d)", id, back, who);
}

void UseAll(int who, int cycle) {
    UseRegistry(Make<_xRegistry>(CLSID_xRegistry).get(), who, cycle);
    UsePrinter(Make<_xPrinter>(CLSID_xPrinter).get(), who, cycle);
    UseApplication(Make<_xApplication>(CLSID_xApplication).get(), who, cycle);
    UseMixer(Make<_xMixer>(CLSID_xMixer).get(), who, cycle);
}

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Runs `body` on `count` threads and waits for them while this apartment
// keeps answering the calls they make into it.
void RunThreads(int count, const std::function<void(int)>& body) {
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t)
        threads.emplace_back([&, t] {
            body(t);
            ++done;
        });
    while (done < count) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    for (auto& thread : threads) thread.join();
}

// ---------------------------------------------------------------------------
// Phases

void Concurrent() {
    RunThreads(9, [](int t) {
        const bool mta = t == 8;
        CoInitializeEx(nullptr, mta ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);
        for (int i = 0; i < g_options.cycles; ++i) {
            UseAll(t, i);
            if (!mta) Pump();
        }
        CoUninitialize();
    });
}

// Calls carried to other apartments: through a marshaled stream and through
// the Global Interface Table; then a call into an apartment that has ended.
void Marshaled() {
    ComPtr<IGlobalInterfaceTable> git;
    HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGlobalInterfaceTable, reinterpret_cast<void**>(git.put()));
    Check(SUCCEEDED(hr), "no Global Interface Table: %08lx", hr);
    if (!git) return;

    ComPtr<_xRegistry> registry = Make<_xRegistry>(CLSID_xRegistry);
    ComPtr<_xPrinter> printer = Make<_xPrinter>(CLSID_xPrinter);
    ComPtr<_xApplication> application = Make<_xApplication>(CLSID_xApplication);
    ComPtr<_xMixer> mixer = Make<_xMixer>(CLSID_xMixer);
    DWORD cookies[4] = {};
    git->RegisterInterfaceInGlobal(registry.get(), IID__xRegistry, &cookies[0]);
    git->RegisterInterfaceInGlobal(printer.get(), IID__xPrinter, &cookies[1]);
    git->RegisterInterfaceInGlobal(application.get(), IID__xApplication, &cookies[2]);
    git->RegisterInterfaceInGlobal(mixer.get(), IID__xMixer, &cookies[3]);

    const int rounds = std::max(1, g_options.cycles / 4);
    // One stream per thread, for the application object.
    std::vector<IStream*> streams(9, nullptr);
    for (auto& stream : streams)
        Check(CoMarshalInterThreadInterfaceInStream(IID__xApplication, application.get(), &stream) == S_OK,
              "CoMarshalInterThreadInterfaceInStream failed");
    RunThreads(9, [&](int t) {
            CoInitializeEx(nullptr, t == 8 ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);
            {
                ComPtr<_xApplication> viaStream;
                Check(CoGetInterfaceAndReleaseStream(streams[t], IID__xApplication,
                                                     reinterpret_cast<void**>(viaStream.put())) == S_OK,
                      "CoGetInterfaceAndReleaseStream failed (thread %d)", t);
                ComPtr<IGlobalInterfaceTable> table;
                CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IGlobalInterfaceTable, reinterpret_cast<void**>(table.put()));
                ComPtr<_xRegistry> r;
                ComPtr<_xPrinter> p;
                ComPtr<_xApplication> a;
                ComPtr<_xMixer> m;
                Check(table && table->GetInterfaceFromGlobal(cookies[0], IID__xRegistry,
                                                             reinterpret_cast<void**>(r.put())) == S_OK &&
                          table->GetInterfaceFromGlobal(cookies[1], IID__xPrinter,
                                                        reinterpret_cast<void**>(p.put())) == S_OK &&
                          table->GetInterfaceFromGlobal(cookies[2], IID__xApplication,
                                                        reinterpret_cast<void**>(a.put())) == S_OK &&
                          table->GetInterfaceFromGlobal(cookies[3], IID__xMixer,
                                                        reinterpret_cast<void**>(m.put())) == S_OK,
                      "GetInterfaceFromGlobal failed (thread %d)", t);
                // The objects live in the main apartment: every call is
                // carried there and the answers must be those of a direct
                // call. The registry and mixer objects are shared by all
                // threads, so each checks only what it alone writes: the
                // registry under its own key in one call pair is not atomic
                // across threads, hence the application and printer here.
                for (int i = 0; i < rounds; ++i) {
                    UseApplication(viaStream.get(), 20 + t, i);
                    UseApplication(a.get(), 20 + t, i + 1);
                    UsePrinter(p.get(), 0, 0);  // its scale is shared: the same one each time
                    VARIANT_BOOL exists = VARIANT_FALSE;
                    Check(r && r->get_KeyExists(&exists) == S_OK, "registry call through the table failed");
                    short id = 0;
                    Check(m && m->get_idMix(&id) == S_OK, "mixer call through the table failed");
                }
            }
            CoUninitialize();
        });
    for (DWORD cookie : cookies) git->RevokeInterfaceFromGlobal(cookie);

    // An apartment that ends: its object, reached through a proxy and through
    // the table, answers no more, and says so.
    IStream* stream = nullptr;
    DWORD orphan = 0;
    UniqueKernelHandle exported(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle taken(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::thread ending([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<_xApplication> a = Make<_xApplication>(CLSID_xApplication);
            CoMarshalInterThreadInterfaceInStream(IID__xApplication, a.get(), &stream);
            git->RegisterInterfaceInGlobal(a.get(), IID__xApplication, &orphan);
            SetEvent(exported.get());
            HANDLE wanted = taken.get();
            DWORD index;
            CoWaitForMultipleHandles(COWAIT_DEFAULT, 30000, 1, &wanted, &index);
        }
        CoUninitialize();
    });
    WaitForSingleObject(exported.get(), 30000);
    ComPtr<_xApplication> proxy;
    Check(stream && CoGetInterfaceAndReleaseStream(stream, IID__xApplication,
                                                   reinterpret_cast<void**>(proxy.put())) == S_OK,
          "the proxy to the ending apartment could not be made");
    if (proxy) UseApplication(proxy.get(), 99, 0);  // it answers while its apartment lives
    SetEvent(taken.get());
    ending.join();
    if (proxy) {
        Bstr in(L"x"), out;
        hr = proxy->StripTerminator(in.get(), out.put());
        Check(hr == RPC_E_DISCONNECTED, "a call into an ended apartment gave %08lx, not RPC_E_DISCONNECTED", hr);
        Say("call into an ended apartment: %08lx\n", hr);
    }
    ComPtr<_xApplication> fromTable;
    hr = git->GetInterfaceFromGlobal(orphan, IID__xApplication, reinterpret_cast<void**>(fromTable.put()));
    if (SUCCEEDED(hr) && fromTable) {
        Bstr in(L"x"), out;
        hr = fromTable->StripTerminator(in.get(), out.put());
    }
    Check(FAILED(hr), "the table still reached an object of an ended apartment");
    Say("the table's entry of an ended apartment: %08lx\n", hr);
    git->RevokeInterfaceFromGlobal(orphan);
}

// Whether the loaded library still counts objects or locks (S_FALSE from
// DllCanUnloadNow), once this apartment has answered what is pending.
bool LibraryBusy() {
    for (int i = 0; i < 20; ++i) {
        Pump();
        Sleep(10);
    }
    HMODULE module = GetModuleHandleW(L"Tessary.dll");
    if (!module) return false;
    using Fn = HRESULT(WINAPI*)();
    auto canUnload = reinterpret_cast<Fn>(GetProcAddress(module, "DllCanUnloadNow"));
    return canUnload && canUnload() != S_OK;
}

bool TessaryLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, L"Tessary.dll", &module) && module;
}

// The DLL loaded and freed again: by COM (created, released, freed as
// unused) and by hand (LoadLibrary, DllGetClassObject, FreeLibrary through
// LoadedLibrary, as the lifetime tests do).
void Unloads() {
    const CLSID* classes[] = {&CLSID_xRegistry, &CLSID_xApplication, &CLSID_xPrinter, &CLSID_xMixer};
    auto byCom = [&] {
        for (const CLSID* clsid : classes) {
            ComPtr<IDispatch> object = Make<IDispatch>(*clsid);
            ComPtr<ITypeInfo> info;
            Check(object && object->GetTypeInfo(0, 0, info.put()) == S_OK, "GetTypeInfo failed");
        }
        CoFreeUnusedLibrariesEx(0, 0);
        return !TessaryLoaded();
    };
    auto byHand = [&] {
        {
            LoadedLibrary library;
            Check(library.get() != nullptr, "LoadLibrary of Tessary.dll failed");
            for (const CLSID* clsid : classes) {
                ComPtr<IDispatch> object = library.Create<IDispatch>(*clsid);
                ComPtr<ITypeInfo> info;
                Check(object && object->GetTypeInfo(0, 0, info.put()) == S_OK, "object or type info missing");
            }
            Check(library.CanUnloadNow() == S_OK, "DllCanUnloadNow refuses with no object alive");
        }
        return !TessaryLoaded();
    };
    for (int i = 0; i < 5; ++i) {  // the platform's own first-use state
        byCom();
        byHand();
    }
    const long handles = LiveKernelHandles(), gdi = LiveGdiObjects();
    int stayed = 0;
    for (int i = 0; i < g_options.unloads; ++i) {
        if (!byCom()) ++stayed;
        if (!byHand()) ++stayed;
    }
    const long handlesAfter = LiveKernelHandles(), gdiAfter = LiveGdiObjects();
    Say("unload: %d cycles (COM and by hand), DLL stayed loaded %d times; kernel handles %ld -> %ld, GDI %ld -> %ld\n",
        g_options.unloads, stayed, handles, handlesAfter, gdi, gdiAfter);
    Check(stayed == 0, "the DLL stayed loaded after %d of %d frees", stayed, 2 * g_options.unloads);
    Check(gdiAfter <= gdi + 2, "GDI objects grew over the unloads: %ld -> %ld", gdi, gdiAfter);
    const long perCycle = (handlesAfter - handles) / std::max(1, g_options.unloads);
    if (handlesAfter > handles + 2) {
        ++g_growing;
        Say("GROWING: kernel handles over the unloads %ld -> %ld, about %ld per cycle\n", handles, handlesAfter,
            perCycle);
    }
}

// ---------------------------------------------------------------------------
// Soak: many cycles of each class, the process's resources at checkpoints.

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*reinterpret_cast<long*>(counter);
    return TRUE;
}

struct Census {
    long handles, gdi, windows;
    double privateMb;
};

Census Take() {
    Census c{LiveKernelHandles(), LiveGdiObjects(), 0, 0};
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&c.windows));
    c.privateMb = PrivateBytes() / (1024.0 * 1024.0);
    return c;
}

void Soak(const char* name, const std::function<void(int)>& cycle) {
    const int every = std::max(1, std::min(g_options.every, g_options.soak));
    Census first{};
    bool haveFirst = false;
    Census last{};
    for (int i = 1; i <= g_options.soak; ++i) {
        cycle(i);
        Pump();
        if (i % every) continue;
        last = Take();
        Say("soak %-12s %6d cycles: handles %5ld  GDI %5ld  windows %3ld  private %.1f MB\n", name, i, last.handles,
            last.gdi, last.windows, last.privateMb);
        if (!haveFirst) {  // the first checkpoint closes the warm-up
            first = last;
            haveFirst = true;
        }
    }
    if (!haveFirst) return;
    // Later checkpoints against the first, with a small tolerance. (Wine's
    // winmm keeps about 50 bytes per mixer-device count on a machine without
    // audio, some 0.5 MB per 10,000 mixer objects: inside it.)
    std::string grown;
    if (last.handles > first.handles + 3) grown += " handles";
    if (last.gdi > first.gdi + 3) grown += " GDI";
    if (last.windows > first.windows + 1) grown += " windows";
    if (last.privateMb > first.privateMb + 2.0) grown += " private-bytes";
    if (!grown.empty()) {
        ++g_growing;
        Say("GROWING: %s:%s (handles %ld -> %ld, GDI %ld -> %ld, windows %ld -> %ld, private %.1f -> %.1f MB)\n",
            name, grown.c_str(), first.handles, last.handles, first.gdi, last.gdi, first.windows, last.windows,
            first.privateMb, last.privateMb);
    }
}

int Arg(int argc, char** argv, int& i) {
    if (i + 1 >= argc) {
        fprintf(stderr, "%s needs a number\n", argv[i]);
        exit(2);
    }
    return atoi(argv[++i]);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cycles") g_options.cycles = Arg(argc, argv, i);
        else if (a == "--soak") g_options.soak = Arg(argc, argv, i);
        else if (a == "--every") g_options.every = Arg(argc, argv, i);
        else if (a == "--unloads") g_options.unloads = Arg(argc, argv, i);
        else if (a == "--phase-seconds") g_options.phaseSeconds = Arg(argc, argv, i);
        else {
            fprintf(stderr,
                    "usage: stress [--cycles N] [--soak N] [--every N] [--unloads N] [--phase-seconds N]\n");
            return 2;
        }
    }
    SetUnhandledExceptionFilter(OnCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    // Messages the library shows are recorded, never shown.
    MessageLog messages;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<IDispatch> probe;
        if (FAILED(CoCreateInstance(CLSID_xApplication, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(probe.put())))) {
            printf("SKIP: Tessary is not registered in this prefix\n");
            CoUninitialize();
            return 77;
        }
    }
    g_printers = TestPrintersInstalled();
    Say("stress: %d cycles per apartment, soak %d per class (checkpoint every %d), %d unloads; printers %s\n",
        g_options.cycles, g_options.soak, g_options.every, g_options.unloads, g_printers ? "installed" : "missing");
    {
        Watchdog watchdog;
        // Unloading first: after the multithreaded apartment's creations the
        // platform keeps the DLL busy (see below).
        watchdog.Phase("unload");
        Unloads();
        Say("  %.1f s\n", watchdog.Elapsed());
        watchdog.Phase("concurrent");
        Concurrent();
        Say("  %.1f s\n", watchdog.Elapsed());
        if (LibraryBusy()) {
            // Known on Wine: the class factories its host apartment obtained
            // for the multithreaded apartment's creations stay referenced (a
            // factory merely fetched there, with no object made, already keeps
            // the DLL busy). Without that apartment nothing stays.
            g_known += "after the MTA's creations the DLL stays busy (factories kept by Wine's host apartment); ";
            Say("KNOWN: the library stays busy after the MTA's creations (class factories held by the platform)\n");
        }
        watchdog.Phase("marshaled");
        Marshaled();
        Say("  %.1f s\n", watchdog.Elapsed());
        int who = 0;
        watchdog.Phase("soak");
        Soak("xRegistry", [&](int i) { UseRegistry(Make<_xRegistry>(CLSID_xRegistry).get(), who, i); });
        Soak("xPrinter", [&](int i) { UsePrinter(Make<_xPrinter>(CLSID_xPrinter).get(), who, i); });
        Soak("xApplication", [&](int i) { UseApplication(Make<_xApplication>(CLSID_xApplication).get(), who, i); });
        Soak("xMixer", [&](int i) { UseMixer(Make<_xMixer>(CLSID_xMixer).get(), who, i); });
        Say("  %.1f s\n", watchdog.Elapsed());
    }
    for (int t = 0; t < 100; ++t)
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\TessaryTests\\Stress\\T" + std::to_wstring(t)).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TessaryTests\\Stress");

    // What the library reported: any failure it showed is a wrong result.
    // A machine without audio has no mixer, which the mixer says once per
    // object: counted, not wrong.
    long noMixer = 0;
    for (const RecordedMessage& m : messages.Messages()) {
        if (m.text == L"Unable to detect a mixer.") ++noMixer;
        else Wrong("the library reported: %ls", m.text.c_str());
    }
    if (noMixer) Say("no mixer on this machine (%ld objects said so)\n", noMixer);
    CoUninitialize();
    Summary();
    return g_crashes == 0 && g_hangs == 0 && g_wrong == 0 && g_growing == 0 ? 0 : 1;
}
