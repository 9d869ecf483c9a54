// Memory handed to the mixer: a zero-filled global block, locked while it
// exists, unlocked and freed when it goes out of scope on every path.
#pragma once
#include <windows.h>
#include <cstddef>

#include "frame/handles.h"

namespace tessary {

class MixerBlock {
public:
    // Throws the run-time's out-of-memory error when the block cannot be had.
    explicit MixerBlock(size_t bytes);
    MixerBlock(const MixerBlock&) = delete;
    MixerBlock& operator=(const MixerBlock&) = delete;
    ~MixerBlock();

    void* data() const { return lock_.get(); }

    // Blocks alive in this process; 0 whenever no mixer call is under way.
    static long Outstanding();

private:
    UniqueGlobal memory_;   // declared first: freed after the lock is gone
    GlobalLockGuard lock_;
};

}  // namespace tessary
