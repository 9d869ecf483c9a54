#include "application/keystrokes.h"

namespace tessary {
namespace {

constexpr LONG kShiftKey = VK_SHIFT;  // 0x10
constexpr LONG kShiftBit = 0x0100;    // shift state "Shift" in VkKeyScanA's high byte
constexpr UINT kVirtualKeyToScanCode = 0;

// The character's code in the system ANSI code page, or -1 when it has no
// single-byte code (the character then cannot come from one key).
int AnsiCode(wchar_t character) {
    char bytes[4] = {};
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, &character, 1, bytes, sizeof bytes, nullptr, &lossy);
    if (n != 1 || lossy) return -1;
    return static_cast<unsigned char>(bytes[0]);
}

}  // namespace

void KeyStrokes::SendKey(const std::wstring& keyValue) {
    if (!keyValue.empty()) Stroke(keyValue[0], sendKeyShiftScan_);
}

void KeyStrokes::SendString(const std::wstring& text) {
    for (wchar_t character : text) Stroke(character, sendStringShiftScan_);
}

void KeyStrokes::Stroke(wchar_t character, DWORD& shiftScan) {
    if (shiftScan == 0) shiftScan = keyboard_.MapKey(kShiftKey, kVirtualKeyToScanCode);

    int code = AnsiCode(character);
    // A NUL is no key stroke (its lookup is Ctrl+Shift+2, which without Ctrl
    // would type "@").
    if (code <= 0) return;
    // Widened with its sign: -1 stays -1.
    LONG virtualKey = keyboard_.KeyScan(static_cast<BYTE>(code));
    // No key types the character: nothing is sent, rather than Shift around
    // the reserved key code 0xFF.
    if (virtualKey == -1) return;
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
