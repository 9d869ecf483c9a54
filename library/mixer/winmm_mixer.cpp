#include "mixer/mixer_device.h"

#include <mmddk.h>

#include <cwchar>

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

// Far beyond any endpoint id: a size above it is no answer.
constexpr DWORD_PTR kLongestEndpointId = 4096 * sizeof(wchar_t);

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

// A mixer is found through the wave output device it belongs to; winmm
// answers that device's endpoint id (since Windows Vista).
std::wstring WinmmMixer::EndpointId(UINT device) {
    ExclusiveLock serial(gMixerCalls);
    const UINT waves = delayed::waveOutGetNumDevs.CallOr(0u);
    for (UINT wave = 0; wave < waves; ++wave) {
        UINT mixer = 0;
        if (delayed::mixerGetID.CallOr(kNoWinmm, reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(wave)), &mixer,
                                       MIXER_OBJECTF_WAVEOUT) != MMSYSERR_NOERROR ||
            mixer != device)
            continue;
        const HWAVEOUT out = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(wave));
        DWORD_PTR bytes = 0;
        if (delayed::waveOutMessage.CallOr(kNoWinmm, out, DRV_QUERYFUNCTIONINSTANCEIDSIZE,
                                           reinterpret_cast<DWORD_PTR>(&bytes), DWORD_PTR(0)) != MMSYSERR_NOERROR ||
            bytes < sizeof(wchar_t) || bytes > kLongestEndpointId)
            return std::wstring();
        std::wstring id(bytes / sizeof(wchar_t), L'\0');
        if (delayed::waveOutMessage.CallOr(kNoWinmm, out, DRV_QUERYFUNCTIONINSTANCEID,
                                           reinterpret_cast<DWORD_PTR>(&id[0]),
                                           DWORD_PTR(id.size() * sizeof(wchar_t))) != MMSYSERR_NOERROR)
            return std::wstring();
        id.resize(wcsnlen(id.c_str(), id.size()));
        return id;
    }
    return std::wstring();
}

}  // namespace tessary
