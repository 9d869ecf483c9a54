// ShowPrinter on the private display: the print dialog shown modally in
// print and setup mode, driven as a user drives it (picking from the lists,
// typing the copies, ticking boxes, pressing the buttons), and the printer
// driver's own properties dialog opened over it, confirmed and cancelled.
// A thread timer plays the user: the dialogs' own message loops run it.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "Tessary.h"
#include "printdialog/dialog_layout.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::print_dialog;
using namespace tessary::test;

namespace {

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The dialog boxes of this thread that are up and take input.
struct Found {
    HWND owner;  // the sheet wanted is owned by this window; null: the print dialog
    HWND window = nullptr;
};
BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<Found*>(context);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    if (GetWindow(window, GW_OWNER) != found->owner) return TRUE;
    found->window = window;
    return FALSE;
}

// What the user does, one step at a time: each step waits until its window
// is up and takes input. A step that opens another modal window runs the
// next steps from that window's loop.
struct Step {
    bool onDriverSheet;
    std::function<void(HWND)> act;
};
std::deque<Step> g_steps;
HWND g_printDialog = nullptr;
DWORD g_started = 0;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (GetTickCount() - g_started > 15000) {
        // Nobody answers: close whatever is open rather than hang the run.
        ADD_FAILURE() << g_steps.size() << " steps were never taken";
        g_steps.clear();
        for (HWND owner : {g_printDialog, HWND(nullptr)}) {
            Found found{owner};
            EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
            if (found.window) PostMessageA(found.window, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    if (g_steps.empty()) return;
    Found found{g_steps.front().onDriverSheet ? g_printDialog : nullptr};
    if (found.owner == nullptr && g_printDialog && !IsWindowEnabled(g_printDialog)) return;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
    if (!found.window) return;
    if (!found.owner) g_printDialog = found.window;
    Step step = std::move(g_steps.front());
    g_steps.pop_front();
    step.act(found.window);
}

HWND Item(HWND dialog, int control) { return GetDlgItem(dialog, kControls[control].id); }

void Press(HWND dialog, int control) { SendMessageA(Item(dialog, control), BM_CLICK, 0, 0); }

bool Ticked(HWND dialog, int control) {
    return SendMessageA(Item(dialog, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Pick(HWND dialog, int combo, const char* entry) {
    HWND box = Item(dialog, combo);
    int index = static_cast<int>(
        SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry)));
    ASSERT_GE(index, 0) << entry;
    SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kControls[combo].id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

// Selects the copies box's text and types over it, key by key.
void Type(HWND dialog, const char* text) {
    HWND box = Item(dialog, txtCopies);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    SendMessageA(box, WM_CHAR, VK_BACK, 1);
    for (const char* c = text; *c; ++c) SendMessageA(box, WM_CHAR, static_cast<unsigned char>(*c), 1);
}

class ShowPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        char display[64] = {};
        if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display)) GTEST_SKIP() << "no display";
        p_ = library_.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(p_);
        // A window of the client's own, which the modal dialog must shut out.
        client_ = CreateWindowA("STATIC", "client", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
        SetActiveWindow(client_);
    }
    void TearDown() override {
        if (client_) DestroyWindow(client_);
        g_steps.clear();
    }

    // Shows the dialog through the vtable while the steps are played.
    HRESULT Show(const wchar_t* mode, std::deque<Step> steps) {
        g_steps = std::move(steps);
        g_printDialog = nullptr;
        g_started = GetTickCount();
        UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
        Bstr text(mode);
        BSTR b = text.get();
        HRESULT hr = p_->ShowPrinter(&b);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_steps.empty()) << "the dialog closed before every step was taken";
        EXPECT_TRUE(IsWindowEnabled(client_));
        EXPECT_EQ(client_, GetActiveWindow());  // and has the input back
        return hr;
    }
    long Get(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(LONG*)) {
        LONG v = 0;
        EXPECT_EQ(S_OK, (p_.get()->*member)(&v));
        return v;
    }
    VARIANT_BOOL Flag(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(S_OK, (p_.get()->*member)(&v));
        return v;
    }
    short Copies() {
        short v = -1;
        EXPECT_EQ(S_OK, p_->get_Copies(&v));
        return v;
    }
    std::wstring DeviceName() {
        Bstr name;
        EXPECT_EQ(S_OK, p_->get_DeviceName(name.put()));
        return ToWide(name.get());
    }
    // Print mode with this copies text, then the print button.
    Step PrintWithCopies(const char* copies) {
        return {false, [copies](HWND d) {
                    Type(d, copies);
                    Press(d, cmdOK);
                }};
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    ComPtr<_xPrinter> p_;
    HWND client_ = nullptr;
};

TEST_F(ShowPrinter, PrintModeHandsTheChoicesToThePrinterObject) {
    const long letterDc = Get(&_xPrinter::get_hdc);
    ASSERT_EQ(S_OK, Show(L"", {{false, [&](HWND d) {
                                    EXPECT_EQ("Print", TextOf(d));
                                    EXPECT_TRUE(IsWindowVisible(Item(d, cmdOK)));
                                    EXPECT_EQ("Cancel", TextOf(Item(d, cmdCancel)));
                                    EXPECT_FALSE(IsWindowVisible(Item(d, frPaper)));
                                    EXPECT_FALSE(Ticked(d, chkFast));
                                    EXPECT_FALSE(IsWindowEnabled(client_));  // modal
                                    Pick(d, ComboPrinter, "Proof A4");
                                    EXPECT_EQ("Type:        Proof A4", TextOf(Item(d, labType)));
                                    Type(d, "3 copies");
                                    Press(d, chkFile);
                                    Press(d, chkFast);
                                    Press(d, cmdOK);
                                }}}));
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_OK));
    EXPECT_EQ(3, Copies());
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_PrintToFile));
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_Fast));
    EXPECT_EQ(L"Proof A4", DeviceName());
    EXPECT_NE(letterDc, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(2379, Get(&_xPrinter::get_WidthDot));  // A4 less 12-point margins, at 300 dpi

    // Only "Setup" is setup mode. Fast presets its box; Cancel leaves the
    // fields alone but the new DC is adopted all the same.
    const long a4Dc = Get(&_xPrinter::get_hdc);
    ASSERT_EQ(S_OK, Show(L"setup", {{false, [&](HWND d) {
                                         EXPECT_EQ("Print", TextOf(d));
                                         EXPECT_TRUE(Ticked(d, chkFast));
                                         Type(d, "9");
                                         Press(d, chkFast);
                                         Press(d, cmdCancel);
                                     }}}));
    EXPECT_EQ(VARIANT_FALSE, Flag(&_xPrinter::get_OK));
    EXPECT_EQ(3, Copies());
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_Fast));
    EXPECT_NE(a4Dc, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(L"Proof A4", DeviceName());

    // The copies text: its leading number, halves to the even neighbour.
    ASSERT_EQ(S_OK, Show(L"", {PrintWithCopies("2.5")}));
    EXPECT_EQ(2, Copies());
    ASSERT_EQ(S_OK, Show(L"", {PrintWithCopies("3.5")}));
    EXPECT_EQ(4, Copies());
    ASSERT_EQ(S_OK, Show(L"", {PrintWithCopies("none")}));
    EXPECT_EQ(0, Copies());
    // Beyond 16 bits the run-time's overflow reaches a script caller, after
    // OK and the DC were taken over.
    p_->put_OK(VARIANT_FALSE);
    g_steps = {PrintWithCopies("40000")};
    g_printDialog = nullptr;
    g_started = GetTickCount();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
    VARIANT none;
    SetText(&none, L"");
    DispatchResult failed = CallByName(p_.get(), L"ShowPrinter", DISPATCH_METHOD, {&none});
    KillTimer(nullptr, timer);
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(6, failed.ErrorNumber());
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_OK));
    EXPECT_EQ(0, Copies());
    VariantClear(&none);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(ShowPrinter, SetupModeAndTheDriversPropertiesDialog) {
    p_->put_Copies(7);
    p_->put_PrintToFile(VARIANT_TRUE);
    ASSERT_EQ(S_OK, Show(L"Setup", {{false, [&](HWND d) {
                                         EXPECT_EQ("Print Setup", TextOf(d));
                                         EXPECT_FALSE(IsWindowVisible(Item(d, cmdOK)));
                                         EXPECT_EQ("Close", TextOf(Item(d, cmdCancel)));
                                         EXPECT_FALSE(IsWindowVisible(Item(d, frCopies)));
                                         Pick(d, ComboPaper, "Legal");
                                         Pick(d, ComboBin, "Lower Tray");
                                         Press(d, optLand);
                                         Press(d, cmdCancel);
                                     }}}));
    EXPECT_EQ(VARIANT_FALSE, Flag(&_xPrinter::get_OK));
    EXPECT_EQ(7, Copies());
    EXPECT_EQ(VARIANT_TRUE, Flag(&_xPrinter::get_PrintToFile));
    EXPECT_EQ(2, Get(&_xPrinter::get_Orientation));
    EXPECT_EQ(3900, Get(&_xPrinter::get_WidthDot));  // Legal across, less the margins
    EXPECT_EQ(2400, Get(&_xPrinter::get_HeightDot));

    // The driver's dialog over the print dialog: portrait and A4 there,
    // confirmed, come back into the print dialog's own controls.
    auto sheetPage = [](HWND sheet) { return FindWindowExA(sheet, nullptr, "#32770", nullptr); };
    ASSERT_EQ(S_OK,
              Show(L"Setup",
                   {{false, [](HWND d) { Press(d, cmdProperties); }},
                    {true,
                     [&](HWND sheet) {
                         HWND page = sheetPage(sheet);
                         ASSERT_TRUE(page);
                         EXPECT_TRUE(SendMessageA(GetDlgItem(page, 102), BM_GETCHECK, 0, 0) == BST_CHECKED);
                         SendMessageA(GetDlgItem(page, 101), BM_CLICK, 0, 0);  // Portrait
                         HWND papers = GetDlgItem(page, 100);
                         LRESULT a4 = SendMessageA(papers, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                   reinterpret_cast<LPARAM>("A4"));
                         ASSERT_GE(a4, 0);
                         SendMessageA(papers, LB_SETCURSEL, static_cast<WPARAM>(a4), 0);
                         SendMessageA(page, WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE),
                                      reinterpret_cast<LPARAM>(papers));
                         SendMessageA(GetDlgItem(sheet, IDOK), BM_CLICK, 0, 0);
                     }},
                    {false,
                     [](HWND d) {
                         EXPECT_TRUE(Ticked(d, optPort));
                         EXPECT_FALSE(Ticked(d, optLand));
                         EXPECT_EQ("A4", TextOf(Item(d, ComboPaper)));
                         EXPECT_EQ("Lower Tray", TextOf(Item(d, ComboBin)));
                         // Cancelled, the driver's dialog changes nothing.
                         Press(d, cmdProperties);
                     }},
                    {true,
                     [&](HWND sheet) {
                         SendMessageA(GetDlgItem(sheetPage(sheet), 102), BM_CLICK, 0, 0);  // Landscape
                         SendMessageA(GetDlgItem(sheet, IDCANCEL), BM_CLICK, 0, 0);
                     }},
                    {false, [](HWND d) {
                         EXPECT_TRUE(Ticked(d, optPort));
                         EXPECT_EQ("A4", TextOf(Item(d, ComboPaper)));
                         Press(d, cmdCancel);
                     }}}));
    EXPECT_EQ(1, Get(&_xPrinter::get_Orientation));
    EXPECT_EQ(2329, Get(&_xPrinter::get_WidthDot));  // A4 on the Letter printer, less its margins
    EXPECT_EQ(3208, Get(&_xPrinter::get_HeightDot));
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
