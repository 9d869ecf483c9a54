#include "mixer/mixer_device.h"

#include "frame/handles.h"
#include "frame/system_dlls.h"

namespace tessary {
namespace {

// Wine's winmm crashes when mixers are opened from several threads at once;
// the library never makes two mixer calls at the same time, whichever
// apartments its objects live in.
SRWLOCK gMixerCalls = SRWLOCK_INIT;

// Without winmm (it is loaded at the first call) there is no mixer: no
// device to count, and every call on one fails as it would without a driver.
constexpr MMRESULT kNoWinmm = MMSYSERR_NODRIVER;

}  // namespace

UINT WinmmMixer::GetNumDevs() { ExclusiveLock serial(gMixerCalls); return delayed::mixerGetNumDevs.CallOr(0u); }

MMRESULT WinmmMixer::Open(UINT device, HMIXER* handle) { ExclusiveLock serial(gMixerCalls); return delayed::mixerOpen.CallOr(kNoWinmm, handle, device, 0, 0, 0); }

MMRESULT WinmmMixer::Close(HMIXER handle) { ExclusiveLock serial(gMixerCalls); return delayed::mixerClose.CallOr(kNoWinmm, handle); }

MMRESULT WinmmMixer::GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) {
    ExclusiveLock serial(gMixerCalls);
    return delayed::mixerGetDevCapsA.CallOr(kNoWinmm, device, caps, size);
}

MMRESULT WinmmMixer::GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return delayed::mixerGetLineInfoA.CallOr(kNoWinmm, reinterpret_cast<HMIXEROBJ>(handle), line, flags);
}

MMRESULT WinmmMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return delayed::mixerGetLineControlsA.CallOr(kNoWinmm, reinterpret_cast<HMIXEROBJ>(handle), controls, flags);
}

MMRESULT WinmmMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return delayed::mixerGetControlDetailsA.CallOr(kNoWinmm, reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

MMRESULT WinmmMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    ExclusiveLock serial(gMixerCalls);
    return delayed::mixerSetControlDetails.CallOr(kNoWinmm, reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

}  // namespace tessary
