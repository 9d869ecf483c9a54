// The three keyboard functions that key strokes are made of, behind a small
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
    // VkKeyScanA: low byte the virtual key, high byte the shift state; -1
    // when no key types the character.
    virtual SHORT KeyScan(BYTE character) = 0;
    // MapVirtualKeyA.
    virtual UINT MapKey(UINT code, UINT mapType) = 0;
};

// The platform's own keyboard input.
Keyboard& SystemKeyboard();

}  // namespace tessary
