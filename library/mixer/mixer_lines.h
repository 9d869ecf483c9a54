// The behaviour of xMixer in plain C++: mixer device 0 opened for the
// object's lifetime, the scan of its speaker destination ("Main", line 0)
// and of the source lines feeding it (lines 1..MaxSources), and the volume
// and mute values cached per line and written through to the device. Where
// the audio endpoint serves (speaker_endpoint.h), line 0's values are read
// from and written to the endpoint instead; the sources stay the mixer's.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "mixer/mixer_device.h"
#include "mixer/speaker_endpoint.h"

namespace tessary {

// The texts and look of the class's message boxes.
extern const wchar_t kMixerMessageCaption[];  // " Volume Control - Error"
extern const wchar_t kNoMixerMessage[];
extern const wchar_t kOpenFailedMessage[];
extern const wchar_t kCapabilitiesMessage[];
constexpr UINT kMixerMessageStyle = MB_OK | MB_ICONSTOP;

// One mixer control of a line, as the last scan found it.
struct LineControl {
    bool found = false;  // the line has such a control; id is only meaningful then
    DWORD id = 0;
    long value = 0;      // the cached value: from the scan or the last write
};

struct LineRecord {
    DWORD channels = 0;
    LineControl volume;
    LineControl mute;
    bool endpoint = false;  // line 0 as the audio endpoint gave it: writes go there
};

class MixerLines {
public:
    // Creation: opens mixer device 0 of `device`, showing a message when
    // there is no mixer or it cannot be opened. `device` and `endpoint` must
    // outlive this; without an endpoint line 0 is the mixer's alone.
    explicit MixerLines(MixerDevice& device, SpeakerEndpoint* endpoint = nullptr);
    // Termination: closes the mixer when bMixOpen is (still) True.
    ~MixerLines();
    MixerLines(const MixerLines&) = delete;
    MixerLines& operator=(const MixerLines&) = delete;

    // Public fields, read and written freely by clients.
    VARIANT_BOOL bMix = VARIANT_TRUE;
    VARIANT_BOOL bMixOpen = VARIANT_TRUE;
    long MaxSources = 0;
    short idMix = 0;
    short idS = 0;
    VARIANT_BOOL bMixVol = VARIANT_FALSE;
    VARIANT_BOOL bMixMute = VARIANT_FALSE;

    // The device name, after a scan; the empty text and a message when the
    // capabilities cannot be read or the scan fails.
    std::wstring ReadMixer();
    // Scans destinations 0..LastDestination for the speakers and caches their
    // lines. False when a run-time error ended the scan. Never throws.
    bool Details();

    // Cached values of line idMix (Source: name of line idS). Throw the
    // run-time's subscript-out-of-range error outside the scanned lines.
    long Volume() const;
    long Mute() const;
    std::wstring Source() const;

    // Cache the value for line idMix and write it to the line's control,
    // one value for all channels (line 0: to the endpoint, where it served
    // the last scan). Never throw; outside the lines nothing happens.
    void SetVolume(long value) noexcept;
    void SetMute(long value) noexcept;

    // For tests and diagnostics: the scanned lines (empty before a scan).
    const std::vector<LineRecord>& Lines() const { return records_; }
    long LastDestination() const { return lastDestination_; }

private:
    struct Found {
        bool found;
        DWORD id;
    };
    Found FindControl(DWORD componentType, DWORD controlType);
    void ReadControl(DWORD controlId, DWORD channels, LineControl* control);
    void WriteControl(const LineControl& control, long value);
    void SetControl(LineControl LineRecord::*which, void (SpeakerEndpoint::*endpointWrite)(long) const noexcept,
                    long value) noexcept;
    bool ScanEndpoint();
    void ScanControls(size_t line, DWORD componentType);
    void Scan();
    const LineRecord& LineAt(long index) const;
    LineRecord& LineAt(long index);

    MixerDevice& device_;
    SpeakerEndpoint* endpoint_;
    HMIXER handle_ = nullptr;
    bool opened_ = false;
    long lastDestination_ = 0;
    // The line most recently read by the scan: control lookups ask for its controls.
    MIXERLINEA current_ = {};
    std::vector<std::wstring> names_;   // indexes 0..MaxSources; 0 is "Main"
    std::vector<LineRecord> records_;
};

}  // namespace tessary
