#include "application/keyboard.h"

namespace tessary {
namespace {

class SystemKeyboardImpl final : public Keyboard {
public:
    void KeyEvent(LONG virtualKey, LONG scanCode, DWORD flags) override {
        keybd_event(static_cast<BYTE>(virtualKey & 0xFF), static_cast<BYTE>(scanCode & 0xFF), flags, 0);
    }
    SHORT KeyScan(BYTE character) override { return VkKeyScanA(static_cast<CHAR>(character)); }
    UINT MapKey(UINT code, UINT mapType) override { return MapVirtualKeyA(code, mapType); }
};

// At namespace scope, made when the DLL loads: a function-local static would
// take the run-time's guard for thread-safe initialisation, whose locks the
// posix threads library never gives back when the DLL is unloaded.
SystemKeyboardImpl gKeyboard;

}  // namespace

Keyboard& SystemKeyboard() { return gKeyboard; }

}  // namespace tessary
