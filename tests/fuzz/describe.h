// Short texts for the fuzzer's reports and replays: hexadecimal numbers,
// wide text made printable, Invoke flags and one argument as it was passed.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>

namespace tessary::fuzz {

// "0x0000ABCD".
std::string Hex(uint32_t v);
// Printable ASCII kept, everything else '?'.
std::string Narrow(const std::wstring& w);
// DISPATCH_* flags as letters (M, G, P, R), with any other bits in hex.
std::string FlagsText(WORD flags);
// An argument's type and value, references followed.
std::string Describe(const VARIANT& v, int depth = 0);

}  // namespace tessary::fuzz
