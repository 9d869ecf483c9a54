// A mixer device described by the test: any number of destinations and
// source lines, any channel counts and control identifiers, names of any
// length, calls that fail or raise on demand. It checks the records it gets
// the way winmm does and records every call and every value written.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mixer/mixer_device.h"

namespace tessary::test {

struct FakeControl {
    DWORD type;                 // MIXERCONTROL_CONTROLTYPE_VOLUME or _MUTE
    DWORD id;
    std::vector<DWORD> values;  // one per channel; a single value is a uniform control
};

struct FakeLine {
    std::string name;           // as many bytes as the field holds; no NUL when it fills it
    DWORD componentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    DWORD channels = 2;
    DWORD lineId = 0;
    std::vector<FakeControl> controls;
};

struct FakeDestination {
    FakeLine line;
    std::vector<FakeLine> sources;
    std::optional<DWORD> connections;  // cConnections as reported; default: sources.size()
};

enum class FakeCall { Open, Close, DevCaps, LineInfo, LineControls, GetDetails, SetDetails };

struct CallRecord {
    FakeCall call;
    DWORD flags = 0;
    // LineInfo: destination and source, or the component type asked for (a).
    // LineControls: line id and control type. Details: control id and channel count.
    // DevCaps and Open: the device number (a).
    DWORD a = 0;
    DWORD b = 0;
    std::vector<DWORD> values;  // SetDetails: the values handed over
};

class FakeMixer final : public MixerDevice {
public:
    UINT devices = 1;
    std::string deviceName = "Fake Mixer";
    std::optional<DWORD> destinationCount;  // cDestinations as reported; default: destinations.size()
    std::vector<FakeDestination> destinations;
    MMRESULT openResult = MMSYSERR_NOERROR;
    // A call for which this answers true fails with MMSYSERR_ERROR.
    std::function<bool(const CallRecord&)> failWhen;
    // Runs inside every call before it does anything; may throw.
    std::function<void(const CallRecord&)> during;

    std::vector<CallRecord> calls;

    static HMIXER Handle() { return reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(0x4D1C)); }

    std::vector<CallRecord> Calls(FakeCall kind) const;
    std::vector<CallRecord> LineQueries(DWORD flags) const;
    FakeControl& Control(DWORD id);

    UINT GetNumDevs() override { return devices; }
    MMRESULT Open(UINT device, HMIXER* handle) override;
    MMRESULT Close(HMIXER handle) override;
    MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) override;
    MMRESULT GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) override;
    MMRESULT GetLineControls(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) override;

private:
    bool Begin(CallRecord record);  // records the call; false when it is to fail
    bool IsOpen(HMIXER handle) const { return open_ && handle == Handle(); }
    const FakeLine* LineById(DWORD id) const;
    FakeControl* ControlById(DWORD id);
    static MMRESULT CheckDetails(const MIXERCONTROLDETAILS* details);

    bool open_ = false;
};

// Controls and lines in one line each.
FakeControl Volume(DWORD id, std::vector<DWORD> values);
FakeControl Mute(DWORD id, DWORD value);
FakeLine Line(std::string name, DWORD componentType, DWORD channels, DWORD lineId, std::vector<FakeControl> controls);

}  // namespace tessary::test
