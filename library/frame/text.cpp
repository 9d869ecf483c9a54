#include "frame/text.h"

#include <windows.h>

namespace tessary {

AnsiText::AnsiText(const std::wstring& text) {
    // No best fit: the code page's nearest look-alike of a character it
    // lacks is another character (ł becomes l, a fullwidth reverse solidus a
    // path separator), where the default character at least shows the loss.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    int n = 0;
    if (!text.empty()) {
        n = WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    }
    bytes_.assign(static_cast<size_t>(n) + 1, '\0');  // + the second terminator
    if (n > 0) {
        BOOL defaulted = FALSE;
        WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), &bytes_[0], n, nullptr,
                            &defaulted);
        exact_ = !defaulted;
    }
}

std::wstring FromAnsi(const char* bytes, size_t length) {
    if (length == 0) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), &out[0], n);
    return out;
}

std::wstring FromAnsiZ(const char* bytes) {
    size_t n = 0;
    while (bytes[n]) ++n;
    return FromAnsi(bytes, n);
}

}  // namespace tessary
