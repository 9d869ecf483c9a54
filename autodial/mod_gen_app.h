// modGenApp: the program's general module. Its one routine with behaviour is
// TextToNumber, which reads the leading number of a free-form text.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace dovetta::modGenApp {

// The value of the longest leading part of `v` that the platform's
// locale-aware text-to-number conversion accepts, or 0 when no leading part
// converts. The exact texts "" and "False" give 0, "True" gives 1.
// Never fails: "12abc" gives 12, "abc" gives 0, "2.5" gives 2.5 (in a locale
// with a decimal point).
float TextToNumber(const std::wstring& v);

// The same for any variant: a value that is not text is taken in its text
// form (Booleans as True/False, numbers in the user's locale); Empty, Null and
// values without a text form give 0.
float TextToNumber(const VARIANT& v);

}  // namespace dovetta::modGenApp
