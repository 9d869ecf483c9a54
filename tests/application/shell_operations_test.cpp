// Shell file operations: the requests as built (flags, name lists), and
// copy, move, rename, delete and start-up shortcuts on real files under Wine.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "application/app_client.h"
#include "application/shell_operations.h"
#include "frame/errors.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');

TEST(ShellRequests, RenameMoveAndCopyPassTheirStringsUnchanged) {
    ShellRequest rename = RenameRequest(L"a.txt", L"b.txt");
    EXPECT_EQ(UINT(FO_RENAME), rename.function);
    EXPECT_EQ(L"a.txt", rename.from);
    EXPECT_EQ(L"b.txt", rename.to);
    EXPECT_TRUE(rename.hasTo);
    EXPECT_EQ(0x40, rename.flags);

    struct Case { std::wstring source; WORD flags; } cases[] = {
        {L"a.txt", 0x48},
        {L"a" + kNul + L"b" + kNul + kNul, 0x00},  // carries its own end mark
        {L"a" + kNul, 0x48},
        {kNul + kNul, 0x00},
        {kNul, 0x48},
        {L"", 0x48},
    };
    for (const Case& c : cases) {
        ShellRequest move = MoveRequest(c.source, L"D:\\to");
        ShellRequest copy = CopyRequest(c.source, L"D:\\to");
        EXPECT_EQ(UINT(FO_MOVE), move.function);
        EXPECT_EQ(UINT(FO_COPY), copy.function);
        EXPECT_EQ(c.source, move.from);
        EXPECT_EQ(L"D:\\to", copy.to);
        EXPECT_EQ(c.flags, move.flags) << "source of " << c.source.size() << " characters";
        EXPECT_EQ(c.flags, copy.flags);
    }
}

TEST(ShellRequests, DeleteAsksOnlyWhenConfirmationIsWanted) {
    ShellRequest asking = DeleteRequest(L"a" + kNul + kNul, true);
    ShellRequest silent = DeleteRequest(L"a", false);
    EXPECT_EQ(UINT(FO_DELETE), asking.function);
    EXPECT_EQ(0x40, asking.flags);
    EXPECT_EQ(0x50, silent.flags);
    EXPECT_FALSE(asking.hasTo);
    EXPECT_TRUE(asking.nulProgressTitle);
}

TEST(ShellRequests, ShellAddMovesTheShortcutThenDropsTheExtension) {
    ShellRequest move = ShellAddMoveRequest(L"R:\\Recent\\", L"S:\\Startup\\", L"app.exe");
    EXPECT_EQ(UINT(FO_MOVE), move.function);
    EXPECT_EQ(L"R:\\Recent\\app.exe.lnk" + kNul, move.from);
    EXPECT_EQ(L"S:\\Startup\\", move.to);
    EXPECT_EQ(0x14, move.flags);
    ShellRequest rename = ShellAddRenameRequest(L"S:\\Startup\\", L"app.exe");
    EXPECT_EQ(UINT(FO_RENAME), rename.function);
    EXPECT_EQ(L"S:\\Startup\\app.exe.lnk" + kNul + kNul, rename.from);
    EXPECT_EQ(L"S:\\Startup\\app.lnk" + kNul + kNul, rename.to);
    EXPECT_EQ(0x14, rename.flags);
    // The last four characters go whatever they are.
    EXPECT_EQ(L"S:\\RE.lnk" + kNul + kNul, ShellAddRenameRequest(L"S:\\", L"README").to);
}

long ListError(SAFEARRAY* names) {
    try {
        DeleteNameList(names);
    } catch (const RuntimeError& e) {
        return e.number;
    }
    return 0;
}

