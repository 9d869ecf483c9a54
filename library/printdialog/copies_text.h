// The copies count as the print dialog's caller reads it from the copies box:
// the number at the start of the text, rounded half to even into 16 bits.
#pragma once
#include <string>

namespace tessary {

// The number at the start of a text, as the run-time reads one: leading
// blanks skipped, an optional sign, digits (blanks among them skipped) with an
// optional fraction and exponent, "d" counting as "e"; 0 when there is none.
// Only the ASCII digits, signs and letters count: any other character (a
// fullwidth digit included) ends the number.
double LeadingNumber(const std::wstring& text);

// That number as a copies count: rounded half to even; error 6 beyond 16 bits.
short CopiesFromNumber(double number);

inline short CopiesFromText(const std::wstring& text) { return CopiesFromNumber(LeadingNumber(text)); }

}  // namespace tessary
