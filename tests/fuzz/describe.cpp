// Short texts for reports and replays.
#include "describe.h"

#include <algorithm>
#include <cstdio>

namespace tessary::fuzz {

std::string Hex(uint32_t v) {
    char b[16];
    snprintf(b, sizeof b, "0x%08X", v);
    return b;
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += (c < 128 && c >= 32) ? static_cast<char>(c) : '?';
    return s;
}

std::string FlagsText(WORD flags) {
    std::string s;
    if (flags & DISPATCH_METHOD) s += "M";
    if (flags & DISPATCH_PROPERTYGET) s += "G";
    if (flags & DISPATCH_PROPERTYPUT) s += "P";
    if (flags & DISPATCH_PROPERTYPUTREF) s += "R";
    if (flags & ~0xF) s += "+" + Hex(flags);
    return s.empty() ? "0" : s;
}

std::string Describe(const VARIANT& v, int depth) {
    const VARTYPE vt = V_VT(&v);
    char b[96];
    if (vt == (VT_BYREF | VT_VARIANT)) return "ref(" + (depth < 4 && V_VARIANTREF(&v) ? Describe(*V_VARIANTREF(&v), depth + 1) : "?") + ")";
    if (vt & VT_ARRAY) {
        SAFEARRAY* a = (vt & VT_BYREF) ? *V_ARRAYREF(&v) : V_ARRAY(&v);
        if (!a) return "vt" + Hex(vt) + " array(null)";
        snprintf(b, sizeof b, "vt%s array dims=%u n0=%lu lb0=%ld features=%s locks=%lu", Hex(vt).c_str(),
                 a->cDims, a->rgsabound[0].cElements, a->rgsabound[0].lLbound, Hex(a->fFeatures).c_str(), a->cLocks);
        return b;
    }
    const bool ref = (vt & VT_BYREF) != 0;
    const void* p = ref ? V_BYREF(&v) : &V_UI1(&v);
    switch (vt & ~VT_BYREF) {
    case VT_BSTR: {
        BSTR t = ref ? *V_BSTRREF(&v) : V_BSTR(&v);
        if (!t) return std::string(ref ? "ref " : "") + "bstr(null)";
        snprintf(b, sizeof b, "%sbstr(len=%u \"", ref ? "ref " : "", SysStringByteLen(t));
        return b + Narrow(std::wstring(t, std::min<UINT>(SysStringLen(t), 40))) + "\")";
    }
    case VT_DECIMAL: return "decimal";
    default:
        snprintf(b, sizeof b, "vt%s %016llX", Hex(vt).c_str(), *static_cast<const unsigned long long*>(p));
        return b;
    }
}

}  // namespace tessary::fuzz