TEST(DeleteNameList, BoundsDecideHowTheListEnds) {
    SafeArray zeroToZero(NameArray({L"a"}, 0));
    SafeArray oneToOne(NameArray({L"a"}, 1));
    SafeArray zeroToTwo(NameArray({L"a", L"b", L"c"}, 0));
    SafeArray minusOneToZero(NameArray({L"x", L"a"}, -1));
    SafeArray withGap(NameArray({L"", L"a", L"", L"b"}, 0));
    EXPECT_EQ(L"a", DeleteNameList(zeroToZero.get())) << "nothing appended";
    EXPECT_EQ(L"a" + kNul + kNul, DeleteNameList(oneToOne.get()));
    EXPECT_EQ(L"a" + kNul + L"b" + kNul + L"c" + kNul + kNul, DeleteNameList(zeroToTwo.get()));
    EXPECT_EQ(L"a", DeleteNameList(minusOneToZero.get())) << "upper bound 0: element 0 alone";
    EXPECT_EQ(L"a" + kNul + L"b" + kNul + kNul, DeleteNameList(withGap.get())) << "empty names are left out";

    // Elements are converted to text; a typed array of texts is read too.
    SAFEARRAYBOUND bound = {2, 1};
    SafeArray texts(SafeArrayCreate(VT_BSTR, 1, &bound));
    for (LONG i = 1; i <= 2; ++i) {
        Bstr name(L"n" + std::to_wstring(i));
        SafeArrayPutElement(texts.get(), &i, name.get());
    }
    EXPECT_EQ(L"n1" + kNul + L"n2" + kNul + kNul, DeleteNameList(texts.get()));
}

TEST(DeleteNameList, BadArraysFailWithTheRuntimesErrors) {
    EXPECT_EQ(kSubscriptOutOfRange, ListError(nullptr)) << "unallocated";
    SAFEARRAYBOUND none = {0, 0};
    SafeArray empty(SafeArrayCreate(VT_VARIANT, 1, &none));
    EXPECT_EQ(kSubscriptOutOfRange, ListError(empty.get())) << "no element 0";
    SafeArray negative(NameArray({L"a", L"b"}, -3));
    EXPECT_EQ(kSubscriptOutOfRange, ListError(negative.get()));
    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    SafeArray twoDimensions(SafeArrayCreate(VT_VARIANT, 2, square));
    EXPECT_EQ(kSubscriptOutOfRange, ListError(twoDimensions.get()));
    SAFEARRAYBOUND wide = {40001, 0};
    SafeArray beyond16Bits(SafeArrayCreate(VT_VARIANT, 1, &wide));
    EXPECT_EQ(kOverflow, ListError(beyond16Bits.get()));
    SAFEARRAYBOUND low = {2, -40000};
    SafeArray below16Bits(SafeArrayCreate(VT_VARIANT, 1, &low));
    EXPECT_NE(0, ListError(below16Bits.get()));

    SafeArray withNull(NameArray({L"a", L"b"}, 1));
    LONG index = 2;
    Variant null;
    V_VT(&null) = VT_NULL;
    SafeArrayPutElement(withNull.get(), &index, &null);
    EXPECT_EQ(kInvalidUseOfNull, ListError(withNull.get()));
    SafeArray withArray(NameArray({L"a", L"b"}, 1));
    Variant nested;
    V_VT(&nested) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&nested) = NameArray({L"x"});
    SafeArrayPutElement(withArray.get(), &index, &nested);
    EXPECT_EQ(kTypeMismatch, ListError(withArray.get()));
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

std::string Content(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[64];
    DWORD n = 0;
    ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(h);
    return std::string(buffer, n);
}

TEST_F(ShellFilesTest, CopyMoveAndRenameSingleNamesAndLists) {
    MakeFile(Path(L"a.txt"), "a");
    MakeFile(Path(L"b.txt"), "b");
    MakeFile(Path(L"c.txt"), "c");
    CreateDirectoryW(Path(L"dst").c_str(), nullptr);

    EXPECT_TRUE(app_.Copy(Path(L"a.txt"), Path(L"dst")));
    EXPECT_EQ("a", Content(Path(L"dst\\a.txt")));
    EXPECT_TRUE(Exists(Path(L"a.txt")));

    // A list ended by two NULs: both names, no undo, nothing in the way.
    EXPECT_TRUE(app_.Copy(Path(L"a.txt") + kNul + Path(L"b.txt") + kNul + kNul, Path(L"both")));
    EXPECT_EQ("a", Content(Path(L"both\\a.txt")));
    EXPECT_EQ("b", Content(Path(L"both\\b.txt")));

    EXPECT_TRUE(app_.Move(Path(L"c.txt"), Path(L"dst")));
    EXPECT_FALSE(Exists(Path(L"c.txt")));
    EXPECT_EQ("c", Content(Path(L"dst\\c.txt")));

    EXPECT_TRUE(app_.Rename(Path(L"a.txt"), Path(L"renamed.txt")));
    EXPECT_EQ("a", Content(Path(L"renamed.txt")));
    EXPECT_FALSE(Exists(Path(L"a.txt")));
}

