// Shell file operations: the requests as built, and copy, move, rename,
// delete and start-up shortcuts on real files under Wine.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "application/app_client.h"
#include "application/shell_operations.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');

TEST(ShellRequests, FlagsAndNameLists) {
    EXPECT_EQ(0x40, RenameRequest(L"a", L"b").flags);
    for (auto [source, flags] : {std::pair<std::wstring, WORD>{L"a.txt", 0x48}, {L"a" + kNul + L"b" + kNul + kNul, 0},
                                 {L"a" + kNul, 0x48}, {kNul + kNul, 0}, {kNul, 0x48}, {L"", 0x48}}) {
        ShellRequest move = MoveRequest(source, L"D:\\to"), copy = CopyRequest(source, L"D:\\to");
        EXPECT_EQ(source, move.from) << "passed unchanged";
        EXPECT_TRUE(move.function == FO_MOVE);
        EXPECT_TRUE(copy.function == FO_COPY);
        EXPECT_EQ(flags, move.flags) << source.size() << " characters";
        EXPECT_EQ(flags, copy.flags);
    }
    EXPECT_EQ(0x40, DeleteRequest(L"a", true).flags);
    EXPECT_EQ(0x50, DeleteRequest(L"a", false).flags);
    EXPECT_FALSE(DeleteRequest(L"a", false).hasTo);

    ShellRequest move = ShellAddMoveRequest(L"R:\\Recent\\", L"S:\\Startup\\", L"app.exe");
    EXPECT_EQ(L"R:\\Recent\\app.exe.lnk" + kNul, move.from);
    EXPECT_EQ(L"S:\\Startup\\", move.to);
    ShellRequest rename = ShellAddRenameRequest(L"S:\\", L"app.exe");
    EXPECT_EQ(L"S:\\app.exe.lnk" + kNul + kNul, rename.from);
    EXPECT_EQ(L"S:\\app.lnk" + kNul + kNul, rename.to);
    EXPECT_TRUE(move.flags == 0x14);
    EXPECT_TRUE(rename.flags == 0x14);
}

TEST(ShellRequests, DeleteListsFollowTheBounds) {
    SafeArray zeroToZero(NameArray({L"a"}, 0)), oneToOne(NameArray({L"a"}, 1)),
        zeroToTwo(NameArray({L"a", L"b", L"c"}, 0)), minusOneToZero(NameArray({L"x", L"a"}, -1)),
        withGap(NameArray({L"", L"a", L"", L"b"}, 0));
    EXPECT_EQ(L"a", DeleteNameList(zeroToZero.get())) << "nothing appended";
    EXPECT_EQ(L"a" + kNul + kNul, DeleteNameList(oneToOne.get()));
    EXPECT_EQ(L"a" + kNul + L"b" + kNul + L"c" + kNul + kNul, DeleteNameList(zeroToTwo.get()));
    EXPECT_EQ(L"a", DeleteNameList(minusOneToZero.get())) << "upper bound 0: element 0 alone";
    EXPECT_EQ(L"a" + kNul + L"b" + kNul + kNul, DeleteNameList(withGap.get())) << "an empty name would end the list";
    SAFEARRAYBOUND bound = {1, 1};
    SafeArray texts(SafeArrayCreate(VT_BSTR, 1, &bound));
    LONG index = 1;
    Bstr name(L"n");
    SafeArrayPutElement(texts.get(), &index, name.get());
    EXPECT_EQ(L"n" + kNul + kNul, DeleteNameList(texts.get())) << "a typed array of texts";
}

class ShellFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_);
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = FreshFolder(L"shell-" + std::wstring(test.begin(), test.end()));
    }
    std::wstring Path(const std::wstring& name) const { return folder_ + name; }
    ComApartment com_;
    AppClient app_;
    std::wstring folder_;
};

