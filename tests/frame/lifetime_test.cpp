// Object and library lifetime: independent instances, the unload rule, and
// no handles or memory kept by thousands of create/release cycles.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

TEST(Lifetime, CanUnloadOnlyWithoutObjectsAndLocks) {
    ComApartment com;
    LoadedLibrary library;
    ASSERT_TRUE(library.get());
    EXPECT_EQ(S_OK, library.CanUnloadNow());
    {
        ComPtr<_xRegistry> registry = library.Create<_xRegistry>(CLSID_xRegistry);
        ASSERT_TRUE(registry);
        EXPECT_EQ(S_FALSE, library.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, library.CanUnloadNow());

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, library.GetClassObject(CLSID_xRegistry, IID_IClassFactory, reinterpret_cast<void**>(factory.put())));
    factory->LockServer(TRUE);
    factory.reset();
    EXPECT_EQ(S_FALSE, library.CanUnloadNow());
    ASSERT_EQ(S_OK, library.GetClassObject(CLSID_xRegistry, IID_IClassFactory, reinterpret_cast<void**>(factory.put())));
    factory->LockServer(FALSE);
    factory.reset();
    EXPECT_EQ(S_OK, library.CanUnloadNow());
}

TEST(Lifetime, UnknownClassAndAggregationAreRefused) {
    LoadedLibrary library;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              library.GetClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(factory.put())));
    ASSERT_EQ(S_OK, library.GetClassObject(CLSID_xRegistry, IID_IClassFactory, reinterpret_cast<void**>(factory.put())));
    ComPtr<IUnknown> object;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), IID_IUnknown,
                                      reinterpret_cast<void**>(object.put())));
}

TEST(Lifetime, TwoObjectsAreIndependent) {
    ComApartment com;
    ComPtr<IDispatch> first = CreateByProgId(L"Tessary.xRegistry");
    ComPtr<IDispatch> second = CreateByProgId(L"Tessary.xRegistry");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.get(), second.get());
    VARIANT text;
    SetText(&text, L"only the first");
    ASSERT_EQ(S_OK, PutByName(first.get(), L"SectionKey", &text).hr);
    DispatchResult other = CallByName(second.get(), L"SectionKey", DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(VT_BSTR, V_VT(other.value.get()));
    EXPECT_EQ(0u, SysStringLen(V_BSTR(other.value.get())));
    VariantClear(&text);
}

TEST(Lifetime, InterfacesOfAnObject) {
    ComApartment com;
    LoadedLibrary library;
    ComPtr<_xRegistry> registry = library.Create<_xRegistry>(CLSID_xRegistry);
    ASSERT_TRUE(registry);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, registry->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID__xRegistry));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IDispatch));
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, registry->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(none.put())));
    UINT count = 0;
    EXPECT_EQ(S_OK, registry->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
}

TEST(Lifetime, ThousandsOfCyclesKeepNothing) {
    ComApartment com;
    LoadedLibrary library;
    auto cycle = [&] {
        ComPtr<_xRegistry> registry = library.Create<_xRegistry>(CLSID_xRegistry);
        Bstr path(L"Software\\TessaryTests\\Cycles");
        registry->put_ClassKey(LONG(0x80000001));
        registry->put_SectionKey(path.get());
        VARIANT_BOOL exists;
        registry->get_KeyExists(&exists);
        Variant value;
        registry->get_Value(value.get());
    };
    for (int i = 0; i < 200; ++i) cycle();  // warm caches
    PROCESS_MEMORY_COUNTERS before{}, after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    DWORD handles = KernelHandleCount();
    ASSERT_GT(handles, 0u);  // the census works on this platform
    for (int i = 0; i < 5000; ++i) cycle();
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    EXPECT_EQ(handles, KernelHandleCount());
    EXPECT_LT(after.PagefileUsage, before.PagefileUsage + 1024 * 1024);
    EXPECT_EQ(S_OK, library.CanUnloadNow());
}

