// String clean-up: where each function cuts, what stays in the caller's
// list, and texts longer than 16-bit positions reach.
#include <gtest/gtest.h>

#include "application/string_cleanup.h"

using namespace tessary;

namespace {

const std::wstring kNul(1, L'\0');

TEST(StringCleanup, TerminatorAndBlanks) {
    EXPECT_EQ(L"abc", StripTerminator(L"abc"));
    EXPECT_EQ(L"", StripTerminator(kNul + L"abc"));
    EXPECT_EQ(L"C:\\windows", StripTerminator(L"C:\\windows" + kNul + std::wstring(244, L' ')));
    std::wstring longText(40000, L'x');
    EXPECT_EQ(longText, StripTerminator(longText + kNul + L"tail")) << "a NUL beyond 32,767 still cuts";

    for (auto [in, out] : {std::pair<std::wstring, std::wstring>{L"  a b  ", L"a b"}, {L"   ", L""}, {L"", L""},
                           {L"\ta\t", L"\ta\t"}, {L" " + kNul + L"x ", kNul + L"x"}}) {
        EXPECT_EQ(out, StripBlanks(in));
        EXPECT_EQ(out, in) << "the caller's text is trimmed too";
    }
    std::wstring spaced = std::wstring(100000, L' ') + L"x" + std::wstring(100000, L' ');
    EXPECT_EQ(L"x", StripBlanks(spaced));
}

TEST(StringCleanup, StripNullsTakesOneItemPerCall) {
    std::wstring list = L"ab" + kNul + L"cd" + kNul;
    EXPECT_EQ(L"ab", StripNulls(list));
    EXPECT_EQ(L"cd" + kNul, list);
    EXPECT_EQ(L"cd", StripNulls(list));
    EXPECT_EQ(L"", list);
    EXPECT_EQ(L"", StripNulls(list));

    list = kNul + L"x";
    EXPECT_EQ(L"", StripNulls(list));
    EXPECT_EQ(L"x", list);
    // No NUL at all: the list is its own last item, and the list is emptied.
    EXPECT_EQ(L"x", StripNulls(list));
    EXPECT_EQ(L"", list);
    std::wstring first(100000, L'a');
    list = first + kNul + L"second";
    EXPECT_EQ(first, StripNulls(list));
    EXPECT_EQ(L"second", list);
}

TEST(StringCleanup, StripItemMatchesOneCharacterExactly) {
    std::wstring list = L"a,b";
    EXPECT_EQ(L"a", StripItem(list, L","));
    EXPECT_EQ(L"b", list);
    list = L"aXbxc";
    EXPECT_EQ(L"aXb", StripItem(list, L"x")) << "letter case matters";
    EXPECT_EQ(L"c", list);
    // An empty or multi-character parser never matches: the whole list is
    // the item and the list is emptied, so a loop over it ends.
    for (const wchar_t* parser : {L"", L", "}) {
        list = L"a, b";
        EXPECT_EQ(L"a, b", StripItem(list, parser));
        EXPECT_EQ(L"", list);
    }
    std::wstring head(50000, L'h');
    list = head + L";rest";
    EXPECT_EQ(head, StripItem(list, L";"));
    EXPECT_EQ(L"rest", list);
}

}  // namespace
