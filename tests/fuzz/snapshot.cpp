// Snapshots of arguments and deep comparisons of variants and arrays.
#include "snapshot.h"

#include <cstring>

namespace tessary::fuzz {

namespace {
bool SameArray(SAFEARRAY* a, SAFEARRAY* b);
}  // namespace

bool SameValue(const VARIANT& a, const VARIANT& b) {
    if (V_VT(&a) != V_VT(&b)) return false;
    const VARTYPE vt = V_VT(&a);
    if (vt & VT_BYREF) return V_BYREF(&a) == V_BYREF(&b);
    if (vt & VT_ARRAY) return SameArray(V_ARRAY(&a), V_ARRAY(&b));
    switch (vt) {
    case VT_BSTR: {
        BSTR x = V_BSTR(&a), y = V_BSTR(&b);
        if (!x || !y) return x == y;
        UINT n = SysStringByteLen(x);
        return n == SysStringByteLen(y) && memcmp(x, y, n) == 0;
    }
    case VT_DISPATCH: case VT_UNKNOWN: return V_UNKNOWN(&a) == V_UNKNOWN(&b);
    case VT_DECIMAL: return memcmp(&V_DECIMAL(&a), &V_DECIMAL(&b), sizeof(DECIMAL)) == 0;
    default: return memcmp(&V_UI8(&a), &V_UI8(&b), sizeof(ULONGLONG)) == 0;
    }
}

namespace {

// Same dimensions, bounds, element type and elements.
bool SameArray(SAFEARRAY* a, SAFEARRAY* b) {
    if (!a || !b) return a == b;
    if (a->cDims != b->cDims || a->cbElements != b->cbElements) return false;
    ULONG count = 1;
    for (USHORT d = 0; d < a->cDims; ++d) {
        if (a->rgsabound[d].cElements != b->rgsabound[d].cElements ||
            a->rgsabound[d].lLbound != b->rgsabound[d].lLbound)
            return false;
        count *= a->rgsabound[d].cElements;
    }
    VARTYPE ta = VT_EMPTY, tb = VT_EMPTY;
    SafeArrayGetVartype(a, &ta);
    SafeArrayGetVartype(b, &tb);
    if (ta != tb) return false;
    if (count == 0) return true;
    const char* pa = static_cast<const char*>(a->pvData);
    const char* pb = static_cast<const char*>(b->pvData);
    if (!pa || !pb) return pa == pb;
    for (ULONG i = 0; i < count; ++i) {
        const char* ea = pa + i * a->cbElements;
        const char* eb = pb + i * b->cbElements;
        if (ta == VT_VARIANT) {
            if (!SameValue(*reinterpret_cast<const VARIANT*>(ea), *reinterpret_cast<const VARIANT*>(eb))) return false;
        } else if (ta == VT_BSTR) {
            VARIANT x, y;
            V_VT(&x) = V_VT(&y) = VT_BSTR;
            V_BSTR(&x) = *reinterpret_cast<const BSTR*>(ea);
            V_BSTR(&y) = *reinterpret_cast<const BSTR*>(eb);
            if (!SameValue(x, y)) return false;
        } else if (ta == VT_DISPATCH || ta == VT_UNKNOWN) {
            if (*reinterpret_cast<void* const*>(ea) != *reinterpret_cast<void* const*>(eb)) return false;
        } else if (memcmp(ea, eb, a->cbElements) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

const VARIANT* Follow(const VARIANT* v) {
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

void Take(Snapshot& s, const VARIANT& arg) {
    s.shallow = arg;
    const VARIANT* target = Follow(&arg);
    if (V_VT(target) & VT_ARRAY) {
        s.array = (V_VT(target) & VT_BYREF) ? *V_ARRAYREF(target) : V_ARRAY(target);
        if (s.array) {
            s.features = s.array->fFeatures;
            s.locks = s.array->cLocks;
            s.data = s.array->pvData;
        }
    }
    VariantCopyInd(s.deep.get(), const_cast<VARIANT*>(target));
}

}  // namespace tessary::fuzz
