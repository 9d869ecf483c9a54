#include "frame/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include "frame/com_ptr.h"
#include "frame/dispatch.h"
#include "frame/handles.h"
#include "frame/type_attributes.h"
#include "frame/type_info_cache.h"

namespace tessary {
namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    UniqueKey key;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteTree(HKEY root, const std::wstring& path) { RegDeleteTreeW(root, path.c_str()); RegDeleteKeyW(root, path.c_str()); }

// 64-bit Windows keeps the class keys (CLSID) of 32-bit and 64-bit servers in
// two views, while program ids, type libraries and interfaces are shared. The
// other architecture's build of this library may be registered beside this
// one: what both share stays until the last of them is unregistered. (On
// 32-bit Windows the view flag is ignored and the one view is this one.)
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

bool KeyExists(const std::wstring& path, REGSAM view = 0) {
    UniqueKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) == ERROR_SUCCESS;
}

std::wstring Hex(unsigned value) {
    wchar_t text[16];
    wsprintfW(text, L"%x", value);
    return text;
}

}  // namespace

HRESULT RegisterServer(const std::wstring& modulePath, const ClassEntry* classes, size_t count) {
    ComPtr<ITypeLib> library;
    HRESULT hr = GetLibraryTypeLib(library.put());
    if (FAILED(hr)) return hr;
    std::wstring libid, version;
    {
        LibAttr attr(library.get());
        if (!attr) return SELFREG_E_TYPELIB;
        libid = GuidText(attr->guid);
        version = std::to_wstring(attr->wMajorVerNum) + L"." + std::to_wstring(attr->wMinorVerNum);
    }

    for (size_t i = 0; i < count; ++i) {
        const ClassEntry& entry = classes[i];
        std::wstring clsidKey = L"CLSID\\" + GuidText(*entry.clsid);
        LONG rc = SetString(HKEY_CLASSES_ROOT, clsidKey, nullptr, entry.progId);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr, modulePath);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel", kThreadingModel);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", nullptr, entry.progId);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\TypeLib", nullptr, libid);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\Version", nullptr, version);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, entry.progId, nullptr, entry.progId);
        if (rc == ERROR_SUCCESS) rc = SetString(HKEY_CLASSES_ROOT, std::wstring(entry.progId) + L"\\CLSID", nullptr, GuidText(*entry.clsid));
        if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    // Type library, interfaces (with the automation marshaler) and their versions.
    hr = RegisterTypeLib(library.get(), const_cast<LPOLESTR>(modulePath.c_str()), nullptr);
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

HRESULT UnregisterServer(const ClassEntry* classes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const std::wstring clsidKey = L"CLSID\\" + GuidText(*classes[i].clsid);
        DeleteTree(HKEY_CLASSES_ROOT, clsidKey);
        if (!KeyExists(clsidKey + L"\\InprocServer32", kOtherView)) DeleteTree(HKEY_CLASSES_ROOT, classes[i].progId);
    }
    ComPtr<ITypeLib> library;
    HRESULT hr = GetLibraryTypeLib(library.put());
    if (FAILED(hr)) return hr;
    LibAttr attr(library.get());
    if (!attr) return SELFREG_E_TYPELIB;
    // The type library key holds one path per platform (win32, win64). While
    // the other platform's is there, only this one's goes: the interfaces and
    // the rest of the key are the other build's too. A type library that was
    // not registered is no failure of unregistration.
    const std::wstring platforms = L"TypeLib\\" + GuidText(attr->guid) + L"\\" + Hex(attr->wMajorVerNum) + L"." +
                                   Hex(attr->wMinorVerNum) + L"\\" + Hex(attr->lcid) + L"\\";
    const bool win64 = attr->syskind == SYS_WIN64;
    if (KeyExists(platforms + (win64 ? L"win32" : L"win64")))
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (platforms + (win64 ? L"win64" : L"win32")).c_str());
    else
        UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    return S_OK;
}

}  // namespace tessary
