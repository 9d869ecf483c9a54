// The key events of SendKey and SendString, recorded through a keyboard
// double that answers the lookups like a US layout.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "application/keystrokes.h"

using namespace tessary;

namespace {

constexpr LONG kShiftScan = 0x2A;

class RecordingKeyboard : public Keyboard {
public:
    void KeyEvent(LONG virtualKey, LONG scanCode, DWORD flags) override {
        std::ostringstream s;
        s << std::hex << (flags & KEYEVENTF_KEYUP ? "up " : "down ") << virtualKey << ' ' << scanCode;
        events.push_back(s.str());
    }
    SHORT KeyScan(BYTE character) override {
        auto found = keys.find(character);
        return found == keys.end() ? -1 : found->second;
    }
    UINT MapKey(UINT code, UINT mapType) override {
        lookups.push_back(code);
        EXPECT_EQ(0u, mapType);
        if (code == VK_SHIFT) return shiftScan;
        return code <= 0xFF ? (code & 0x7F) : 0;  // whole values with a shift state have no scan code
    }

    std::map<BYTE, SHORT> keys = {{'a', 0x41}, {'A', 0x141}, {'b', 0x42}, {'B', 0x142}, {'1', 0x31}, {'!', 0x131},
                                  {0, 0x332}};
    UINT shiftScan = kShiftScan;
    std::vector<std::string> events;
    std::vector<UINT> lookups;
};

using Events = std::vector<std::string>;

TEST(KeyStrokes, ShiftOnlyAroundCharactersThatNeedIt) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    keys.SendKey(L"A");
    EXPECT_EQ((Events{"down 10 2a", "down 141 0", "up 141 0", "up 10 2a"}), keyboard.events);
    // The scan code lookup gets the whole value, shift state included.
    EXPECT_EQ((std::vector<UINT>{VK_SHIFT, 0x141}), keyboard.lookups);

    keyboard.events.clear();
    keys.SendKey(L"a");
    EXPECT_EQ((Events{"down 41 41", "up 41 41"}), keyboard.events);

    keyboard.events.clear();
    keys.SendString(L"a!1");
    EXPECT_EQ((Events{"down 41 41", "up 41 41", "down 10 2a", "down 131 0", "up 131 0", "up 10 2a",
                      "down 31 31", "up 31 31"}),
              keyboard.events);
}

TEST(KeyStrokes, SendKeyTypesTheFirstCharacterOnly) {
    RecordingKeyboard one, two;
    KeyStrokes first(one), second(two);
    first.SendKey(L"ab");
    second.SendKey(L"a");
    EXPECT_EQ(two.events, one.events);
    EXPECT_EQ((Events{"down 41 41", "up 41 41"}), one.events);

    // Nothing to type: nothing sent, not even a lookup.
    RecordingKeyboard empty;
    KeyStrokes keys(empty);
    keys.SendKey(L"");
    keys.SendString(L"");
    EXPECT_TRUE(empty.events.empty());
    EXPECT_TRUE(empty.lookups.empty());
}

TEST(KeyStrokes, CharactersNoKeyTypesSendNothing) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    // 'z' is not on the double's layout (-1), U+4E00 has no ANSI code, and
    // NUL would come out as Shift+2.
    keys.SendString(std::wstring(L"z") + L'\x4E00' + L'\0' + L"b");
    EXPECT_EQ((Events{"down 42 42", "up 42 42"}), keyboard.events);
    keys.SendKey(L"z");
    EXPECT_EQ(2u, keyboard.events.size());
}

TEST(KeyStrokes, EachMemberKeepsItsOwnShiftCache) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    auto shiftLookups = [&] { return std::count(keyboard.lookups.begin(), keyboard.lookups.end(), UINT(VK_SHIFT)); };
    keys.SendKey(L"A");
    keys.SendKey(L"B");
    EXPECT_EQ(1, shiftLookups()) << "SendKey fills its cache once";
    keys.SendString(L"AB");
    EXPECT_EQ(2, shiftLookups()) << "SendString does not read SendKey's cache";
    keys.SendString(L"A");
    EXPECT_EQ(2, shiftLookups());

    // A lookup that finds no scan code leaves the cache empty: asked again next time.
    RecordingKeyboard noShift;
    noShift.shiftScan = 0;
    KeyStrokes other(noShift);
    other.SendKey(L"A");
    other.SendKey(L"A");
    EXPECT_EQ(2, std::count(noShift.lookups.begin(), noShift.lookups.end(), UINT(VK_SHIFT)));
    EXPECT_EQ("down 10 0", noShift.events[0]);
}

TEST(KeyStrokes, LongTextIsTypedWhole) {
    RecordingKeyboard keyboard;
    KeyStrokes keys(keyboard);
    keys.SendString(std::wstring(100000, L'a'));
    EXPECT_EQ(200000u, keyboard.events.size());
    EXPECT_EQ("up 41 41", keyboard.events.back());
}

}  // namespace
