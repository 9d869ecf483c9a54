// The copies count as the print dialog's caller reads it from the copies box:
// the number at the start of the text, rounded half to even into 16 bits.
#pragma once
#include <string>

namespace tessary {

// The number at the start of a text, as the run-time reads one: leading
// blanks skipped, an optional sign, digits (blanks among them skipped) with an
// optional fraction and exponent, "d" counting as "e"; 0 when there is none.
double LeadingNumber(const std::string& text);

// That number as a copies count: rounded half to even; error 6 beyond 16 bits.
short CopiesFromNumber(double number);

inline short CopiesFromText(const std::string& text) { return CopiesFromNumber(LeadingNumber(text)); }

}  // namespace tessary
