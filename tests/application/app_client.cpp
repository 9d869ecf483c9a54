#include "application/app_client.h"

#include <shellapi.h>

#include <gtest/gtest.h>

namespace tessary::test {

std::wstring AppClient::Text(HRESULT (STDMETHODCALLTYPE _xApplication::*property)(BSTR*)) {
    Bstr out;
    EXPECT_EQ(S_OK, (app_.get()->*property)(out.put()));
    return ToWide(out.get());
}

std::wstring AppClient::FolderSpecial(long csidl) {
    LONG id = csidl;
    Bstr out;
    EXPECT_EQ(S_OK, app_->get_FolderSpecial(&id, out.put()));
    EXPECT_EQ(csidl, id);
    return ToWide(out.get());
}

std::wstring AppClient::ShortName(const std::wstring& name) {
    Bstr in(name), out;
    BSTR slot = in.get();
    EXPECT_EQ(S_OK, app_->get_ShortName(&slot, out.put()));
    EXPECT_EQ(in.get(), slot);
    return ToWide(out.get());
}

std::wstring AppClient::PathName(const std::wstring& path, VARIANT_BOOL folderPart) {
    Bstr in(path), out;
    BSTR slot = in.get();
    VARIANT_BOOL flag = folderPart;
    EXPECT_EQ(S_OK, app_->get_PathName(&slot, &flag, out.put()));
    EXPECT_TRUE(slot == in.get()) << "arguments unchanged";
    EXPECT_TRUE(flag == folderPart) << "arguments unchanged";
    return ToWide(out.get());
}

bool AppClient::FileOrDirExists(const std::wstring& file, const std::wstring& folder) {
    Bstr a(file), b(folder);
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, app_->get_FileOrDirExists(a.get(), b.get(), &result));
    EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE);
    return result == VARIANT_TRUE;
}

std::wstring AppClient::StripNulls(std::wstring& list) {
    BSTR in = AllocBstr(list);
    Bstr out;
    EXPECT_EQ(S_OK, app_->StripNulls(&in, out.put()));
    list = ToWide(in);
    SysFreeString(in);
    return ToWide(out.get());
}

bool AppClient::Shell(ShellMember member, const std::wstring& a, const std::wstring& b, LONG owner) {
    Bstr first(a), second(b);
    BSTR slots[2] = {first.get(), second.get()};
    LONG window = owner;
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, (app_.get()->*member)(&window, &slots[0], &slots[1], &result));
    EXPECT_TRUE(slots[0] == first.get()) << "arguments unchanged";
    EXPECT_TRUE(slots[1] == second.get()) << "arguments unchanged";
    EXPECT_TRUE(window == owner) << "arguments unchanged";
    EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE);
    return result == VARIANT_TRUE;
}

bool AppClient::Copy(const std::wstring& from, const std::wstring& to, LONG owner) {
    return Shell(&_xApplication::ShellCopy, from, to, owner);
}
bool AppClient::Move(const std::wstring& from, const std::wstring& to, LONG owner) {
    return Shell(&_xApplication::ShellMove, from, to, owner);
}
bool AppClient::Rename(const std::wstring& from, const std::wstring& to, LONG owner) {
    return Shell(&_xApplication::ShellRename, from, to, owner);
}
bool AppClient::Add(const std::wstring& file, const std::wstring& fileTo) {
    return Shell(&_xApplication::ShellAdd, file, fileTo, 0);
}

bool AppClient::Delete(SAFEARRAY* names, VARIANT_BOOL confirm, LONG owner) {
    LONG window = owner;
    VARIANT_BOOL flag = confirm, result = 7;
    SAFEARRAY* slot = names;
    EXPECT_EQ(S_OK, app_->ShellDelete(&window, &flag, &slot, &result));
    EXPECT_EQ(names, slot);
    return result == VARIANT_TRUE;
}

SAFEARRAY* NameArray(const std::vector<std::wstring>& names, LONG lowerBound) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(names.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
        Variant v;
        SetText(v.get(), names[i]);
        LONG index = lowerBound + i;
        SafeArrayPutElement(array, &index, &v);
    }
    return array;
}

std::wstring FreshFolder(const std::wstring& name) {
    std::wstring folder = TempDir() + name;
    std::wstring list = folder + std::wstring(2, L'\0');
    SHFILEOPSTRUCTW wipe = {};
    wipe.wFunc = FO_DELETE;
    wipe.pFrom = list.c_str();
    wipe.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (Exists(folder)) SHFileOperationW(&wipe);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

void MakeFile(const std::wstring& path, const char* content) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(h);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Content(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[64];
    DWORD n = 0;
    ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(h);
    return std::string(buffer, n);
}

}  // namespace tessary::test
