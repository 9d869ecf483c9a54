// A system that refuses the spooler and the mixer DLLs (CTest runs this
// program with both disabled for its process): the library still loads and
// every class is created; a member that needs a refused DLL fails in its own
// style, and nothing else notices.
#include <windows.h>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

class RefusedDlls : public ::testing::Test {
protected:
    void SetUp() override {
        // The refusal comes from the platform: without it the test proves nothing.
        for (const wchar_t* name : {L"winspool.drv", L"winmm.dll"}) {
            if (HMODULE loaded = LoadLibraryW(name)) {
                FreeLibrary(loaded);
                GTEST_SKIP() << "the spooler and the mixer DLLs load in this process (run it through its runner, "
                                "refused_dll_tests-run)";
            }
        }
    }
    ComApartment com_;
    MessageLog log_;
};

TEST_F(RefusedDlls, TheLibraryLoadsAndTheRegistryWorks) {
    LoadedLibrary library;
    ASSERT_TRUE(library.get());
    ComPtr<IDispatch> registry = library.Create<IDispatch>(CLSID_xRegistry);
    ASSERT_TRUE(registry);
    Variant root, key, name, value, type;
    SetText(root.Receive(), L"HKCU");
    SetText(key.Receive(), L"Software\\TessaryTests\\RefusedDlls");
    SetText(name.Receive(), L"Number");
    SetLong(value.Receive(), 42);
    SetText(type.Receive(), L"REG_DWORD");
    CallByName(registry.get(), L"RegSysSet", DISPATCH_METHOD, {root.get(), key.get(), name.get(), value.get(), type.get()});
    DispatchResult read = CallByName(registry.get(), L"RegSysGet", DISPATCH_METHOD, {root.get(), key.get(), name.get(), type.get()});
    ASSERT_EQ(S_OK, read.hr);
    EXPECT_EQ(S_OK, VariantChangeType(read.value.get(), read.value.get(), 0, VT_I4));
    EXPECT_EQ(42, V_I4(read.value.get()));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TessaryTests\\RefusedDlls");
    EXPECT_TRUE(log_.Messages().empty());
}

// Each class with a refused DLL: what its creation shows, and a member that
// then answers as the class does without the device.
TEST_F(RefusedDlls, EachMemberFailsInItsOwnStyle) {
    LoadedLibrary library;
    ASSERT_TRUE(library.get());
    struct Case {
        const CLSID* clsid;
        const wchar_t* shown;     // the one message its creation shows
        const wchar_t* property;  // then read without an error
        long expected;
    };
    const Case cases[] = {
        // Without winmm there is no mixer: the mixer's own message.
        {&CLSID_xMixer, L"Unable to detect a mixer.", L"bMix", 0},
        // Without the spooler the printer's creation fails with the run-time's
        // error for a DLL that is not there, under its own prefix.
        {&CLSID_xPrinter, L"Printer class initialize error: 53. File not found: winspool.drv", L"WidthDot", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shown, c.shown + wcslen(c.shown)));
        log_.Clear();
        ComPtr<IDispatch> object = library.Create<IDispatch>(*c.clsid);
        ASSERT_TRUE(object);
        std::vector<RecordedMessage> messages = log_.Messages();
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ(c.shown, messages[0].text);
        DispatchResult read = CallByName(object.get(), c.property, DISPATCH_PROPERTYGET, {});
        ASSERT_EQ(S_OK, read.hr);
        EXPECT_EQ(S_OK, VariantChangeType(read.value.get(), read.value.get(), 0, VT_I4));
        EXPECT_EQ(c.expected, V_I4(read.value.get()));
        object.reset();
    }
    EXPECT_EQ(S_OK, library.CanUnloadNow());
}

}  // namespace
