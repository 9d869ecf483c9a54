// The cursor counter loop, the version names, and the window members given
// handles that name no window (headless: no window exists at all).
#include <gtest/gtest.h>

#include "application/app_client.h"
#include "application/window_control.h"

using namespace tessary;
using namespace tessary::test;

namespace {

struct FakeCursor {
    int counter;
    int step = 1;  // 0: a counter that never moves
    int calls = 0;
    int operator()(BOOL show) {
        ++calls;
        counter += show ? step : -step;
        return counter;
    }
};

TEST(ShowMouse, RepeatsUntilTheCounterCrossesZero) {
    struct Case { int start; bool show; int end; int calls; } cases[] = {
        {-3, true, 0, 3},   // shown after three calls
        {2, true, 3, 1},    // already shown: one call still made
        {2, false, -1, 3},
        {-2, false, -3, 1},
        {0, false, -1, 1},
        {-1, true, 0, 1},
    };
    for (const Case& c : cases) {
        FakeCursor cursor{c.start};
        ShowMouse(c.show, std::ref(cursor));
        EXPECT_EQ(c.end, cursor.counter) << "from " << c.start << (c.show ? " show" : " hide");
        EXPECT_EQ(c.calls, cursor.calls) << "from " << c.start << (c.show ? " show" : " hide");
    }
    FakeCursor stuck{-5, 0};
    ShowMouse(true, std::ref(stuck));
    EXPECT_EQ(2, stuck.calls) << "a counter that does not move ends the loop";
}

TEST(ShowMouse, DrivesThePlatformCounterThroughTheObject) {
    ComApartment com;
    AppClient app;
    ASSERT_TRUE(app);
    ShowCursor(FALSE);
    ShowCursor(FALSE);
    int hidden = ShowCursor(FALSE);
    ASSERT_LT(hidden, -1);
    VARIANT_BOOL show = VARIANT_TRUE;
    EXPECT_EQ(S_OK, app.get()->ShowMouse(&show));
    EXPECT_EQ(-1, ShowCursor(FALSE)) << "the counter stood at 0";
    ShowCursor(TRUE);
    VARIANT_BOOL one = 1;  // not True: hides
    EXPECT_EQ(S_OK, app.get()->ShowMouse(&one));
    EXPECT_EQ(1, one) << "bShow is not changed";
    EXPECT_EQ(0, ShowCursor(TRUE)) << "the counter stood at -1";
}

TEST(WindowsName, PlatformAndVersionRows) {
    struct Case { DWORD platform, major, minor; const wchar_t* name; } cases[] = {
        {1, 4, 0, L"Win95"}, {1, 4, 10, L"Win98"}, {1, 4, 90, L"WinME"},
        {2, 4, 0, L"WinNT"}, {2, 5, 0, L"Win2K"}, {2, 5, 1, L"WinXP"}, {2, 5, 2, L"WinXP"},
        {2, 6, 0, L"WinNT"}, {2, 6, 1, L"WinXP"}, {2, 10, 0, L"WinNT"},
        {0, 3, 10, L""}, {3, 5, 1, L""},
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
        EXPECT_EQ(S_OK, app.get()->AlwaysOnTop(&window, &onTop, &result));
        EXPECT_EQ(VARIANT_FALSE, onTop) << "failed: bOnTop reads False";
        EXPECT_EQ(VT_EMPTY, V_VT(&result));
        EXPECT_EQ(S_OK, app.get()->MoveMe(&window));
        EXPECT_EQ(handle, window);
    }
}

}  // namespace
