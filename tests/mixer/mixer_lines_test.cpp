// The mixer class's behaviour against described devices: creation and
// termination, the scan's rules, cached reads, writes through to the
// device, and the three messages.
#include <gtest/gtest.h>

#include "frame/errors.h"
#include "mixer/fake_mixer.h"
#include "mixer/mixer_block.h"
#include "mixer/mixer_lines.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
const DWORD kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
const DWORD kWave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
const DWORD kCd = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
const DWORD kLineIn = MIXERLINE_COMPONENTTYPE_SRC_LINE;
const DWORD kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
const DWORD kVolumeType = MIXERCONTROL_CONTROLTYPE_VOLUME;
const DWORD kMuteType = MIXERCONTROL_CONTROLTYPE_MUTE;

// What Wine's ALSA driver presents: speakers first, volume control 0, mute 1.
FakeMixer WineLike() {
    FakeMixer m;
    m.deviceName = "Out: default";
    m.destinations = {{Line("Master Volume", kSpeakers, 2, 0xFFFF0000, {Volume(0, {65535, 65535}), Mute(1, 0)}),
                       {Line("Master Volume", kWave, 1, 0, {Volume(2, {0}), Mute(3, 0)})}}};
    return m;
}

// A recording destination before the speakers; control identifiers far from
// 0 and 1; a stereo source, one with volume only, one with mute only, and a
// second source of the first one's component type.
FakeMixer Studio() {
    FakeMixer m;
    m.deviceName = "Studio Mixer";
    m.destinations = {
        {Line("Recording", kWaveIn, 2, 0x10, {Volume(3, {100, 100})}), {Line("Mic", kMic, 1, 0x11, {Volume(4, {50})})}},
        {Line("Speakers", kSpeakers, 2, 0x20, {Volume(7, {30000, 20000}), Mute(8, 1)}),
         {Line("Wave", kWave, 2, 0x21, {Volume(10, {1000, 2000}), Mute(11, 0)}),
          Line("CD Audio", kCd, 2, 0x22, {Volume(12, {3000, 3000})}),
          Line("Line In", kLineIn, 1, 0x23, {Mute(14, 1)}),
          Line("Wave 2", kWave, 2, 0x24, {Volume(16, {4000, 4500}), Mute(17, 1)})}},
        {Line("Headphones", kSpeakers, 2, 0x30, {Volume(20, {9})}), {}},
    };
    return m;
}

template <class Body>
long RuntimeErrorOf(Body&& body) {
    try {
        body();
    } catch (const RuntimeError& e) {
        return e.number;
    }
    return 0;
}

const wchar_t kCaption[] = L" Volume Control - Error";

class MixerTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(0, MixerBlock::Outstanding()) << "a mixer memory block was not freed"; }

    void ExpectMessages(std::vector<std::wstring> texts) {
        std::vector<RecordedMessage> shown = log_.Messages();
        ASSERT_EQ(texts.size(), shown.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), shown[i].style);
            EXPECT_EQ(kCaption, shown[i].caption);
            EXPECT_EQ(texts[i], shown[i].text);
        }
    }
    std::vector<CallRecord> Writes() const { return device_.Calls(FakeCall::SetDetails); }

    MessageLog log_;
    FakeMixer device_;
};

// --- Creation and termination ---

TEST_F(MixerTest, CreationOpensDeviceZeroAndTerminationClosesIt) {
    device_ = Studio();
    device_.devices = 3;
    {
        MixerLines lines(device_);
        EXPECT_EQ(VARIANT_TRUE, lines.bMix);
        EXPECT_EQ(VARIANT_TRUE, lines.bMixOpen);
        auto opens = device_.Calls(FakeCall::Open);
        ASSERT_EQ(1u, opens.size());
        EXPECT_EQ(0u, opens[0].a);
        EXPECT_TRUE(device_.Calls(FakeCall::Close).empty());
    }
    auto closes = device_.Calls(FakeCall::Close);
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(FakeMixer::Handle()), closes[0].a);
    ExpectMessages({});
}

