#include "mixer/mixer_device.h"

#include "frame/handles.h"

namespace tessary {
namespace {

// Wine's winmm crashes when mixers are opened from several threads at once;
// the library never makes two mixer calls at the same time, whichever
// apartments its objects live in.
SRWLOCK gMixerCalls = SRWLOCK_INIT;

}  // namespace

UINT WinmmMixer::GetNumDevs() { ExclusiveLock serial(gMixerCalls); return mixerGetNumDevs(); }

MMRESULT WinmmMixer::Open(UINT device, HMIXER* handle) { ExclusiveLock serial(gMixerCalls); return mixerOpen(handle, device, 0, 0, 0); }

MMRESULT WinmmMixer::Close(HMIXER handle) { ExclusiveLock serial(gMixerCalls); return mixerClose(handle); }

MMRESULT WinmmMixer::GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) {
    ExclusiveLock serial(gMixerCalls);
    return mixerGetDevCapsA(device, caps, size);
}

MMRESULT WinmmMixer::GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(handle), line, flags);
}

MMRESULT WinmmMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(handle), controls, flags);
}

MMRESULT WinmmMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

MMRESULT WinmmMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

}  // namespace tessary
