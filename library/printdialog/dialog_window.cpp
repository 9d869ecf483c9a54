// The print dialog's window: made from the design when a display allows,
// mirrored from the dialog's own state (texts, lists, values, visibility,
// places), and its messages turned into the same handlers that choosing from
// code runs.
#include "printdialog/print_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "frame/module.h"
#include "frame/system_dlls.h"

namespace tessary {

using namespace print_dialog;

void PrintDialog::CreateWindowIfPossible() {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    // Without the common controls the template's spin control has no class
    // and no window is made: the dialog then works unseen, as without a display.
    delayed::InitCommonControlsEx.CallOr(FALSE, &classes);
    if (!measured_) {
        units_ = DialogUnits::Measure();
        measured_ = true;
    }
    POINT corners[kControlCount];
    for (int i = 0; i < kControlCount; ++i) corners[i] = controls_[i].corner;
    std::vector<uint8_t> layout = BuildTemplate(units_, corners);
    // Windows whose threads have ended are gone with them.
    views_.erase(std::remove_if(views_.begin(), views_.end(), [](const View& v) { return !IsWindow(v.window); }),
                 views_.end());
    HINSTANCE instance = ModuleHandle() ? ModuleHandle() : GetModuleHandleW(nullptr);
    // Without a display no window can be made: the dialog then keeps working
    // on its own state alone. WM_INITDIALOG makes the window this thread's
    // view.
    // A Unicode window: its controls hold and report their texts as UTF-16.
    HWND window = CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(layout.data()), nullptr,
                                             &PrintDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window) {
        noWindow_ = true;  // the display is the process's: no other thread will make one either
        return;
    }

    HWND spin = Item(UpDown1);
    SendMessageW(spin, UDM_SETRANGE32, kCopiesMin, kCopiesMax);
    // Painting follows the z-order, which a template ties to the tab order.
    // Frames go beneath everything, so that the controls in them are drawn
    // over them, and the spin control on top, over the right edge of the
    // copies box as designed. Neither takes the focus: the order of the
    // controls that do is the design's.
    for (int frame : {Frame1, frPaper, frOrientation, frRange, frCopies})
        SetWindowPos(Item(frame), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(spin, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    HWND toolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    if (toolTip) {
        for (View& view : views_)
            if (view.window == window) view.toolTip = toolTip;
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V1_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(Item(chkFast));
        tool.lpszText = const_cast<wchar_t*>(kFastToolTip);
        SendMessageW(toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    PushAll();
}

// ---------------------------------------------------------------------------
// The windows of the threads

const PrintDialog::View* PrintDialog::CurrentView() const {
    const DWORD thread = GetCurrentThreadId();
    for (const View& view : views_)
        if (view.thread == thread && IsWindow(view.window)) return &view;
    return nullptr;
}

HWND PrintDialog::ExistingWindow() const {
    const View* view = CurrentView();
    return view ? view->window : nullptr;
}

HWND PrintDialog::Window() {
    if (HWND existing = ExistingWindow()) return existing;
    if (noWindow_) return nullptr;
    // Made from the state as it is now, then given the load step's layout.
    CreateWindowIfPossible();
    HWND made = ExistingWindow();
    if (made) FitToLoadedLayout();
    return made;
}

void PrintDialog::MarkOtherViewsStale() {
    if (views_.size() < 2) return;
    const DWORD thread = GetCurrentThreadId();
    for (View& view : views_)
        if (view.thread != thread) view.stale = true;
}

// ---------------------------------------------------------------------------
// Messages

INT_PTR CALLBACK PrintDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Each message is handled under the lock, with a reference that keeps the
    // instance alive while its handler runs (an unload meanwhile takes effect
    // when the handler is done).
    std::unique_lock<std::recursive_mutex> lock(Lock());
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        auto* self = reinterpret_cast<PrintDialog*>(lParam);
        self->views_.push_back(View{GetCurrentThreadId(), window, nullptr, false});
        // No focus yet: the window is made hidden, often in the middle of a
        // client's work, and must not take the activation from the client's
        // window. Showing gives it the focus.
        return FALSE;
    }
    auto* raw = reinterpret_cast<PrintDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!raw) {
        // The instance has gone; another thread asked this one to close it.
        if (message == kCloseViewMessage) DestroyWindow(window);
        return FALSE;
    }
    std::shared_ptr<PrintDialog> self = raw->weak_from_this().lock();
    if (!self) return FALSE;
    if (message == WM_DESTROY) {
        // Destroyed from outside (its thread ending): no longer a view.
        auto& views = self->views_;
        for (auto it = views.begin(); it != views.end(); ++it)
            if (it->window == window) {
                views.erase(it);
                break;
            }
        return FALSE;
    }
    // A handler's run-time error has no caller to reach from here and must
    // not unwind through the system's window procedure: it is dropped, as
    // the closing buttons drop theirs.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return TRUE;
    }
}

