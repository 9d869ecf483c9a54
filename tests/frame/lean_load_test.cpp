// What loading the library costs its client: it imports only DLLs that every
// automation client has loaded already, and each system DLL that only some
// members need arrives with the first call that needs it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <set>
#include <string>

#include "Tessary.h"
#include "frame/delay_load.h"
#include "frame/errors.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

const IMAGE_NT_HEADERS* Headers(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

// The names in a loaded module's import table.
std::set<std::wstring> ImportedDlls(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_NT_HEADERS* nt = Headers(module);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::wstring> names;
    if (!directory.VirtualAddress) return names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); entry->Name;
         ++entry) {
        const char* name = reinterpret_cast<const char*>(base + entry->Name);
        names.insert(Lower(std::wstring(name, name + strlen(name))));
    }
    // Delay-load descriptors would be loaded on first use too, but by the
    // toolchain's helper, which this library does not use.
    EXPECT_EQ(0u, nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress);
    return names;
}

// The system DLLs the library loads on first use.
const wchar_t* const kLateDlls[] = {L"winspool.drv", L"shell32.dll", L"winmm.dll", L"comctl32.dll"};

std::set<std::wstring> LoadedLateDlls() {
    std::set<std::wstring> loaded;
    for (const wchar_t* name : kLateDlls)
        if (GetModuleHandleW(name)) loaded.insert(name);
    return loaded;
}

TEST(LeanLoad, TheLibraryImportsOnlyWhatEveryAutomationClientHasLoaded) {
    LoadedLibrary library;
    ASSERT_TRUE(library.get());
    // ole32 and oleaut32 bring user32 and gdi32 with them; msvcrt comes with
    // advapi32; the theme DLL comes with a client's first window (and is
    // imported on purpose: entry_points.cpp says why).
    const std::set<std::wstring> everyClient = {L"kernel32.dll", L"advapi32.dll", L"msvcrt.dll", L"ole32.dll",
                                                L"oleaut32.dll", L"user32.dll",   L"gdi32.dll", L"uxtheme.dll"};
    for (const std::wstring& name : ImportedDlls(library.get()))
        EXPECT_TRUE(everyClient.count(name)) << "Tessary.dll imports " << std::string(name.begin(), name.end());
    // Sections page-aligned in the file: Wine maps them rather than reading them in.
    EXPECT_EQ(0x1000u, Headers(library.get())->OptionalHeader.FileAlignment);
}