TEST_F(ShellFilesTest, FailuresAndDeclinedConfirmationsAreFalse) {
    MakeFile(Path(L"a.txt"), "new");
    MakeFile(Path(L"b.txt"), "b");
    CreateDirectoryW(Path(L"dst").c_str(), nullptr);
    MakeFile(Path(L"dst\\a.txt"), "old");

    EXPECT_FALSE(app_.Rename(Path(L"b.txt"), Path(L"a.txt"))) << "the new name is taken";
    EXPECT_EQ("b", Content(Path(L"b.txt")));
    EXPECT_FALSE(app_.Copy(Path(L"missing.txt"), Path(L"dst")));
    EXPECT_FALSE(app_.Copy(L"", Path(L"dst")));
    // Names the 8-bit shell cannot take are not handed over (Wine would
    // report a long relative name as moved, and crash on a long absolute one).
    const std::wstring longName = L"C:\\" + std::wstring(100000, L'm');
    EXPECT_FALSE(app_.Move(std::wstring(100000, L'm'), Path(L"dst")));
    EXPECT_FALSE(app_.Copy(longName, Path(L"dst")));
    EXPECT_FALSE(app_.Copy(Path(L"b.txt") + kNul + longName.substr(0, 1000) + kNul + kNul, Path(L"dst")));
    EXPECT_FALSE(app_.Rename(Path(L"b.txt"), longName));
    SafeArray longNames(NameArray({longName}, 0));
    EXPECT_FALSE(app_.Delete(longNames.get(), VARIANT_FALSE));
    EXPECT_FALSE(Exists(Path(L"dst\\b.txt")));
    // Flags 0 ask before overwriting; without a display nobody can answer,
    // the shell leaves the file alone and reports 0 with the aborted flag.
    EXPECT_FALSE(app_.Copy(Path(L"a.txt") + kNul + kNul, Path(L"dst")));
    EXPECT_EQ("old", Content(Path(L"dst\\a.txt")));
    // The owner only owns dialogs: one that names no window does not stop
    // an operation that asks nothing.
    EXPECT_TRUE(app_.Rename(Path(L"b.txt"), Path(L"c.txt"), 0x0DEAD));
    EXPECT_EQ("b", Content(Path(L"c.txt")));
}