TEST_F(MixerTest, NoMixerDeviceIsReportedAndNothingIsOpenedOrClosed) {
    device_ = Studio();
    device_.devices = 0;
    {
        MixerLines lines(device_);
        EXPECT_EQ(VARIANT_FALSE, lines.bMix);
        EXPECT_EQ(VARIANT_TRUE, lines.bMixOpen);
        ExpectMessages({L"Unable to detect a mixer."});
        // Without a device there are no capabilities either.
        EXPECT_EQ(L"", lines.ReadMixer());
        ExpectMessages({L"Unable to detect a mixer.", L"Unable to aquire mixer Capabilities/Details."});
    }
    EXPECT_TRUE(device_.Calls(FakeCall::Open).empty());
    EXPECT_TRUE(device_.Calls(FakeCall::Close).empty());
}

TEST_F(MixerTest, DeviceThatCannotBeOpenedIsReportedAndNeverClosed) {
    device_ = Studio();
    device_.openResult = MMSYSERR_ALLOCATED;
    {
        MixerLines lines(device_);
        EXPECT_EQ(VARIANT_TRUE, lines.bMix);
        EXPECT_EQ(VARIANT_FALSE, lines.bMixOpen);
        ExpectMessages({L"Unable to open mixer."});
        // The name still comes from device 0; no line can be read without a handle.
        EXPECT_EQ(L"Studio Mixer", lines.ReadMixer());
        EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); }));
        // A client that claims the mixer is open does not make it closable.
        lines.bMixOpen = VARIANT_TRUE;
    }
    EXPECT_TRUE(device_.Calls(FakeCall::Close).empty());
}

TEST_F(MixerTest, ClientClearingBMixOpenKeepsTheMixerOpen) {
    device_ = Studio();
    {
        MixerLines lines(device_);
        lines.bMixOpen = VARIANT_FALSE;
    }
    EXPECT_TRUE(device_.Calls(FakeCall::Close).empty());
}

// --- Reads and writes outside the scanned lines ---

TEST_F(MixerTest, ReadsBeforeAnyScanFailWithSubscriptOutOfRange) {
    device_ = Studio();
    MixerLines lines(device_);
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); }));
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Mute(); }));
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Source(); }));
    lines.SetVolume(5);  // silently nothing
    lines.SetMute(1);
    EXPECT_TRUE(Writes().empty());
    ExpectMessages({});
}

TEST_F(MixerTest, ReadsOutsideTheLinesFailAndWritesThereDoNothing) {
    device_ = Studio();
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    ASSERT_EQ(4, lines.MaxSources);
    for (short outside : {short(-1), short(5), short(-32768), short(32767)}) {
        lines.idMix = outside;
        lines.idS = outside;
        EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); })) << outside;
        EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Mute(); })) << outside;
        EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Source(); })) << outside;
        lines.SetVolume(1);
        lines.SetMute(1);
    }
    EXPECT_TRUE(Writes().empty());
    // A client's own MaxSources does not move the bounds.
    lines.MaxSources = 100;
    lines.idMix = 5;
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); }));
}

// --- Mixer: name, capabilities, scan ---

TEST_F(MixerTest, MixerNamesTheDeviceAndScansTheFirstSpeakerDestination) {
    device_ = Studio();
    MixerLines lines(device_);
    EXPECT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(2, lines.LastDestination());
    // Capabilities come from device 0.
    auto caps = device_.Calls(FakeCall::DevCaps);
    ASSERT_EQ(1u, caps.size());
    EXPECT_EQ(0u, caps[0].a);
    // Destinations 0 and 1 are asked; the second speaker destination never is.
    auto destinations = device_.LineQueries(MIXER_GETLINEINFOF_DESTINATION);
    ASSERT_EQ(2u, destinations.size());
    EXPECT_EQ(0u, destinations[0].a);
    EXPECT_EQ(1u, destinations[1].a);
    EXPECT_EQ(4, lines.MaxSources);
    for (const CallRecord& q : device_.LineQueries(MIXER_GETLINEINFOF_SOURCE)) EXPECT_EQ(1u, q.a);
    const wchar_t* names[] = {L"Main", L"Wave", L"CD Audio", L"Line In", L"Wave 2"};
    for (short i = 0; i < 5; ++i) {
        lines.idS = i;
        EXPECT_EQ(names[i], lines.Source());
    }
    ExpectMessages({});
}