// One process, in order: a DLL once loaded stays, so each step says what must
// have arrived by then and what must still be absent.
TEST(LeanLoad, EachSystemDllArrivesWithTheFirstMemberThatNeedsIt) {
    ASSERT_TRUE(LoadedLateDlls().empty()) << "this test program must not load them itself";
    ComApartment com;
    MessageLog log;  // a printer or mixer that finds nothing says so here, not on screen
    LoadedLibrary library;
    ComPtr<IDispatch> registry, application, mixer, printer;
    struct Step {
        const char* what;
        std::function<void()> act;
        std::set<std::wstring> present;
        std::set<std::wstring> absent;
    };
    const Step steps[] = {
        {"loading the library", [] {}, {}, {L"winspool.drv", L"shell32.dll", L"winmm.dll", L"comctl32.dll"}},
        {"xRegistry and a registry read",
         [&] {
             registry = library.Create<IDispatch>(CLSID_xRegistry);
             Variant root, key, name, type;
             SetText(root.Receive(), L"HKCU");
             SetText(key.Receive(), L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
             SetText(name.Receive(), L"EnableAutodial");
             SetText(type.Receive(), L"REG_DWORD");
             EXPECT_EQ(S_OK, CallByName(registry.get(), L"RegSysGet", DISPATCH_METHOD,
                                        {root.get(), key.get(), name.get(), type.get()})
                                 .hr);
         },
         {},
         {L"winspool.drv", L"shell32.dll", L"winmm.dll", L"comctl32.dll"}},
        {"xApplication and members without the shell",
         [&] {
             application = library.Create<IDispatch>(CLSID_xApplication);
             Variant text;
             SetText(text.Receive(), std::wstring(L"text\0rest", 9));
             CallByName(application.get(), L"StripTerminator", DISPATCH_METHOD, {text.get()});
             CallByName(application.get(), L"FolderTemp", DISPATCH_PROPERTYGET, {});
         },
         {},
         {L"winspool.drv", L"shell32.dll", L"winmm.dll", L"comctl32.dll"}},
        {"xApplication.FolderSpecial",
         [&] {
             Variant startup;
             SetLong(startup.Receive(), 7);  // CSIDL_STARTUP
             CallByName(application.get(), L"FolderSpecial", DISPATCH_PROPERTYGET, {startup.get()});
         },
         {L"shell32.dll"},
         {L"winspool.drv", L"winmm.dll"}},
        {"xMixer", [&] { mixer = library.Create<IDispatch>(CLSID_xMixer); }, {L"winmm.dll"}, {L"winspool.drv"}},
        // The spooler brings the common controls with it on some systems.
        {"xPrinter", [&] { printer = library.Create<IDispatch>(CLSID_xPrinter); }, {L"winspool.drv"}, {}},
    };
    for (const Step& step : steps) {
        step.act();
        const std::set<std::wstring> loaded = LoadedLateDlls();
        for (const std::wstring& name : step.present)
            EXPECT_TRUE(loaded.count(name)) << "after " << step.what << ": " << std::string(name.begin(), name.end())
                                            << " is not loaded";
        for (const std::wstring& name : step.absent)
            EXPECT_FALSE(loaded.count(name)) << "after " << step.what << ": "
                                             << std::string(name.begin(), name.end()) << " is loaded already";
    }
    EXPECT_TRUE(registry && application && mixer && printer);
}

// The loader itself, on a DLL that is not there and a function that is not.
TEST(LeanLoad, WhatCannotBeHadIsTheCallersRunTimeError) {
    static DelayLoadedDll missing(L"tessary-no-such-library.dll");
    static DelayLoadedDll kernel(L"kernel32.dll");
    static DelayLoadedFunction<decltype(&::GetTickCount)> fromMissing(missing, "GetTickCount");
    static DelayLoadedFunction<decltype(&::GetTickCount)> notExported(kernel, "TessaryNoSuchFunction");
    static DelayLoadedFunction<decltype(&::GetTickCount)> present(kernel, "GetTickCount");
    struct Case {
        DelayLoadedFunction<decltype(&::GetTickCount)>* function;
        long number;  // 0: the call works
        std::wstring description;
    };
    const Case cases[] = {
        {&fromMissing, kFileNotFound, L"File not found: tessary-no-such-library.dll"},
        {&notExported, kDllEntryPointNotFound, L"Can't find DLL entry point TessaryNoSuchFunction in kernel32.dll"},
        {&present, 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.description.begin(), c.description.end()));
        EXPECT_EQ(c.number == 0, c.function->Find() != nullptr);
        const DWORD failure = 0xFFFFFFFF;  // no tick count the test will meet
        EXPECT_EQ(c.number != 0, c.function->CallOr(failure) == failure);
        try {
            (*c.function)();
            EXPECT_EQ(0, c.number);
        } catch (const RuntimeError& error) {
            EXPECT_EQ(c.number, error.number);
            EXPECT_EQ(c.description, error.description);
        }
    }
}

// A DLL loaded on first use stays for the life of the process, whoever frees
// it: a library loaded and freed over and over neither reloads it nor piles
// up references to it.
TEST(LeanLoad, ALateDllIsKeptForTheLifeOfTheProcess) {
    ASSERT_FALSE(GetModuleHandleW(L"msacm32.dll")) << "this test program must not load it itself";
    static DelayLoadedDll dll(L"msacm32.dll");
    HMODULE module = dll.Module();
    ASSERT_TRUE(module);
    EXPECT_EQ(module, dll.Module());
    for (int i = 0; i < 3; ++i) FreeLibrary(module);
    EXPECT_EQ(module, GetModuleHandleW(L"msacm32.dll"));
}

}  // namespace
