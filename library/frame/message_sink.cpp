#include "frame/message_sink.h"

#include <cstdio>
#include <string>

namespace tessary {
namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring EscapeLineBreaks(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\t') out += L"\\t";
        else if (c == L'\0') out += L"\\0";
        else out += c;
    }
    return out;
}

std::wstring RecordPath() {
    wchar_t buffer[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"TESSARY_MESSAGE_LOG", buffer, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return std::wstring();
    return std::wstring(buffer, n);
}

}  // namespace

int ShowMessage(const std::wstring& text, UINT style, const std::wstring& caption) {
    std::wstring path = RecordPath();
    if (path.empty()) return MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), style);

    std::string line = std::to_string(style) + "\t" + ToUtf8(EscapeLineBreaks(caption)) + "\t" +
                       ToUtf8(EscapeLineBreaks(text)) + "\n";
    if (FILE* f = _wfopen(path.c_str(), L"ab")) {
        fwrite(line.data(), 1, line.size(), f);
        fclose(f);
    }
    return IDOK;
}

}  // namespace tessary
