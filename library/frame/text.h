// Text between automation strings (UTF-16) and the platform's 8-bit calls.
#pragma once
#include <string>

namespace tessary {

// The text in the system ANSI code page, character for character, embedded
// NULs included, followed by two zero bytes that are not part of size():
// data() can go to a call that expects a NUL-terminated string or a name
// list ended by an empty name.
class AnsiText {
public:
    explicit AnsiText(const std::wstring& text);
    const char* c_str() const { return bytes_.c_str(); }
    char* data() { return &bytes_[0]; }
    size_t size() const { return bytes_.size() - 1; }  // without the second zero byte

private:
    std::string bytes_;
};

// Converts exactly `length` bytes (NULs included) back to UTF-16.
std::wstring FromAnsi(const char* bytes, size_t length);
// Converts up to the first NUL.
std::wstring FromAnsiZ(const char* bytes);

}  // namespace tessary