TEST_F(MixerTest, CapabilitiesThatCannotBeReadGiveTheEmptyNameAndTheMessage) {
    device_ = Studio();
    device_.failWhen = [](const CallRecord& c) { return c.call == FakeCall::DevCaps; };
    MixerLines lines(device_);
    EXPECT_EQ(L"", lines.ReadMixer());
    ExpectMessages({L"Unable to aquire mixer Capabilities/Details."});
    EXPECT_TRUE(device_.LineQueries(MIXER_GETLINEINFOF_DESTINATION).empty());
}

TEST_F(MixerTest, DeviceNameFillingItsWholeFieldIsAFailure) {
    device_ = Studio();
    device_.deviceName = std::string(31, 'n');  // the longest name with its NUL
    {
        MixerLines lines(device_);
        EXPECT_EQ(std::wstring(31, L'n'), lines.ReadMixer());
        ExpectMessages({});
    }
    device_.deviceName = std::string(40, 'n');  // 32 characters arrive, no NUL
    device_.calls.clear();
    MixerLines lines(device_);
    EXPECT_EQ(L"", lines.ReadMixer());
    ExpectMessages({L"Unable to aquire mixer Capabilities/Details."});
    EXPECT_TRUE(device_.LineQueries(MIXER_GETLINEINFOF_DESTINATION).empty());
}

TEST_F(MixerTest, LineNameFillingItsWholeFieldEndsTheScanWithTheLinesBuiltSoFar) {
    device_ = Studio();
    device_.destinations[1].sources[2].name = std::string(64, 'L');
    device_.destinations[1].sources[1].name = std::string(63, 'c');
    MixerLines lines(device_);
    EXPECT_EQ(L"", lines.ReadMixer());
    ExpectMessages({L"Unable to aquire mixer Capabilities/Details."});
    EXPECT_FALSE(lines.Details());
    // Lines before the bad one are complete, the ones after it empty.
    lines.idS = 2;
    EXPECT_EQ(std::wstring(63, L'c'), lines.Source());
    lines.idS = 3;
    EXPECT_EQ(L"", lines.Source());
    lines.idMix = 0;
    EXPECT_EQ(30000, lines.Volume());
    lines.idMix = 4;
    EXPECT_EQ(0, lines.Volume());
    ASSERT_EQ(5u, lines.Lines().size());
    EXPECT_EQ(1u, lines.Lines()[3].channels);  // stored before the name was cut
    EXPECT_FALSE(lines.Lines()[3].mute.found);
}

TEST_F(MixerTest, NamesEndAtTheirFirstNul) {
    device_ = Studio();
    device_.deviceName = std::string("Studio\0Mixer", 12);
    device_.destinations[1].sources[0].name = std::string("Wave\0Out", 8);
    MixerLines lines(device_);
    EXPECT_EQ(L"Studio", lines.ReadMixer());
    lines.idS = 1;
    EXPECT_EQ(L"Wave", lines.Source());
}

TEST_F(MixerTest, DetailsBeforeMixerScansDestinationZeroOnly) {
    device_ = Studio();
    MixerLines lines(device_);
    EXPECT_TRUE(lines.Details());
    auto destinations = device_.LineQueries(MIXER_GETLINEINFOF_DESTINATION);
    ASSERT_EQ(1u, destinations.size());
    EXPECT_EQ(0u, destinations[0].a);
    EXPECT_EQ(0, lines.MaxSources);
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); }));

    // With the speakers at destination 0 it finds them.
    FakeMixer wine = WineLike();
    MixerLines first(wine);
    EXPECT_TRUE(first.Details());
    EXPECT_EQ(1, first.MaxSources);
    EXPECT_EQ(65535, first.Volume());
}

TEST_F(MixerTest, DeviceWithoutSpeakersScansSuccessfullyAndCreatesNoLines) {
    device_ = Studio();
    device_.destinations.erase(device_.destinations.begin() + 1, device_.destinations.end());
    MixerLines lines(device_);
    lines.MaxSources = 7;
    EXPECT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(7, lines.MaxSources);
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Source(); }));
    ExpectMessages({});
}

