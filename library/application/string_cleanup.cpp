#include "application/string_cleanup.h"

namespace tessary {
namespace {

// Splits `list` at `at` (a separator position, or npos for "past the end"):
// the item before it is returned, the rest after it stays in `list`.
std::wstring TakeItem(std::wstring& list, size_t at) {
    if (at == std::wstring::npos) {
        // No separator anywhere: the list is its own last item. Searching the
        // whole text (not just the first 32,766 positions a 16-bit counter
        // covers) keeps long lists intact.
        std::wstring item;
        item.swap(list);
        return item;
    }
    std::wstring item = list.substr(0, at);
    list.erase(0, at + 1);
    return item;
}

}  // namespace

std::wstring StripTerminator(const std::wstring& text) {
    size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

std::wstring StripNulls(std::wstring& list) { return TakeItem(list, list.find(L'\0')); }

std::wstring StripItem(std::wstring& list, const std::wstring& parser) {
    if (parser.size() != 1) return TakeItem(list, std::wstring::npos);
    return TakeItem(list, list.find(parser[0]));
}

std::wstring StripBlanks(std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) {
        text.clear();
    } else {
        text.erase(text.find_last_not_of(L' ') + 1);
        text.erase(0, first);
    }
    return text;
}

}  // namespace tessary
