// Folders, drives and paths through the vtable, against the platform under
// Wine: the special, system, Windows and temporary folders, the drive list,
// short names of real files and FileOrDirExists on files and folders made
// here.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "application/app_client.h"
#include "frame/text.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');

std::wstring PlatformFolder(UINT(WINAPI* call)(LPWSTR, UINT)) {
    wchar_t buffer[MAX_PATH];
    UINT n = call(buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

// Extra drive letters for the session, mapped to `target` while alive.
class ExtraDrives {
public:
    ExtraDrives(wchar_t first, wchar_t last, const std::wstring& target) : target_(target) {
        DWORD present = GetLogicalDrives();
        for (wchar_t letter = first; letter <= last; ++letter) {
            if (present & (1u << (letter - L'A'))) continue;
            std::wstring name = std::wstring(1, letter) + L":";
            if (DefineDosDeviceW(0, name.c_str(), target_.c_str())) defined_.push_back(name);
        }
    }
    ~ExtraDrives() {
        for (const std::wstring& name : defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, name.c_str(), target_.c_str());
    }
    size_t count() const { return defined_.size(); }
    const std::vector<std::wstring>& names() const { return defined_; }

private:
    std::wstring target_;
    std::vector<std::wstring> defined_;
};

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app_); }
    ComApartment com_;
    AppClient app_;
};

TEST_F(FoldersTest, SpecialFoldersEndInABackslashAndADriveRootInTwo) {
    for (int csidl : {CSIDL_STARTUP, CSIDL_RECENT, CSIDL_APPDATA, CSIDL_WINDOWS}) {
        char expected[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, csidl, nullptr, 0, expected));
        std::wstring path = app_.FolderSpecial(csidl);
        EXPECT_EQ(FromAnsiZ(expected) + L"\\", path) << "CSIDL " << csidl;
    }
    EXPECT_EQ(L"", app_.FolderSpecial(12345)) << "no such folder";
    EXPECT_EQ(L"", app_.FolderSpecial(CSIDL_DRIVES)) << "a virtual folder has no path";

    // Favorites moved to the root of C: for the length of this test.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER,
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", &key));
    wchar_t old[MAX_PATH];
    DWORD size = sizeof old, type = 0;
    bool hadOld = RegQueryValueExW(key, L"Favorites", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == 0;
    RegSetValueExW(key, L"Favorites", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(L"C:\\"), 8);
    std::wstring root = app_.FolderSpecial(CSIDL_FAVORITES);
    if (hadOld) RegSetValueExW(key, L"Favorites", 0, type, reinterpret_cast<const BYTE*>(old), size);
    else RegDeleteValueW(key, L"Favorites");
    RegCloseKey(key);
    EXPECT_EQ(L"C:\\\\", root);
}