TEST_F(MixerTest, DestinationThatCannotBeDescribedIsPassedOver) {
    device_ = Studio();
    device_.destinations[0].line.componentType = kSpeakers;  // speakers at 0, but unreadable
    device_.failWhen = [](const CallRecord& c) {
        return c.call == FakeCall::LineInfo && c.flags == MIXER_GETLINEINFOF_DESTINATION && c.a == 0;
    };
    MixerLines lines(device_);
    EXPECT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(4, lines.MaxSources);
    EXPECT_EQ(30000, lines.Volume());
}

// --- The scan's rules for idMix and the flags ---

TEST_F(MixerTest, IdMixBelowZeroBecomesZeroAndFlagsDescribeMain) {
    device_ = Studio();
    MixerLines lines(device_);
    lines.idMix = -3;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(0, lines.idMix);
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(VARIANT_TRUE, lines.bMixMute);
    EXPECT_EQ(30000, lines.Volume());
    EXPECT_EQ(1, lines.Mute());
}

TEST_F(MixerTest, IdMixAboveTheSourcesSetsNeitherFlag) {
    device_ = Studio();
    MixerLines lines(device_);
    lines.idMix = 9;
    lines.bMixVol = VARIANT_TRUE;
    lines.bMixMute = VARIANT_FALSE;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(9, lines.idMix);
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(VARIANT_FALSE, lines.bMixMute);
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Volume(); }));
}

TEST_F(MixerTest, FlagsDescribeTheLineIdMixNamedAtTheScan) {
    device_ = Studio();
    MixerLines lines(device_);
    lines.idMix = 2;  // CD Audio: volume only
    ASSERT_TRUE(lines.Details() && !lines.ReadMixer().empty());
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(VARIANT_FALSE, lines.bMixMute);
    lines.idMix = 3;  // Line In: mute only; the flags still describe CD Audio
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(VARIANT_FALSE, lines.bMixMute);
    ASSERT_TRUE(lines.Details());
    EXPECT_EQ(VARIANT_FALSE, lines.bMixVol);
    EXPECT_EQ(VARIANT_TRUE, lines.bMixMute);
    EXPECT_EQ(1, lines.Mute());
    EXPECT_EQ(0, lines.Volume());
}

// --- Controls: found or not, whatever their identifiers ---

TEST_F(MixerTest, MainLineUsesItsControlsWhateverTheirIdentifiers) {
    device_ = Studio();  // main volume control 7, mute 8
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(30000, lines.Volume());  // the left channel
    EXPECT_EQ(7u, lines.Lines()[0].volume.id);
    // The volume is read on all the line's channels, the mute switch on one.
    auto reads = device_.Calls(FakeCall::GetDetails);
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(7u, reads[0].a);
    EXPECT_EQ(2u, reads[0].b);
    EXPECT_EQ(8u, reads[1].a);
    EXPECT_EQ(1u, reads[1].b);

    long volume = 1234;
    lines.SetVolume(volume);
    ASSERT_EQ(1u, Writes().size());
    EXPECT_EQ(7u, Writes()[0].a);
    EXPECT_EQ(1u, Writes()[0].b);  // one value for all channels
    EXPECT_EQ(std::vector<DWORD>({1234}), Writes()[0].values);
    EXPECT_EQ(std::vector<DWORD>({1234, 1234}), device_.Control(7).values);
    lines.SetMute(0);
    ASSERT_EQ(2u, Writes().size());
    EXPECT_EQ(8u, Writes()[1].a);
    EXPECT_EQ(0u, device_.Control(8).values[0]);
    EXPECT_EQ(1234, lines.Volume());
    EXPECT_EQ(0, lines.Mute());
}

TEST_F(MixerTest, VolumeControlZeroAndMuteControlOneWorkAsAlways) {
    device_ = WineLike();
    device_.Control(0).values = {40000, 40000};
    device_.Control(1).values = {1};
    MixerLines lines(device_);
    ASSERT_EQ(L"Out: default", lines.ReadMixer());
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(VARIANT_TRUE, lines.bMixMute);
    EXPECT_EQ(40000, lines.Volume());
    EXPECT_EQ(1, lines.Mute());
    lines.SetVolume(100);
    lines.SetMute(0);
    ASSERT_EQ(2u, Writes().size());
    EXPECT_EQ(0u, Writes()[0].a);
    EXPECT_EQ(1u, Writes()[1].a);
    EXPECT_EQ(std::vector<DWORD>({100, 100}), device_.Control(0).values);
    EXPECT_EQ(0u, device_.Control(1).values[0]);
    // The source line's controls 2 and 3.
    lines.idMix = 1;
    lines.SetVolume(7);
    ASSERT_EQ(3u, Writes().size());
    EXPECT_EQ(2u, Writes()[2].a);
}

