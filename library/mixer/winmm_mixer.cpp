#include "mixer/mixer_device.h"

namespace tessary {

UINT WinmmMixer::GetNumDevs() { return mixerGetNumDevs(); }

MMRESULT WinmmMixer::Open(UINT device, HMIXER* handle) { return mixerOpen(handle, device, 0, 0, 0); }

MMRESULT WinmmMixer::Close(HMIXER handle) { return mixerClose(handle); }

MMRESULT WinmmMixer::GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) {
    return mixerGetDevCapsA(device, caps, size);
}

MMRESULT WinmmMixer::GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(handle), line, flags);
}

MMRESULT WinmmMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) {
    return mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(handle), controls, flags);
}

MMRESULT WinmmMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    return mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

MMRESULT WinmmMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(handle), details, flags);
}

}  // namespace tessary