TEST_F(FoldersTest, SystemWindowsAndTempFoldersNeverDoubleTheBackslash) {
    EXPECT_EQ(PlatformFolder(&GetSystemDirectoryW) + L"\\", app_.Folder(&_xApplication::get_FolderSystem));
    EXPECT_EQ(PlatformFolder(&GetWindowsDirectoryW) + L"\\", app_.Folder(&_xApplication::get_FolderWindows));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    ASSERT_EQ(L'\\', std::wstring(temp).back());
    EXPECT_EQ(temp, app_.Folder(&_xApplication::get_FolderTemp));

    // A temporary folder whose path does not fit the 255-character buffer:
    // the call fails and the result is "\" alone.
    std::wstring longTemp = L"C:\\" + std::wstring(253, L't');
    CreateDirectoryW(longTemp.c_str(), nullptr);
    wchar_t oldTmp[MAX_PATH] = L"", oldTemp[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", longTemp.c_str());
    SetEnvironmentVariableW(L"TEMP", longTemp.c_str());
    std::wstring failed = app_.Folder(&_xApplication::get_FolderTemp);
    SetEnvironmentVariableW(L"TMP", oldTmp[0] ? oldTmp : nullptr);
    SetEnvironmentVariableW(L"TEMP", oldTemp[0] ? oldTemp : nullptr);
    RemoveDirectoryW(longTemp.c_str());
    EXPECT_EQ(L"\\", failed);
}

TEST_F(FoldersTest, DriveListKeepsItsNulsAndFitsEveryDrive) {
    auto expectedList = [] {
        std::wstring list;
        DWORD drives = GetLogicalDrives();
        for (int i = 0; i < 26; ++i)
            if (drives & (1u << i)) list += std::wstring(1, wchar_t(L'A' + i)) + L":\\" + kNul;
        return list + kNul;
    };
    std::wstring list = app_.Folder(&_xApplication::get_DrivesAvailable);
    EXPECT_EQ(expectedList(), list);
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(kNul + kNul, list.substr(list.size() - 2)) << "the final double NUL stays";
    // Taken apart with StripNulls, one root per call.
    std::wstring rest = list, first = app_.StripNulls(rest);
    EXPECT_EQ(list.substr(0, 3), first);
    EXPECT_EQ(list.substr(4), rest);

    // Twenty drives more: the list no longer fits 64 characters but is still given whole.
    ExtraDrives extra(L'D', L'X', TempDir());
    ASSERT_GE(extra.count(), 16u) << "could not define the extra drives";
    list = app_.Folder(&_xApplication::get_DrivesAvailable);
    EXPECT_GT(list.size(), 64u);
    EXPECT_EQ(expectedList(), list);
}

TEST_F(FoldersTest, ShortNamesOfRealFiles) {
    std::wstring folder = FreshFolder(L"Short Name Folder");
    std::wstring file = folder + L"A Rather Long File Name.text";
    MakeFile(file);
    wchar_t expected[MAX_PATH];
    DWORD n = GetShortPathNameW(file.c_str(), expected, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring shortName = app_.ShortName(file);
    EXPECT_EQ(std::wstring(expected, n), shortName);
    EXPECT_NE(file, shortName);

    EXPECT_EQ(L"", app_.ShortName(folder + L"missing.txt"));
    EXPECT_EQ(L"", app_.ShortName(L""));
    // The 8-bit name would stop at the NUL and name the real file.
    EXPECT_EQ(L"", app_.ShortName(file + kNul + L"junk"));
    EXPECT_EQ(L"", app_.ShortName(std::wstring(100000, L'n')));
}

TEST_F(FoldersTest, PathNameSplitsAtTheLastBackslashBeforeTheLastCharacter) {
    struct Case { const wchar_t* path; VARIANT_BOOL folder; const wchar_t* part; } cases[] = {
        {L"D:\\dir\\file.txt", VARIANT_FALSE, L"file.txt"},
        {L"D:\\dir\\file.txt", VARIANT_TRUE, L"D:\\dir\\"},
        {L"D:\\dir\\file.txt", 1, L"D:\\dir\\"},
        {L"D:\\dir\\", VARIANT_FALSE, L"dir\\"},
        {L"D:\\dir\\", VARIANT_TRUE, L"D:\\"},
        {L"file.txt", VARIANT_TRUE, L"file.txt"},
        {L"dir\\", VARIANT_FALSE, L"dir\\"},
        {L"\\", VARIANT_TRUE, L"\\"},
        {L"", VARIANT_FALSE, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.part, app_.PathName(c.path, c.folder)) << c.path << " folder " << c.folder;

    std::wstring deep = L"C:\\" + std::wstring(40000, L'd') + L"\\name.txt";
    EXPECT_EQ(L"name.txt", app_.PathName(deep, VARIANT_FALSE));
    EXPECT_EQ(deep.substr(0, deep.size() - 8), app_.PathName(deep, VARIANT_TRUE));
    std::wstring withNul = L"a" + kNul + L"\\b";
    EXPECT_EQ(L"b", app_.PathName(withNul, VARIANT_FALSE));

    // Omitted bPath: a null pointer through the vtable is False.
    BSTR path = AllocBstr(L"D:\\dir\\file.txt");
    Bstr out;
    EXPECT_EQ(S_OK, app_.get()->get_PathName(&path, nullptr, out.put()));
    EXPECT_EQ(L"file.txt", ToWide(out.get()));
    SysFreeString(path);
}

class FileOrDirExistsTest : public FoldersTest {
protected:
    void SetUp() override {
        FoldersTest::SetUp();
        folder_ = FreshFolder(L"exists");
        MakeFile(folder_ + L"MixedCase.TXT");
        MakeFile(folder_ + L"hidden.txt");
        SetFileAttributesW((folder_ + L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        CreateDirectoryW((folder_ + L"Sub").c_str(), nullptr);
    }
    std::wstring folder_;
};

TEST_F(FileOrDirExistsTest, FileModeFindsAnyEntryWhateverItsCase) {
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"MixedCase.TXT"));
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"mixedcase.txt"));
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"SUB")) << "folders count in file mode";
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"hidden.txt"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"missing.txt"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"Mixed*.TXT")) << "names are compared, not matched";
    EXPECT_FALSE(app_.FileOrDirExists(folder_)) << "a trailing backslash leaves no name";
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"nowhere\\MixedCase.TXT"));
    // With both given the file alone is tested.
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"MixedCase.TXT", L"Q:\\no\\such\\folder"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"missing.txt", folder_));
}

TEST_F(FileOrDirExistsTest, FolderModeNeedsAFolderWithEntries) {
    EXPECT_TRUE(app_.FileOrDirExists(L"", folder_));
    EXPECT_TRUE(app_.FileOrDirExists(L"", folder_ + L"Sub"));
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"MixedCase.TXT")) << "a file is no folder";
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"missing"));
    EXPECT_FALSE(app_.FileOrDirExists(L"", L""));
}

TEST_F(FileOrDirExistsTest, BareNamesAreLookedForInTheRootOfTheCurrentDrive) {
    std::wstring rootName = L"tessary-root-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    MakeFile(L"C:\\" + rootName);
    wchar_t oldDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldDirectory);
    SetCurrentDirectoryW(folder_.c_str());  // on drive C:, holding MixedCase.TXT
    bool rootFound = app_.FileOrDirExists(rootName);
    bool currentFound = app_.FileOrDirExists(L"MixedCase.TXT");
    SetCurrentDirectoryW(oldDirectory);
    DeleteFileW((L"C:\\" + rootName).c_str());
    EXPECT_TRUE(rootFound);
    EXPECT_FALSE(currentFound) << "the current directory is not searched";
}

TEST_F(FileOrDirExistsTest, BadNamesFindNothing) {
    // The 8-bit pattern would end at the NUL and search the real folder.
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"Sub" + kNul + L"junk"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"Sub" + kNul + L"\\Sub"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"MixedCase.TXT" + kNul));
    EXPECT_FALSE(app_.FileOrDirExists(std::wstring(100000, L'f')));
    EXPECT_FALSE(app_.FileOrDirExists(L"", std::wstring(100000, L'f')));
}

}  // namespace
