// What one argument looked like before the call, to tell afterwards whether
// the callee changed what it had no right to: deep copies and comparisons
// of argument values, arrays included.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "frame/automation.h"

namespace tessary::fuzz {

struct Snapshot {
    VARIANT shallow;       // the rgvarg entry, bit for bit
    Variant deep;          // the value, references followed
    SAFEARRAY* array = nullptr;  // the caller's array, if any
    USHORT features = 0;
    ULONG locks = 0;
    void* data = nullptr;
};

// The variant at the end of a chain of VT_BYREF | VT_VARIANT references.
const VARIANT* Follow(const VARIANT* v);
// Takes the snapshot of one argument.
void Take(Snapshot& s, const VARIANT& arg);
// Whether two values are equal, bit for bit (strings and arrays by content).
bool SameValue(const VARIANT& a, const VARIANT& b);

}  // namespace tessary::fuzz
