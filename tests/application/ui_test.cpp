// xApplication against real windows under Xvfb: typing into an edit control,
// the topmost style, a title-bar drag with the real mouse, and deletes whose
// confirmation box the test answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "application/app_client.h"

using namespace tessary;
using namespace tessary::test;

namespace {

void Pump(DWORD milliseconds) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// A top-level window with an edit control. A left click on its client area
// calls MoveMe, as a form's MouseDown handler would.
class TestWindow {
public:
    explicit TestWindow(_xApplication* app) : app_(app) {
        WNDCLASSW type = {};
        type.lpfnWndProc = &TestWindow::Procedure;
        type.lpszClassName = L"TessaryApplicationTest";
        RegisterClassW(&type);
        window_ = CreateWindowExW(0, type.lpszClassName, L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320,
                                  200, nullptr, nullptr, nullptr, this);
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 280, 24, window_, nullptr, nullptr,
                                nullptr);
        SetForegroundWindow(window_);
        Pump(200);
    }
    ~TestWindow() { DestroyWindow(window_); }
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)); }

    HWND window_ = nullptr, edit_ = nullptr;
    int captionGrabs = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_NCLBUTTONDOWN && w == HTCAPTION) ++self->captionGrabs;
        if (self && message == WM_LBUTTONDOWN) {
            LONG handle = self->handle();
            self->app_->MoveMe(&handle);
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }
    _xApplication* app_;
};

class ApplicationUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_);
        window_ = std::make_unique<TestWindow>(app_.operator->());
        if (!window_->window_) GTEST_SKIP() << "no display: windows cannot be created";
    }
    ComApartment com_;
    AppClient app_;
    std::unique_ptr<TestWindow> window_;
};

TEST_F(ApplicationUiTest, SendStringTypesIntoTheFocusedEditControl) {
    SetFocus(window_->edit_);
    Bstr text(L"Hello, World! a+b=C ~@#"), key(L"Qx");
    EXPECT_EQ(S_OK, app_->SendString(text.get()));
    EXPECT_EQ(S_OK, app_->SendKey(key.get()));
    Pump(500);
    wchar_t typed[64] = L"";
    GetWindowTextW(window_->edit_, typed, 64);
    EXPECT_STREQ(L"Hello, World! a+b=C ~@#Q", typed);
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000) << "Shift is not left down";
}

TEST_F(ApplicationUiTest, AlwaysOnTopSwitchesTheTopmostStyle) {
    auto topmost = [&] { return (GetWindowLongW(window_->window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    LONG window = window_->handle();
    Variant result;
    VARIANT_BOOL onTop = VARIANT_TRUE;
    app_->AlwaysOnTop(&window, &onTop, result.get());
    EXPECT_TRUE(topmost());
    EXPECT_TRUE(onTop == VARIANT_TRUE);
    EXPECT_TRUE(V_VT(result.get()) == VT_EMPTY);
    onTop = VARIANT_FALSE;
    app_->AlwaysOnTop(&window, &onTop, result.get());
    EXPECT_FALSE(topmost());
    EXPECT_EQ(VARIANT_TRUE, onTop) << "True after any successful call, removing included";
    onTop = VARIANT_TRUE;
    app_->AlwaysOnTop(&window, &onTop, result.get());
    onTop = 1;  // not True: removes
    app_->AlwaysOnTop(&window, &onTop, result.get());
    EXPECT_FALSE(topmost());
}

TEST_F(ApplicationUiTest, MoveMeHandsAMouseDragToTheWindowMovingLoop) {
    RECT before, after;
    GetWindowRect(window_->window_, &before);
    std::thread mouse([&] {
        int x = (before.left + before.right) / 2, y = before.bottom - 30;  // client area, below the edit
        Sleep(200);
        SetCursorPos(x, y);
        Sleep(100);
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        for (int i = 1; i <= 10; ++i) {
            Sleep(30);
            SetCursorPos(x + 8 * i, y + 5 * i);
            mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
        }
        Sleep(200);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    });
    Pump(1500);
    mouse.join();
    Pump(200);
    GetWindowRect(window_->window_, &after);
    EXPECT_EQ(1, window_->captionGrabs);
    EXPECT_EQ(before.left + 80, after.left);
    EXPECT_EQ(before.top + 50, after.top);

    SetCapture(window_->window_);
    LONG broadcast = 0xFFFF;  // HWND_BROADCAST
    app_->MoveMe(&broadcast);
    EXPECT_EQ(nullptr, GetCapture()) << "the capture is released";
    EXPECT_EQ(1, window_->captionGrabs) << "no title-bar grab goes out to every window";
}

// Answers the next dialog box of this thread with `answer`; gives up after
// five seconds or when Finish is called. Finish returns the box's title.
class DialogAnswer {
public:
    explicit DialogAnswer(int answer)
        : worker_([this, thread = GetCurrentThreadId(), answer] {
              for (int tries = 0; tries < 100 && !finished_ && !dialog_; ++tries) {
                  Sleep(50);
                  EnumThreadWindows(thread, &DialogAnswer::Visit, reinterpret_cast<LPARAM>(this));
              }
              if (!dialog_) return;
              wchar_t title[128] = L"";
              GetWindowTextW(dialog_, title, 128);
              title_ = title;
              PostMessageW(dialog_, WM_COMMAND, answer, 0);
          }) {}
    ~DialogAnswer() { Finish(); }
    std::wstring Finish() {
        finished_ = true;
        if (worker_.joinable()) worker_.join();
        return title_;
    }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        wchar_t type[16] = L"";
        GetClassNameW(window, type, 16);
        if (wcscmp(type, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        reinterpret_cast<DialogAnswer*>(self)->dialog_ = window;
        return FALSE;
    }
    std::atomic<bool> finished_{false};
    std::atomic<HWND> dialog_{nullptr};
    std::wstring title_;
    std::thread worker_;
};

TEST_F(ApplicationUiTest, DeleteWithConfirmationFollowsTheAnswer) {
    std::wstring folder = FreshFolder(L"confirm");
    MakeFile(folder + L"no");
    MakeFile(folder + L"yes");
    SafeArray no(NameArray({folder + L"no"})), yes(NameArray({folder + L"yes"}));
    DialogAnswer declined(IDNO);
    EXPECT_FALSE(app_.Delete(no.get(), VARIANT_TRUE, window_->handle()));
    EXPECT_NE(L"", declined.Finish()) << "a confirmation box was shown";
    DialogAnswer accepted(IDYES);
    EXPECT_TRUE(app_.Delete(yes.get(), VARIANT_TRUE, window_->handle()));
    EXPECT_NE(L"", accepted.Finish());
    // An owner that names no window cannot own the box: nothing is deleted.
    DialogAnswer unowned(IDYES);
    EXPECT_FALSE(app_.Delete(no.get(), VARIANT_TRUE, 0x0DEAD));
    EXPECT_EQ(L"", unowned.Finish());
    EXPECT_TRUE(Exists(folder + L"no"));
    EXPECT_TRUE(!Exists(folder + L"yes"));
}

}  // namespace
