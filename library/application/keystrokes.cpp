#include "application/keystrokes.h"

namespace tessary {
namespace {

constexpr LONG kShiftKey = VK_SHIFT;  // 0x10
constexpr LONG kShiftBit = 0x0100;    // shift state "Shift" in VkKeyScanW's high byte
constexpr UINT kVirtualKeyToScanCode = 0;

}  // namespace

void KeyStrokes::SendKey(const std::wstring& keyValue) {
    if (keyValue.empty()) return;
    Stroke(keyValue[0], sendKeyShiftScan_);
    // A character beyond the 16-bit range is a pair of units: both go.
    if (IS_HIGH_SURROGATE(keyValue[0]) && keyValue.size() > 1 && IS_LOW_SURROGATE(keyValue[1]))
        Stroke(keyValue[1], sendKeyShiftScan_);
}

void KeyStrokes::SendString(const std::wstring& text) {
    for (wchar_t character : text) Stroke(character, sendStringShiftScan_);
}

void KeyStrokes::Stroke(wchar_t character, DWORD& shiftScan) {
    if (shiftScan == 0) shiftScan = keyboard_.MapKey(kShiftKey, kVirtualKeyToScanCode);

    // A NUL is no key stroke (its lookup is Ctrl+Shift+2, which without Ctrl
    // would type "@").
    if (character == L'\0') return;
    // Widened with its sign: -1 stays -1.
    LONG virtualKey = keyboard_.KeyScan(character);
    // No key of the layout types the character (or it is half of a
    // surrogate pair): it goes as the character itself, which the focused
    // window receives as typed text, rather than as Shift around the reserved
    // key code 0xFF.
    if (virtualKey == -1) {
        keyboard_.UnicodeEvent(character, 0);
        keyboard_.UnicodeEvent(character, KEYEVENTF_KEYUP);
        return;
    }
    // The whole value goes to the lookup, shift state included; for shifted
    // characters the platform then reports no scan code, and the key events
    // still type the right character.
    LONG scan = static_cast<LONG>(keyboard_.MapKey(static_cast<UINT>(virtualKey), kVirtualKeyToScanCode));
    const bool shifted = (virtualKey & kShiftBit) != 0;
    const LONG shiftScanCode = static_cast<LONG>(shiftScan);

    if (shifted) keyboard_.KeyEvent(kShiftKey, shiftScanCode, 0);
    keyboard_.KeyEvent(virtualKey, scan, 0);
    keyboard_.KeyEvent(virtualKey, scan, KEYEVENTF_KEYUP);
    if (shifted) keyboard_.KeyEvent(kShiftKey, shiftScanCode, KEYEVENTF_KEYUP);
}

}  // namespace tessary
