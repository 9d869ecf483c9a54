// Synthesised typing: one key stroke per character, with Shift pressed
// around the key only where the character needs it.
#pragma once
#include <string>

#include "application/keyboard.h"

namespace tessary {

class KeyStrokes {
public:
    explicit KeyStrokes(Keyboard& keyboard) : keyboard_(keyboard) {}

    // One key stroke for the first character of `keyValue`; the rest is
    // ignored (there is no key-name syntax). An empty text sends nothing.
    void SendKey(const std::wstring& keyValue);
    // One key stroke per character, in order.
    void SendString(const std::wstring& text);

private:
    // The stroke for one character. `shiftScan` is the caller's cache of the
    // Shift key's scan code, 0 until it is known.
    void Stroke(wchar_t character, DWORD& shiftScan);

    Keyboard& keyboard_;
    // Each member keeps its own cache, filled by its first stroke and kept
    // for the life of the object.
    DWORD sendKeyShiftScan_ = 0;
    DWORD sendStringShiftScan_ = 0;
};

}  // namespace tessary
