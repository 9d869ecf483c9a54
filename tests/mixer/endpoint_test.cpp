// xMixer where the audio endpoint serves line 0, in the "endpoint" Wine
// prefix: Wine's ALSA driver on ALSA's null device, as in the "sound" prefix,
// with the test's stand-in enumerator (endpoint_double.h) registered over
// Wine's own. winmm's answers are the mixer's side, the stand-in's record
// the endpoint's.
#include <windows.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "mixer/endpoint_double.h"
#include "mixer/winmm_readings.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

using Step = EndpointStep;

const LONG kFull = 65535;
// The stand-in's level in every test: 16383.75 on the mixer's scale, far
// from the mixer's own 65535.
const float kLevel = 0.25f;
const LONG kLevelValue = 16384;

// The level the library must ask for to set a mixer value.
float LevelOf(LONG value) { return static_cast<float>(static_cast<double>(value) / kFull); }

EndpointDoubleState* StandInState() {
    HMODULE standIn = GetModuleHandleW(L"endpoint_double.dll");
    auto state = standIn ? reinterpret_cast<EndpointDoubleFunction>(GetProcAddress(standIn, kEndpointDoubleExport))
                         : nullptr;
    return state ? state() : nullptr;
}

// The id of the endpoint Wine made mixer device 0 of: its default output.
std::wstring DefaultOutputId() {
    ComPtr<IMMDeviceEnumerator> devices;
    ComPtr<IMMDevice> device;
    LPWSTR id = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(devices.put()))) ||
        FAILED(devices->GetDefaultAudioEndpoint(eRender, eConsole, device.put())) || FAILED(device->GetId(&id)))
        return L"";
    std::wstring text(id);
    CoTaskMemFree(id);
    return text;
}

bool ErrorPending() {
    ComPtr<IErrorInfo> info;
    return GetErrorInfo(0, info.put()) == S_OK;
}

class Endpoint : public ::testing::Test {
protected:
    void SetUp() override {
        // winmm builds its mixers on the enumerator: that loads the stand-in
        // into this process, where it is registered.
        ASSERT_GT(mixerGetNumDevs(), 0u) << "no mixer: the ALSA null device of the endpoint prefix is not available";
        state_ = StandInState();
        ASSERT_TRUE(state_) << "winmm did not load the stand-in enumerator: it is not registered in this prefix";
        defaultOutput_ = DefaultOutputId();
        ZeroMemory(state_, sizeof *state_);
        state_->level = kLevel;
        state_->refusingThread = GetCurrentThreadId();
        mixer_ = NewObject();
    }
    void TearDown() override {
        mixer_.reset();
        if (state_) {
            EXPECT_EQ(0, state_->liveVolumes) << "an endpoint volume outlived its object";
        }
        EXPECT_EQ(S_OK, library_.CanUnloadNow());
    }

