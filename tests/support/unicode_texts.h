// The texts every Unicode test runs through the library: inside and outside
// the system code page (the tests run under code pages 1252 and 932), a
// surrogate pair, and the fullwidth look-alikes of the path separators, the
// quotation mark and the wildcards, which a best-fit conversion to 8 bits
// would turn into the real ones.
#pragma once
#include <string>
#include <vector>

namespace tessary::test {

struct UnicodeText {
    const char* label;     // for failure messages
    std::wstring text;     // usable as a file, key or value name
    bool lookalike;        // holds a fullwidth separator, quotation mark or wildcard
};

inline const std::vector<UnicodeText>& UnicodeTexts() {
    static const std::vector<UnicodeText> texts = {
        {"ascii", L"Plain name", false},
        {"latin1", L"Caf\u00e9 cr\u00e8me", false},                    // in 1252, not in 932
        {"polish", L"Zo\u0142te \u017c\u00f3\u0142wie", false},        // in neither; best fit makes l and z
        {"greek", L"\u03a9mega \u03b1\u03b2", false},                 // in 932, not in 1252 (best fit O)
        {"japanese", L"\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8", false},  // in 932 only
        {"emoji", L"Smile \U0001F600", false},                        // a surrogate pair: in no code page
        {"mixed", L"\u65e5\u672c Zo\u0142te \u03a9 \U0001F600", false},
        {"fullwidth reverse solidus", L"up\uff3c..\uff3cout", true},  // best fit: a reverse solidus
        {"fullwidth solidus", L"up\uff0f..\uff0fout", true},          // best fit: a solidus
        {"fullwidth quotation mark", L"say \uff02hi\uff02", true},    // best fit: a quotation mark
        {"fullwidth wildcards", L"any\uff0a\uff1f", true},            // best fit: * and ?
    };
    return texts;
}

// A text with an embedded NUL, for the members that take one.
inline std::wstring TextWithNul() { return std::wstring(L"before") + L'\0' + L"after \u0142\U0001F600"; }

}  // namespace tessary::test
