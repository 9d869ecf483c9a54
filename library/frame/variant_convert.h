// The automation run-time's conversions of a variant, as members need them.
// Each failure throws the run-time's error (13 type mismatch, 6 overflow,
// 94 invalid use of Null).
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>

#include "frame/automation.h"

namespace tessary {

// Text of a value: numbers in the user's locale, Booleans as True/False,
// Empty as the empty text.
std::wstring VariantToText(const VARIANT& v);
long VariantToLong(const VARIANT& v);
double VariantToDouble(const VARIANT& v);

bool IsMissing(const VARIANT& v);  // an omitted optional argument
bool IsEmpty(const VARIANT& v);

}  // namespace tessary
