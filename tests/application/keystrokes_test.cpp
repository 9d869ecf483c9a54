// The key events of SendKey and SendString, recorded through a keyboard
// double that answers lookups like a US layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "application/keystrokes.h"

using namespace tessary;

namespace {

using Events = std::vector<std::string>;

class RecordingKeyboard : public Keyboard {
public:
    void KeyEvent(LONG key, LONG scan, DWORD flags) override {
        char text[40];
        snprintf(text, sizeof text, "%s %lx %lx", flags & KEYEVENTF_KEYUP ? "up" : "down", key, scan);
        events.push_back(text);
    }
    void UnicodeEvent(wchar_t unit, DWORD flags) override {
        char text[40];
        snprintf(text, sizeof text, "%s U+%04X", flags & KEYEVENTF_KEYUP ? "up" : "down", unsigned(unit));
        events.push_back(text);
    }
    SHORT KeyScan(wchar_t character) override {
        auto found = keys.find(character);
        return found == keys.end() ? -1 : found->second;
    }
    UINT MapKey(UINT code, UINT type) override {
        lookups.push_back(code);
        if (code == VK_SHIFT) return shiftScan;
        return code <= 0xFF ? (code & 0x7F) : 0;  // a whole value with a shift state has no scan code
    }
    long ShiftLookups() const { return std::count(lookups.begin(), lookups.end(), UINT(VK_SHIFT)); }

    std::map<wchar_t, SHORT> keys = {{'a', 0x41}, {'A', 0x141}, {'b', 0x42}, {'B', 0x142}, {'!', 0x131}, {0, 0x332}};
    UINT shiftScan = 0x2A;
    Events events;
    std::vector<UINT> lookups;
};

TEST(KeyStrokes, ShiftOnlyAroundCharactersThatNeedIt) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    keys.SendKey(L"A");
    EXPECT_EQ((Events{"down 10 2a", "down 141 0", "up 141 0", "up 10 2a"}), keyboard.events);
    EXPECT_EQ((std::vector<UINT>{VK_SHIFT, 0x141}), keyboard.lookups) << "scan lookup of the whole value";
    keyboard.events.clear();
    keys.SendString(L"a!b");
    EXPECT_EQ((Events{"down 41 41", "up 41 41", "down 10 2a", "down 131 0", "up 131 0", "up 10 2a", "down 42 42",
                      "up 42 42"}),
              keyboard.events);
}

TEST(KeyStrokes, SendKeyTypesOneCharacterAndUntypeableOnesGoAsThemselves) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    keys.SendKey(L"ab");
    EXPECT_EQ((Events{"down 41 41", "up 41 41"}), keyboard.events) << "as with a alone";
    keys.SendKey(L"");
    keys.SendString(L"");
    EXPECT_EQ(2u, keyboard.events.size()) << "empty texts send nothing";
    // 'z' is not on this layout (-1), U+4E00 is on none; each goes as the
    // character, a surrogate pair unit by unit; a NUL (Shift+2 on the
    // layout) is no key stroke at all.
    keyboard.events.clear();
    keys.SendString(std::wstring(L"z\x4E00\U0001F600") + L'\0');
    keys.SendKey(L"\U0001F600tail");
    const Events pair = {"down U+D83D", "up U+D83D", "down U+DE00", "up U+DE00"};
    Events expected = {"down U+007A", "up U+007A", "down U+4E00", "up U+4E00"};
    expected.insert(expected.end(), pair.begin(), pair.end());
    expected.insert(expected.end(), pair.begin(), pair.end());
    EXPECT_EQ(expected, keyboard.events);
}

TEST(KeyStrokes, EachMemberKeepsItsOwnShiftCache) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    keys.SendKey(L"A");
    keys.SendKey(L"B");
    EXPECT_EQ(1, keyboard.ShiftLookups());
    keys.SendString(L"AB");
    keys.SendString(L"A");
    EXPECT_EQ(2, keyboard.ShiftLookups()) << "SendString does not read SendKey's cache";

    RecordingKeyboard noScan;  // a Shift lookup that finds nothing leaves the cache to be filled next time
    noScan.shiftScan = 0;
    KeyStrokes other(noScan);
    other.SendKey(L"A");
    other.SendKey(L"A");
    EXPECT_EQ(2, noScan.ShiftLookups());
    EXPECT_EQ("down 10 0", noScan.events[0]);

    keyboard.events.clear();
    keys.SendString(std::wstring(100000, L'a'));
    EXPECT_EQ(200000u, keyboard.events.size()) << "long texts are typed whole";
}

}  // namespace
