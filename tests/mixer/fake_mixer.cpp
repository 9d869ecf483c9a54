#include "mixer/fake_mixer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tessary::test {
namespace {

template <size_t N>
void CopyName(char (&field)[N], const std::string& name) {
    memset(field, 0, N);
    memcpy(field, name.data(), std::min(N, name.size()));
}

void Describe(const FakeLine& line, DWORD connections, MIXERLINEA* out) {
    out->dwLineID = line.lineId;
    out->fdwLine = MIXERLINE_LINEF_ACTIVE;
    out->dwComponentType = line.componentType;
    out->cChannels = line.channels;
    out->cConnections = connections;
    out->cControls = static_cast<DWORD>(line.controls.size());
    CopyName(out->szShortName, line.name.substr(0, MIXER_SHORT_NAME_CHARS - 1));
    CopyName(out->szName, line.name);
}

}  // namespace

FakeControl Volume(DWORD id, std::vector<DWORD> values) {
    return {MIXERCONTROL_CONTROLTYPE_VOLUME, id, std::move(values)};
}
FakeControl Mute(DWORD id, DWORD value) { return {MIXERCONTROL_CONTROLTYPE_MUTE, id, {value}}; }
FakeLine Line(std::string name, DWORD componentType, DWORD channels, DWORD lineId, std::vector<FakeControl> controls) {
    return {std::move(name), componentType, channels, lineId, std::move(controls)};
}

std::vector<CallRecord> FakeMixer::Calls(FakeCall kind) const {
    std::vector<CallRecord> out;
    for (const CallRecord& c : calls)
        if (c.call == kind) out.push_back(c);
    return out;
}

std::vector<CallRecord> FakeMixer::LineQueries(DWORD flags) const {
    std::vector<CallRecord> out;
    for (const CallRecord& c : calls)
        if (c.call == FakeCall::LineInfo && c.flags == flags) out.push_back(c);
    return out;
}

FakeControl& FakeMixer::Control(DWORD id) {
    FakeControl* control = ControlById(id);
    if (!control) throw std::logic_error("no such control in the test device");
    return *control;
}

bool FakeMixer::Begin(CallRecord record) {
    calls.push_back(record);
    if (during) during(record);
    return !(failWhen && failWhen(record));
}

const FakeLine* FakeMixer::LineById(DWORD id) const {
    for (const FakeDestination& d : destinations) {
        if (d.line.lineId == id) return &d.line;
        for (const FakeLine& s : d.sources)
            if (s.lineId == id) return &s;
    }
    return nullptr;
}

FakeControl* FakeMixer::ControlById(DWORD id) {
    for (FakeDestination& d : destinations) {
        for (FakeControl& c : d.line.controls)
            if (c.id == id) return &c;
        for (FakeLine& s : d.sources)
            for (FakeControl& c : s.controls)
                if (c.id == id) return &c;
    }
    return nullptr;
}

