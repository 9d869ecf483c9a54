// Line 0 ("Main") of the mixer class where the platform has audio endpoints
// (Windows Vista and later): the master volume and mute switch of the
// endpoint behind mixer device 0, which is what every program plays through.
// There the mixer functions' own controls belong to the calling process's
// audio session: a script that wrote them would change nothing anyone hears.
//
// The endpoint is looked for once, at the first scan that reaches line 0,
// never at creation. It serves only when its level and mute switch can both
// be read and written (each written back as just read, so nothing changes);
// otherwise (Windows XP, no endpoint, Wine's fixed level that refuses
// writes) line 0 stays with the mixer functions. COM is the caller's: the
// library never initialises it, and on a thread without it nothing serves.
// No call here throws, and a failing platform call leaves no error pending.
#pragma once
#include <windows.h>
#include <endpointvolume.h>

#include "frame/com_ptr.h"
#include "mixer/mixer_device.h"

namespace tessary {

// Values on the mixer's scale: volume 0..65535, mute 0 or 1.
class SpeakerEndpoint {
public:
    static constexpr long kFullScale = 65535;

    // `mixer` tells which endpoint stands behind mixer device 0.
    explicit SpeakerEndpoint(WinmmMixer& mixer) : mixer_(mixer) {}
    SpeakerEndpoint(const SpeakerEndpoint&) = delete;
    SpeakerEndpoint& operator=(const SpeakerEndpoint&) = delete;

    // Whether the endpoint serves line 0; looked for at the first call only.
    bool Serves() noexcept;
    // The endpoint's volume (its level × 65535, halves to even) and mute;
    // false when either cannot be read now.
    bool Read(long* volume, long* mute) const noexcept;
    // Failures are silent. A volume outside 0..65535 changes nothing, as
    // the mixer refuses it; any mute value but 0 is on.
    void SetVolume(long value) const noexcept;
    void SetMute(long value) const noexcept;

private:
    ComPtr<IAudioEndpointVolume> Find() const;

    WinmmMixer& mixer_;
    bool looked_ = false;
    ComPtr<IAudioEndpointVolume> volume_;  // null unless the endpoint serves
};

}  // namespace tessary
