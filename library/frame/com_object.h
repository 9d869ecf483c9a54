// The base of every published class: reference counting, QueryInterface,
// IDispatch served from the type library, and ISupportErrorInfo.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "frame/com_ptr.h"
#include "frame/dispatch.h"
#include "frame/module.h"

namespace tessary {

template <class Interface>
class DispatchObject : public Interface, public ISupportErrorInfo {
public:
    DispatchObject() { ModuleAddRef(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    virtual ~DispatchObject() { ModuleRelease(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, __uuidof(Interface))) {
            *out = static_cast<Interface*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return GetInterfaceTypeInfo(__uuidof(Interface), info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        const PreparedInterface* prepared = GetPreparedInterface(__uuidof(Interface));
        if (!prepared) return E_UNEXPECTED;
        return prepared->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        // The identifier is reserved and must be IID_NULL.
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        const PreparedInterface* prepared = GetPreparedInterface(__uuidof(Interface));
        if (!prepared) return E_UNEXPECTED;
        return InvokeThroughTypeInfo(static_cast<Interface*>(this), *prepared, member, flags, params,
                                     result, exception, argError);
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, __uuidof(Interface)) ? S_OK : S_FALSE;
    }

    // Creates an object of the derived class and hands out the asked interface.
    template <class Derived>
    static HRESULT CreateInstance(REFIID iid, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        Derived* object = new (std::nothrow) Derived();
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

private:
    LONG refs_ = 0;
};

}  // namespace tessary
