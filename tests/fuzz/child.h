// A child process: makes calls first .. first+count-1 of the run, announcing
// each in the progress record before making it. Its own watchdog ends a
// call that does not return in time and a crash handler reports a fault,
// both with the commands that replay the call. It also checks that the
// keys around the scratch ones stay as they were, that kernel handles, GDI
// objects and windows end where they started after the first epoch, and
// that the dispatch objects it passed were all released.
#pragma once
#include <cstdint>

#include "batch.h"

namespace tessary::fuzz {

// `progressName` names the parent's shared progress record; without one
// (a replay from the shell) every call is printed. Returns 0, kFindingsExit
// or kCannotStartExit.
int RunChild(const Options& options, int64_t first, int64_t count, const char* progressName);

}  // namespace tessary::fuzz
