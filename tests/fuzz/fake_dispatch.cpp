// The fuzzer's own dispatch object: only its default value answers, in one
// of several ways.
#include "fake_dispatch.h"

namespace tessary::fuzz {

Reentry& CurrentReentry() {
    static Reentry reentry;
    return reentry;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = this;
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDispatch::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                               EXCEPINFO* exception, UINT*) {
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    switch (mode_) {
    case kText:
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
        }
        return S_OK;
    case kNumber:
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = 42;
        }
        return S_OK;
    case kReenter: {
        // Calls back into the object that is converting this argument, then answers.
        const Reentry& r = CurrentReentry();
        if (r.object) {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT inner;
            VariantInit(&inner);
            r.object->Invoke(r.member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &inner, nullptr,
                             nullptr);
            VariantClear(&inner);
        }
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"12");
        }
        return S_OK;
    }
    case kRefuse:
        if (exception) {
            ZeroMemory(exception, sizeof *exception);
            exception->scode = E_FAIL;
            exception->bstrDescription = SysAllocString(L"fake object refuses");
            exception->bstrSource = SysAllocString(L"TessaryFuzz");
        }
        return DISP_E_EXCEPTION;
    default:
        return E_UNEXPECTED;
    }
}

}  // namespace tessary::fuzz
