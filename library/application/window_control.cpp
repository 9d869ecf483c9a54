#include "application/window_control.h"

namespace tessary {

void ShowMouse(bool show, const CursorCounter& showCursor) {
    // A counter that stops moving would keep the loop going for ever; the
    // platform's moves one step per call, so this never cuts a real run short.
    int previous = 0;
    bool first = true;
    for (;;) {
        int counter = showCursor(show ? TRUE : FALSE);
        if (show ? counter >= 0 : counter < 0) return;
        if (!first && counter == previous) return;
        previous = counter;
        first = false;
    }
}

void MoveMe(HWND window) {
    ReleaseCapture();
    // Only a real window: 0xFFFF (HWND_BROADCAST) would hand the title-bar
    // grab to every top-level window of the session.
    if (!IsWindow(window)) return;
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

bool AlwaysOnTop(HWND window, bool onTop) {
    return SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE) != 0;
}

std::wstring WindowsName(const OSVERSIONINFOA& version) {
    // Each later match replaces the earlier one.
    std::wstring name;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        name = L"Win95";
        if (version.dwMinorVersion == 10) name = L"Win98";
        if (version.dwMinorVersion == 90) name = L"WinME";
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        name = L"WinNT";
        if (version.dwMajorVersion == 5) name = L"Win2K";
        if (version.dwMinorVersion > 0) name = L"WinXP";
    }
    return name;
}

std::wstring QueryWindowsName(OSVERSIONINFOA& record) {
    record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
    GetVersionExA(&record);
    return WindowsName(record);
}

}  // namespace tessary
