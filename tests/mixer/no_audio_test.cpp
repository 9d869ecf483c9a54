// xMixer over the real winmm in a Wine prefix whose audio is switched off:
// mixerGetNumDevs answers 0, a real state of machines without sound.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const wchar_t kCaption[] = L" Volume Control - Error";

class NoAudio : public ::testing::Test {
protected:
    void SetUp() override {
        if (mixerGetNumDevs() != 0) GTEST_SKIP() << "this Wine prefix has a mixer; the no-audio prefix is needed";
    }
    ComApartment com_;
    MessageLog log_;
};

TEST_F(NoAudio, CreationReportsTheMissingMixerAndMembersStayUsable) {
    LoadedLibrary library;
    {
        ComPtr<_xMixer> mixer = library.Create<_xMixer>(CLSID_xMixer);
        ASSERT_TRUE(mixer);
        VARIANT_BOOL flag = 0;
        ASSERT_EQ(S_OK, mixer->get_bMix(&flag));
        EXPECT_EQ(VARIANT_FALSE, flag);
        ASSERT_EQ(S_OK, mixer->get_bMixOpen(&flag));
        EXPECT_EQ(VARIANT_TRUE, flag);
        std::vector<RecordedMessage> shown = log_.Messages();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), shown[0].style);
        EXPECT_EQ(kCaption, shown[0].caption);
        EXPECT_EQ(L"Unable to detect a mixer.", shown[0].text);

        Variant name;
        ASSERT_EQ(S_OK, mixer->get_Mixer(name.get()));
        ASSERT_EQ(VT_BSTR, V_VT(name.get()));
        EXPECT_EQ(L"", ToWide(V_BSTR(name.get())));
        shown = log_.Messages();
        ASSERT_EQ(2u, shown.size());
        EXPECT_EQ(L"Unable to aquire mixer Capabilities/Details.", shown[1].text);
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), shown[1].style);
        EXPECT_EQ(kCaption, shown[1].caption);

        // Nothing was scanned: reads fail with the run-time's error 9.
        LONG value = 0;
        EXPECT_EQ(HRESULT(0x800A0009), mixer->get_Volume(&value));
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(S_OK, GetErrorInfo(0, info.put()));
        Bstr description;
        info->GetDescription(description.put());
        EXPECT_EQ(L"Subscript out of range", ToWide(description.get()));
        EXPECT_EQ(HRESULT(0x800A0009), mixer->get_Mute(&value));
        Bstr source;
        EXPECT_EQ(HRESULT(0x800A0009), mixer->get_Source(source.put()));

        VARIANT_BOOL done = 0;
        EXPECT_EQ(S_OK, mixer->Details(&done));
        EXPECT_EQ(VARIANT_TRUE, done);
        value = 5;
        EXPECT_EQ(S_OK, mixer->put_Volume(&value));
        EXPECT_EQ(S_OK, mixer->put_Mute(&value));
        EXPECT_EQ(5, value);
        EXPECT_EQ(S_OK, mixer->A_Description());
        EXPECT_EQ(2u, log_.Messages().size());
    }
    EXPECT_EQ(S_OK, library.CanUnloadNow());
}

}  // namespace