    ComPtr<_xMixer> NewObject() {
        ComPtr<_xMixer> mixer = library_.Create<_xMixer>(CLSID_xMixer);
        EXPECT_TRUE(mixer);
        return mixer;
    }
    std::wstring ReadName(_xMixer* mixer) {
        Variant name;
        EXPECT_EQ(S_OK, mixer->get_Mixer(name.get()));
        return V_VT(name.get()) == VT_BSTR ? ToWide(V_BSTR(name.get())) : L"(not text)";
    }
    bool Rescan() {
        VARIANT_BOOL done = VARIANT_FALSE;
        return SUCCEEDED(mixer_->Details(&done)) && done == VARIANT_TRUE;
    }
    LONG Read(_xMixer* mixer, HRESULT (STDMETHODCALLTYPE _xMixer::*member)(LONG*)) {
        LONG value = -1;
        EXPECT_EQ(S_OK, (mixer->*member)(&value));
        return value;
    }
    bool Flag(_xMixer* mixer, HRESULT (STDMETHODCALLTYPE _xMixer::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL value = VARIANT_FALSE;
        EXPECT_EQ(S_OK, (mixer->*member)(&value));
        return value == VARIANT_TRUE;
    }
    // The recorded calls of one step, made on `thread` (any: 0).
    std::vector<EndpointCall> Calls(Step step, DWORD thread = 0) const {
        std::vector<EndpointCall> found;
        const LONG count = std::min<LONG>(state_->callCount, static_cast<LONG>(std::size(state_->calls)));
        for (LONG i = 0; i < count; ++i)
            if (state_->calls[i].step == step && (!thread || state_->calls[i].thread == thread))
                found.push_back(state_->calls[i]);
        return found;
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    EndpointDoubleState* state_ = nullptr;
    std::wstring defaultOutput_;
    ComPtr<_xMixer> mixer_;
};

// Creation looks for nothing; the first scan finds the endpoint of mixer
// device 0 and tries it with its own values; every scan reads line 0 from it.
TEST_F(Endpoint, ScansReadLineZeroFromTheEndpoint) {
    EXPECT_EQ(0, state_->callCount) << "creating the object asked the endpoint something";
    ASSERT_EQ(DeviceName(), ReadName(mixer_.get()));
    const DWORD self = GetCurrentThreadId();  // winmm creates enumerators on threads of its own
    ASSERT_EQ(1u, Calls(Step::Create, self).size());
    EXPECT_EQ(defaultOutput_, state_->activated);
    ASSERT_EQ(1u, Calls(Step::SetLevel).size());
    EXPECT_EQ(kLevel, Calls(Step::SetLevel)[0].level) << "the level is tried by writing back what was read";
    EXPECT_EQ(kLevel, state_->level);
    ASSERT_EQ(1u, Calls(Step::SetMute).size());
    EXPECT_EQ(FALSE, state_->mute);
    const DWORD mixerVolume = DeviceValue(0);
    EXPECT_NE(DWORD(kLevelValue), mixerVolume);

    struct Case {
        float level;
        BOOL mute;
        LONG volume;
        LONG muteValue;
    };
    const Case cases[] = {
        {kLevel, FALSE, kLevelValue, 0},
        {0.0f, TRUE, 0, 1},
        {LevelOf(1), FALSE, 1, 0},
        {LevelOf(32768), 5, 32768, 1},  // any true value reads as 1
        {0.5f, FALSE, 32768, 0},        // 32767.5: halves go to the even neighbour
        {1.0f, TRUE, kFull, 1},
    };
    for (const Case& c : cases) {
        state_->level = c.level;
        state_->mute = c.mute;
        ASSERT_TRUE(Rescan());
        EXPECT_EQ(c.volume, Read(mixer_.get(), &_xMixer::get_Volume)) << "level " << c.level;
        EXPECT_EQ(c.muteValue, Read(mixer_.get(), &_xMixer::get_Mute)) << "mute " << c.mute;
        EXPECT_TRUE(Flag(mixer_.get(), &_xMixer::get_bMixVol));
        EXPECT_TRUE(Flag(mixer_.get(), &_xMixer::get_bMixMute));
    }
    EXPECT_EQ(1u, Calls(Step::Create, self).size()) << "the endpoint is looked for once";
    EXPECT_EQ(mixerVolume, DeviceValue(0));
    EXPECT_TRUE(log_.Messages().empty());
}

// Writes to line 0 set the endpoint, on the mixer's scale; a volume outside
// it changes nothing; the mixer's own controls are left alone.
TEST_F(Endpoint, WritesToLineZeroSetTheEndpoint) {
    ASSERT_EQ(DeviceName(), ReadName(mixer_.get()));
    const DWORD mixerVolume = DeviceValue(0), mixerMute = DeviceValue(1);
    struct Case {
        bool mute;    // Mute, else Volume
        LONG value;
        bool reaches;  // the endpoint is set
        LONG scanned;  // what the next scan reads
    };
    const Case cases[] = {
        {false, 0, true, 0},
        {false, 1, true, 1},
        {false, 32768, true, 32768},
        {false, kFull, true, kFull},
        {false, 12345, true, 12345},
        {false, -1, false, 12345},  // outside the scale: the endpoint keeps 12345
        {false, kFull + 1, false, 12345},
        {false, 1000000, false, 12345},
        {true, 1, true, 1},
        {true, 0, true, 0},
        {true, 7, true, 1},  // any value but 0 is on
        {true, -1, true, 1},
    };
    for (const Case& c : cases) {
        const Step step = c.mute ? Step::SetMute : Step::SetLevel;
        const size_t before = Calls(step).size();
        LONG value = c.value;
        ASSERT_EQ(S_OK, c.mute ? mixer_->put_Mute(&value) : mixer_->put_Volume(&value));
        EXPECT_EQ(c.value, value) << "the caller's variable is left alone";
        EXPECT_EQ(c.value, Read(mixer_.get(), c.mute ? &_xMixer::get_Mute : &_xMixer::get_Volume))
            << "cached as written";
        const std::vector<EndpointCall> calls = Calls(step);
        ASSERT_EQ(before + (c.reaches ? 1 : 0), calls.size()) << "value " << c.value;
        if (c.reaches) {
            if (c.mute) {
                EXPECT_EQ(c.value != 0, calls.back().mute != FALSE);
            } else {
                EXPECT_EQ(LevelOf(c.value), calls.back().level);
            }
        }
        ASSERT_TRUE(Rescan());
        EXPECT_EQ(c.scanned, Read(mixer_.get(), c.mute ? &_xMixer::get_Mute : &_xMixer::get_Volume));
        EXPECT_FALSE(ErrorPending());
    }
    EXPECT_EQ(mixerVolume, DeviceValue(0));
    EXPECT_EQ(mixerMute, DeviceValue(1));
    EXPECT_TRUE(log_.Messages().empty());
}

// The sources are the mixer's: the endpoint hears nothing of them.
TEST_F(Endpoint, SourceLinesStayWithTheMixer) {
    ASSERT_EQ(DeviceName(), ReadName(mixer_.get()));
    const size_t levels = Calls(Step::SetLevel).size(), mutes = Calls(Step::SetMute).size();
    mixer_->put_idMix(1);
    ASSERT_TRUE(Rescan());
    EXPECT_TRUE(Flag(mixer_.get(), &_xMixer::get_bMixVol));
    EXPECT_NE(kLevelValue, Read(mixer_.get(), &_xMixer::get_Volume)) << "a source read the endpoint's level";
    LONG volume = 1234, mute = 1;
    ASSERT_EQ(S_OK, mixer_->put_Volume(&volume));
    ASSERT_EQ(S_OK, mixer_->put_Mute(&mute));
    EXPECT_EQ(1234, Read(mixer_.get(), &_xMixer::get_Volume));
    EXPECT_EQ(levels, Calls(Step::SetLevel).size());
    EXPECT_EQ(mutes, Calls(Step::SetMute).size());
    EXPECT_EQ(kLevel, state_->level);
    EXPECT_EQ(FALSE, state_->mute);
}

// An endpoint that refuses any step of the first look leaves line 0 to the
// mixer, exactly as without one: its values, flags and writes, no message,
// no error left pending, nothing asked after the refusal.
TEST_F(Endpoint, ARefusalLeavesLineZeroToTheMixer) {
    mixer_.reset();
    struct Case {
        Step step;
        HRESULT refusal;
        const char* what;
    };
    const Case cases[] = {
        {Step::Create, REGDB_E_CLASSNOTREG, "the enumerator's class cannot be created"},
        {Step::Create, E_OUTOFMEMORY, "out of memory creating the enumerator"},
        {Step::Device, HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "no such device"},
        {Step::Activate, E_NOINTERFACE, "the volume interface refused"},
        {Step::GetLevel, E_FAIL, "the level cannot be read"},
        {Step::GetMute, E_FAIL, "the mute switch cannot be read"},
        {Step::SetLevel, E_NOTIMPL, "the level cannot be written (Wine's own endpoint)"},
        {Step::SetMute, E_ACCESSDENIED, "the mute switch cannot be written"},
    };
    LONG wanted = 20000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZeroMemory(state_, sizeof *state_);
        state_->level = kLevel;
        state_->refusingThread = GetCurrentThreadId();
        state_->refuse[static_cast<int>(c.step)] = c.refusal;
        ComPtr<_xMixer> mixer = NewObject();
        ASSERT_EQ(DeviceName(), ReadName(mixer.get()));
        EXPECT_FALSE(ErrorPending());
        ASSERT_EQ(1u, Calls(c.step, GetCurrentThreadId()).size()) << "the refusal was never met";
        for (int later = static_cast<int>(c.step) + 1; later < static_cast<int>(Step::kCount); ++later)
            EXPECT_TRUE(Calls(static_cast<Step>(later), GetCurrentThreadId()).empty()) << "step " << later;

        EXPECT_EQ(LONG(DeviceValue(0)), Read(mixer.get(), &_xMixer::get_Volume));
        EXPECT_EQ(LONG(DeviceValue(1)), Read(mixer.get(), &_xMixer::get_Mute));
        EXPECT_TRUE(Flag(mixer.get(), &_xMixer::get_bMixVol));
        EXPECT_TRUE(Flag(mixer.get(), &_xMixer::get_bMixMute));
        wanted += 1000;
        LONG volume = wanted, mute = 1;
        ASSERT_EQ(S_OK, mixer->put_Volume(&volume));
        ASSERT_EQ(S_OK, mixer->put_Mute(&mute));
        EXPECT_NEAR(wanted, LONG(DeviceValue(0)), 1) << "the mixer's master volume";
        EXPECT_EQ(1u, DeviceValue(1)) << "the mixer's master mute";
        mute = 0;
        mixer->put_Mute(&mute);
        EXPECT_EQ(kLevel, state_->level);
        EXPECT_EQ(FALSE, state_->mute);
        EXPECT_TRUE(log_.Messages().empty());
        mixer.reset();
        EXPECT_EQ(0, state_->liveVolumes);
    }
}

// After the endpoint has served: a scan that cannot read it reads line 0
// from the mixer; a write it refuses fails silently, the value cached.
TEST_F(Endpoint, LaterFailuresOfTheEndpoint) {
    ASSERT_EQ(DeviceName(), ReadName(mixer_.get()));
    ASSERT_EQ(kLevelValue, Read(mixer_.get(), &_xMixer::get_Volume));

    state_->refuse[static_cast<int>(Step::SetLevel)] = E_FAIL;
    const DWORD mixerVolume = DeviceValue(0);
    LONG volume = 30000;
    ASSERT_EQ(S_OK, mixer_->put_Volume(&volume));
    EXPECT_FALSE(ErrorPending());
    EXPECT_EQ(30000, Read(mixer_.get(), &_xMixer::get_Volume));
    EXPECT_EQ(kLevel, state_->level);
    EXPECT_EQ(mixerVolume, DeviceValue(0));

    state_->refuse[static_cast<int>(Step::GetLevel)] = E_FAIL;
    ASSERT_TRUE(Rescan());
    EXPECT_FALSE(ErrorPending());
    EXPECT_EQ(LONG(mixerVolume), Read(mixer_.get(), &_xMixer::get_Volume));
    EXPECT_TRUE(Flag(mixer_.get(), &_xMixer::get_bMixVol));
    volume = 25000;
    ASSERT_EQ(S_OK, mixer_->put_Volume(&volume));
    EXPECT_NEAR(25000, LONG(DeviceValue(0)), 1) << "line 0 went back to the mixer";

    state_->refuse[static_cast<int>(Step::GetLevel)] = S_OK;
    ASSERT_TRUE(Rescan());
    EXPECT_EQ(kLevelValue, Read(mixer_.get(), &_xMixer::get_Volume)) << "and to the endpoint when it answers again";
    EXPECT_TRUE(log_.Messages().empty());
}

// A thread of its own apartment holding an object, until told to end.
struct Apartment {
    const LoadedLibrary* library;
    HANDLE ready;
    IStream* marshaled = nullptr;
    DWORD thread = 0;

