// xApplication against real windows under Xvfb: typing into an edit control,
// the topmost style, a title-bar drag with the real mouse, and deletes whose
// confirmation box the test answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "application/app_client.h"

using namespace tessary;
using namespace tessary::test;

namespace {

void Pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// A top-level test window. A left click on it calls MoveMe, as a form's
// MouseDown handler would; WM_NCLBUTTONDOWN is recorded on its way.
class TestWindow {
public:
    explicit TestWindow(_xApplication* app) : app_(app) {
        WNDCLASSW type = {};
        type.lpfnWndProc = &TestWindow::Procedure;
        type.lpszClassName = L"TessaryApplicationTest";
        type.hCursor = LoadCursor(nullptr, IDC_ARROW);
        RegisterClassW(&type);
        window_ = CreateWindowExW(0, type.lpszClassName, L"xApplication test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  100, 100, 320, 200, nullptr, nullptr, nullptr, this);
        if (!window_) return;
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 280, 24, window_,
                                nullptr, nullptr, nullptr);
        SetForegroundWindow(window_);
        Pump(200);
    }
    ~TestWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }
    HWND edit() const { return edit_; }
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)); }
    int captionGrabs = 0;
    int clicks = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_NCLBUTTONDOWN && w == HTCAPTION) ++self->captionGrabs;
        if (self && message == WM_LBUTTONDOWN) {
            ++self->clicks;
            LONG handle = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
            self->app_->MoveMe(&handle);
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }
    _xApplication* app_;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
};

class ApplicationUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_);
        window_ = std::make_unique<TestWindow>(app_.get());
        if (!window_->get()) GTEST_SKIP() << "no display: windows cannot be created";
    }
    ComApartment com_;
    AppClient app_;
    std::unique_ptr<TestWindow> window_;
};

TEST_F(ApplicationUiTest, SendStringTypesIntoTheFocusedEditControl) {
    SetFocus(window_->edit());
    Pump(100);
    ASSERT_EQ(window_->edit(), GetFocus());
    Bstr text(L"Hello, World! a+b=C ~@#");
    EXPECT_EQ(S_OK, app_.get()->SendString(text.get()));
    Bstr key(L"Qx");
    EXPECT_EQ(S_OK, app_.get()->SendKey(key.get()));
    Pump(500);
    wchar_t typed[128] = L"";
    GetWindowTextW(window_->edit(), typed, 128);
    EXPECT_STREQ(L"Hello, World! a+b=C ~@#Q", typed);
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000) << "Shift is not left down";
}

