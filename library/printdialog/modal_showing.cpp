// Showing the print dialog modally, and the outcome its caller takes over
// once it has closed.
#include "printdialog/print_dialog.h"

#include <vector>

namespace tessary {

using namespace print_dialog;

PrintOutcome PrintDialog::Show(bool setup, bool fast) {
    Showing showing = {};
    bool shown = false;
    {
        Lease dialog = Use();
        dialog->ApplyMode(setup, fast);
        shown = dialog->PrepareShowing(&showing);
    }
    // The loop runs without the lock; the window takes it for each message.
    if (shown) RunModal(showing);
    // Asked afresh: the dialog may have been unloaded and loaded again while
    // it was shown.
    return Use()->Outcome();
}

PrintOutcome PrintDialog::Outcome() const {
    PrintOutcome outcome;
    outcome.printPressed = bPrint_;
    outcome.dcReady = HDCloc() != nullptr;
    outcome.printMode = caption_ == L"Print";
    if (outcome.printMode) {
        outcome.copiesRead = LeadingNumber(controls_[txtCopies].text);
        outcome.printToFile = controls_[chkFile].value;
        outcome.fast = controls_[chkFast].value;
    }
    return outcome;
}

void PrintDialog::ShowModal() {
    Showing showing = {};
    if (PrepareShowing(&showing)) RunModal(showing);
}

bool PrintDialog::PrepareShowing(Showing* showing) {
    // A thread shows a window of its own, made the first time it shows the
    // dialog (a window belongs to its thread).
    Window();
    View* view = CurrentView();
    if (!view) {
        bPrint_ = false;
        return false;
    }
    if (IsWindowVisible(view->window)) return false;  // already shown: its own loop runs
    if (view->stale) {
        // Other threads changed the state since this window last showed it.
        view->stale = false;
        PushAll();
    }
    showing->window = view->window;
    showing->toolTip = view->toolTip;
    return true;
}

void PrintDialog::RunModal(const Showing& showing) {
    const HWND window = showing.window;
    // Like a modal form, the dialog is the only window of the thread that
    // takes input while it is up.
    struct Collect {
        HWND self;
        HWND toolTip;
        std::vector<HWND> windows;
        static BOOL CALLBACK Add(HWND window, LPARAM context) {
            auto* c = reinterpret_cast<Collect*>(context);
            if (window != c->self && window != c->toolTip && IsWindowVisible(window) && IsWindowEnabled(window))
                c->windows.push_back(window);
            return TRUE;
        }
    } others{window, showing.toolTip, {}};
    const HWND active = GetActiveWindow();
    EnumThreadWindows(GetCurrentThreadId(), &Collect::Add, reinterpret_cast<LPARAM>(&others));
    for (HWND other : others.windows) EnableWindow(other, FALSE);

    // In the middle of the screen's work area, as a dialog box opens.
    RECT area, outer;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(window, &outer);
    SetWindowPos(window, HWND_TOP, area.left + ((area.right - area.left) - (outer.right - outer.left)) / 2,
                 area.top + ((area.bottom - area.top) - (outer.bottom - outer.top)) / 2, 0, 0, SWP_NOSIZE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    if (first) SetFocus(first);

    // Only the window is used from here on: an unload while the dialog is
    // shown destroys it, and the loop then ends without touching the dialog.
    MSG message;
    while (IsWindow(window) && IsWindowVisible(window)) {
        // The wide loop: characters typed into the window's controls reach
        // them as UTF-16, whatever the code page.
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // A quit request belongs to the caller's own loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    for (HWND other : others.windows)
        if (IsWindow(other)) EnableWindow(other, TRUE);
    // The window that was active before gets the input back, as it does
    // when a dialog box closes.
    if (active && IsWindow(active) && IsWindowEnabled(active)) SetActiveWindow(active);
}

}  // namespace tessary
