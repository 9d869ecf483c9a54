#include "application/app_client.h"

#include <gtest/gtest.h>

namespace tessary::test {

std::wstring AppClient::FolderSpecial(long csidl) {
    LONG id = csidl;
    Bstr out;
    EXPECT_EQ(S_OK, app_->get_FolderSpecial(&id, out.put()));
    EXPECT_EQ(csidl, id) << "CSIDL is not changed";
    return ToWide(out.get());
}

std::wstring AppClient::Folder(HRESULT (STDMETHODCALLTYPE _xApplication::*property)(BSTR*)) {
    Bstr out;
    EXPECT_EQ(S_OK, (app_.get()->*property)(out.put()));
    return ToWide(out.get());
}

std::wstring AppClient::ShortName(const std::wstring& name) {
    BSTR in = AllocBstr(name);
    Bstr out;
    EXPECT_EQ(S_OK, app_->get_ShortName(&in, out.put()));
    EXPECT_EQ(name, ToWide(in)) << "sFileName is not changed";
    SysFreeString(in);
    return ToWide(out.get());
}

std::wstring AppClient::PathName(const std::wstring& path, VARIANT_BOOL folderPart) {
    BSTR in = AllocBstr(path);
    VARIANT_BOOL flag = folderPart;
    Bstr out;
    EXPECT_EQ(S_OK, app_->get_PathName(&in, &flag, out.put()));
    EXPECT_EQ(path, ToWide(in)) << "sPath is not changed";
    EXPECT_EQ(folderPart, flag) << "bPath is not changed";
    SysFreeString(in);
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

std::wstring AppClient::StripItem(std::wstring& list, std::wstring& parser) {
    BSTR in = AllocBstr(list), separator = AllocBstr(parser);
    Bstr out;
    EXPECT_EQ(S_OK, app_->StripItem(&in, &separator, out.put()));
    list = ToWide(in);
    parser = ToWide(separator);
    SysFreeString(in);
    SysFreeString(separator);
    return ToWide(out.get());
}

bool AppClient::Shell(HRESULT (STDMETHODCALLTYPE _xApplication::*member)(LONG*, BSTR*, BSTR*, VARIANT_BOOL*),
                      const std::wstring& a, const std::wstring& b, LONG owner) {
    BSTR first = AllocBstr(a), second = AllocBstr(b);
    LONG window = owner;
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, (app_.get()->*member)(&window, &first, &second, &result));
    EXPECT_EQ(a, ToWide(first)) << "arguments are not changed";
    EXPECT_EQ(b, ToWide(second)) << "arguments are not changed";
    EXPECT_EQ(owner, window);
    SysFreeString(first);
    SysFreeString(second);
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
bool AppClient::Add(const std::wstring& file, const std::wstring& fileTo, LONG owner) {
    return Shell(&_xApplication::ShellAdd, file, fileTo, owner);
}

bool AppClient::Delete(SAFEARRAY* names, VARIANT_BOOL confirm, LONG owner) {
    LONG window = owner;
    VARIANT_BOOL flag = confirm;
    SAFEARRAY* slot = names;
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, app_->ShellDelete(&window, &flag, &slot, &result));
    EXPECT_EQ(names, slot) << "the array is not replaced";
    return result == VARIANT_TRUE;
}

SAFEARRAY* NameArray(const std::vector<std::wstring>& names, LONG lowerBound) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(names.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (size_t i = 0; i < names.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        Variant v;
        SetText(&v, names[i]);
        SafeArrayPutElement(array, &index, &v);
    }
    return array;
}

std::wstring FreshFolder(const std::wstring& name) {
    std::wstring folder = TempDir() + name + L"\\";
    SHFILEOPSTRUCTW wipe = {};
    std::wstring list = TempDir() + name + std::wstring(2, L'\0');
    wipe.wFunc = FO_DELETE;
    wipe.pFrom = list.c_str();
    wipe.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (Exists(folder)) SHFileOperationW(&wipe);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void MakeFile(const std::wstring& path, const char* content) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << "cannot create the test file";
    DWORD written = 0;
    ::WriteFile(h, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(h);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tessary::test
