#include "frm_dovetta.h"

#include <oleauto.h>

#include <memory>
#include <new>
#include <utility>

#include "frame/automation.h"
#include "frame/com_ptr.h"
#include "frame/message_sink.h"
#include "resource.h"
#include "timer_interval.h"

namespace dovetta {

const wchar_t frmDovetta::kClassName[] = L"DovettaForm";
const wchar_t frmDovetta::kTitle[] = L"Dovetta";
const wchar_t frmDovetta::kDefaultText[] = L"Dial Default Set";
const wchar_t frmDovetta::kNeverText[] = L"Never Dial Set";

namespace {

const wchar_t kPanelClass[] = L"DovettaPanel";
constexpr UINT_PTR kTimer1 = 1;
// IDC_ARROW, whose macro is the ANSI one in a build without UNICODE.
const LPCWSTR kArrowCursor = MAKEINTRESOURCEW(32512);
constexpr ULONGLONG kShowMilliseconds = 1500;

// Client-area layout in pixels (the form is fixed-size).
constexpr int kClientWidth = 300;
constexpr int kClientHeight = 64;
constexpr int kMargin = 6;

// A failed step of the timer tick: what the "Timer error: " box reports.
struct TickError {
    std::wstring description;
};

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

struct LocalFreeDeleter {
    void operator()(wchar_t* p) const { LocalFree(p); }
};

// The description of a failure code, as the automation run-time gives it:
// the error object's text when the callee left one, else the system's text.
std::wstring DescribeFailure(HRESULT hr) {
    tessary::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        tessary::Bstr description;
        if (SUCCEEDED(info->GetDescription(description.put())) && description.get()) {
            std::wstring text = tessary::ToWide(description.get());
            if (!text.empty()) return text;
        }
    }
    wchar_t* raw = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
    std::unique_ptr<wchar_t, LocalFreeDeleter> buffer(raw);
    std::wstring text = n && buffer ? Trimmed(std::wstring(buffer.get(), n)) : std::wstring();
    return text.empty() ? L"Automation error" : text;
}

// Dispatches whatever is waiting, without blocking. A WM_QUIT met here is
// put back for the main loop; the result then says to stop waiting.
bool ProcessPendingEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace

frmDovetta::frmDovetta(HINSTANCE instance, std::wstring commandLine, StoreFactory createStore)
    : instance_(instance),
      commandLine_(std::move(commandLine)),
      createStore_(std::move(createStore)),
      timerInterval_(kDesignInterval) {}

frmDovetta::~frmDovetta() {
    if (window_) DestroyWindow(window_);
}

void frmDovetta::RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW form = {sizeof form};
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, kArrowCursor);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kClassName;
    form.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_DOVETTA), IMAGE_ICON, 32, 32, LR_SHARED));
    form.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_DOVETTA), IMAGE_ICON, 16, 16, LR_SHARED));
    RegisterClassExW(&form);  // a second form in the same process finds it registered

    WNDCLASSEXW panel = {sizeof panel};
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, kArrowCursor);
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);
}

