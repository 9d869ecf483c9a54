#include "printdialog/copies_text.h"

#include <cstdint>
#include <cstdlib>

#include "frame/errors.h"
#include "frame/rounding.h"

namespace tessary {

double LeadingNumber(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\n' || text[i] == L'\r')) ++i;
    std::string number;  // ASCII only: what strtod reads
    bool digits = false, point = false, exponent = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) number += static_cast<char>(text[i++]);
    for (; i < text.size(); ++i) {
        const wchar_t wide = text[i];
        if (wide == L' ' || wide == L'\t') continue;
        if (wide > 0x7F) break;
        const char c = static_cast<char>(wide);
        if (c >= '0' && c <= '9') {
            number += c;
            digits = true;
        } else if (c == '.' && !point && !exponent) {
            number += c;
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exponent) {
            size_t j = i + 1;
            std::string tail = "e";
            if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) tail += static_cast<char>(text[j++]);
            if (j >= text.size() || text[j] < L'0' || text[j] > L'9') break;
            number += tail;
            exponent = true;
            i = j - 1;
        } else {
            break;
        }
    }
    return digits ? std::strtod(number.c_str(), nullptr) : 0.0;
}

short CopiesFromNumber(double number) {
    const int32_t rounded = RoundHalfEven(number);
    if (rounded < -32768 || rounded > 32767) ThrowRuntime(kOverflow);
    return static_cast<short>(rounded);
}

}  // namespace tessary