MMRESULT FakeMixer::Open(UINT device, HMIXER* handle) {
    if (!Begin({FakeCall::Open, 0, device})) return MMSYSERR_ERROR;
    if (device >= devices) return MMSYSERR_BADDEVICEID;
    if (openResult != MMSYSERR_NOERROR) return openResult;
    open_ = true;
    *handle = Handle();
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::Close(HMIXER handle) {
    if (!Begin({FakeCall::Close, 0, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(handle))})) return MMSYSERR_ERROR;
    if (!IsOpen(handle)) return MMSYSERR_INVALHANDLE;
    open_ = false;
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetDevCaps(UINT device, MIXERCAPSA* caps, UINT size) {
    if (!Begin({FakeCall::DevCaps, 0, device})) return MMSYSERR_ERROR;
    if (device >= devices) return MMSYSERR_BADDEVICEID;
    if (!caps || size != sizeof(MIXERCAPSA)) return MMSYSERR_INVALPARAM;
    memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFF;
    caps->wPid = 1;
    CopyName(caps->szPname, deviceName);
    caps->cDestinations = destinationCount ? *destinationCount : static_cast<DWORD>(destinations.size());
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetLineInfo(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    CallRecord record{FakeCall::LineInfo, flags};
    if (line && flags == MIXER_GETLINEINFOF_COMPONENTTYPE) record.a = line->dwComponentType;
    else if (line) record.a = line->dwDestination, record.b = line->dwSource;
    if (!Begin(record)) return MMSYSERR_ERROR;
    if (!IsOpen(handle)) return MMSYSERR_INVALHANDLE;
    if (!line || line->cbStruct != sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
    switch (flags) {
    case MIXER_GETLINEINFOF_DESTINATION: {
        if (line->dwDestination >= destinations.size()) return MIXERR_INVALLINE;
        const FakeDestination& d = destinations[line->dwDestination];
        Describe(d.line, d.connections ? *d.connections : static_cast<DWORD>(d.sources.size()), line);
        line->dwSource = 0;
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINEINFOF_SOURCE: {
        if (line->dwDestination >= destinations.size()) return MIXERR_INVALLINE;
        const FakeDestination& d = destinations[line->dwDestination];
        if (line->dwSource >= d.sources.size()) return MIXERR_INVALLINE;
        Describe(d.sources[line->dwSource], 0, line);
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
        for (DWORD i = 0; i < destinations.size(); ++i) {
            const FakeDestination& d = destinations[i];
            if (d.line.componentType == line->dwComponentType) {
                Describe(d.line, d.connections ? *d.connections : static_cast<DWORD>(d.sources.size()), line);
                line->dwDestination = i;
                return MMSYSERR_NOERROR;
            }
            for (DWORD s = 0; s < d.sources.size(); ++s) {
                if (d.sources[s].componentType == line->dwComponentType) {
                    Describe(d.sources[s], 0, line);
                    line->dwDestination = i;
                    line->dwSource = s;
                    return MMSYSERR_NOERROR;
                }
            }
        }
        return MIXERR_INVALLINE;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

MMRESULT FakeMixer::GetLineControls(HMIXER handle, MIXERLINECONTROLSA* query, DWORD flags) {
    CallRecord record{FakeCall::LineControls, flags};
    if (query) record.a = query->dwLineID, record.b = query->dwControlType;
    if (!Begin(record)) return MMSYSERR_ERROR;
    if (!IsOpen(handle)) return MMSYSERR_INVALHANDLE;
    // winmm accepts exactly its own record sizes.
    if (!query || query->cbStruct != sizeof(MIXERLINECONTROLSA) || query->cbmxctrl != sizeof(MIXERCONTROLA) ||
        !query->pamxctrl)
        return MMSYSERR_INVALPARAM;
    if (flags != MIXER_GETLINECONTROLSF_ONEBYTYPE || query->cControls != 1) return MMSYSERR_NOTSUPPORTED;
    const FakeLine* line = LineById(query->dwLineID);
    if (!line) return MIXERR_INVALLINE;
    for (const FakeControl& c : line->controls) {
        if (c.type != query->dwControlType) continue;
        MIXERCONTROLA* out = query->pamxctrl;
        memset(out, 0, sizeof *out);
        out->cbStruct = sizeof *out;
        out->dwControlID = c.id;
        out->dwControlType = c.type;
        out->fdwControl = c.values.size() == 1 ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
        CopyName(out->szName, c.type == MIXERCONTROL_CONTROLTYPE_MUTE ? "Mute" : "Volume");
        out->Bounds.dwMaximum = c.type == MIXERCONTROL_CONTROLTYPE_MUTE ? 1 : 65535;
        return MMSYSERR_NOERROR;
    }
    return MIXERR_INVALCONTROL;
}

MMRESULT FakeMixer::CheckDetails(const MIXERCONTROLDETAILS* details) {
    if (!details || details->cbStruct != sizeof(MIXERCONTROLDETAILS) ||
        details->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) || details->cMultipleItems != 0 ||
        details->cChannels == 0 || !details->paDetails)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    CallRecord record{FakeCall::GetDetails, flags};
    if (details) record.a = details->dwControlID, record.b = details->cChannels;
    if (!Begin(record)) return MMSYSERR_ERROR;
    if (!IsOpen(handle)) return MMSYSERR_INVALHANDLE;
    if (MMRESULT r = CheckDetails(details)) return r;
    if (flags != MIXER_GETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
    FakeControl* control = ControlById(details->dwControlID);
    if (!control || control->values.empty()) return MIXERR_INVALCONTROL;
    auto* out = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails);
    for (DWORD i = 0; i < details->cChannels; ++i)
        out[i].dwValue = control->values[std::min<size_t>(i, control->values.size() - 1)];
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::SetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    CallRecord record{FakeCall::SetDetails, flags};
    if (details) {
        record.a = details->dwControlID;
        record.b = details->cChannels;
        if (details->paDetails && details->cbDetails == sizeof(MIXERCONTROLDETAILS_UNSIGNED)) {
            auto* in = static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails);
            for (DWORD i = 0; i < details->cChannels && i < 64; ++i) record.values.push_back(in[i].dwValue);
        }
    }
    if (!Begin(record)) return MMSYSERR_ERROR;
    if (!IsOpen(handle)) return MMSYSERR_INVALHANDLE;
    if (MMRESULT r = CheckDetails(details)) return r;
    if (flags != MIXER_SETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
    FakeControl* control = ControlById(details->dwControlID);
    if (!control || control->values.empty()) return MIXERR_INVALCONTROL;
    auto* in = static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails);
    // One value given for a control of several channels sets them all.
    for (size_t i = 0; i < control->values.size(); ++i)
        control->values[i] = in[details->cChannels == 1 ? 0 : std::min<size_t>(i, details->cChannels - 1)].dwValue;
    return MMSYSERR_NOERROR;
}

}  // namespace tessary::test