TEST_F(ShellFilesTest, DeleteTakesTheNamesTheBoundsSelect) {
    for (const wchar_t* name : {L"a", L"b", L"c", L"one", L"zero", L"minus", L"plain", L"gap1", L"gap2"})
        MakeFile(Path(name));
    SafeArray zeroToTwo(NameArray({Path(L"a"), Path(L"b"), Path(L"c")}, 0));
    SafeArray oneToOne(NameArray({Path(L"one")}, 1));
    SafeArray minusOneToZero(NameArray({Path(L"minus"), Path(L"zero")}, -1));
    SafeArray withGap(NameArray({Path(L"gap1"), L"", Path(L"gap2")}, 1));
    EXPECT_TRUE(app_.Delete(zeroToTwo.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(oneToOne.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(minusOneToZero.get(), VARIANT_FALSE));
    EXPECT_TRUE(app_.Delete(withGap.get(), VARIANT_FALSE));
    for (const wchar_t* gone : {L"a", L"b", L"c", L"one", L"zero", L"gap1", L"gap2"})
        EXPECT_FALSE(Exists(Path(gone))) << "deleted: " << gone;
    EXPECT_TRUE(Exists(Path(L"minus"))) << "below index 0 with upper bound 0: not in the list";

    // Only True asks; 1 is any other value and deletes without asking.
    SafeArray plain(NameArray({Path(L"plain")}, 0));
    EXPECT_TRUE(app_.Delete(plain.get(), 1));
    EXPECT_FALSE(Exists(Path(L"plain")));
}

TEST_F(ShellFilesTest, DeleteThatCannotAskLeavesTheFileAndSaysFalse) {
    MakeFile(Path(L"kept"));
    SafeArray names(NameArray({Path(L"kept")}, 0));
    EXPECT_FALSE(app_.Delete(names.get(), VARIANT_TRUE)) << "no display: nobody can confirm";
    EXPECT_TRUE(Exists(Path(L"kept")));
}

TEST_F(ShellFilesTest, BadArraysTouchNothing) {
    MakeFile(Path(L"victim"));
    const std::wstring victim = Path(L"victim");
    EXPECT_FALSE(app_.Delete(nullptr, VARIANT_FALSE));
    SAFEARRAYBOUND none = {0, 0};
    SafeArray empty(SafeArrayCreate(VT_VARIANT, 1, &none));
    EXPECT_FALSE(app_.Delete(empty.get(), VARIANT_FALSE));
    SafeArray big(NameArray(std::vector<std::wstring>(40001, victim), 0));
    EXPECT_FALSE(app_.Delete(big.get(), VARIANT_FALSE));
    SafeArray withNull(NameArray({victim, L"x"}, 1));
    LONG index = 2;
    Variant null;
    V_VT(&null) = VT_NULL;
    SafeArrayPutElement(withNull.get(), &index, &null);
    EXPECT_FALSE(app_.Delete(withNull.get(), VARIANT_FALSE));
    SafeArray emptyNames(NameArray({L"", L""}, 1));
    EXPECT_FALSE(app_.Delete(emptyNames.get(), VARIANT_FALSE));
    SafeArray emptyFirst(NameArray({kNul + victim}, 0));
    EXPECT_FALSE(app_.Delete(emptyFirst.get(), VARIANT_FALSE));
    EXPECT_TRUE(Exists(victim));
}

class ShellAddTest : public ShellFilesTest {
protected:
    void SetUp() override {
        ShellFilesTest::SetUp();
        startup_ = Folder(CSIDL_STARTUP);
        recent_ = Folder(CSIDL_RECENT);
        GetCurrentDirectoryW(MAX_PATH, oldDirectory_);
        SetCurrentDirectoryW(folder_.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(oldDirectory_);
        for (const std::wstring& link : made_) DeleteFileW(link.c_str());
    }
    static std::wstring Folder(int csidl) {
        wchar_t path[MAX_PATH];
        SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
        return std::wstring(path) + L"\\";
    }
    // Shortcuts this test may leave, removed before and after.
    void Expect(const std::wstring& name) {
        for (const std::wstring& link : {startup_ + name + L".lnk", recent_ + name + L".lnk"}) {
            DeleteFileW(link.c_str());
            made_.push_back(link);
        }
    }
    std::wstring startup_, recent_;
    wchar_t oldDirectory_[MAX_PATH];
    std::vector<std::wstring> made_;
};

std::wstring LinkTarget(const std::wstring& link) {
    ComPtr<IShellLinkW> shell;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shell.put()))))
        return L"";
    ComPtr<IPersistFile> file;
    shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    if (!file || FAILED(file->Load(link.c_str(), STGM_READ))) return L"";
    wchar_t target[MAX_PATH] = L"";
    shell->GetPath(target, MAX_PATH, nullptr, 0);
    return target;
}