TEST_F(MixerTest, SourceControlWithIdentifierZeroIsFound) {
    device_ = Studio();
    device_.Control(10).id = 0;  // Wave's volume
    MixerLines lines(device_);
    lines.idMix = 1;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(VARIANT_TRUE, lines.bMixVol);
    EXPECT_EQ(1000, lines.Volume());
    lines.SetVolume(99);
    ASSERT_EQ(1u, Writes().size());
    EXPECT_EQ(0u, Writes()[0].a);
}

TEST_F(MixerTest, LineWithoutAControlKeepsZeroAndWritesReachNoOtherControl) {
    device_ = Studio();
    device_.destinations[1].line.controls.clear();  // main line without any control
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(VARIANT_FALSE, lines.bMixVol);
    EXPECT_EQ(VARIANT_FALSE, lines.bMixMute);
    EXPECT_EQ(0, lines.Volume());
    EXPECT_EQ(0, lines.Mute());
    lines.SetVolume(500);
    lines.SetMute(1);
    EXPECT_EQ(500, lines.Volume());  // cached as written
    EXPECT_EQ(1, lines.Mute());
    lines.idMix = 2;  // CD Audio: no mute
    lines.SetMute(1);
    lines.idMix = 3;  // Line In: no volume
    lines.SetVolume(77);
    EXPECT_EQ(77, lines.Volume());
    EXPECT_TRUE(Writes().empty());
}

TEST_F(MixerTest, EachSourceGetsItsOwnLinesControls) {
    // "Wave 2" has the same component type as "Wave": the lookup still asks
    // for the controls of the line being scanned.
    device_ = Studio();
    MixerLines lines(device_);
    lines.idMix = 4;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(4000, lines.Volume());
    EXPECT_EQ(1, lines.Mute());
    EXPECT_EQ(16u, lines.Lines()[4].volume.id);
    EXPECT_EQ(17u, lines.Lines()[4].mute.id);
    lines.idMix = 1;
    EXPECT_EQ(1000, lines.Volume());
    EXPECT_EQ(0, lines.Mute());
    for (const CallRecord& q : device_.Calls(FakeCall::LineControls)) EXPECT_NE(0x10u, q.a);
}

TEST_F(MixerTest, StereoSourceReadsTheLeftChannelAndWritesAllChannels) {
    device_ = Studio();
    MixerLines lines(device_);
    lines.idMix = 1;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(1000, lines.Volume());  // left 1000, right 2000
    lines.SetVolume(25000);
    EXPECT_EQ(std::vector<DWORD>({25000, 25000}), device_.Control(10).values);
    ASSERT_EQ(1u, Writes().size());
    EXPECT_EQ(1u, Writes()[0].b);
    // A rescan reads back what was written.
    ASSERT_TRUE(lines.Details());
    EXPECT_EQ(25000, lines.Volume());
}

TEST_F(MixerTest, ControlIsMissingWhenNoLineOfItsTypeIsFound) {
    device_ = Studio();
    device_.failWhen = [](const CallRecord& c) {
        return c.call == FakeCall::LineInfo && c.flags == MIXER_GETLINEINFOF_COMPONENTTYPE && c.a == kCd;
    };
    MixerLines lines(device_);
    lines.idMix = 2;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(VARIANT_FALSE, lines.bMixVol);
    EXPECT_EQ(0, lines.Volume());
    lines.idMix = 1;
    EXPECT_EQ(1000, lines.Volume());
}

TEST_F(MixerTest, SourceThatCannotBeDescribedGetsNoNameAndNoControls) {
    device_ = Studio();
    device_.failWhen = [](const CallRecord& c) {
        return c.call == FakeCall::LineInfo && c.flags == MIXER_GETLINEINFOF_SOURCE && c.b == 1;
    };
    MixerLines lines(device_);
    lines.idMix = 2;
    lines.bMixVol = VARIANT_TRUE;
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(VARIANT_FALSE, lines.bMixVol);
    EXPECT_EQ(VARIANT_FALSE, lines.bMixMute);
    lines.idS = 2;
    EXPECT_EQ(L"", lines.Source());
    EXPECT_EQ(0, lines.Volume());
    lines.SetVolume(3);
    EXPECT_TRUE(Writes().empty());  // not Wave's controls, which the scan read just before
    lines.idS = 3;
    EXPECT_EQ(L"Line In", lines.Source());
}

