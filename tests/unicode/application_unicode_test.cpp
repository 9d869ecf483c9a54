// xApplication with names inside and outside the code page: files and
// folders are found, copied, moved, renamed and deleted under their own
// names; a fullwidth look-alike of a separator or wildcard names no other
// file; the temporary folder is the one TEMP names; typed text arrives whole.
#include <gtest/gtest.h>

#include "application/app_client.h"
#include "support/unicode_texts.h"

using namespace tessary;
using namespace tessary::test;

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = L"";
    return GetEnvironmentVariableW(name, value, 1024) ? value : L"";
}

class ApplicationUnicodeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app_); }
    ComApartment com_;
    AppClient app_;
};

TEST_F(ApplicationUnicodeTest, FilesAreFoundAndMovedUnderTheirOwnNames) {
    for (const UnicodeText& row : UnicodeTexts()) {
        SCOPED_TRACE(row.label);
        const std::wstring folder = FreshFolder(L"unicode");
        for (const wchar_t* sub : {L"src", L"dst", L"moved"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
        const std::wstring name = row.text + L".txt", source = folder + L"src\\" + name;
        MakeFile(source, row.label);
        ASSERT_TRUE(Exists(source));
        CreateDirectoryW((folder + row.text).c_str(), nullptr);

        EXPECT_TRUE(app_.FileOrDirExists(source));
        EXPECT_TRUE(app_.FileOrDirExists(L"", folder + row.text));
        wchar_t shortName[MAX_PATH] = L"";
        ASSERT_NE(0u, GetShortPathNameW(source.c_str(), shortName, MAX_PATH));
        EXPECT_EQ(shortName, app_.ShortName(source));

        EXPECT_TRUE(app_.Copy(source, folder + L"dst\\"));
        EXPECT_EQ(row.label, Content(folder + L"dst\\" + name));
        const std::wstring renamed = folder + L"dst\\" + row.text + L" (renamed).txt";
        EXPECT_TRUE(app_.Rename(folder + L"dst\\" + name, renamed));
        EXPECT_TRUE(Exists(renamed));
        EXPECT_TRUE(app_.Move(source, folder + L"moved\\"));
        EXPECT_FALSE(Exists(source));
        EXPECT_EQ(row.label, Content(folder + L"moved\\" + name));
        EXPECT_TRUE(app_.Delete(NameArray({folder + L"moved\\" + name, renamed}), VARIANT_FALSE));
        EXPECT_FALSE(Exists(folder + L"moved\\" + name));
        EXPECT_FALSE(Exists(renamed));
    }
}

TEST_F(ApplicationUnicodeTest, FullwidthLookalikesNameNoOtherFile) {
    // Each name, were its fullwidth character made the ASCII one, would name
    // keep.txt (outside the folder inner\) or anyX.txt (by a wildcard). As
    // they stand they name nothing, and every member answers as it does for
    // any missing file, leaving the others alone.
    const std::wstring names[] = {L"inner\\..\uff3ckeep.txt", L"inner\\..\uff0fkeep.txt", L"any\uff0a.txt",
                                  L"any\uff1f.txt", L"\uff02keep.txt\uff02"};
    const std::wstring folder = FreshFolder(L"lookalike"), target = folder + L"dst\\";
    MakeFile(folder + L"keep.txt", "keep");
    MakeFile(folder + L"anyX.txt", "any");
    CreateDirectoryW((folder + L"inner").c_str(), nullptr);
    CreateDirectoryW(target.c_str(), nullptr);
    const std::wstring missing = folder + L"missing.txt";
    const bool copies = app_.Copy(missing, target), moves = app_.Move(missing, target);
    const bool deletes = app_.Delete(NameArray({missing}), VARIANT_FALSE);
    for (const std::wstring& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_FALSE(app_.FileOrDirExists(folder + name));
        EXPECT_EQ(copies, app_.Copy(folder + name, target));
        EXPECT_EQ(moves, app_.Move(folder + name, target));
        EXPECT_EQ(deletes, app_.Delete(NameArray({folder + name}), VARIANT_FALSE));
        EXPECT_EQ("keep", Content(folder + L"keep.txt"));
        EXPECT_EQ("any", Content(folder + L"anyX.txt"));
        EXPECT_FALSE(app_.FileOrDirExists(target + L"keep.txt"));
        EXPECT_FALSE(app_.FileOrDirExists(target + L"anyX.txt"));
    }
}

TEST_F(ApplicationUnicodeTest, FolderTempIsTheFolderTempNames) {
    const std::wstring tmp = Environment(L"TMP"), temp = Environment(L"TEMP");
    for (const UnicodeText& row : UnicodeTexts()) {
        SCOPED_TRACE(row.label);
        const std::wstring folder = TempDir() + row.text;
        CreateDirectoryW(folder.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
        wchar_t platform[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, platform);
        ASSERT_EQ(folder + L"\\", platform) << "the platform took the variable";
        EXPECT_EQ(folder + L"\\", app_.Text(&_xApplication::get_FolderTemp));
    }
    SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.empty() ? nullptr : temp.c_str());
}

TEST_F(ApplicationUnicodeTest, TypedTextArrivesWhole) {
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 80, nullptr,
                                nullptr, nullptr, nullptr);
    if (!edit) GTEST_SKIP() << "no display: windows cannot be created";
    const auto pump = [](DWORD milliseconds) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5)) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    };
    SetForegroundWindow(edit);
    pump(200);
    for (const UnicodeText& row : UnicodeTexts()) {
        SCOPED_TRACE(row.label);
        SetWindowTextW(edit, L"");
        SetFocus(edit);
        EXPECT_EQ(S_OK, app_->SendString(Bstr(row.text).get()));
        pump(300);
        wchar_t typed[128] = L"";
        GetWindowTextW(edit, typed, 128);
        EXPECT_EQ(row.text, typed);
    }
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000) << "Shift is not left down";
    DestroyWindow(edit);
}

}  // namespace
