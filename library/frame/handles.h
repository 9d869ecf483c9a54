// Owning wrappers for Win32 handles: each closes its handle exactly once.
#pragma once
#include <windows.h>
#include <utility>

namespace tessary {

template <class Handle, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle adopted) : h_(adopted) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Handle())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(h_, other.h_);
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Handle(); }
    Handle release() { return std::exchange(h_, Handle()); }
    void reset(Handle adopted = Handle()) {
        if (h_ != Handle()) Traits::Close(h_);
        h_ = adopted;
    }
    // For out-parameters of platform calls.
    Handle* put() { reset(); return &h_; }

private:
    Handle h_ = Handle();
};

struct RegKeyTraits { static void Close(HKEY h) { RegCloseKey(h); } };
struct GdiObjectTraits { static void Close(HGDIOBJ h) { DeleteObject(h); } };
struct DcTraits { static void Close(HDC h) { DeleteDC(h); } };
struct GlobalTraits { static void Close(HGLOBAL h) { GlobalFree(h); } };
struct FindTraits { static void Close(HANDLE h) { FindClose(h); } };
struct KernelTraits { static void Close(HANDLE h) { CloseHandle(h); } };

using UniqueKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;
using UniqueDc = UniqueHandle<HDC, DcTraits>;
using UniqueGlobal = UniqueHandle<HGLOBAL, GlobalTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelTraits>;

// FindFirstFile's "no handle" is INVALID_HANDLE_VALUE, not 0.
class UniqueFind {
public:
    explicit UniqueFind(HANDLE h) : h_(h) {}
    UniqueFind(const UniqueFind&) = delete;
    UniqueFind& operator=(const UniqueFind&) = delete;
    ~UniqueFind() { if (h_ != INVALID_HANDLE_VALUE) FindClose(h_); }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// A screen or window DC from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Keeps a GlobalLock for the lifetime of the guard.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(GlobalLock(h)) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() { if (p_) GlobalUnlock(h_); }
    void* get() const { return p_; }

private:
    HGLOBAL h_;
    void* p_;
};

// An object selected into a DC for one scope: what it replaced goes back in
// when the scope ends, on every path, so the object can then be deleted.
class Selection {
public:
    // A null object selects nothing.
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), replaced_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (replaced_ && replaced_ != HGDI_ERROR) SelectObject(dc_, replaced_);
    }

private:
    HDC dc_;
    HGDIOBJ replaced_;
};

// Holds an SRW lock exclusively for one scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

}  // namespace tessary
