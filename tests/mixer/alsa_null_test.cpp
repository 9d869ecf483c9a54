// xMixer over the real winmm with Wine's ALSA driver on ALSA's null device:
// a real mixer without sound hardware. The values the object writes are read
// back through a mixer handle of the test's own.
#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>

#include <string>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "mixer/winmm_readings.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

class AlsaNull : public ::testing::Test {
protected:
    void SetUp() override {
        if (mixerGetNumDevs() == 0)
            GTEST_SKIP() << "no mixer: the ALSA null device of the sound prefix is not available";
        mixer_ = library_.Create<_xMixer>(CLSID_xMixer);
        ASSERT_TRUE(mixer_);
    }
    std::wstring ReadName() {
        Variant name;
        EXPECT_EQ(S_OK, mixer_->get_Mixer(name.get()));
        return V_VT(name.get()) == VT_BSTR ? ToWide(V_BSTR(name.get())) : L"(not text)";
    }
    bool Rescan() {
        VARIANT_BOOL done = VARIANT_FALSE;
        return SUCCEEDED(mixer_->Details(&done)) && done == VARIANT_TRUE;
    }
    LONG Volume() {
        LONG v = -1;
        EXPECT_EQ(S_OK, mixer_->get_Volume(&v));
        return v;
    }
    LONG Mute() {
        LONG v = -1;
        EXPECT_EQ(S_OK, mixer_->get_Mute(&v));
        return v;
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    ComPtr<_xMixer> mixer_;
};

TEST_F(AlsaNull, MixerNamesTheDeviceAndFindsTheSpeakerLines) {
    VARIANT_BOOL flag = 0;
    mixer_->get_bMix(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
    mixer_->get_bMixOpen(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
    EXPECT_EQ(L"Out: default", DeviceName());
    EXPECT_EQ(DeviceName(), ReadName());
    EXPECT_TRUE(log_.Messages().empty());
    LONG sources = -1;
    mixer_->get_MaxSources(&sources);
    EXPECT_EQ(1, sources);
    Bstr name;
    ASSERT_EQ(S_OK, mixer_->get_Source(name.put()));
    EXPECT_EQ(L"Main", ToWide(name.get()));
    mixer_->put_idS(1);
    ASSERT_EQ(S_OK, mixer_->get_Source(name.put()));
    EXPECT_EQ(L"Master Volume", ToWide(name.get()));
    // Both controls of the main line are found, and so are the source's.
    mixer_->get_bMixVol(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
    mixer_->get_bMixMute(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
    mixer_->put_idMix(1);
    ASSERT_TRUE(Rescan());
    mixer_->get_bMixVol(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
    mixer_->get_bMixMute(&flag);
    EXPECT_EQ(VARIANT_TRUE, flag);
}

TEST_F(AlsaNull, MainVolumeRoundTrips) {
    ASSERT_EQ(DeviceName(), ReadName());
    EXPECT_EQ(LONG(DeviceValue(0)), Volume());
    for (LONG wanted : {20000L, 65535L, 0L, 12345L}) {
        LONG value = wanted;
        ASSERT_EQ(S_OK, mixer_->put_Volume(&value));
        EXPECT_EQ(wanted, value);     // the caller's variable is left alone
        EXPECT_EQ(wanted, Volume());  // cached as written
        EXPECT_NEAR(wanted, LONG(DeviceValue(0)), 1) << "the device's master volume";
        ASSERT_TRUE(Rescan());
        EXPECT_NEAR(wanted, Volume(), 1) << "read back by a scan";
    }
}

TEST_F(AlsaNull, MainMuteRoundTrips) {
    ASSERT_EQ(DeviceName(), ReadName());
    for (LONG wanted : {1L, 0L, 1L}) {
        LONG value = wanted;
        ASSERT_EQ(S_OK, mixer_->put_Mute(&value));
        EXPECT_EQ(LONG(wanted), LONG(DeviceValue(1))) << "the device's master mute";
        ASSERT_TRUE(Rescan());
        EXPECT_EQ(wanted, Mute());
    }
    // Muting leaves the volume alone.
    EXPECT_EQ(LONG(DeviceValue(0)), Volume());
}

// Wine's own audio endpoint answers a fixed level and refuses to set one, so
// it cannot serve line 0: the mixer keeps it, with the values above, and
// what the object writes leaves the endpoint alone.
TEST_F(AlsaNull, WinesOwnEndpointLeavesLineZeroToTheMixer) {
    ComPtr<IMMDeviceEnumerator> devices;
    ComPtr<IMMDevice> speakers;
    ComPtr<IAudioEndpointVolume> endpoint;
    ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(devices.put())));
    ASSERT_EQ(S_OK, devices->GetDefaultAudioEndpoint(eRender, eConsole, speakers.put()));
    ASSERT_EQ(S_OK, speakers->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                       reinterpret_cast<void**>(endpoint.put())));
    float level = -1;
    ASSERT_EQ(S_OK, endpoint->GetMasterVolumeLevelScalar(&level));
    ASSERT_TRUE(FAILED(endpoint->SetMasterVolumeLevelScalar(0.5f, nullptr)))
        << "Wine's endpoint takes a new level now: it would serve line 0, and this test no longer shows the mixer's";

    ASSERT_EQ(DeviceName(), ReadName());
    VARIANT_BOOL found = VARIANT_FALSE;
    mixer_->get_bMixVol(&found);
    EXPECT_EQ(VARIANT_TRUE, found);
    EXPECT_EQ(LONG(DeviceValue(0)), Volume());
    LONG value = 23456;
    ASSERT_EQ(S_OK, mixer_->put_Volume(&value));
    EXPECT_NEAR(23456, LONG(DeviceValue(0)), 1) << "the mixer's master volume";
    float after = -1;
    ASSERT_EQ(S_OK, endpoint->GetMasterVolumeLevelScalar(&after));
    EXPECT_EQ(level, after);
    EXPECT_TRUE(log_.Messages().empty());
}

// Objects made one after another each get a working mixer and keep nothing.
// (Wine's winmm serves a process at most 256 mixer handles over its life, so
// the count stays well below that.)
TEST_F(AlsaNull, ObjectsOneAfterAnother) {
    auto cycle = [&] {
        ComPtr<_xMixer> mixer = library_.Create<_xMixer>(CLSID_xMixer);
        Variant name;
        mixer->get_Mixer(name.get());
        LONG volume = 30000;
        mixer->put_Volume(&volume);
        VARIANT_BOOL found = VARIANT_FALSE;
        mixer->get_bMixVol(&found);
        return V_VT(name.get()) == VT_BSTR && ToWide(V_BSTR(name.get())) == DeviceName() && found == VARIANT_TRUE;
    };
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(cycle());
    DWORD handles = KernelHandleCount();
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(cycle()) << "object " << i;
    EXPECT_LE(KernelHandleCount(), handles + 2);
    EXPECT_TRUE(log_.Messages().empty());
    EXPECT_NEAR(30000, LONG(DeviceValue(0)), 1);
}

// One thread's share of the work below: objects made and used in its own apartment.
struct MixerWork {
    static constexpr int kCycles = 12;
    const LoadedLibrary* library;
    const std::wstring* device;
    HANDLE start;
    LONG good = 0;

    static DWORD WINAPI Run(void* context) {
        auto* w = static_cast<MixerWork*>(context);
        ComApartment apartment;
        WaitForSingleObject(w->start, INFINITE);
        for (int i = 0; i < kCycles; ++i) {
            ComPtr<_xMixer> mixer = w->library->Create<_xMixer>(CLSID_xMixer);
            if (!mixer) continue;
            Variant name;
            VARIANT_BOOL found = VARIANT_FALSE;
            if (SUCCEEDED(mixer->get_Mixer(name.get())) && V_VT(name.get()) == VT_BSTR &&
                ToWide(V_BSTR(name.get())) == *w->device && SUCCEEDED(mixer->get_bMixVol(&found)) &&
                found == VARIANT_TRUE)
                InterlockedIncrement(&w->good);
        }
        return 0;
    }
};

// Objects made and used in eight threads at the same moment, each in its own
// apartment: the library's mixer calls never overlap (Wine's winmm crashes
// when mixers are opened from several threads at once).
TEST_F(AlsaNull, ObjectsInEightThreadsAtOnce) {
    constexpr int kThreads = 8;  // 96 objects: within the process's 256 mixer handles
    const std::wstring device = DeviceName();
    MixerWork work{&library_, &device, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ASSERT_TRUE(work.start);
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, &MixerWork::Run, &work, 0, nullptr);
        ASSERT_TRUE(thread);
    }
    SetEvent(work.start);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(kThreads, threads, TRUE, 60000));
    for (HANDLE thread : threads) CloseHandle(thread);
    CloseHandle(work.start);
    EXPECT_EQ(kThreads * MixerWork::kCycles, work.good);
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace

