// Text between automation strings (UTF-16) and the platform.
//
// The library hands text to the platform's wide (UTF-16) functions, so every
// character a client passes reaches the platform as it is. The few places
// that hold 8-bit text by definition (the mixer's device records) convert
// here, and never with the code page's "best fit": a character the code page
// lacks becomes the code page's default character, never another character
// (a fullwidth reverse solidus must not become a path separator).
#pragma once
#include <string>

namespace tessary {

// The text followed by two NULs (the second one c_str()'s): the platform
// reads it as a NUL-terminated string, or, where it expects a list of names
// ended by an empty name, as a list of the names its own NULs separate.
inline std::wstring NameList(std::wstring text) {
    text.push_back(L'\0');
    return text;
}

// The text in the system ANSI code page, character for character, embedded
// NULs included, followed by two zero bytes that are not part of size():
// data() can go to a call that expects a NUL-terminated string or a name
// list ended by an empty name. A character without an exact equivalent in
// the code page becomes its default character, and exact() is false.
class AnsiText {
public:
    explicit AnsiText(const std::wstring& text);
    const char* c_str() const { return bytes_.c_str(); }
    char* data() { return &bytes_[0]; }
    size_t size() const { return bytes_.size() - 1; }  // without the second zero byte
    bool exact() const { return exact_; }

private:
    std::string bytes_;
    bool exact_ = true;
};

// Converts exactly `length` bytes (NULs included) back to UTF-16.
std::wstring FromAnsi(const char* bytes, size_t length);
// Converts up to the first NUL.
std::wstring FromAnsiZ(const char* bytes);

}  // namespace tessary
