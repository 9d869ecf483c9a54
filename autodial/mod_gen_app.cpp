#include "mod_gen_app.h"

#include <vector>

#include "frame/automation.h"

namespace dovetta::modGenApp {

float TextToNumber(const std::wstring& v) {
    if (v.empty() || v == L"False") return 0.0f;
    if (v == L"True") return 1.0f;

    // Every prefix is tried, not just until the first failure: a prefix that
    // fails can still grow into one that converts ("1e" -> "1e3", "(1" -> "(1)").
    // One NUL-terminated buffer is cut in place for each length, so a long
    // text costs no copies; an embedded NUL simply ends the text early.
    std::vector<OLECHAR> buffer(v.begin(), v.end());
    buffer.push_back(L'\0');
    float result = 0.0f;
    for (size_t n = 1; n <= v.size(); ++n) {
        OLECHAR cut = buffer[n];
        buffer[n] = L'\0';
        float value = 0.0f;
        if (SUCCEEDED(VarR4FromStr(buffer.data(), LOCALE_USER_DEFAULT, 0, &value))) result = value;
        buffer[n] = cut;
    }
    return result;
}

float TextToNumber(const VARIANT& v) {
    const VARIANT* value = &tessary::Deref(v);
    if (V_VT(value) == VT_BSTR)
        return TextToNumber(V_BSTR(value) ? std::wstring(V_BSTR(value), SysStringLen(V_BSTR(value)))
                                          : std::wstring());
    if (V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL) return 0.0f;

    // Cleared on every path, an allocation failure below included.
    tessary::Variant text;
    if (FAILED(VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(value), LOCALE_USER_DEFAULT,
                                   VARIANT_ALPHABOOL, VT_BSTR)))
        return 0.0f;
    return TextToNumber(tessary::ToWide(V_BSTR(text.get())));
}

}  // namespace dovetta::modGenApp
