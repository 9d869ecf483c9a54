// The keyboard functions that key strokes are made of, behind a small
// interface so that tests can record exactly what would be sent.
#pragma once
#include <windows.h>

namespace tessary {

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // keybd_event: the key and scan code travel as 32-bit values of which
    // the platform uses the low byte; the extra information is always 0.
    virtual void KeyEvent(LONG virtualKey, LONG scanCode, DWORD flags) = 0;
    // A key event that carries one UTF-16 unit instead of a key (SendInput
    // with KEYEVENTF_UNICODE, plus KEYEVENTF_KEYUP in `flags` for the release).
    virtual void UnicodeEvent(wchar_t unit, DWORD flags) = 0;
    // VkKeyScanW: low byte the virtual key, high byte the shift state; -1
    // when no key of the layout types the character.
    virtual SHORT KeyScan(wchar_t character) = 0;
    // MapVirtualKeyW.
    virtual UINT MapKey(UINT code, UINT mapType) = 0;
};

// The platform's own keyboard input.
Keyboard& SystemKeyboard();

}  // namespace tessary