// --- Cache and rescans ---

TEST_F(MixerTest, ReadsComeFromTheCacheAndARescanRebuildsTheLines) {
    device_ = Studio();
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    size_t reads = device_.Calls(FakeCall::GetDetails).size();
    device_.Control(7).values = {111, 111};  // changed by another program
    EXPECT_EQ(30000, lines.Volume());
    EXPECT_EQ(reads, device_.Calls(FakeCall::GetDetails).size());
    ASSERT_TRUE(lines.Details());
    EXPECT_EQ(111, lines.Volume());
    // A rescan rebuilds the lines from what the device now has.
    device_.destinations[1].sources.resize(1);
    lines.idS = 1;
    ASSERT_TRUE(lines.Details());
    EXPECT_EQ(1, lines.MaxSources);
    EXPECT_EQ(L"Wave", lines.Source());
    lines.idS = 2;
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { lines.Source(); }));
}

TEST_F(MixerTest, FailedWriteKeepsTheNewCachedValue) {
    device_ = Studio();
    device_.failWhen = [](const CallRecord& c) { return c.call == FakeCall::SetDetails; };
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    lines.SetVolume(5);
    EXPECT_EQ(5, lines.Volume());
    EXPECT_EQ(30000u, device_.Control(7).values[0]);
}

// --- Malformed descriptions and run-time errors ---

TEST_F(MixerTest, ImpossibleCountsEndTheScanWithoutHarm) {
    for (DWORD connections : {DWORD(0xFFFFFFFF), DWORD(0x80000000), DWORD(0x7FFFFFFF)}) {
        device_ = Studio();
        device_.destinations[1].connections = connections;
        MixerLines lines(device_);
        EXPECT_EQ(L"", lines.ReadMixer()) << connections;
        EXPECT_FALSE(lines.Details());
    }
    device_ = Studio();
    device_.destinationCount = 0;  // nothing to scan: a successful, empty scan
    MixerLines none(device_);
    EXPECT_EQ(L"Studio Mixer", none.ReadMixer());
    EXPECT_EQ(kSubscriptOutOfRange, RuntimeErrorOf([&] { none.Volume(); }));
    device_.destinationCount = 0x80000000;  // one below it does not fit
    EXPECT_EQ(L"", none.ReadMixer());
}

TEST_F(MixerTest, LineWithoutChannelsIsReadAsOne) {
    device_ = Studio();
    device_.destinations[1].line.channels = 0;
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    EXPECT_EQ(30000, lines.Volume());
    EXPECT_EQ(1u, device_.Calls(FakeCall::GetDetails)[0].b);
}

TEST_F(MixerTest, RunTimeErrorInsideAMixerCallEndsTheMemberAndFreesItsBlocks) {
    // A failure in the middle of a call that has a block in hand.
    for (FakeCall failing : {FakeCall::LineControls, FakeCall::GetDetails}) {
        device_ = Studio();
        device_.during = [failing](const CallRecord& c) {
            if (c.call == failing && MixerBlock::Outstanding() == 1) ThrowRuntime(kOutOfMemory);
        };
        MixerLines lines(device_);
        EXPECT_FALSE(lines.Details() && lines.ReadMixer() != L"");
        EXPECT_EQ(0, MixerBlock::Outstanding());
        device_.during = nullptr;
    }
    device_ = Studio();
    MixerLines lines(device_);
    ASSERT_EQ(L"Studio Mixer", lines.ReadMixer());
    device_.during = [](const CallRecord& c) {
        if (c.call == FakeCall::SetDetails) throw std::bad_alloc();
    };
    lines.SetVolume(1);
    lines.SetMute(1);
    EXPECT_EQ(0, MixerBlock::Outstanding());
    EXPECT_EQ(1, lines.Volume());
}

}  // namespace