TEST_F(ApplicationUiTest, AlwaysOnTopSwitchesTheTopmostStyleAndReportsTheOutcome) {
    auto topmost = [&] { return (GetWindowLongW(window_->get(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    LONG window = window_->handle();
    VARIANT_BOOL onTop = VARIANT_TRUE;
    Variant result;
    EXPECT_EQ(S_OK, app_.get()->AlwaysOnTop(&window, &onTop, &result));
    EXPECT_TRUE(topmost());
    EXPECT_EQ(VARIANT_TRUE, onTop);
    EXPECT_EQ(VT_EMPTY, V_VT(&result));

    onTop = VARIANT_FALSE;
    EXPECT_EQ(S_OK, app_.get()->AlwaysOnTop(&window, &onTop, &result));
    EXPECT_FALSE(topmost());
    EXPECT_EQ(VARIANT_TRUE, onTop) << "True after any successful call, removing included";

    onTop = 1;  // not True: removes
    app_.get()->AlwaysOnTop(&window, &onTop, &result);
    EXPECT_FALSE(topmost());

    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    LONG goneHandle = static_cast<LONG>(reinterpret_cast<LONG_PTR>(gone));
    onTop = VARIANT_TRUE;
    app_.get()->AlwaysOnTop(&goneHandle, &onTop, &result);
    EXPECT_EQ(VARIANT_FALSE, onTop);
}

TEST_F(ApplicationUiTest, MoveMeHandsAMouseDragToTheWindowMovingLoop) {
    RECT before;
    GetWindowRect(window_->get(), &before);
    std::thread mouse([&] {
        Sleep(200);
        int x = (before.left + before.right) / 2, y = before.bottom - 30;  // client area, below the edit
        SetCursorPos(x, y);
        Sleep(100);
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        Sleep(200);
        for (int i = 1; i <= 10; ++i) {
            SetCursorPos(x + 8 * i, y + 5 * i);
            mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
            Sleep(30);
        }
        Sleep(200);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    });
    Pump(1500);
    mouse.join();
    Pump(300);
    RECT after;
    GetWindowRect(window_->get(), &after);
    EXPECT_EQ(1, window_->clicks);
    EXPECT_EQ(1, window_->captionGrabs);
    EXPECT_EQ(before.left + 80, after.left);
    EXPECT_EQ(before.top + 50, after.top);
}

TEST_F(ApplicationUiTest, MoveMeReleasesTheCaptureAndBroadcastsNothing) {
    SetCapture(window_->get());
    LONG broadcast = 0xFFFF;
    EXPECT_EQ(S_OK, app_.get()->MoveMe(&broadcast));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(0, window_->captionGrabs) << "HWND_BROADCAST reaches no window";
}

// Answers the next dialog box of `thread` with the button `answer`; gives up
// after five seconds or when Finish is called.
class DialogAnswer {
public:
    DialogAnswer(DWORD thread, int answer)
        : worker_([this, thread, answer] {
              for (int tries = 0; tries < 100 && !finished_; ++tries) {
                  Sleep(50);
                  EnumThreadWindows(thread, &DialogAnswer::Visit, reinterpret_cast<LPARAM>(this));
                  if (dialog_) {
                      wchar_t title[128] = L"";
                      GetWindowTextW(dialog_, title, 128);
                      title_ = title;
                      PostMessageW(dialog_, WM_COMMAND, answer, 0);
                      return;
                  }
              }
          }) {}
    ~DialogAnswer() { Finish(); }
    // The title of the box that was answered, empty when none came.
    std::wstring Finish() {
        finished_ = true;
        if (worker_.joinable()) worker_.join();
        return title_;
    }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        wchar_t type[16] = L"";
        GetClassNameW(window, type, 16);
        if (wcscmp(type, L"#32770") == 0 && IsWindowVisible(window)) {
            reinterpret_cast<DialogAnswer*>(self)->dialog_ = window;
            return FALSE;
        }
        return TRUE;
    }
    std::atomic<bool> finished_{false};
    HWND dialog_ = nullptr;
    std::wstring title_;
    std::thread worker_;
};

TEST_F(ApplicationUiTest, DeleteWithConfirmationFollowsTheAnswer) {
    std::wstring folder = FreshFolder(L"confirm");
    MakeFile(folder + L"no");
    MakeFile(folder + L"yes");
    SafeArray no(NameArray({folder + L"no"}, 0));
    SafeArray yes(NameArray({folder + L"yes"}, 0));
    {
        DialogAnswer answer(GetCurrentThreadId(), IDNO);
        EXPECT_FALSE(app_.Delete(no.get(), VARIANT_TRUE, window_->handle())) << "declined";
        EXPECT_FALSE(answer.Finish().empty()) << "a confirmation box was shown";
    }
    EXPECT_TRUE(Exists(folder + L"no"));
    {
        DialogAnswer answer(GetCurrentThreadId(), IDYES);
        EXPECT_TRUE(app_.Delete(yes.get(), VARIANT_TRUE, window_->handle()));
        EXPECT_FALSE(answer.Finish().empty());
    }
    EXPECT_FALSE(Exists(folder + L"yes"));
    // An owner that names no window cannot own the box: nothing is deleted.
    {
        DialogAnswer answer(GetCurrentThreadId(), IDYES);
        EXPECT_FALSE(app_.Delete(no.get(), VARIANT_TRUE, 0x0DEAD));
        EXPECT_EQ(L"", answer.Finish());
    }
    EXPECT_TRUE(Exists(folder + L"no"));
}

}  // namespace
