// frmDovetta in this process with a store double: the order of the writes,
// the release of the store at unload, and the tick's error step, which the
// real xRegistry (it swallows every registry failure) never takes.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frm_dovetta.h"
#include "support/caption_fit.h"
#include "support/test_support.h"

using namespace dovetta;
using namespace tessary::test;

namespace {

struct StoreLog {
    std::vector<std::pair<std::wstring, short>> writes;
    bool released = false;
};

// Fails the `failAt`-th write (1-based; 0 = never) with `failure`, leaving an
// error object with `description` when one is given.
class FakeStore : public AutodialStore {
public:
    FakeStore(StoreLog* log, int failAt, HRESULT failure, std::wstring description)
        : log_(log), failAt_(failAt), failure_(failure), description_(std::move(description)) {}
    ~FakeStore() override { log_->released = true; }

    HRESULT Write(const std::wstring& valueName, short value) override {
        if (++calls_ == failAt_) {
            if (!description_.empty()) SetErrorObject();
            return failure_;
        }
        log_->writes.emplace_back(valueName, value);
        return S_OK;
    }

private:
    void SetErrorObject() {
        ICreateErrorInfo* create = nullptr;
        if (FAILED(CreateErrorInfo(&create))) return;
        create->SetDescription(const_cast<LPOLESTR>(description_.c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }

    StoreLog* log_;
    int failAt_;
    HRESULT failure_;
    std::wstring description_;
    int calls_ = 0;
};

StoreFactory FakeFactory(StoreLog* log, int failAt = 0, HRESULT failure = S_OK, std::wstring description = L"") {
    return [=](std::unique_ptr<AutodialStore>* store) {
        *store = std::make_unique<FakeStore>(log, failAt, failure, description);
        return S_OK;
    };
}

// Runs this thread's messages until `done` or the time is up. The form's
// WM_QUIT (sent when it unloads) is dropped: the test thread goes on.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeoutMs - elapsed), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

HWND Control(HWND form, int id) {
    HWND panel = GetDlgItem(form, frmDovetta::kPanelId);
    return id == frmDovetta::kPanelId ? panel : GetDlgItem(panel, id);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

// What the form looked like while its tick paused: seen from a thread timer,
// which the pause's own event processing runs.
struct Sighting {
    bool visible = false;
    std::wstring label;
    CaptionFit fit;  // the result line as shown
};
Sighting g_sighting;
HWND g_watched = nullptr;
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
    if (g_watched && IsWindow(g_watched) && IsWindowVisible(g_watched)) {
        g_sighting.visible = true;
        g_sighting.label = TextOf(Control(g_watched, frmDovetta::kLabelId));
        g_sighting.fit = MeasureCaption(Control(g_watched, frmDovetta::kLabelId));
    }
}

TEST(Form, TickWritesInOrderShowsTheResultAndUnloads) {
    ComApartment com;
    MessageLog messages;
    StoreLog log;
    frmDovetta form(GetModuleHandleW(nullptr), L"never", FakeFactory(&log));
    ASSERT_EQ(S_OK, form.Load());
    EXPECT_EQ(500, form.timerInterval());
    EXPECT_FALSE(IsWindowVisible(form.window()));  // hidden while it waits
    EXPECT_EQ(L"Dovetta", TextOf(form.window()));
    EXPECT_EQ(frmDovetta::kDefaultText, TextOf(Control(form.window(), frmDovetta::kLabelId)));

    g_sighting = Sighting();
    g_watched = form.window();
    UINT_PTR watch = SetTimer(nullptr, 0, 50, Watch);
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(PumpUntil([&] { return !form.loaded(); }, 5000));
    const ULONGLONG took = GetTickCount64() - start;
    KillTimer(nullptr, watch);
    g_watched = nullptr;

    ASSERT_EQ(2u, log.writes.size());
    EXPECT_EQ(L"EnableAutodial", log.writes[0].first);
    EXPECT_EQ(0, log.writes[0].second);
    EXPECT_EQ(L"NoNetAutodial", log.writes[1].first);
    EXPECT_EQ(1, log.writes[1].second);
    EXPECT_TRUE(g_sighting.visible);
    EXPECT_EQ(frmDovetta::kNeverText, g_sighting.label);
    EXPECT_TRUE(log.released);
    // 0.5 s wait and 1.5 s on show.
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 3500u);
    EXPECT_TRUE(messages.Messages().empty());
}

// Both result lines fit the label in its 12-point bold font: the design text
// the window is loaded with, and the never-dial text it shows.
TEST(Form, ResultLinesFitTheLabel) {
    ComApartment com;
    MessageLog messages;
    StoreLog log;
    frmDovetta form(GetModuleHandleW(nullptr), L"never", FakeFactory(&log));
    ASSERT_EQ(S_OK, form.Load());
    CaptionFit loaded = MeasureCaption(Control(form.window(), frmDovetta::kLabelId));
    EXPECT_EQ(frmDovetta::kDefaultText, loaded.text);
    EXPECT_TRUE(loaded.Fits()) << loaded.Describe();

    g_sighting = Sighting();
    g_watched = form.window();
    UINT_PTR watch = SetTimer(nullptr, 0, 50, Watch);
    ASSERT_TRUE(PumpUntil([&] { return !form.loaded(); }, 5000));
    KillTimer(nullptr, watch);
    g_watched = nullptr;
    ASSERT_TRUE(g_sighting.visible);
    EXPECT_EQ(frmDovetta::kNeverText, g_sighting.fit.text);
    EXPECT_TRUE(g_sighting.fit.Fits()) << g_sighting.fit.Describe();
}

TEST(Form, FailedFirstWriteSkipsTheRestAndReportsTheError) {
    ComApartment com;
    MessageLog messages;
    StoreLog log;
    frmDovetta form(GetModuleHandleW(nullptr), L"0", FakeFactory(&log, 1, E_FAIL, L"Registry object gone"));
    ASSERT_EQ(S_OK, form.Load());
    ASSERT_TRUE(PumpUntil([&] { return !messages.Messages().empty(); }, 5000));

    auto shown = messages.Messages();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), shown[0].style);
    EXPECT_EQ(L"Halvex AutoDial", shown[0].caption);
    EXPECT_EQ(L"Timer error: Registry object gone", shown[0].text);
    EXPECT_TRUE(log.writes.empty());  // the second write was skipped

