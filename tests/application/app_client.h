// xApplication through the vtable with std::wstring in and out (each call
// also checks that arguments documented as unchanged stay so), and helpers
// for the tests that work on real files.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Tessary.h"
#include "frame/automation.h"
#include "support/test_support.h"

namespace tessary::test {

class AppClient {
public:
    AppClient() : app_(library_.Create<_xApplication>(CLSID_xApplication)) {}
    _xApplication* operator->() const { return app_.get(); }
    explicit operator bool() const { return static_cast<bool>(app_); }

    std::wstring Text(HRESULT (STDMETHODCALLTYPE _xApplication::*property)(BSTR*));
    std::wstring FolderSpecial(long csidl);
    std::wstring ShortName(const std::wstring& name);
    std::wstring PathName(const std::wstring& path, VARIANT_BOOL folderPart);
    bool FileOrDirExists(const std::wstring& file, const std::wstring& folder = L"");
    std::wstring StripNulls(std::wstring& list);  // the shortened list is written back

    bool Copy(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Move(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Rename(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Add(const std::wstring& file, const std::wstring& fileTo = L"");
    bool Delete(SAFEARRAY* names, VARIANT_BOOL confirm, LONG owner = 0);

private:
    using ShellMember = HRESULT (STDMETHODCALLTYPE _xApplication::*)(LONG*, BSTR*, BSTR*, VARIANT_BOOL*);
    bool Shell(ShellMember member, const std::wstring& a, const std::wstring& b, LONG owner);

    LoadedLibrary library_;
    ComPtr<_xApplication> app_;
};

// A one-dimensional array of variant texts starting at `lowerBound`.
SAFEARRAY* NameArray(const std::vector<std::wstring>& names, LONG lowerBound = 0);

std::wstring FreshFolder(const std::wstring& name);  // empty, below the test temp folder, ending in "\"
void MakeFile(const std::wstring& path, const char* content = "x");
bool Exists(const std::wstring& path);
std::string Content(const std::wstring& path);

}  // namespace tessary::test
