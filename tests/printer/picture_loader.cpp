// TessaryTest.Pictures: what LoadPicture gives a script on Windows, which
// Wine's VBScript lacks. A script creates it, calls Load with the path of a
// .bmp, .wmf or .emf file and passes the number it gets back to PaintPicture.
// The pictures live as long as the object. A test helper, registered in the
// test prefix only: IDispatch by hand, one method, no type library.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

// {5E0B8C61-3B8E-4B7C-9E0A-6A2D3C1F7B41}
const CLSID kClsid = {0x5e0b8c61, 0x3b8e, 0x4b7c, {0x9e, 0x0a, 0x6a, 0x2d, 0x3c, 0x1f, 0x7b, 0x41}};
const char kClsidText[] = "{5E0B8C61-3B8E-4B7C-9E0A-6A2D3C1F7B41}";
const char kProgId[] = "TessaryTest.Pictures";
const DISPID kLoad = 1;

HMODULE g_module = nullptr;
LONG g_objects = 0;

class Pictures final : public IDispatch {
public:
    Pictures() { InterlockedIncrement(&g_objects); }
    ~Pictures() {
        for (auto& [kind, handle] : loaded_) {
            if (kind == OBJ_METAFILE) DeleteMetaFile(static_cast<HMETAFILE>(handle));
            else if (kind == OBJ_ENHMETAFILE) DeleteEnhMetaFile(static_cast<HENHMETAFILE>(handle));
            else DeleteObject(handle);
        }
        InterlockedDecrement(&g_objects);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (count >= 1 && lstrcmpiW(names[0], L"Load") == 0) ids[0] = kLoad;
        return ids[0] == kLoad ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        if (id != kLoad) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT path;
        VariantInit(&path);
        if (FAILED(VariantChangeType(&path, &params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
        std::wstring file(V_BSTR(&path), SysStringLen(V_BSTR(&path)));
        VariantClear(&path);
        std::wstring extension = file.size() > 4 ? file.substr(file.size() - 4) : L"";
        CharLowerW(&extension[0]);
        HANDLE picture = nullptr;
        DWORD kind = 0;
        if (extension == L".bmp") {
            picture = LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
            kind = OBJ_BITMAP;
        } else if (extension == L".wmf") {
            picture = GetMetaFileW(file.c_str());
            kind = OBJ_METAFILE;
        } else if (extension == L".emf") {
            picture = GetEnhMetaFileW(file.c_str());
            kind = OBJ_ENHMETAFILE;
        }
        if (!picture) {
            if (exception) {
                ZeroMemory(exception, sizeof *exception);
                exception->scode = E_FAIL;
                exception->bstrSource = SysAllocString(L"TessaryTest.Pictures");
                exception->bstrDescription = SysAllocString((L"Cannot load " + file).c_str());
            }
            return DISP_E_EXCEPTION;
        }
        loaded_.push_back({kind, picture});
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(reinterpret_cast<INT_PTR>(picture));
        }
        return S_OK;
    }

private:
    LONG refs_ = 1;
    std::vector<std::pair<DWORD, HANDLE>> loaded_;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new Pictures();
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factory;

bool SetKey(const std::string& path, const char* name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return false;
    LONG error = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return error == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
    char path[MAX_PATH];
    GetModuleFileNameA(g_module, path, MAX_PATH);
    const std::string clsid = std::string("CLSID\\") + kClsidText;
    bool ok = SetKey(clsid, nullptr, kProgId) && SetKey(clsid + "\\InprocServer32", nullptr, path) &&
              SetKey(clsid + "\\InprocServer32", "ThreadingModel", "Apartment") &&
              SetKey(clsid + "\\ProgID", nullptr, kProgId) &&
              SetKey(std::string(kProgId) + "\\CLSID", nullptr, kClsidText);
    return ok ? S_OK : E_FAIL;
}

HRESULT WINAPI DllUnregisterServer() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
    return S_OK;
}

}  // extern "C"
