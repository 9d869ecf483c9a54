// The calling program's cursor and windows, and the name of the Windows
// version.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tessary {

// ShowCursor: takes show (TRUE/FALSE), returns the new display counter.
using CursorCounter = std::function<int(BOOL)>;

// Brings the cursor to visible (`show`) or hidden however often it was shown
// or hidden before: showing repeats until the display counter is 0 or more,
// hiding until it is below 0. At least one call is always made.
void ShowMouse(bool show, const CursorCounter& showCursor = &ShowCursor);

// Starts dragging `window` as if its title bar had been grabbed (to be called
// while the mouse button is down over the window).
void MoveMe(HWND window);

// Switches the window's topmost state; true when the platform did it (also
// when the state was removed).
bool AlwaysOnTop(HWND window, bool onTop);

// "Win95", "Win98", "WinME", "WinNT", "Win2K", "WinXP" or empty, from a
// version record as GetVersionExA fills it.
std::wstring WindowsName(const OSVERSIONINFOA& version);

// Refreshes `record` with GetVersionExA (a failed query leaves the record as
// it was) and names the version.
std::wstring QueryWindowsName(OSVERSIONINFOA& record);

}  // namespace tessary
