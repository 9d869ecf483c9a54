// The print dialog's window on the private display: every control with its
// class, caption and place (twips of the design at the screen's 96 dpi, so
// 15 twips to a pixel), the tab order, the spin control, the two modes, and
// the handlers reached through the window's own messages, as a user's
// clicks and keys reach them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printdialog/print_dialog.h"
#include "printer/printer_test_support.h"
#include "support/caption_fit.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::print_dialog;
using namespace tessary::test;

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

bool HasVisibleStyle(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

class DialogWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        char display[64] = {};
        if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display)) GTEST_SKIP() << "no display";
        dialog_ = &PrintDialog::Get();
        window_ = dialog_->Window();
        ASSERT_TRUE(window_) << "the dialog made no window on the display";
    }
    void TearDown() override {
        PrintDialog::Unload();
        if (window_) {
            EXPECT_FALSE(IsWindow(window_));
        }
    }
    HWND Item(int control) { return GetDlgItem(window_, kControls[control].id); }
    // A control's rectangle in the dialog's client area, in pixels.
    RECT Placed(int control) {
        RECT r;
        GetWindowRect(Item(control), &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    void Select(int combo, const std::wstring& text) {
        HWND box = Item(combo);
        int index = static_cast<int>(SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(text.c_str())));
        ASSERT_GE(index, 0) << text;
        // What the combo box does when the user picks an entry.
        SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kControls[combo].id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }

    MessageLog log_;
    PrintDialog* dialog_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(DialogWindow, EveryControlOfTheDesign) {
    EXPECT_EQ(L"#32770", ClassOf(window_));
    EXPECT_TRUE(IsWindowUnicode(window_));  // its controls' texts are UTF-16
    EXPECT_EQ(L"Print", TextOf(window_));
    EXPECT_FALSE(IsWindowVisible(window_));  // loaded and hidden

    for (int i = 0; i < kControlCount; ++i) {
        const ControlDesign& design = kControls[i];
        HWND item = Item(i);
        ASSERT_TRUE(item) << design.name;
        LONG style = GetWindowLongA(item, GWL_STYLE);
        switch (design.kind) {
        case Kind::Frame:
            EXPECT_EQ(L"Button", ClassOf(item)) << design.name;
            EXPECT_EQ(BS_GROUPBOX, style & BS_TYPEMASK) << design.name;
            break;
        case Kind::Button:
            EXPECT_EQ(L"Button", ClassOf(item)) << design.name;
            EXPECT_TRUE((style & BS_TYPEMASK) == BS_PUSHBUTTON || (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                << design.name;
            break;
        case Kind::Check:
            EXPECT_EQ(L"Button", ClassOf(item)) << design.name;
            EXPECT_EQ(BS_AUTOCHECKBOX, style & BS_TYPEMASK) << design.name;
            break;
        case Kind::Option:
            EXPECT_EQ(L"Button", ClassOf(item)) << design.name;
            EXPECT_EQ(BS_AUTORADIOBUTTON, style & BS_TYPEMASK) << design.name;
            break;
        case Kind::Label: EXPECT_EQ(L"Static", ClassOf(item)) << design.name; break;
        case Kind::Combo:
            EXPECT_EQ(L"ComboBox", ClassOf(item)) << design.name;
            EXPECT_EQ(CBS_DROPDOWN, style & 3) << design.name;
            break;
        case Kind::TextBox: EXPECT_EQ(L"Edit", ClassOf(item)) << design.name; break;
        case Kind::UpDown: EXPECT_EQ(UPDOWN_CLASSW, ClassOf(item)) << design.name; break;
        }
        if (design.kind != Kind::Combo && design.kind != Kind::UpDown && i != labStat && i != labType &&
            i != labWhere && i != labComment) {
            EXPECT_EQ(design.caption, TextOf(item)) << design.name;
        }
        EXPECT_EQ(design.enabled, IsWindowEnabled(item) != FALSE) << design.name;

        // Placed at its container's corner plus its own, in pixels.
        int left = design.left + (design.container >= 0 ? kControls[design.container].left : 0);
        int top = design.top;
        if (design.container >= 0) top += dialog_->Control(design.container).corner.y;
        else top = dialog_->Control(i).corner.y;
        RECT r = Placed(i);
        EXPECT_NEAR(left / 15, r.left, 2) << design.name;
        EXPECT_NEAR(top / 15, r.top, 2) << design.name;
        // A combo box's closed height, and the spin control's least size,
        // are the platform's.
        if (design.kind != Kind::UpDown) {
            EXPECT_NEAR(design.width / 15, r.right - r.left, 2) << design.name;
        }
        if (design.kind != Kind::Combo && design.kind != Kind::UpDown) {
            EXPECT_NEAR(design.height / 15, r.bottom - r.top, 2) << design.name;
        }
        // A contained control lies within its frame.
        if (design.container >= 0) {
            RECT frame = Placed(design.container);
            EXPECT_GE(r.left, frame.left) << design.name;
            EXPECT_GE(r.top, frame.top) << design.name;
            EXPECT_LE(r.right, frame.right) << design.name;
        }
    }
    EXPECT_EQ(L"Status:      Default printer; Ready", TextOf(Item(labStat)));
    EXPECT_EQ(L"Proof Letter", TextOf(Item(ComboPrinter)));
    EXPECT_EQ(L"Letter", TextOf(Item(ComboPaper)));
    EXPECT_EQ(L"1", TextOf(Item(txtCopies)));
    EXPECT_EQ(BST_CHECKED, SendMessageA(Item(optPort), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageA(Item(Option1), BM_GETCHECK, 0, 0));
    EXPECT_EQ(3, SendMessageA(Item(ComboPaper), CB_GETCOUNT, 0, 0));

    // The fast-bitmap box explains itself in a tool tip.
    HWND tip = nullptr;
    while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)))
        if (GetWindow(tip, GW_OWNER) == window_) break;
    ASSERT_TRUE(tip);
    TOOLINFOA tool = {};
    char text[128] = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(chkFast));
    tool.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ("Faster printing of bitmaps, but uses more memory", text);

    // The dialog's size: 6480 twips of client width, 4845 twips outside.
    RECT client, outer;
    GetClientRect(window_, &client);
    GetWindowRect(window_, &outer);
    EXPECT_NEAR(6480 / 15, client.right, 2);
    EXPECT_EQ(4845 / 15, outer.bottom - outer.top);
}

