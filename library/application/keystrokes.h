// Synthesised typing: one key stroke per character, with Shift pressed
// around the key only where the character needs it. A character that no key
// of the layout types is sent as the character itself (a Unicode key event
// per UTF-16 unit).
#pragma once
#include <string>

#include "application/keyboard.h"

namespace tessary {

class KeyStrokes {
public:
    explicit KeyStrokes(Keyboard& keyboard) : keyboard_(keyboard) {}

    // One key stroke for the first character of `keyValue` (both units of a
    // surrogate pair); the rest is ignored (there is no key-name syntax). An
    // empty text sends nothing.
    void SendKey(const std::wstring& keyValue);
    // One key stroke per character, in order.
    void SendString(const std::wstring& text);

private:
    // The stroke for one UTF-16 unit. `shiftScan` is the caller's cache of the
    // Shift key's scan code, 0 until it is known.
    void Stroke(wchar_t character, DWORD& shiftScan);

    Keyboard& keyboard_;
    // Each member keeps its own cache, filled by its first stroke and kept
    // for the life of the object.
    DWORD sendKeyShiftScan_ = 0;
    DWORD sendStringShiftScan_ = 0;
};

}  // namespace tessary
