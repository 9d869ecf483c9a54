// frmDovetta: Dovetta's only window. Loaded hidden, it waits for Timer1,
// writes the autodial mode through its store, shows the result line for
// 1.5 seconds and unloads itself.
//
//   SSPanel1  sunken 3-D panel filling the window (drawn here; a click closes)
//   Image1    the program icon                    (a click closes)
//   Label1    the result line, MS Sans Serif 12 pt bold (a click closes)
//   Timer1    one-shot, design interval 30000 ms, enabled by Load
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "autodial_store.h"
#include "frame/handles.h"

namespace dovetta {

using StoreFactory = std::function<HRESULT(std::unique_ptr<AutodialStore>*)>;

class frmDovetta {
public:
    // Control identifiers, for whoever looks at the window from outside.
    static constexpr int kPanelId = 101;
    static constexpr int kLabelId = 102;
    static constexpr int kImageId = 103;
    static const wchar_t kClassName[];
    static const wchar_t kTitle[];
    static const wchar_t kDefaultText[];  // "Dial Default Set"
    static const wchar_t kNeverText[];    // "Never Dial Set"

    // `commandLine`: the program's arguments (without the program name).
    frmDovetta(HINSTANCE instance, std::wstring commandLine, StoreFactory createStore);
    ~frmDovetta();
    frmDovetta(const frmDovetta&) = delete;
    frmDovetta& operator=(const frmDovetta&) = delete;

    // Form load: creates the hidden window, then the store, then starts
    // Timer1. A failure is returned and the program must end: without a
    // window (window() is null) or without the store (the window stays
    // hidden and goes with this object).
    HRESULT Load();
    // Releases the store and destroys the window; the thread then gets WM_QUIT.
    void Unload();

    bool loaded() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    long timerInterval() const { return timerInterval_; }

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void RegisterClasses(HINSTANCE instance);

    void CreateControls();
    void Timer1_Timer();
    void ShowAndPause();
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    std::wstring commandLine_;
    StoreFactory createStore_;
    std::unique_ptr<AutodialStore> store_;

    HWND window_ = nullptr;
    HWND SSPanel1 = nullptr;
    HWND Label1 = nullptr;
    HWND Image1 = nullptr;
    long timerInterval_;
    bool started_ = false;  // Load got through: unloading then ends the program

    tessary::UniqueGdiObject labelFont_;
    HICON icon_ = nullptr;  // shared resource icon: never destroyed
};

}  // namespace dovetta
