#include "mixer/mixer_device.h"

namespace tessary {
namespace {

// Wine's winmm crashes when mixers are opened from several threads at once;
// the library never makes two mixer calls at the same time, whichever
// apartments its objects live in.
SRWLOCK gMixerCalls = SRWLOCK_INIT;

class SerialCall {
public:
    SerialCall() { AcquireSRWLockExclusive(&gMixerCalls); }
    SerialCall(const SerialCall&) = delete;
    SerialCall& operator=(const SerialCall&) = delete;
    ~SerialCall() { ReleaseSRWLockExclusive(&gMixerCalls); }
};

}  // namespace

UINT WinmmMixer::GetNumDevs() { SerialCall serial; return mixerGetNumDevs(); }

MMRESULT WinmmMixer::Open(UINT device, HMIXER* handle) { SerialCall serial; return mixerOpen(handle, device, 0, 0, 0); }

MMRESULT WinmmMixer::Close(HMIXER handle) { SerialCall serial; return mixerClose(handle); }

MMRESULT WinmmMixer::GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) {
    SerialCall serial;
    return mixerGetDevCapsA(device, caps, size);
}

MMRESULT WinmmMixer::GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    SerialCall serial;
    return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(handle), line, flags);
}

MMRESULT WinmmMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) {
    SerialCall serial;
    return mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(handle), controls, flags);
}

MMRESULT WinmmMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    SerialCall serial;
    return mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

MMRESULT WinmmMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    SerialCall serial;
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

}  // namespace tessary