HRESULT frmDovetta::Load() {
    RegisterClasses(instance_);
    icon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_DOVETTA), IMAGE_ICON, 32, 32, LR_SHARED));

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;

    // Hidden until the tick: the program does its waiting out of sight.
    if (!CreateWindowExW(0, kClassName, kTitle, style, x, y, width, height, nullptr, nullptr, instance_, this)) {
        // Wine without a display fails here, after WM_NCCREATE, with no
        // error code at all.
        const DWORD error = GetLastError();
        window_ = nullptr;
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    CreateControls();

    HRESULT hr = createStore_ ? createStore_(&store_) : E_POINTER;
    if (FAILED(hr)) return hr;
    if (!store_) return E_POINTER;
    started_ = true;

    timerInterval_ = StartupInterval(commandLine_);
    SetTimer(window_, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    return S_OK;
}

void frmDovetta::CreateControls() {
    const int panelWidth = kClientWidth - 2 * kMargin;
    const int panelHeight = kClientHeight - 2 * kMargin;
    SSPanel1 = CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kMargin, kMargin,
                               panelWidth, panelHeight, window_, reinterpret_cast<HMENU>(kPanelId), instance_,
                               nullptr);

    const int imageSize = 32;
    const int inset = (panelHeight - imageSize) / 2;
    Image1 = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON | SS_NOTIFY, inset, inset,
                             imageSize, imageSize, SSPanel1, reinterpret_cast<HMENU>(kImageId), instance_,
                             nullptr);
    if (icon_) SendMessageW(Image1, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    // SS_ICON sizes the control to the icon; keep the designed box.
    SetWindowPos(Image1, nullptr, inset, inset, imageSize, imageSize, SWP_NOZORDER | SWP_NOACTIVATE);

    const int labelLeft = inset + imageSize + inset;
    Label1 = CreateWindowExW(0, L"STATIC", kDefaultText,
                             WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY, labelLeft, inset,
                             panelWidth - labelLeft - inset, imageSize, SSPanel1,
                             reinterpret_cast<HMENU>(kLabelId), instance_, nullptr);
    {
        tessary::WindowDc screen(nullptr);
        const int height = -MulDiv(12, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
        labelFont_.reset(CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
    }
    if (labelFont_) SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
}

void frmDovetta::Unload() {
    if (window_) DestroyWindow(window_);  // WM_DESTROY releases the store
}

void frmDovetta::Timer1_Timer() {
    std::wstring error;
    try {
        KillTimer(window_, kTimer1);

        const bool never = WantsNeverDial(commandLine_);
        auto write = [this](const wchar_t* name, short value) {
            if (!store_) throw TickError{L"Object variable or With block variable not set"};
            HRESULT hr = store_->Write(name, value);
            if (FAILED(hr)) throw TickError{DescribeFailure(hr)};
        };
        write(L"EnableAutodial", never ? 0 : 1);
        write(L"NoNetAutodial", never ? 1 : 0);
        SetWindowTextW(Label1, never ? kNeverText : kDefaultText);

        ShowAndPause();
        Unload();
    } catch (const TickError& e) {
        error = e.description.empty() ? L"Automation error" : e.description;
    } catch (const std::bad_alloc&) {
        error = L"Out of memory";
    }
    if (error.empty()) return;

    tessary::ShowMessage(L"Timer error: " + error, MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
    // The form stays loaded after a failed tick and closes on a click. A
    // window that was never shown could not be clicked, and the hidden
    // program would keep the single-instance lock for good: show it.
    if (window_ && !IsWindowVisible(window_)) {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
}

void frmDovetta::ShowAndPause() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    UpdateWindow(window_);
    if (!ProcessPendingEvents()) return;

    // Wait on the message queue rather than spin: the window paints and
    // answers clicks, and a click that unloads the form ends the pause.
    const ULONGLONG start = GetTickCount64();
    while (window_) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= kShowMilliseconds) break;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(kShowMilliseconds - elapsed), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        if (!ProcessPendingEvents()) break;
    }
}

LRESULT frmDovetta::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer1) {
            Timer1_Timer();
            return 0;
        }
        break;
    case WM_COMMAND:
        // STN_CLICKED from the label or the picture (through the panel), or
        // the panel's own click.
        if (HIWORD(wParam) == STN_CLICKED) {
            const int id = LOWORD(wParam);
            if (id == kLabelId || id == kImageId || id == kPanelId) {
                Unload();
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        Unload();
        return 0;
    case WM_DESTROY:
        KillTimer(window_, kTimer1);
        store_.reset();  // the object is released when the form unloads
        window_ = nullptr;
        SSPanel1 = Label1 = Image1 = nullptr;
        if (started_) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK frmDovetta::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<frmDovetta*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<frmDovetta*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form || form->window_ != window) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return form->Handle(message, wParam, lParam);
}

// The 3-D panel: a sunken bevel on the button face, drawn here. It hands its
// children's notifications and its own click to the form.
LRESULT CALLBACK frmDovetta::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills everything
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT bounds;
        GetClientRect(window, &bounds);
        FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &bounds, EDGE_SUNKEN, BF_RECT);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_COMMAND:
        return SendMessageW(GetParent(window), WM_COMMAND, wParam, lParam);
    case WM_LBUTTONDOWN:
        SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(kPanelId, STN_CLICKED),
                     reinterpret_cast<LPARAM>(window));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace dovetta
