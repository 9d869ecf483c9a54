// The cursor counter loop, the version names, and the window members given
// handles that name no window.
#include <gtest/gtest.h>

#include "application/app_client.h"
#include "application/window_control.h"

using namespace tessary;
using namespace tessary::test;

namespace {

TEST(ShowMouse, RepeatsUntilTheCounterCrossesZero) {
    struct Case { int start; bool show; int end; int calls; } cases[] = {
        {-3, true, 0, 3}, {2, true, 3, 1}, {2, false, -1, 3}, {-2, false, -3, 1}, {0, false, -1, 1}, {-1, true, 0, 1},
    };
    for (const Case& c : cases) {
        int counter = c.start, calls = 0;
        ShowMouse(c.show, [&](BOOL show) { ++calls; return counter += show ? 1 : -1; });
        EXPECT_TRUE(counter == c.end) << "from " << c.start << (c.show ? " show" : " hide");
        EXPECT_TRUE(calls == c.calls) << "from " << c.start << (c.show ? " show" : " hide");
    }
    int calls = 0;
    ShowMouse(true, [&](BOOL) { ++calls; return -5; });
    EXPECT_EQ(2, calls) << "a counter that does not move ends the loop";

    // The platform's counter, through the object: 1 is not True and hides.
    ComApartment com;
    AppClient app;
    ShowCursor(FALSE);
    ShowCursor(FALSE);
    VARIANT_BOOL show = VARIANT_TRUE, one = 1;
    EXPECT_EQ(S_OK, app->ShowMouse(&show));
    EXPECT_EQ(-1, ShowCursor(FALSE)) << "the counter stood at 0";
    ShowCursor(TRUE);
    EXPECT_EQ(S_OK, app->ShowMouse(&one));
    EXPECT_EQ(0, ShowCursor(TRUE)) << "the counter stood at -1";
}

TEST(WinOs, NamesFromPlatformAndVersion) {
    struct Case { DWORD platform, major, minor; const wchar_t* name; } cases[] = {
        {1, 4, 0, L"Win95"}, {1, 4, 10, L"Win98"}, {1, 4, 90, L"WinME"}, {2, 4, 0, L"WinNT"},
        {2, 5, 0, L"Win2K"}, {2, 5, 1, L"WinXP"}, {2, 6, 0, L"WinNT"},   {2, 6, 1, L"WinXP"},
        {2, 10, 0, L"WinNT"}, {0, 3, 10, L""},    {3, 5, 1, L""},
    };
    for (const Case& c : cases) {
        OSVERSIONINFOA version = {};
        version.dwPlatformId = c.platform;
        version.dwMajorVersion = c.major;
        version.dwMinorVersion = c.minor;
        EXPECT_EQ(c.name, WindowsName(version)) << c.platform << " " << c.major << "." << c.minor;
    }
}

TEST(WindowMembers, HandlesThatNameNoWindow) {
    ComApartment com;
    AppClient app;
    ASSERT_TRUE(app);
    for (LONG handle : {0L, 0x0DEADL, 0xFFFFL, -1L}) {
        LONG window = handle;
        VARIANT_BOOL onTop = VARIANT_TRUE;
        Variant result;
        EXPECT_EQ(S_OK, app->AlwaysOnTop(&window, &onTop, result.get()));
        EXPECT_TRUE(onTop == VARIANT_FALSE);
        EXPECT_TRUE(V_VT(result.get()) == VT_EMPTY);
        EXPECT_EQ(S_OK, app->MoveMe(&window));
    }
}

}  // namespace
