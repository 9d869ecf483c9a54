// The version records of the shipped files, read back through the platform's
// version API as Explorer's properties page and installers read them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tessary_version.h"

using namespace tessary::test;

namespace {

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

class VersionRecord {
public:
    explicit VersionRecord(const std::wstring& path) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.data())) data_.clear();
    }
    bool Present() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* block = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO)) return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(block);
    }

    // The string of the first language and code page the record lists.
    std::wstring Text(const wchar_t* name) const {
        struct Translation { WORD language, codePage; };
        Translation* translations = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
            length < sizeof(Translation))
            return L"<no translation>";
        wchar_t query[80];
        wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", translations[0].language, translations[0].codePage, name);
        wchar_t* value = nullptr;
        if (!VerQueryValueW(data_.data(), query, reinterpret_cast<void**>(&value), &length)) return L"<missing>";
        return std::wstring(value, length && value[length - 1] == 0 ? length - 1 : length);
    }

private:
    std::vector<BYTE> data_;
};

// "1.0.0.0" from the fixed part's two 32-bit halves.
std::wstring DottedVersion(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." + std::to_wstring(HIWORD(low)) +
           L"." + std::to_wstring(LOWORD(low));
}

struct ShippedFile {
    const wchar_t* name;
    DWORD fileType;
    const wchar_t* description;
};

void PrintTo(const ShippedFile& file, std::ostream* out) { *out << testing::PrintToString(std::wstring(file.name)); }

class VersionResourceTest : public ::testing::TestWithParam<ShippedFile> {};

TEST_P(VersionResourceTest, CarriesTheBuildsVersionAndIdentity) {
    const ShippedFile& file = GetParam();
    VersionRecord record(BinDir() + file.name);
    ASSERT_TRUE(record.Present()) << "no version record in " << testing::PrintToString(std::wstring(file.name));

    const VS_FIXEDFILEINFO* fixed = record.Fixed();
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(file.fileType, fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask) << "debug, pre-release or patched flags set";
    const std::wstring version = Wide(TESSARY_VERSION_TEXT);
    EXPECT_EQ(version, DottedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    EXPECT_EQ(version, DottedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS));

    // The texts a properties page shows agree with the fixed part.
    EXPECT_EQ(version, record.Text(L"FileVersion"));
    EXPECT_EQ(version, record.Text(L"ProductVersion"));
    EXPECT_EQ(L"Tessary", record.Text(L"ProductName"));
    EXPECT_EQ(L"Halvex", record.Text(L"CompanyName"));
    EXPECT_EQ(std::wstring(file.description), record.Text(L"FileDescription"));
    EXPECT_EQ(std::wstring(file.name), record.Text(L"OriginalFilename"));
}

INSTANTIATE_TEST_SUITE_P(ShippedFiles, VersionResourceTest,
                         ::testing::Values(ShippedFile{L"Tessary.dll", VFT_DLL, L"Halvex Application Control"},
                                           ShippedFile{L"Dovetta.exe", VFT_APP, L"Halvex AutoDial"}),
                         [](const ::testing::TestParamInfo<ShippedFile>& info) {
                             return info.param.fileType == VFT_DLL ? std::string("Tessary") : std::string("Dovetta");
                         });

}  // namespace
