#include "application/keyboard.h"

namespace tessary {
namespace {

class SystemKeyboardImpl final : public Keyboard {
public:
    void KeyEvent(LONG virtualKey, LONG scanCode, DWORD flags) override {
        keybd_event(static_cast<BYTE>(virtualKey & 0xFF), static_cast<BYTE>(scanCode & 0xFF), flags, 0);
    }
    void UnicodeEvent(wchar_t unit, DWORD flags) override {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = unit;
        input.ki.dwFlags = KEYEVENTF_UNICODE | flags;
        SendInput(1, &input, sizeof input);
    }
    SHORT KeyScan(wchar_t character) override { return VkKeyScanW(character); }
    UINT MapKey(UINT code, UINT mapType) override { return MapVirtualKeyW(code, mapType); }
};

// At namespace scope, made when the DLL loads: a function-local static would
// take the run-time's guard for thread-safe initialisation, whose locks the
// posix threads library never gives back when the DLL is unloaded.
SystemKeyboardImpl gKeyboard;

}  // namespace

Keyboard& SystemKeyboard() { return gKeyboard; }

}  // namespace tessary
