// The commands that make a call again from the shell, printed with every
// finding: the call alone, and the call with the calls made before it on
// the same objects.
#pragma once
#include <cstdint>
#include <string>

namespace tessary::fuzz {

// This program's Windows path.
std::string ExePath();
// Prints both replay commands of call `call` of run `seed`.
void PrintReplay(uint64_t seed, int64_t call);

}  // namespace tessary::fuzz
