// Folders, drives and paths against Wine's real platform: special, system,
// Windows and temporary folders, the drive list, short names of real files
// and FileOrDirExists on files and folders made here.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "application/app_client.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app_); }
    ComApartment com_;
    AppClient app_;
};

// Sets a per-user value for the life of the object and then restores it.
class ScopedValue {
public:
    ScopedValue(const wchar_t* path, const wchar_t* name, const std::wstring& text) : name_(name) {
        RegCreateKeyW(HKEY_CURRENT_USER, path, &key_);
        had_ = RegQueryValueExW(key_, name, nullptr, &type_, reinterpret_cast<BYTE*>(old_), &size_) == 0;
        RegSetValueExW(key_, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    ~ScopedValue() {
        if (had_) RegSetValueExW(key_, name_, 0, type_, reinterpret_cast<const BYTE*>(old_), size_);
        else RegDeleteValueW(key_, name_);
        RegCloseKey(key_);
    }

private:
    const wchar_t* name_;
    HKEY key_ = nullptr;
    bool had_ = false;
    DWORD type_ = 0, size_ = sizeof old_;
    wchar_t old_[MAX_PATH];
};

TEST_F(FoldersTest, SpecialFoldersGetABackslashAppendedWithoutLooking) {
    for (int csidl : {CSIDL_STARTUP, CSIDL_RECENT, CSIDL_WINDOWS}) {
        wchar_t expected[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, csidl, nullptr, 0, expected));
        EXPECT_EQ(std::wstring(expected) + L"\\", app_.FolderSpecial(csidl));
    }
    EXPECT_EQ(L"", app_.FolderSpecial(12345));
    EXPECT_EQ(L"", app_.FolderSpecial(CSIDL_DRIVES)) << "a virtual folder has no path";
    ScopedValue favorites(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                          L"Favorites", L"C:\\");
    EXPECT_EQ(L"C:\\\\", app_.FolderSpecial(CSIDL_FAVORITES)) << "a drive root ends in two backslashes";
}

TEST_F(FoldersTest, SystemWindowsAndTempFolders) {
    wchar_t system[MAX_PATH], windows[MAX_PATH], temp[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    GetWindowsDirectoryW(windows, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(std::wstring(system) + L"\\", app_.Text(&_xApplication::get_FolderSystem));
    EXPECT_EQ(std::wstring(windows) + L"\\", app_.Text(&_xApplication::get_FolderWindows));
    EXPECT_EQ(temp, app_.Text(&_xApplication::get_FolderTemp)) << "already ends in a backslash: not doubled";

    // A temporary folder too long for the 255-character buffer: "\" alone.
    std::wstring longTemp = L"C:\\" + std::wstring(253, L't');
    CreateDirectoryW(longTemp.c_str(), nullptr);
    wchar_t oldTmp[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", longTemp.c_str());
    std::wstring failed = app_.Text(&_xApplication::get_FolderTemp);
    SetEnvironmentVariableW(L"TMP", oldTmp);
    RemoveDirectoryW(longTemp.c_str());
    EXPECT_EQ(L"\\", failed);
}

TEST_F(FoldersTest, DriveListKeepsItsNulsAndFitsEveryDrive) {
    auto expected = [] {
        std::wstring list;
        for (int i = 0; i < 26; ++i)
            if (GetLogicalDrives() & (1u << i)) list += std::wstring(1, wchar_t(L'A' + i)) + L":\\" + kNul;
        return list + kNul;
    };
    std::wstring list = app_.Text(&_xApplication::get_DrivesAvailable);
    EXPECT_EQ(expected(), list);
    std::wstring rest = list;
    EXPECT_EQ(list.substr(0, 3), app_.StripNulls(rest)) << "taken apart with StripNulls";
    EXPECT_EQ(list.substr(4), rest);

    // Twenty more drives: the list no longer fits 64 characters, and still comes whole.
    std::vector<std::wstring> extra;
    for (wchar_t letter = L'D'; letter <= L'X'; ++letter) {
        std::wstring name = std::wstring(1, letter) + L":";
        if (!(GetLogicalDrives() & (1u << (letter - L'A'))) && DefineDosDeviceW(0, name.c_str(), TempDir().c_str()))
            extra.push_back(name);
    }
    list = app_.Text(&_xApplication::get_DrivesAvailable);
    std::wstring wanted = expected();
    for (const std::wstring& name : extra) DefineDosDeviceW(DDD_REMOVE_DEFINITION, name.c_str(), TempDir().c_str());
    ASSERT_GE(extra.size(), 16u);
    EXPECT_GT(list.size(), 64u);
    EXPECT_EQ(wanted, list);
}

TEST_F(FoldersTest, ShortNamesAndPathParts) {
    std::wstring file = FreshFolder(L"Short Name Folder") + L"A Rather Long File Name.text";
    MakeFile(file);
    wchar_t expected[MAX_PATH];
    DWORD n = GetShortPathNameW(file.c_str(), expected, MAX_PATH);
    EXPECT_EQ(std::wstring(expected, n), app_.ShortName(file));
    EXPECT_NE(file, app_.ShortName(file));
    for (const std::wstring& bad : {file + L".missing", std::wstring(), file + kNul + L"junk", std::wstring(100000, L'n')})
        EXPECT_EQ(L"", app_.ShortName(bad)) << "no file: a NUL would have named the real one";

    struct Case { const wchar_t* path; VARIANT_BOOL folder; const wchar_t* part; } cases[] = {
        {L"D:\\dir\\file.txt", VARIANT_FALSE, L"file.txt"}, {L"D:\\dir\\file.txt", VARIANT_TRUE, L"D:\\dir\\"},
        {L"D:\\dir\\file.txt", 1, L"D:\\dir\\"},            {L"D:\\dir\\", VARIANT_FALSE, L"dir\\"},
        {L"D:\\dir\\", VARIANT_TRUE, L"D:\\"},               {L"file.txt", VARIANT_TRUE, L"file.txt"},
        {L"dir\\", VARIANT_FALSE, L"dir\\"},                 {L"", VARIANT_FALSE, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.part, app_.PathName(c.path, c.folder)) << c.path;
    std::wstring deep = L"C:\\" + std::wstring(40000, L'd') + L"\\name.txt";
    EXPECT_EQ(L"name.txt", app_.PathName(deep, VARIANT_FALSE)) << "beyond 16-bit positions";
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

TEST_F(FileOrDirExistsTest, FileAndFolderMode) {
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"mixedcase.txt"));
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"SUB")) << "folders count in file mode";
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"hidden.txt"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"Mixed*.TXT")) << "names are compared, not matched";
    EXPECT_FALSE(app_.FileOrDirExists(folder_)) << "a trailing backslash leaves no name";
    EXPECT_TRUE(app_.FileOrDirExists(folder_ + L"MixedCase.TXT", L"Q:\\nowhere")) << "with both, the file alone";
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"missing.txt", folder_));

    EXPECT_TRUE(app_.FileOrDirExists(L"", folder_ + L"Sub"));
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"MixedCase.TXT")) << "a file is no folder";
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"missing"));
    EXPECT_FALSE(app_.FileOrDirExists(L"", L""));
    // The 8-bit pattern would end at the NUL and find the real folder.
    EXPECT_FALSE(app_.FileOrDirExists(L"", folder_ + L"Sub" + kNul + L"junk"));
    EXPECT_FALSE(app_.FileOrDirExists(folder_ + L"Sub" + kNul + L"\\Sub"));
    EXPECT_FALSE(app_.FileOrDirExists(std::wstring(100000, L'f')));
}

TEST_F(FileOrDirExistsTest, BareNamesAreLookedForInTheRootOfTheCurrentDrive) {
    std::wstring rootName = L"tessary-root-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    MakeFile(L"C:\\" + rootName);
    wchar_t oldDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldDirectory);
    SetCurrentDirectoryW(folder_.c_str());
    bool inRoot = app_.FileOrDirExists(rootName), inCurrent = app_.FileOrDirExists(L"MixedCase.TXT");
    SetCurrentDirectoryW(oldDirectory);
    DeleteFileW((L"C:\\" + rootName).c_str());
    EXPECT_TRUE(inRoot);
    EXPECT_FALSE(inCurrent) << "the current directory is not searched";
}

}  // namespace
