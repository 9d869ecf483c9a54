#include "mixer/speaker_endpoint.h"

#include <mmdeviceapi.h>

#include <string>

#include "frame/errors.h"
#include "frame/rounding.h"

namespace tessary {
namespace {

// A failing call may have left its own error object on the thread; the
// class's members report nothing of it.
bool Succeeded(HRESULT result) {
    if (SUCCEEDED(result)) return true;
    ClearPendingError();
    return false;
}

template <class Interface>
void** Slot(ComPtr<Interface>& pointer) {
    return reinterpret_cast<void**>(pointer.put());
}

bool ReadEndpoint(IAudioEndpointVolume* endpoint, float* level, BOOL* mute) {
    // A level outside 0..1 (or not a number) is no reading.
    return Succeeded(endpoint->GetMasterVolumeLevelScalar(level)) && *level >= 0.0f && *level <= 1.0f &&
           Succeeded(endpoint->GetMute(mute));
}

}  // namespace

bool SpeakerEndpoint::Serves() noexcept {
    if (!looked_) {
        looked_ = true;
        try {
            volume_ = Find();
        } catch (...) {  // out of memory on the way: the mixer keeps line 0
            volume_.reset();
        }
    }
    return static_cast<bool>(volume_);
}

ComPtr<IAudioEndpointVolume> SpeakerEndpoint::Find() const {
    ComPtr<IMMDeviceEnumerator> devices;
    if (!Succeeded(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                    __uuidof(IMMDeviceEnumerator), Slot(devices))) ||
        !devices)
        return {};
    // The endpoint winmm built mixer device 0 on; where it cannot tell, the
    // one that programs play through by default.
    const std::wstring id = mixer_.EndpointId(0);
    ComPtr<IMMDevice> device;
    const HRESULT found = id.empty() ? devices->GetDefaultAudioEndpoint(eRender, eConsole, device.put())
                                     : devices->GetDevice(id.c_str(), device.put());
    if (!Succeeded(found) || !device) return {};
    ComPtr<IAudioEndpointVolume> endpoint;
    if (!Succeeded(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr, Slot(endpoint))) ||
        !endpoint)
        return {};
    // Serving means both values can be read and written: both are read,
    // then written back as read. (Wine answers a fixed level and refuses
    // the write.)
    float level = 0;
    BOOL mute = FALSE;
    if (!ReadEndpoint(endpoint.get(), &level, &mute) ||
        !Succeeded(endpoint->SetMasterVolumeLevelScalar(level, nullptr)) ||
        !Succeeded(endpoint->SetMute(mute, nullptr)))
        return {};
    return endpoint;
}

bool SpeakerEndpoint::Read(long* volume, long* mute) const noexcept {
    float level = 0;
    BOOL muted = FALSE;
    if (!volume_ || !ReadEndpoint(volume_.get(), &level, &muted)) return false;
    *volume = static_cast<long>(NearestEven(static_cast<double>(level) * kFullScale));
    *mute = muted ? 1 : 0;
    return true;
}

void SpeakerEndpoint::SetVolume(long value) const noexcept {
    if (!volume_ || value < 0 || value > kFullScale) return;
    Succeeded(volume_->SetMasterVolumeLevelScalar(static_cast<float>(static_cast<double>(value) / kFullScale), nullptr));
}

void SpeakerEndpoint::SetMute(long value) const noexcept {
    if (!volume_) return;
    Succeeded(volume_->SetMute(value != 0 ? TRUE : FALSE, nullptr));
}

}  // namespace tessary