TEST_F(DialogWindow, TabOrderFollowsTheDesign) {
    // The children in the window's order are the design's order (frames are
    // drawn beneath and the spin control on top; none of them takes focus).
    auto movedForPainting = [](int control) {
        return control == UpDown1 || kControls[control].kind == Kind::Frame;
    };
    std::vector<int> order;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        for (int i = 0; i < kControlCount; ++i)
            if (kControls[i].id == id && !movedForPainting(i)) order.push_back(id);
    }
    std::vector<int> design;
    for (int i = 0; i < kControlCount; ++i)
        if (!movedForPainting(i)) design.push_back(kControls[i].id);
    EXPECT_EQ(design, order);
    EXPECT_EQ(Item(UpDown1), GetWindow(window_, GW_CHILD));

    // Tab moves through the controls that take focus in that order.
    dialog_->ApplyMode(false, false);
    ShowWindow(window_, SW_SHOWNORMAL);
    std::vector<int> stops;
    HWND at = Item(cmdOK);
    for (int n = 0; n < 20; ++n) {
        stops.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(window_, at, FALSE);
        if (at == Item(cmdOK)) break;
    }
    // Print mode: range and copies in the middle row, paper and orientation hidden.
    std::vector<int> expected;
    for (int control : {cmdOK, cmdCancel, ComboPrinter, cmdProperties, Option1, txtCopies, chkFile, chkFast})
        expected.push_back(kControls[control].id);
    EXPECT_EQ(expected, stops);
    ShowWindow(window_, SW_HIDE);
}

// Every caption the user reads in either mode is whole: the labels (the
// printer's status lines included), the buttons, check boxes and option
// buttons, each in the font the control draws with.
TEST_F(DialogWindow, EveryCaptionFitsItsControlInBothModes) {
    for (bool setup : {false, true}) {
        dialog_->ApplyMode(setup, false);
        int measured = 0;
        for (int i = 0; i < kControlCount; ++i) {
            const ControlDesign& design = kControls[i];
            if (design.kind != Kind::Label && design.kind != Kind::Button && design.kind != Kind::Check &&
                design.kind != Kind::Option)
                continue;
            if (!HasVisibleStyle(Item(i))) continue;  // not part of this mode
            CaptionFit fit = MeasureCaption(Item(i));
            EXPECT_TRUE(fit.Fits()) << (setup ? "setup" : "print") << " mode, " << design.name << ": "
                                    << fit.Describe();
            ++measured;
        }
        EXPECT_GE(measured, setup ? 10 : 14) << "captions measured in " << (setup ? "setup" : "print") << " mode";
    }
}

TEST_F(DialogWindow, SpinControl) {
    HWND spin = Item(UpDown1);
    int low = -1, high = -1;
    SendMessageA(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(1, low);
    EXPECT_EQ(100, high);
    EXPECT_EQ(1, SendMessageA(spin, UDM_GETPOS32, 0, 0));
    dialog_->SpinCopies(7);
    EXPECT_EQ(7, SendMessageA(spin, UDM_GETPOS32, 0, 0));
    EXPECT_EQ(L"7", TextOf(Item(txtCopies)));

    // A click on its upper arrow steps the count, and the copies box follows.
    dialog_->ApplyMode(false, false);
    ShowWindow(window_, SW_SHOWNORMAL);
    RECT r;
    GetClientRect(spin, &r);
    LPARAM upper = MAKELPARAM(r.right / 2, r.bottom / 4);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, upper);
    SendMessageA(spin, WM_LBUTTONUP, 0, upper);
    EXPECT_EQ(8, dialog_->CopiesSpinValue());
    EXPECT_EQ(L"8", dialog_->Control(txtCopies).text);
    EXPECT_EQ(L"8", TextOf(Item(txtCopies)));
    // Typing into the box changes the text alone.
    SetWindowTextW(Item(txtCopies), L"12");
    EXPECT_EQ(L"12", dialog_->Control(txtCopies).text);
    EXPECT_EQ(8, dialog_->CopiesSpinValue());
    ShowWindow(window_, SW_HIDE);
}

