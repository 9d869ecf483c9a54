// Owning wrappers for the automation types: BSTR, VARIANT and SAFEARRAY.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <utility>

namespace tessary {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!b_ && !text.empty()) throw std::bad_alloc();
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept { std::swap(b_, other.b_); return *this; }
    ~Bstr() { SysFreeString(b_); }

    BSTR get() const { return b_; }
    BSTR release() { return std::exchange(b_, nullptr); }
    void reset(BSTR adopted = nullptr) {
        if (adopted != b_) SysFreeString(b_);
        b_ = adopted;
    }
    BSTR* put() { reset(); return &b_; }
    // The slot itself, for an [in, out] parameter that may replace the text.
    BSTR* ref() { return &b_; }

private:
    BSTR b_ = nullptr;
};

// The text of a BSTR with its full counted length: embedded NULs are kept and
// a null BSTR is the empty text, as automation defines it.
inline std::wstring ToWide(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

// A new BSTR for an [out] or [in, out] slot; the caller owns it.
inline BSTR AllocBstr(const std::wstring& text) {
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

// An automation Boolean: True is -1.
inline VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The variant a slot refers to, looking through VT_BYREF|VT_VARIANT (script
// hosts pass every argument that way, sometimes more than one level deep).
inline const VARIANT& Deref(const VARIANT& v) {
    const VARIANT* p = &v;
    while (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
    return *p;
}

// Replaces the BSTR in an [in, out] slot, freeing the old one.
inline void AssignBstr(BSTR* slot, const std::wstring& text) {
    BSTR fresh = AllocBstr(text);
    SysFreeString(*slot);
    *slot = fresh;
}

// An owned VARIANT. get() lends it for reading or in-place use; Receive()
// empties it and lends it to a call that fills it; Release() hands the
// content over and leaves this one empty.
class Variant {
public:
    // Zeroed whole, so that a type set later never meets stale union bits.
    Variant() { ZeroMemory(&v_, sizeof v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : v_(other.Release()) {}
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            Reset();
            v_ = other.Release();
        }
        return *this;
    }
    ~Variant() {
        if (V_VT(&v_) != VT_EMPTY) VariantClear(&v_);
    }

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }

    // Clears the content (its strings, arrays and interfaces freed).
    void Reset() {
        VariantClear(&v_);
        ZeroMemory(&v_, sizeof v_);
    }
    // Empty, for a call that fills it.
    VARIANT* Receive() {
        Reset();
        return &v_;
    }
    // The content, now the caller's; this one is left empty.
    VARIANT Release() {
        VARIANT out = v_;
        ZeroMemory(&v_, sizeof v_);
        return out;
    }
    // Hands the content over to a caller's slot, clearing what the slot held.
    void MoveTo(VARIANT* target) {
        VariantClear(target);
        *target = Release();
    }

private:
    VARIANT v_;
};

// The run-time's error for a caller's array that may not be replaced.
constexpr long kArrayFixedOrLocked = 10;

// A caller's array that a member may not replace or destroy: fixed in size,
// locked, or not allocated by the automation run-time.
inline bool IsFixedOrLocked(const SAFEARRAY* array) {
    return array && (array->cLocks > 0 ||
                     (array->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED | FADF_AUTO)));
}

class SafeArray {
public:
    SafeArray() = default;
    explicit SafeArray(SAFEARRAY* adopted) : a_(adopted) {}
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept { std::swap(a_, other.a_); return *this; }
    ~SafeArray() { if (a_) SafeArrayDestroy(a_); }

    SAFEARRAY* get() const { return a_; }
    SAFEARRAY* release() { return std::exchange(a_, nullptr); }
    void reset(SAFEARRAY* adopted = nullptr) {
        if (a_) SafeArrayDestroy(a_);
        a_ = adopted;
    }

private:
    SAFEARRAY* a_ = nullptr;
};

}  // namespace tessary