TEST_F(ShellAddTest, LeavesAShortcutNamedWithoutTheExtensionInStartup) {
    Expect(L"tessapp");
    Expect(L"tessapp.exe");
    MakeFile(Path(L"tessapp.exe"));
    EXPECT_TRUE(app_.Add(L"tessapp.exe", L"ignored"));
    ASSERT_TRUE(Exists(startup_ + L"tessapp.lnk"));
    EXPECT_EQ(0, _wcsicmp(Path(L"tessapp.exe").c_str(), LinkTarget(startup_ + L"tessapp.lnk").c_str()));
    EXPECT_FALSE(Exists(recent_ + L"tessapp.exe.lnk")) << "moved out of Recent";
    EXPECT_FALSE(Exists(startup_ + L"tessapp.exe.lnk")) << "renamed in Startup";

    // sFileTo is not used: another value does the same again.
    DeleteFileW((startup_ + L"tessapp.lnk").c_str());
    EXPECT_TRUE(app_.Add(L"tessapp.exe", L"C:\\elsewhere\\other.lnk"));
    EXPECT_TRUE(Exists(startup_ + L"tessapp.lnk"));
}

void WriteLink(const std::wstring& link, const std::wstring& target) {
    ComPtr<IShellLinkW> shell;
    ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(shell.put())));
    shell->SetPath(target.c_str());
    shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    ASSERT_EQ(S_OK, file->Save(link.c_str(), TRUE));
}

TEST_F(ShellAddTest, ReplacesOlderShortcutsOfTheSameNames) {
    // A name the shell's recent-documents list has not seen yet: Wine then
    // numbers its new shortcut "<name> (2).lnk" when "<name>.lnk" is there.
    const std::wstring stem = L"tess" + std::to_wstring(GetCurrentProcessId()), name = stem + L".exe";
    Expect(stem);
    Expect(name);
    Expect(name + L" (2)");
    MakeFile(Path(name));
    MakeFile(Path(L"other.exe"));
    // An older shortcut of the same name in Recent, and an earlier start-up
    // entry of the final name, both to another file.
    WriteLink(recent_ + name + L".lnk", Path(L"other.exe"));
    WriteLink(startup_ + stem + L".lnk", Path(L"other.exe"));
    EXPECT_TRUE(app_.Add(name));
    EXPECT_EQ(0, _wcsicmp(Path(name).c_str(), LinkTarget(startup_ + stem + L".lnk").c_str()));
    EXPECT_FALSE(Exists(startup_ + name + L".lnk")) << "no second start-up entry";
    EXPECT_FALSE(Exists(recent_ + name + L" (2).lnk"));
}

TEST_F(ShellAddTest, WorksWhereRecentDocumentsAreNotRecorded) {
    Expect(L"tessapp");
    Expect(L"tessapp.exe");
    MakeFile(Path(L"tessapp.exe"));
    HKEY policies = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER,
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", &policies));
    DWORD on = 1;
    RegSetValueExW(policies, L"NoRecentDocsHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    bool added = app_.Add(L"tessapp.exe");
    RegDeleteValueW(policies, L"NoRecentDocsHistory");
    RegCloseKey(policies);
    EXPECT_TRUE(added);
    EXPECT_EQ(0, _wcsicmp(Path(L"tessapp.exe").c_str(), LinkTarget(startup_ + L"tessapp.lnk").c_str()));
    EXPECT_FALSE(Exists(recent_ + L"tessapp.exe.lnk"));
}

TEST_F(ShellAddTest, RefusedNamesTouchNothing) {
    for (const wchar_t* name : {L"missing.exe", L"abc", L"*.exe", L"hid.exe", L"sub.dir", L"app"})
        Expect(name);
    MakeFile(Path(L"abc"));
    MakeFile(Path(L"app"));
    MakeFile(Path(L"hid.exe"));
    SetFileAttributesW(Path(L"hid.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryW(Path(L"sub.dir").c_str(), nullptr);
    EXPECT_FALSE(app_.Add(L"missing.exe"));
    EXPECT_FALSE(app_.Add(L"abc")) << "too short to lose a four-character extension";
    EXPECT_FALSE(app_.Add(L"*.exe")) << "wildcards would move every matching shortcut";
    EXPECT_FALSE(app_.Add(L"hid.exe"));
    EXPECT_FALSE(app_.Add(L"sub.dir"));
    EXPECT_FALSE(app_.Add(L"app" + kNul + L".exe"));
    EXPECT_FALSE(app_.Add(L""));
    for (const std::wstring& link : made_) EXPECT_FALSE(Exists(link)) << link;
}

}  // namespace
