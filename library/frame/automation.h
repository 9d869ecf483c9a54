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
    BSTR* put() { SysFreeString(b_); b_ = nullptr; return &b_; }

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

// Replaces the BSTR in an [in, out] slot, freeing the old one.
inline void AssignBstr(BSTR* slot, const std::wstring& text) {
    BSTR fresh = AllocBstr(text);
    SysFreeString(*slot);
    *slot = fresh;
}

class Variant : public VARIANT {
public:
    // Zeroed whole, so that a type set later never meets stale union bits.
    Variant() { ZeroMemory(static_cast<VARIANT*>(this), sizeof(VARIANT)); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : VARIANT(other) {
        ZeroMemory(static_cast<VARIANT*>(&other), sizeof(VARIANT));
    }
    ~Variant() { VariantClear(this); }

    void Clear() { VariantClear(this); }
    // Hands the content over to a caller's slot; this one is left empty.
    void MoveTo(VARIANT* target) {
        *target = *static_cast<VARIANT*>(this);
        ZeroMemory(static_cast<VARIANT*>(this), sizeof(VARIANT));
    }
};

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
