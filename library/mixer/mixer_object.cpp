// The automation face of xMixer: the public fields, and the members handed
// to MixerLines with their failure styles. Volume, Mute and Source reads let
// the run-time's errors through to the caller; everything else never fails.
#include "mixer/mixer_object.h"

#include "Tessary.h"
#include "frame/automation.h"
#include "frame/com_object.h"
#include "frame/errors.h"
#include "mixer/mixer_device.h"
#include "mixer/mixer_lines.h"
#include "mixer/speaker_endpoint.h"

namespace tessary {
namespace {

class MixerObject final : public DispatchObject<_xMixer> {
public:
    // Public fields
    HRESULT STDMETHODCALLTYPE get_bMix(VARIANT_BOOL* result) override { return Get(result, lines_.bMix); }
    HRESULT STDMETHODCALLTYPE put_bMix(VARIANT_BOOL value) override { lines_.bMix = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_bMixOpen(VARIANT_BOOL* result) override { return Get(result, lines_.bMixOpen); }
    HRESULT STDMETHODCALLTYPE put_bMixOpen(VARIANT_BOOL value) override { lines_.bMixOpen = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_MaxSources(LONG* result) override { return Get(result, lines_.MaxSources); }
    HRESULT STDMETHODCALLTYPE put_MaxSources(LONG value) override { lines_.MaxSources = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_idMix(short* result) override { return Get(result, lines_.idMix); }
    HRESULT STDMETHODCALLTYPE put_idMix(short value) override { lines_.idMix = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_idS(short* result) override { return Get(result, lines_.idS); }
    HRESULT STDMETHODCALLTYPE put_idS(short value) override { lines_.idS = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_bMixVol(VARIANT_BOOL* result) override { return Get(result, lines_.bMixVol); }
    HRESULT STDMETHODCALLTYPE put_bMixVol(VARIANT_BOOL value) override { lines_.bMixVol = value; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_bMixMute(VARIANT_BOOL* result) override { return Get(result, lines_.bMixMute); }
    HRESULT STDMETHODCALLTYPE put_bMixMute(VARIANT_BOOL value) override { lines_.bMixMute = value; return S_OK; }

    // Members
    HRESULT STDMETHODCALLTYPE Details(VARIANT_BOOL* result) override {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        return Swallowing([&] { *result = ToVariantBool(lines_.Details()); });
    }
    HRESULT STDMETHODCALLTYPE get_Source(BSTR* result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        return Raising([&] { *result = AllocBstr(lines_.Source()); });
    }
    HRESULT STDMETHODCALLTYPE get_Mute(LONG* result) override { return ReadLine(result, &MixerLines::Mute); }
    HRESULT STDMETHODCALLTYPE put_Mute(LONG* value) override { return WriteLine(value, &MixerLines::SetMute); }
    HRESULT STDMETHODCALLTYPE get_Volume(LONG* result) override { return ReadLine(result, &MixerLines::Volume); }
    HRESULT STDMETHODCALLTYPE put_Volume(LONG* value) override { return WriteLine(value, &MixerLines::SetVolume); }
    HRESULT STDMETHODCALLTYPE get_Mixer(VARIANT* result) override {
        if (!result) return E_POINTER;
        VariantInit(result);
        return Swallowing([&] {
            V_BSTR(result) = AllocBstr(lines_.ReadMixer());
            V_VT(result) = VT_BSTR;
        });
    }
    // Setting the device name means nothing; any value is accepted.
    HRESULT STDMETHODCALLTYPE put_Mixer(VARIANT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE A_Description() override { return S_OK; }

private:
    template <class T>
    static HRESULT Get(T* result, T value) {
        if (!result) return E_POINTER;
        *result = value;
        return S_OK;
    }
    // A cached value of line idMix; the run-time's errors reach the caller.
    HRESULT ReadLine(LONG* result, long (MixerLines::*read)() const) {
        if (!result) return E_POINTER;
        return Raising([&] { *result = (lines_.*read)(); });
    }
    // The setters never fail; a missing value changes nothing.
    HRESULT WriteLine(const LONG* value, void (MixerLines::*write)(long) noexcept) {
        if (value) (lines_.*write)(*value);
        return S_OK;
    }

    // The device is made first and goes last: the lines close the mixer
    // through it when the object ends. The endpoint's interfaces are
    // released with the object.
    WinmmMixer device_;
    SpeakerEndpoint endpoint_{device_};
    MixerLines lines_{device_, &endpoint_};
};

}  // namespace

HRESULT CreateMixerObject(REFIID iid, void** out) {
    return DispatchObject<_xMixer>::CreateInstance<MixerObject>(iid, out);
}

}  // namespace tessary
