// The parent process: checks that every class can be made here, splits the
// run into batches, runs each in a child process (starting again after the
// call that crashed or hung), watches for a child that stops answering
// altogether, and at the end looks for writes outside the scratch places.
#pragma once
#include <cstdint>

#include "batch.h"

namespace tessary::fuzz {

// Makes calls 0 .. calls-1 in batches of `batch` (a multiple of kEpoch).
// Returns 0 when all behaved, 77 when the classes are not registered here,
// 1 otherwise.
int RunParent(const Options& options, int64_t calls, int64_t batch);

}  // namespace tessary::fuzz
