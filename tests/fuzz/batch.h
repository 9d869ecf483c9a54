// What the parent and the child processes that run its batches share: the
// run's options, the progress record a child keeps in shared memory (so
// that the parent learns which call crashed or hung), the child's exit
// codes and the number of calls between fresh objects.
#pragma once
#include <windows.h>

#include <cstdint>

namespace tessary::fuzz {

struct Options {
    uint64_t seed = 20261207;
    DWORD timeoutMs = 10000;   // the time one call may take
    int64_t crashAt = -1;      // a call made to fault, to see the harness report it (-1: none)
    int64_t hangAt = -1;       // a call made to stall
    bool describeArguments = false;  // --verbose: each call's arguments printed before it is made
    bool debugger = false;     // a crash goes to the system's debugger instead of the report
};

struct Progress {
    volatile LONG64 current;  // the call under way; -1 between calls
    volatile LONG64 startedAt;  // tick count when it started
    volatile LONG64 completed;
    volatile LONG problems;
    volatile LONG exceptionCode;
    volatile LONG hung;
    volatile LONG leaks;
};

constexpr int64_t kEpoch = 250;  // calls between fresh objects
// A child's exit codes besides 0 and an exception code.
constexpr DWORD kFindingsExit = 1;
constexpr DWORD kCannotStartExit = 2;
constexpr DWORD kHangExit = 0xFA57DEAD;

}  // namespace tessary::fuzz
