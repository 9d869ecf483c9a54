// What winmm itself says of mixer device 0: the tests' independent reading
// of the device the mixer class works on.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <string>

namespace tessary::test {

// A control's first channel, read straight from mixer device 0 through a
// handle of the test's own; 0xFFFFFFFF when it cannot be read.
inline DWORD DeviceValue(DWORD controlId) {
    HMIXER handle = nullptr;
    if (mixerOpen(&handle, 0, 0, 0, 0) != MMSYSERR_NOERROR) return 0xFFFFFFFF;
    DWORD values[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = values;
    mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(handle), &details, MIXER_GETCONTROLDETAILSF_VALUE);
    mixerClose(handle);
    return values[0];
}

inline std::wstring DeviceName() {
    MIXERCAPSA caps = {};
    if (mixerGetDevCapsA(0, &caps, sizeof caps) != MMSYSERR_NOERROR) return L"";
    return std::wstring(caps.szPname, caps.szPname + strlen(caps.szPname));
}

}  // namespace tessary::test
