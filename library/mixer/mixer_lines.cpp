#include "mixer/mixer_lines.h"

#include <cstring>
#include <limits>

#include "frame/automation.h"
#include "frame/errors.h"
#include "frame/message_sink.h"
#include "frame/text.h"
#include "mixer/mixer_block.h"

namespace tessary {

const wchar_t kMixerMessageCaption[] = L" Volume Control - Error";
const wchar_t kNoMixerMessage[] = L"Unable to detect a mixer.";
const wchar_t kOpenFailedMessage[] = L"Unable to open mixer.";
const wchar_t kCapabilitiesMessage[] = L"Unable to aquire mixer Capabilities/Details.";

namespace {

// The published 8-bit layouts the scan relies on, byte-packed as the
// platform's header declares them; winmm refuses a record whose cbStruct is
// not its own architecture's size. On x64 the pointer-sized members (dwUser,
// the array pointers, the owner window) widen the records.
#ifdef _WIN64
static_assert(sizeof(MIXERCAPSA) == 48, "MIXERCAPSA layout");
static_assert(sizeof(MIXERLINEA) == 172, "MIXERLINEA layout");
static_assert(sizeof(MIXERLINECONTROLSA) == 28, "MIXERLINECONTROLSA layout");
static_assert(sizeof(MIXERCONTROLA) == 148, "MIXERCONTROLA layout");
static_assert(sizeof(MIXERCONTROLDETAILS) == 32, "MIXERCONTROLDETAILS layout");
#else
static_assert(sizeof(MIXERCAPSA) == 48, "MIXERCAPSA layout");
static_assert(sizeof(MIXERLINEA) == 168, "MIXERLINEA layout");
static_assert(sizeof(MIXERLINECONTROLSA) == 24, "MIXERLINECONTROLSA layout");
static_assert(sizeof(MIXERCONTROLA) == 148, "MIXERCONTROLA layout");
static_assert(sizeof(MIXERCONTROLDETAILS) == 24, "MIXERCONTROLDETAILS layout");
#endif

const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
const DWORD kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME;
const DWORD kMute = MIXERCONTROL_CONTROLTYPE_MUTE;

void ShowMixerMessage(const wchar_t* text) { ShowMessage(text, kMixerMessageStyle, kMixerMessageCaption); }

// A name field of a platform record up to its NUL. A field filled to the end
// holds no complete name: that is the run-time's invalid-argument error, and
// nothing beyond the field is ever read.
template <size_t N>
std::wstring NameInField(const char (&field)[N]) {
    const void* end = memchr(field, '\0', N);
    if (!end) ThrowRuntime(kInvalidArgument);
    return FromAnsi(field, static_cast<const char*>(end) - field);
}

// The request for `channels` unsigned values of a control, held in `block`.
MIXERCONTROLDETAILS ValueDetails(DWORD controlId, DWORD channels, const MixerBlock& block) {
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = controlId;
    details.cChannels = channels;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = block.data();
    return details;
}

}  // namespace

MixerLines::MixerLines(MixerDevice& device, SpeakerEndpoint* endpoint) : device_(device), endpoint_(endpoint) {
    // Nothing here may keep the object from being created.
    SkipOnError([&] {
        if (device_.GetNumDevs() == 0) {
            bMix = VARIANT_FALSE;
            ShowMixerMessage(kNoMixerMessage);
            return;
        }
        HMIXER handle = nullptr;
        if (device_.Open(0, &handle) != MMSYSERR_NOERROR) {
            bMixOpen = VARIANT_FALSE;
            ShowMixerMessage(kOpenFailedMessage);
            return;
        }
        handle_ = handle;
        opened_ = true;
    });
}

MixerLines::~MixerLines() {
    // A client that cleared bMixOpen keeps the mixer open; a handle that was
    // never obtained is never closed.
    if (bMixOpen != VARIANT_FALSE && opened_) SkipOnError([&] { device_.Close(handle_); });
}

std::wstring MixerLines::ReadMixer() {
    try {
        MIXERCAPSA caps = {};
        // Asked of device 0 itself, not through the open handle.
        if (device_.GetDevCaps(0, &caps, sizeof caps) == MMSYSERR_NOERROR) {
            // The class keeps the count signed: one below 0x80000000 has no signed value.
            long long last = static_cast<long long>(static_cast<LONG>(caps.cDestinations)) - 1;
            if (last < std::numeric_limits<LONG>::min()) ThrowRuntime(kOverflow);
            lastDestination_ = static_cast<long>(last);
            std::wstring name = NameInField(caps.szPname);
            if (Details()) return name;
        }
    } catch (...) {
    }
    ShowMixerMessage(kCapabilitiesMessage);
    return std::wstring();
}

bool MixerLines::Details() {
    try {
        Scan();
        return true;
    } catch (...) {
        return false;
    }
}

void MixerLines::Scan() {
    for (long long d = 0; d <= lastDestination_; ++d) {
        MIXERLINEA line = {};
        line.cbStruct = sizeof line;
        line.dwDestination = static_cast<DWORD>(d);
        // A destination that cannot be described is no speaker destination.
        if (device_.GetLineInfo(handle_, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR) continue;
        current_ = line;
        if (line.dwComponentType != kSpeakers) continue;

        // The connection count arrives unsigned; the field is signed, and a
        // count beyond it leaves no valid upper bound for the lines.
        MaxSources = static_cast<long>(line.cConnections);
        if (MaxSources < 0) ThrowRuntime(kSubscriptOutOfRange);
        // A new scan starts from fresh lines; an error leaves them as far as built.
        names_.clear();
        records_.clear();
        const size_t count = static_cast<size_t>(MaxSources) + 1;
        names_.resize(count);
        records_.resize(count);
        records_[0].channels = line.cChannels;
        names_[0] = L"Main";
        if (idMix <= 0) idMix = 0;
        if (!ScanEndpoint()) ScanControls(0, line.dwComponentType);

        for (DWORD s = 0; s < line.cConnections; ++s) {
            const size_t n = s + 1;
            MIXERLINEA source = {};
            source.cbStruct = sizeof source;
            source.dwDestination = static_cast<DWORD>(d);
            source.dwSource = s;
            if (device_.GetLineInfo(handle_, &source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) {
                // Nothing is known of this line: no name, no controls. Taking the
                // previous line's record for it would hand it another line's controls.
                if (static_cast<long>(n) == idMix) bMixVol = bMixMute = VARIANT_FALSE;
                continue;
            }
            current_ = source;
            records_[n].channels = source.cChannels;
            names_[n] = NameInField(source.szName);
            ScanControls(n, source.dwComponentType);
        }
        return;  // only the first speaker destination counts
    }
}

// Line 0 from the audio endpoint, where it serves and answers now; false
// leaves line 0 to the mixer.
bool MixerLines::ScanEndpoint() {
    long volume = 0, mute = 0;
    if (!endpoint_ || !endpoint_->Serves() || !endpoint_->Read(&volume, &mute)) return false;
    LineRecord& main = records_[0];
    main.endpoint = true;
    main.volume = {true, 0, volume};
    main.mute = {true, 0, mute};
    if (idMix == 0) bMixVol = bMixMute = VARIANT_TRUE;
    return true;
}

// Looks up and reads the volume (all the line's channels) and the mute
// switch (one channel) of the current line, which is line `n`; the flags
// describe line idMix.
void MixerLines::ScanControls(size_t n, DWORD componentType) {
    LineRecord& record = records_[n];
    const bool selected = static_cast<long>(n) == idMix;

    Found volume = FindControl(componentType, kVolume);
    if (volume.found) ReadControl(volume.id, record.channels, &record.volume);
    if (selected) bMixVol = ToVariantBool(volume.found);

    Found mute = FindControl(componentType, kMute);
    if (mute.found) ReadControl(mute.id, 1, &record.mute);
    if (selected) bMixMute = ToVariantBool(mute.found);
}

// Whether the current line has a control of the given type, and its
// identifier. Found and identifier are separate: 0 is a valid identifier.
MixerLines::Found MixerLines::FindControl(DWORD componentType, DWORD controlType) {
    // A line of this component type must exist at all.
    MIXERLINEA probe = {};
    probe.cbStruct = sizeof probe;
    probe.dwComponentType = componentType;
    if (device_.GetLineInfo(handle_, &probe, MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
        return {false, 0};

    MixerBlock block(sizeof(MIXERCONTROLA));
    MIXERLINECONTROLSA query = {};
    query.cbStruct = sizeof query;
    query.dwLineID = current_.dwLineID;
    query.dwControlType = controlType;
    query.cControls = 1;
    // winmm insists on exactly its own record size here and refuses the call
    // for any other, so the size passed is the platform's.
    query.cbmxctrl = sizeof(MIXERCONTROLA);
    query.pamxctrl = static_cast<MIXERCONTROLA*>(block.data());
    if (device_.GetLineControls(handle_, &query, MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
        return {false, 0};
    MIXERCONTROLA control;
    memcpy(&control, block.data(), sizeof control);
    return {true, control.dwControlID};
}

// Reads one value per channel and keeps the first (the left channel).
// Read failures are not detected: the value then reads as 0.
void MixerLines::ReadControl(DWORD controlId, DWORD channels, LineControl* control) {
    // A request for no channel at all is asked as one.
    const DWORD count = channels ? channels : 1;
    if (count > std::numeric_limits<size_t>::max() / sizeof(MIXERCONTROLDETAILS_UNSIGNED))
        ThrowRuntime(kOutOfMemory);
    MixerBlock block(count * sizeof(MIXERCONTROLDETAILS_UNSIGNED));
    MIXERCONTROLDETAILS details = ValueDetails(controlId, count, block);
    device_.GetControlDetails(handle_, &details, MIXER_GETCONTROLDETAILSF_VALUE);
    control->found = true;
    control->id = details.dwControlID;
    control->value = static_cast<long>(static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(block.data())->dwValue);
}

// One value for all channels. Write failures are not detected.
void MixerLines::WriteControl(const LineControl& control, long value) {
    MixerBlock block(sizeof(MIXERCONTROLDETAILS_UNSIGNED));
    static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(block.data())->dwValue = static_cast<DWORD>(value);
    MIXERCONTROLDETAILS details = ValueDetails(control.id, 1, block);
    device_.SetControlDetails(handle_, &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

const LineRecord& MixerLines::LineAt(long index) const {
    if (index < 0 || static_cast<size_t>(index) >= records_.size()) ThrowRuntime(kSubscriptOutOfRange);
    return records_[static_cast<size_t>(index)];
}

LineRecord& MixerLines::LineAt(long index) {
    return const_cast<LineRecord&>(static_cast<const MixerLines*>(this)->LineAt(index));
}

long MixerLines::Volume() const { return LineAt(idMix).volume.value; }

long MixerLines::Mute() const { return LineAt(idMix).mute.value; }

std::wstring MixerLines::Source() const {
    if (idS < 0 || static_cast<size_t>(idS) >= names_.size()) ThrowRuntime(kSubscriptOutOfRange);
    return names_[static_cast<size_t>(idS)];
}

void MixerLines::SetVolume(long value) noexcept {
    SetControl(&LineRecord::volume, &SpeakerEndpoint::SetVolume, value);
}

void MixerLines::SetMute(long value) noexcept { SetControl(&LineRecord::mute, &SpeakerEndpoint::SetMute, value); }

void MixerLines::SetControl(LineControl LineRecord::*which,
                            void (SpeakerEndpoint::*endpointWrite)(long) const noexcept, long value) noexcept {
    SkipOnError([&] {
        LineRecord& line = LineAt(idMix);
        LineControl& control = line.*which;
        control.value = value;
        if (line.endpoint) {
            (endpoint_->*endpointWrite)(value);
            return;
        }
        // A line without such a control has nothing to write to; control 0
        // would be some other line's control.
        if (control.found) WriteControl(control, value);
    });
}

}  // namespace tessary