TEST_F(DialogWindow, TheTwoModes) {
    auto shown = [&](int control) { return HasVisibleStyle(Item(control)); };
    dialog_->ApplyMode(true, true);
    EXPECT_EQ(L"Print Setup", TextOf(window_));
    EXPECT_FALSE(shown(cmdOK));
    EXPECT_EQ(L"Close", TextOf(Item(cmdCancel)));
    for (int c : {frPaper, Label7, Label8, ComboPaper, ComboBin, frOrientation, optPort, optLand}) EXPECT_TRUE(shown(c));
    for (int c : {frRange, Option1, Option2, Option3, Label1, Label9, Text1, Text2, frCopies, Label10, txtCopies,
                  UpDown1, chkFile, chkFast})
        EXPECT_FALSE(shown(c)) << kControls[c].name;
    for (int c : {Frame1, ComboPrinter, cmdProperties, labStat, cmdCancel}) EXPECT_TRUE(shown(c));

    dialog_->ApplyMode(false, true);
    EXPECT_EQ(L"Print", TextOf(window_));
    EXPECT_TRUE(shown(cmdOK));
    EXPECT_EQ(L"Cancel", TextOf(Item(cmdCancel)));
    for (int c : {frPaper, ComboPaper, frOrientation, optLand}) EXPECT_FALSE(shown(c)) << kControls[c].name;
    for (int c : {frRange, Option1, frCopies, txtCopies, UpDown1, chkFile, chkFast}) EXPECT_TRUE(shown(c));
    EXPECT_EQ(BST_CHECKED, SendMessageA(Item(chkFast), BM_GETCHECK, 0, 0));
    // Range and copies share the row of paper and orientation.
    EXPECT_EQ(Placed(frPaper).top, Placed(frRange).top);
    EXPECT_EQ(Placed(frOrientation).top, Placed(frCopies).top);
}

TEST_F(DialogWindow, ClicksInTheWindowRunTheHandlers) {
    dialog_->ApplyMode(true, false);
    ShowWindow(window_, SW_SHOWNORMAL);

    Select(ComboPrinter, L"Proof A4");
    EXPECT_EQ(std::wstring(L"Proof A4") + L'\0', dialog_->PrinterName());
    EXPECT_EQ(L"Type:        Proof A4", TextOf(Item(labType)));
    EXPECT_EQ(3, SendMessageA(Item(ComboPaper), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"A4", TextOf(Item(ComboPaper)));
    EXPECT_EQ(3, SendMessageA(Item(ComboBin), CB_GETCOUNT, 0, 0));

    Select(ComboPaper, L"A5");
    EXPECT_EQ(DMPAPER_A5, dialog_->Record().Field(SettingsRecord::kPaperSize));
    Select(ComboBin, L"Tray 2");
    EXPECT_EQ(dialog_->BinIds()[2], dialog_->Record().Field(SettingsRecord::kDefaultSource));

    SendMessageA(Item(optLand), BM_CLICK, 0, 0);
    EXPECT_EQ(2, dialog_->lngOrientation());
    EXPECT_EQ(2, dialog_->Record().Field(SettingsRecord::kOrientation));
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(Item(optPort), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(dialog_->Control(optLand).value);
    EXPECT_FALSE(dialog_->Control(optPort).value);

    // Enter does nothing while the print button is hidden; Close makes the DC.
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    HDC before = dialog_->HDCloc();
    SendMessageA(Item(cmdCancel), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_FALSE(dialog_->bPrint());
    ASSERT_TRUE(dialog_->HDCloc());
    EXPECT_NE(before, dialog_->HDCloc());
    EXPECT_EQ(420 * 300 / 72, GetDeviceCaps(dialog_->HDCloc(), PHYSICALHEIGHT));  // A5 turned: 420 points down
    EXPECT_EQ(595 * 300 / 72, GetDeviceCaps(dialog_->HDCloc(), PHYSICALWIDTH));

    dialog_->ApplyMode(false, false);
    ShowWindow(window_, SW_SHOWNORMAL);
    SendMessageA(Item(chkFile), BM_CLICK, 0, 0);
    SendMessageA(Item(chkFast), BM_CLICK, 0, 0);
    EXPECT_TRUE(dialog_->Control(chkFile).value);
    EXPECT_TRUE(dialog_->Control(chkFast).value);
    SendMessageA(Item(cmdOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(dialog_->bPrint());
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