    // The form stays loaded, with the label untouched, and is on screen so
    // that it can be closed; a click on the label does that.
    PumpUntil([] { return false; }, 300);
    ASSERT_TRUE(form.loaded());
    EXPECT_FALSE(log.released);
    EXPECT_TRUE(IsWindowVisible(form.window()));
    EXPECT_EQ(frmDovetta::kDefaultText, TextOf(Control(form.window(), frmDovetta::kLabelId)));
    SendMessageW(Control(form.window(), frmDovetta::kLabelId), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_FALSE(form.loaded());
    EXPECT_TRUE(log.released);
}

TEST(Form, FailedSecondWriteWithoutErrorObjectStillSaysWhy) {
    ComApartment com;
    MessageLog messages;
    StoreLog log;
    SetErrorInfo(0, nullptr);
    frmDovetta form(GetModuleHandleW(nullptr), L"2 never", FakeFactory(&log, 2, E_ACCESSDENIED));
    ASSERT_EQ(S_OK, form.Load());
    EXPECT_EQ(2000, form.timerInterval());
    ASSERT_TRUE(PumpUntil([&] { return !messages.Messages().empty(); }, 6000));

    ASSERT_EQ(1u, log.writes.size());
    EXPECT_EQ(L"EnableAutodial", log.writes[0].first);
    auto shown = messages.Messages();
    ASSERT_EQ(1u, shown.size());
    const std::wstring prefix = L"Timer error: ";
    EXPECT_EQ(prefix, shown[0].text.substr(0, prefix.size()));
    EXPECT_GT(shown[0].text.size(), prefix.size() + 3) << "no description after the prefix";

    // The panel closes the form as the label does.
    ASSERT_TRUE(form.loaded());
    SendMessageW(Control(form.window(), frmDovetta::kPanelId), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_FALSE(form.loaded());
    EXPECT_TRUE(log.released);
}

TEST(Form, StoreThatCannotBeCreatedFailsTheLoad) {
    ComApartment com;
    frmDovetta form(GetModuleHandleW(nullptr), L"never",
                    [](std::unique_ptr<AutodialStore>*) { return REGDB_E_CLASSNOTREG; });
    EXPECT_EQ(REGDB_E_CLASSNOTREG, form.Load());
    EXPECT_FALSE(IsWindowVisible(form.window()));
    // No timer runs: nothing would tick even after the 0.5 s delay.
    PumpUntil([] { return false; }, 800);
    EXPECT_FALSE(IsWindowVisible(form.window()));
}

}  // namespace
