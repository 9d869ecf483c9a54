#include "mixer/mixer_block.h"

#include "frame/errors.h"

namespace tessary {
namespace {
LONG g_outstanding = 0;
}

MixerBlock::MixerBlock(size_t bytes)
    : memory_(GlobalAlloc(GMEM_ZEROINIT, bytes ? bytes : 1)), lock_(memory_.get()) {
    if (!memory_ || !lock_.get()) ThrowRuntime(kOutOfMemory);
    InterlockedIncrement(&g_outstanding);
}

MixerBlock::~MixerBlock() { InterlockedDecrement(&g_outstanding); }

long MixerBlock::Outstanding() { return InterlockedCompareExchange(&g_outstanding, 0, 0); }

}  // namespace tessary