TEST_F(ShellFilesTest, CopyMoveAndRenameNamesAndLists) {
    MakeFile(Path(L"a.txt"), "a");
    MakeFile(Path(L"b.txt"), "b");
    MakeFile(Path(L"c.txt"), "c");
    CreateDirectoryW(Path(L"dst").c_str(), nullptr);
    EXPECT_TRUE(app_.Copy(Path(L"a.txt"), Path(L"dst")));
    EXPECT_TRUE(Content(Path(L"dst\\a.txt")) == "a");
    EXPECT_TRUE(Exists(Path(L"a.txt")));
    EXPECT_TRUE(app_.Copy(Path(L"a.txt") + kNul + Path(L"b.txt") + kNul + kNul, Path(L"both")));
    EXPECT_TRUE(Content(Path(L"both\\a.txt")) == "a");
    EXPECT_TRUE(Content(Path(L"both\\b.txt")) == "b");
    EXPECT_TRUE(app_.Move(Path(L"c.txt"), Path(L"dst")));
    EXPECT_TRUE(Content(Path(L"dst\\c.txt")) == "c");
    EXPECT_TRUE(!Exists(Path(L"c.txt")));
    EXPECT_TRUE(app_.Rename(Path(L"a.txt"), Path(L"renamed.txt"), 0x0DEAD)) << "the owner only owns dialogs";
    EXPECT_TRUE(Content(Path(L"renamed.txt")) == "a");
    EXPECT_TRUE(!Exists(Path(L"a.txt")));

    EXPECT_FALSE(app_.Rename(Path(L"b.txt"), Path(L"renamed.txt"))) << "the new name is taken";
    EXPECT_FALSE(app_.Copy(Path(L"missing.txt"), Path(L"dst")));
    EXPECT_FALSE(app_.Copy(L"", Path(L"dst")));
    // Flags 0 ask before overwriting; headless nobody answers, the shell
    // returns 0 with the aborted flag set and leaves the file.
    MakeFile(Path(L"b.txt"), "new");
    MakeFile(Path(L"dst\\b.txt"), "old");
    EXPECT_FALSE(app_.Copy(Path(L"b.txt") + kNul + kNul, Path(L"dst")));
    EXPECT_EQ("old", Content(Path(L"dst\\b.txt")));
    // Names the 8-bit shell cannot take are not handed over: Wine reports a
    // long relative name as moved and crashes on a long absolute one.
    const std::wstring longName = L"C:\\" + std::wstring(100000, L'm');
    EXPECT_FALSE(app_.Move(std::wstring(100000, L'm'), Path(L"dst")));
    EXPECT_FALSE(app_.Copy(Path(L"b.txt") + kNul + longName.substr(0, 1000) + kNul + kNul, Path(L"dst")));
    EXPECT_FALSE(app_.Rename(Path(L"b.txt"), longName));
}

TEST_F(ShellFilesTest, DeleteTakesTheNamesTheBoundsSelect) {
    for (const wchar_t* name : {L"a", L"b", L"c", L"one", L"zero", L"minus", L"plain", L"kept"}) MakeFile(Path(name));
    SafeArray zeroToTwo(NameArray({Path(L"a"), Path(L"b"), Path(L"c")}, 0)), oneToOne(NameArray({Path(L"one")}, 1)),
        minusOneToZero(NameArray({Path(L"minus"), Path(L"zero")}, -1)), plain(NameArray({Path(L"plain")}, 0)),
        kept(NameArray({Path(L"kept")}, 0));
    EXPECT_TRUE(app_.Delete(zeroToTwo.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(oneToOne.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(minusOneToZero.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(plain.get(), 1)) << "only True asks";
    for (const wchar_t* gone : {L"a", L"b", L"c", L"one", L"zero", L"plain"}) EXPECT_FALSE(Exists(Path(gone))) << gone;
    EXPECT_TRUE(Exists(Path(L"minus"))) << "below index 0 with upper bound 0";
    EXPECT_FALSE(app_.Delete(kept.get(), VARIANT_TRUE)) << "headless: nobody can confirm";
    EXPECT_TRUE(Exists(Path(L"kept")));
}

TEST_F(ShellFilesTest, BadArraysTouchNothing) {
    const std::wstring victim = Path(L"victim");
    MakeFile(victim);
    SAFEARRAYBOUND none = {0, 0}, square[2] = {{1, 0}, {1, 0}};
    SafeArray empty(SafeArrayCreate(VT_VARIANT, 1, &none)), twoDimensions(SafeArrayCreate(VT_VARIANT, 2, square)),
        big(NameArray(std::vector<std::wstring>(40001, victim), 0)), withNull(NameArray({victim, L"x"}, 1)),
        emptyNames(NameArray({L"", L""}, 1)), emptyFirst(NameArray({kNul + victim}, 0)),
        tooLong(NameArray({L"C:\\" + std::wstring(100000, L'v')}, 0));
    LONG index = 2;
    Variant null;
    V_VT(null.get()) = VT_NULL;
    SafeArrayPutElement(withNull.get(), &index, &null);
    for (SAFEARRAY* names : {static_cast<SAFEARRAY*>(nullptr), empty.get(), twoDimensions.get(), big.get(),
                             withNull.get(), emptyNames.get(), emptyFirst.get(), tooLong.get()})
        EXPECT_FALSE(app_.Delete(names, VARIANT_FALSE));
    EXPECT_TRUE(Exists(victim));
}

// A relative name short enough as given but too long once the current folder
// is put in front is refused before the shell sees it, alone or in a list.
TEST_F(ShellFilesTest, RelativeNamesAreCheckedAsFullPaths) {
    const std::wstring victim = Path(L"victim");
    MakeFile(victim);
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    const std::wstring relative(MAX_PATH - 2, L'r');  // fits alone, not behind the folder
    SafeArray alone(NameArray({relative}, 0)), mixed(NameArray({victim, L"", L"*.none", relative}, 0));
    EXPECT_FALSE(app_.Delete(alone.get(), VARIANT_FALSE));
    EXPECT_FALSE(app_.Delete(mixed.get(), VARIANT_FALSE));
    EXPECT_FALSE(app_.Move(relative, Path(L"dst")));
    SetCurrentDirectoryW(old);
    EXPECT_TRUE(Exists(victim)) << "nothing of a refused list is deleted";
}

class ShellAddTest : public ShellFilesTest {
protected:
    void SetUp() override {
        ShellFilesTest::SetUp();
        wchar_t path[MAX_PATH];
        SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, 0, path);
        startup_ = std::wstring(path) + L"\\";
        SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, 0, path);
        recent_ = std::wstring(path) + L"\\";
        GetCurrentDirectoryW(MAX_PATH, oldDirectory_);
        SetCurrentDirectoryW(folder_.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(oldDirectory_);
        for (const std::wstring& link : links_) DeleteFileW(link.c_str());
    }
    // Shortcut names this test may leave in either folder: gone before and after.
    void Expect(std::initializer_list<std::wstring> names) {
        for (const std::wstring& name : names)
            for (const std::wstring& link : {startup_ + name + L".lnk", recent_ + name + L".lnk"}) {
                DeleteFileW(link.c_str());
                links_.push_back(link);
            }
    }
    std::wstring startup_, recent_;
    wchar_t oldDirectory_[MAX_PATH];
    std::vector<std::wstring> links_;
};

std::wstring LinkTarget(const std::wstring& link, const std::wstring& newTarget = L"") {
    ComPtr<IShellLinkW> shell;
    ComPtr<IPersistFile> file;
    wchar_t target[MAX_PATH] = L"";
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shell.put()))) ||
        FAILED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))))
        return L"";
    if (!newTarget.empty()) {  // writes the shortcut instead
        shell->SetPath(newTarget.c_str());
        file->Save(link.c_str(), TRUE);
    } else if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
        shell->GetPath(target, MAX_PATH, nullptr, 0);
    }
    CharLowerW(target);
    return target;
}