    static DWORD WINAPI Run(void* context) {
        auto* a = static_cast<Apartment*>(context);
        ComApartment com;
        {
            ComPtr<_xMixer> mixer = a->library->Create<_xMixer>(CLSID_xMixer);
            if (mixer) CoMarshalInterThreadInterfaceInStream(IID__xMixer, mixer.get(), &a->marshaled);
            SetEvent(a->ready);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        }
        return 0;
    }
};

// Used from another apartment through its proxy, the object still acts on
// the endpoint: in its own apartment, where it found it.
TEST_F(Endpoint, AnObjectUsedThroughItsProxyActsOnTheEndpoint) {
    Apartment apartment{&library_, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, &Apartment::Run, &apartment, 0, &apartment.thread);
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(apartment.ready, 30000));
    ASSERT_TRUE(apartment.marshaled);
    {
        ComPtr<_xMixer> proxy;
        ASSERT_EQ(S_OK, CoGetInterfaceAndReleaseStream(apartment.marshaled, IID__xMixer,
                                                       reinterpret_cast<void**>(proxy.put())));
        const DWORD mixerVolume = DeviceValue(0);
        EXPECT_EQ(DeviceName(), ReadName(proxy.get()));
        EXPECT_EQ(kLevelValue, Read(proxy.get(), &_xMixer::get_Volume));
        LONG volume = 30000, mute = 1;
        EXPECT_EQ(S_OK, proxy->put_Volume(&volume));
        EXPECT_EQ(S_OK, proxy->put_Mute(&mute));
        EXPECT_EQ(LevelOf(30000), state_->level);
        EXPECT_EQ(TRUE, state_->mute);
        EXPECT_EQ(mixerVolume, DeviceValue(0));
        EXPECT_EQ(1u, Calls(Step::Create, apartment.thread).size()) << "looked for in the object's apartment";
        EXPECT_TRUE(Calls(Step::Create, GetCurrentThreadId()).empty());
    }
    PostThreadMessageW(apartment.thread, WM_QUIT, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
    CloseHandle(thread);
    CloseHandle(apartment.ready);
}

}  // namespace
