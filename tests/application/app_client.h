// xApplication as a C++ client sees it through the vtable, with std::wstring
// in and out, plus small file helpers for the tests that work on real files.
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
    _xApplication* get() const { return app_.get(); }
    explicit operator bool() const { return static_cast<bool>(app_); }

    std::wstring FolderSpecial(long csidl);
    std::wstring Folder(HRESULT (STDMETHODCALLTYPE _xApplication::*property)(BSTR*));
    std::wstring ShortName(const std::wstring& name);
    std::wstring PathName(const std::wstring& path, VARIANT_BOOL folderPart);
    bool FileOrDirExists(const std::wstring& file, const std::wstring& folder = L"");
    // The by-reference list is written back into `list`.
    std::wstring StripNulls(std::wstring& list);
    std::wstring StripItem(std::wstring& list, std::wstring& parser);

    bool Copy(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Move(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Rename(const std::wstring& from, const std::wstring& to, LONG owner = 0);
    bool Delete(SAFEARRAY* names, VARIANT_BOOL confirm, LONG owner = 0);
    bool Add(const std::wstring& file, const std::wstring& fileTo = L"", LONG owner = 0);

private:
    bool Shell(HRESULT (STDMETHODCALLTYPE _xApplication::*member)(LONG*, BSTR*, BSTR*, VARIANT_BOOL*),
               const std::wstring& a, const std::wstring& b, LONG owner);

    LoadedLibrary library_;
    ComPtr<_xApplication> app_;
};

// A one-dimensional array of variant texts with the given lower bound.
SAFEARRAY* NameArray(const std::vector<std::wstring>& names, LONG lowerBound = 0);

// A fresh folder below the test temp folder, ending in "\".
std::wstring FreshFolder(const std::wstring& name);
void MakeFile(const std::wstring& path, const char* content = "x");
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

}  // namespace tessary::test
