// The string clean-up functions: where they cut, what they leave in the
// caller's list, and the long and NUL-laden texts that 16-bit counters
// could not cover.
#include <gtest/gtest.h>

#include "application/string_cleanup.h"

using namespace tessary;

namespace {

const std::wstring kNul(1, L'\0');

TEST(StripTerminator, CutsAtTheFirstNulWhereverItIs) {
    EXPECT_EQ(L"abc", StripTerminator(L"abc"));
    EXPECT_EQ(L"", StripTerminator(kNul + L"abc"));
    EXPECT_EQ(L"ab", StripTerminator(L"ab" + kNul + L"cd" + kNul));
    // A platform buffer: text, its NUL, then the untouched spaces.
    EXPECT_EQ(L"C:\\windows", StripTerminator(L"C:\\windows" + kNul + std::wstring(244, L' ')));
    // Beyond what a 16-bit position can hold: still cut, not returned whole.
    std::wstring longText(40000, L'x');
    EXPECT_EQ(longText, StripTerminator(longText + kNul + L"tail"));
}

TEST(StripNulls, TakesOneItemPerCallAndShortensTheList) {
    std::wstring list = L"ab" + kNul + L"cd" + kNul;
    EXPECT_EQ(L"ab", StripNulls(list));
    EXPECT_EQ(L"cd" + kNul, list);
    EXPECT_EQ(L"cd", StripNulls(list));
    EXPECT_EQ(L"", list);

    list = kNul + L"x";
    EXPECT_EQ(L"", StripNulls(list));
    EXPECT_EQ(L"x", list);

    // A drive list: one root per call, then the lone closing NUL.
    list = L"A:\\" + kNul + L"D:\\" + kNul + kNul;
    std::vector<std::wstring> roots;
    while (!list.empty() && list != kNul) roots.push_back(StripNulls(list));
    EXPECT_EQ((std::vector<std::wstring>{L"A:\\", L"D:\\"}), roots);
    EXPECT_EQ(L"", StripNulls(list));
    EXPECT_EQ(L"", list);
}

TEST(StripNulls, ListWithoutNulIsItsOwnLastItem) {
    std::wstring list = L"last";
    EXPECT_EQ(L"last", StripNulls(list));
    EXPECT_EQ(L"", list);
    list.clear();
    EXPECT_EQ(L"", StripNulls(list));
    EXPECT_EQ(L"", list);
    // Separators far beyond position 32,766 are still found.
    std::wstring first(100000, L'a');
    list = first + kNul + L"second";
    EXPECT_EQ(first, StripNulls(list));
    EXPECT_EQ(L"second", list);
}

TEST(StripItem, SplitsAtAOneCharacterSeparatorOnly) {
    std::wstring list = L"a,b";
    EXPECT_EQ(L"a", StripItem(list, L","));
    EXPECT_EQ(L"b", list);
    EXPECT_EQ(L"b", StripItem(list, L","));
    EXPECT_EQ(L"", list);

    // Exact comparison: letter case matters.
    list = L"aXbxc";
    EXPECT_EQ(L"aXb", StripItem(list, L"x"));
    EXPECT_EQ(L"c", list);

    // An empty parser and a parser of two characters never match: the whole
    // list is the item and the list is emptied (so a loop over it ends).
    for (const wchar_t* parser : {L"", L", "}) {
        list = L"a, b, c";
        EXPECT_EQ(L"a, b, c", StripItem(list, parser)) << "parser '" << parser << "'";
        EXPECT_EQ(L"", list);
    }
    list.clear();
    EXPECT_EQ(L"", StripItem(list, L","));

    std::wstring head(50000, L'h');
    list = head + L";" + L"rest";
    EXPECT_EQ(head, StripItem(list, L";"));
    EXPECT_EQ(L"rest", list);
}

TEST(StripBlanks, RemovesOnlyLeadingAndTrailingSpaces) {
    struct Case { std::wstring in, out; } cases[] = {
        {L"  a b  ", L"a b"},
        {L"     ", L""},
        {L"", L""},
        {L"\ta\t", L"\ta\t"},
        {L" " + kNul + L"x" + kNul + L" ", kNul + L"x" + kNul},
    };
    for (Case& c : cases) {
        std::wstring text = c.in;
        EXPECT_EQ(c.out, StripBlanks(text));
        EXPECT_EQ(c.out, text) << "the caller's text is trimmed too";
    }
    std::wstring spaces(100000, L' ');
    std::wstring text = spaces + L"x" + spaces;
    EXPECT_EQ(L"x", StripBlanks(text));
}

}  // namespace