TEST_F(ShellAddTest, LeavesAShortcutWithoutTheExtensionInStartup) {
    Expect({L"tessapp", L"tessapp.exe"});
    MakeFile(Path(L"tessapp.exe"));
    std::wstring target = Path(L"tessapp.exe");
    CharLowerW(&target[0]);
    EXPECT_TRUE(app_.Add(L"tessapp.exe", L"ignored"));
    EXPECT_EQ(target, LinkTarget(startup_ + L"tessapp.lnk"));
    EXPECT_FALSE(Exists(recent_ + L"tessapp.exe.lnk") || Exists(startup_ + L"tessapp.exe.lnk"));

    // Where recent documents are not recorded, the member writes the shortcut itself.
    HKEY policies = nullptr;
    RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", &policies);
    DWORD on = 1;
    RegSetValueExW(policies, L"NoRecentDocsHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    DeleteFileW((startup_ + L"tessapp.lnk").c_str());
    bool added = app_.Add(L"tessapp.exe", L"C:\\elsewhere\\other.lnk");
    RegDeleteValueW(policies, L"NoRecentDocsHistory");
    RegCloseKey(policies);
    EXPECT_TRUE(added);
    EXPECT_EQ(target, LinkTarget(startup_ + L"tessapp.lnk"));
}

TEST_F(ShellAddTest, ReplacesOlderShortcutsOfTheSameNames) {
    // A name the recent-documents list has not seen: with "<name>.lnk"
    // already in Recent, Wine would call its new shortcut "<name> (2).lnk".
    const std::wstring stem = L"tess" + std::to_wstring(GetCurrentProcessId()), name = stem + L".exe";
    Expect({stem, name, name + L" (2)"});
    MakeFile(Path(name));
    MakeFile(Path(L"other.exe"));
    LinkTarget(recent_ + name + L".lnk", Path(L"other.exe"));
    LinkTarget(startup_ + stem + L".lnk", Path(L"other.exe"));
    std::wstring target = Path(name);
    CharLowerW(&target[0]);
    EXPECT_TRUE(app_.Add(name));
    EXPECT_EQ(target, LinkTarget(startup_ + stem + L".lnk"));
    EXPECT_FALSE(Exists(startup_ + name + L".lnk")) << "no second start-up entry";
}

TEST_F(ShellAddTest, RefusedNamesTouchNothing) {
    Expect({L"missing.exe", L"abc", L"*.exe", L"hid.exe", L"sub.dir", L"app"});
    MakeFile(Path(L"abc"));
    MakeFile(Path(L"app"));
    MakeFile(Path(L"hid.exe"));
    SetFileAttributesW(Path(L"hid.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryW(Path(L"sub.dir").c_str(), nullptr);
    for (const std::wstring& name : {std::wstring(L"missing.exe"), std::wstring(L"abc"), std::wstring(L"*.exe"),
                                     std::wstring(L"hid.exe"), std::wstring(L"sub.dir"), L"app" + kNul + L".exe",
                                     std::wstring()})
        EXPECT_FALSE(app_.Add(name)) << "refused: " << name.c_str();
    for (const std::wstring& link : links_) EXPECT_FALSE(Exists(link)) << link;
}

}  // namespace