// Unloading the DLL lets go of everything it made: loaded, used (an object of
// every class, the type information of each, a run-time error raised) and
// freed again, two hundred times, the process keeps no more kernel handles
// than before.
TEST(Lifetime, UnloadAndReloadKeepNothing) {
    ComApartment com;
    auto cycle = [] {
        LoadedLibrary library;
        ASSERT_TRUE(library.get());
        for (const CLSID* clsid : {&CLSID_xRegistry, &CLSID_xApplication, &CLSID_xPrinter, &CLSID_xMixer}) {
            ComPtr<IDispatch> object = library.Create<IDispatch>(*clsid);
            ASSERT_TRUE(object);
            ComPtr<ITypeInfo> info;
            EXPECT_EQ(S_OK, object->GetTypeInfo(0, 0, info.put()));
            if (clsid == &CLSID_xRegistry) {
                Variant notANumber;
                SetText(notANumber.Receive(), L"not a number");
                EXPECT_EQ(DISP_E_TYPEMISMATCH, PutByName(object.get(), L"ValueType", notANumber.get()).hr);
            }
        }
        EXPECT_EQ(S_OK, library.CanUnloadNow());
    };
    for (int i = 0; i < 5; ++i) cycle();  // the platform's own first-use state
    DWORD handles = KernelHandleCount();
    for (int i = 0; i < 200; ++i) cycle();
    EXPECT_LE(KernelHandleCount(), handles + 2);
}

struct FirstCallsWork {
    const LoadedLibrary* library;
    HANDLE start;
    const CLSID* clsid;
    const wchar_t* name;
    bool ok = false;
};

// One apartment's first calls into an object: type information, a name.
DWORD WINAPI FirstCalls(void* arg) {
    FirstCallsWork& w = *static_cast<FirstCallsWork*>(arg);
    ComApartment com;
    ComPtr<IDispatch> object = w.library->Create<IDispatch>(*w.clsid);
    WaitForSingleObject(w.start, INFINITE);
    if (!object) return 0;
    ComPtr<ITypeInfo> info;
    DISPID id = DISPID_UNKNOWN, expected = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(w.name);
    w.ok = object->GetTypeInfo(0, 0, info.put()) == S_OK && object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) == S_OK &&
           info->GetIDsOfNames(&name, 1, &expected) == S_OK && id == expected;
    return 0;
}

// Several apartments making their first call into a freshly loaded library
// at the same moment: each interface's description is prepared once, every
// apartment gets the same answers, none waits forever, and unloading lets go.
TEST(Lifetime, ApartmentsStartingTogetherAllGetAnswers) {
    constexpr int kThreads = 8;
    for (int cycle = 0; cycle < 10; ++cycle) {
        LoadedLibrary library;
        ASSERT_TRUE(library.get());
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const CLSID* classes[] = {&CLSID_xRegistry, &CLSID_xApplication, &CLSID_xPrinter, &CLSID_xMixer};
        const wchar_t* names[] = {L"ClassKey", L"StripTerminator", L"ScaleWidth", L"Mixer"};
        FirstCallsWork work[kThreads];
        HANDLE threads[kThreads];
        for (int t = 0; t < kThreads; ++t) {
            work[t] = {&library, start, classes[t % 4], names[t % 4]};
            threads[t] = CreateThread(nullptr, 0, FirstCalls, &work[t], 0, nullptr);
            ASSERT_TRUE(threads[t]);
        }
        SetEvent(start);
        DWORD waited = WaitForMultipleObjects(kThreads, threads, TRUE, 60000);
        ASSERT_NE(WAIT_TIMEOUT, waited) << "cycle " << cycle << ": an apartment never returned";
        for (int t = 0; t < kThreads; ++t) {
            EXPECT_TRUE(work[t].ok) << "cycle " << cycle << ", thread " << t;
            CloseHandle(threads[t]);
        }
        CloseHandle(start);
        EXPECT_EQ(S_OK, library.CanUnloadNow());
    }
}

}  // namespace
