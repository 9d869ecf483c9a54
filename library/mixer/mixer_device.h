// The multimedia mixer functions the mixer class uses, behind a small
// interface: the real one forwards to winmm; tests put a device of their own
// description behind it. Each function has the winmm call's contract: records
// in and out as winmm defines them, MMSYSERR_NOERROR (0) on success.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>

namespace tessary {

class MixerDevice {
public:
    virtual ~MixerDevice() = default;

    virtual UINT GetNumDevs() = 0;
    // mixerOpen(handle, device, no callback, no instance, flags 0).
    virtual MMRESULT Open(UINT device, HMIXER* handle) = 0;
    virtual MMRESULT Close(HMIXER handle) = 0;
    virtual MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) = 0;
    virtual MMRESULT GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
};

// The system's mixers through winmm.
class WinmmMixer final : public MixerDevice {
public:
    // The id of the audio endpoint that mixer `device` stands for (asked of
    // its wave output device); empty where winmm cannot tell, as before
    // Windows Vista. Not part of the interface above: only the endpoint's
    // own path (speaker_endpoint.h) asks, and only of the real winmm.
    std::wstring EndpointId(UINT device);

    UINT GetNumDevs() override;
    MMRESULT Open(UINT device, HMIXER* handle) override;
    MMRESULT Close(HMIXER handle) override;
    MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) override;
    MMRESULT GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) override;
    MMRESULT GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
};

}  // namespace tessary
