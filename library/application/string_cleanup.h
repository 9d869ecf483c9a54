// Tidying strings that come back from 8-bit platform calls or that hold a
// list of items. Pure functions over UTF-16 code units: one character is one
// 16-bit unit, comparisons are exact and case-sensitive.
#pragma once
#include <string>

namespace tessary {

// The text before the first NUL; the whole text when it has none.
std::wstring StripTerminator(const std::wstring& text);

// Takes the first item off a NUL-separated list: returns the text before the
// first NUL and leaves `list` holding what follows that NUL. A list without
// any NUL is its own last item: it is returned whole and `list` becomes empty.
std::wstring StripNulls(std::wstring& list);

// As StripNulls with a caller-chosen one-character separator. The list is
// read one character at a time and each character is compared with the whole
// of `parser`, so a parser of two or more characters never matches (the
// whole list is returned and `list` emptied), and an empty parser matches
// only past the end (the same outcome).
std::wstring StripItem(std::wstring& list, const std::wstring& parser);

// Removes leading and trailing spaces (U+0020 only) from `text` and returns
// the trimmed text.
std::wstring StripBlanks(std::wstring& text);

}  // namespace tessary
