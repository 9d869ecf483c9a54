#include "frame/variant_convert.h"

#include "frame/automation.h"
#include "frame/errors.h"

namespace tessary {
namespace {

[[noreturn]] void ThrowConversionFailure(const VARIANT& source, HRESULT hr) {
    if (V_VT(&source) == VT_NULL) ThrowRuntime(kInvalidUseOfNull);
    if (hr == DISP_E_OVERFLOW) ThrowRuntime(kOverflow);
    if (hr == E_OUTOFMEMORY) ThrowRuntime(kOutOfMemory);
    ThrowRuntime(kTypeMismatch);
}

void ChangeType(Variant& out, const VARIANT& in, VARTYPE type) {
    const VARIANT& source = Deref(in);
    HRESULT hr = VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&source), LOCALE_USER_DEFAULT,
                                     VARIANT_ALPHABOOL, type);
    if (FAILED(hr)) ThrowConversionFailure(source, hr);
}

}  // namespace

std::wstring VariantToText(const VARIANT& v) {
    const VARIANT& source = Deref(v);
    if (V_VT(&source) == VT_BSTR) return ToWide(V_BSTR(&source));
    Variant out;
    ChangeType(out, source, VT_BSTR);
    return ToWide(V_BSTR(out.get()));
}

long VariantToLong(const VARIANT& v) {
    Variant out;
    ChangeType(out, v, VT_I4);
    return V_I4(out.get());
}

double VariantToDouble(const VARIANT& v) {
    Variant out;
    ChangeType(out, v, VT_R8);
    return V_R8(out.get());
}

bool IsMissing(const VARIANT& v) {
    const VARIANT& s = Deref(v);
    return V_VT(&s) == VT_ERROR && V_ERROR(&s) == DISP_E_PARAMNOTFOUND;
}

bool IsEmpty(const VARIANT& v) { return V_VT(&Deref(v)) == VT_EMPTY; }

}  // namespace tessary