INT_PTR PrintDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (!pushing_) OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_VSCROLL:
        // The spin control reports each step (and the end of a press); its
        // position is what counts. It has no buddy window, so the error flag
        // UDM_GETPOS32 can give back says nothing about the position.
        if (!pushing_ && reinterpret_cast<HWND>(lParam) == Item(UpDown1)) {
            int value = static_cast<int>(SendMessageW(Item(UpDown1), UDM_GETPOS32, 0, 0));
            if (value != spinValue_) {
                spinValue_ = value;
                UpDownChange();
            }
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void PrintDialog::OnCommand(int id, int code, HWND from) {
    auto idOf = [](int control) { return kControls[control].id; };
    auto textOf = [](HWND item) {
        int n = GetWindowTextLengthW(item);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        n = GetWindowTextW(item, &text[0], n + 1);
        text.resize(n > 0 ? n : 0);
        return text;
    };
    if (id == IDOK) {
        // Enter reaches here too: the print button counts only when shown.
        if (controls_[cmdOK].visible) CmdOkClick();
        return;
    }
    if (id == IDCANCEL) {
        CmdCancelClick();
        return;
    }
    if (id == idOf(cmdProperties)) {
        if (code == BN_CLICKED) CmdPropertiesClick();
        return;
    }
    for (int list : {ComboPrinter, ComboPaper, ComboBin}) {
        if (id != idOf(list)) continue;
        if (code == CBN_SELCHANGE) {
            int index = static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0));
            if (index >= 0 && static_cast<size_t>(index) < controls_[list].items.size()) {
                controls_[list].listIndex = index;
                controls_[list].text = controls_[list].items[index];
                if (list == ComboPrinter) ComboPrinterClick();
                else if (list == ComboPaper) ComboPaperClick();
                else ComboBinClick();
            }
        } else if (code == CBN_EDITCHANGE) {
            controls_[list].text = textOf(from);
        }
        return;
    }
    if (code == BN_CLICKED && (id == idOf(optPort) || id == idOf(optLand))) {
        int clicked = id == idOf(optPort) ? optPort : optLand;
        if (SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            controls_[optPort].value = clicked == optPort;
            controls_[optLand].value = clicked == optLand;
            if (clicked == optPort) OptPortClick();
            else OptLandClick();
        }
        return;
    }
    if (code == BN_CLICKED) {
        for (int option : {Option1, Option2, Option3}) {
            if (id == idOf(option))
                for (int other : {Option1, Option2, Option3}) controls_[other].value = other == option;
        }
        if (id == idOf(chkFile)) controls_[chkFile].value = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (id == idOf(chkFast)) controls_[chkFast].value = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        return;
    }
    if (code == EN_CHANGE) {
        for (int box : {txtCopies, Text1, Text2})
            if (id == idOf(box)) controls_[box].text = textOf(from);
    }
}

// ---------------------------------------------------------------------------
// Mirroring the state into the window

HWND PrintDialog::Item(int control) const {
    HWND window = ExistingWindow();
    return window ? GetDlgItem(window, kControls[control].id) : nullptr;
}

void PrintDialog::PushText(int control) {
    MarkOtherViewsStale();
    HWND item = Item(control);
    if (!item || kControls[control].kind == Kind::UpDown) return;
    pushing_ = true;
    SetWindowTextW(item, controls_[control].text.c_str());
    pushing_ = false;
}

void PrintDialog::PushValue(int control) {
    MarkOtherViewsStale();
    HWND item = Item(control);
    if (!item) return;
    pushing_ = true;
    SendMessageW(item, BM_SETCHECK, controls_[control].value ? BST_CHECKED : BST_UNCHECKED, 0);
    pushing_ = false;
}

void PrintDialog::PushList(int control) {
    MarkOtherViewsStale();
    HWND item = Item(control);
    if (!item) return;
    const ControlState& list = controls_[control];
    pushing_ = true;
    SendMessageW(item, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : list.items) SendMessageW(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(list.listIndex), 0);
    SetWindowTextW(item, list.text.c_str());
    pushing_ = false;
}

bool PrintDialog::EffectivelyVisible(int control) const {
    int container = kControls[control].container;
    return controls_[control].visible && (container < 0 || controls_[container].visible);
}

void PrintDialog::PushVisible(int control) {
    MarkOtherViewsStale();
    if (!ExistingWindow()) return;
    for (int i = 0; i < kControlCount; ++i) {
        if (i != control && kControls[i].container != control) continue;
        if (HWND item = Item(i)) ShowWindow(item, EffectivelyVisible(i) ? SW_SHOWNA : SW_HIDE);
    }
}

void PrintDialog::PushPosition(int control) {
    HWND window = ExistingWindow();
    if (!window) return;
    POINT corners[kControlCount];
    for (int i = 0; i < kControlCount; ++i) corners[i] = controls_[i].corner;
    for (int i = 0; i < kControlCount; ++i) {
        if (i != control && kControls[i].container != control) continue;
        HWND item = Item(i);
        if (!item) continue;
        RECT twips = AbsoluteTwips(i, corners);
        // Through dialog units, exactly as the template placed it.
        RECT at = {units_.TwipsToUnitsX(twips.left), units_.TwipsToUnitsY(twips.top), 0, 0};
        MapDialogRect(window, &at);
        SetWindowPos(item, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void PrintDialog::PushAll() {
    MarkOtherViewsStale();
    HWND window = ExistingWindow();
    if (!window) return;
    pushing_ = true;
    SetWindowTextW(window, caption_.c_str());
    pushing_ = false;
    for (int i = 0; i < kControlCount; ++i) {
        switch (kControls[i].kind) {
        case Kind::Combo: PushList(i); break;
        case Kind::Option:
        case Kind::Check: PushText(i); PushValue(i); break;
        case Kind::UpDown: SendMessageW(Item(i), UDM_SETPOS32, 0, spinValue_); break;
        default: PushText(i); break;
        }
        if (HWND item = Item(i)) EnableWindow(item, controls_[i].enabled);
    }
    for (int i = 0; i < kControlCount; ++i)
        if (HWND item = Item(i)) ShowWindow(item, EffectivelyVisible(i) ? SW_SHOWNA : SW_HIDE);
}

}  // namespace tessary
