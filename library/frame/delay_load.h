// System DLLs loaded at the first call that needs them, not with the library.
//
// Loading a DLL loads everything it imports before its first class factory
// is asked for. Most clients make one object and call it a few times; one
// that only reads the registry should not wait for the spooler, the shell,
// the mixer functions or the common controls. Those are reached through the
// two types below instead of the import table (the toolchain's own
// delay-load thunks are not usable on i686, so the library does it itself,
// the same way on both architectures).
//
// A DLL loaded this way stays loaded for the life of the process (it is
// pinned), as a delay-loaded DLL does: loading and freeing Tessary.dll over
// and over neither reloads it nor holds further references to it. Under Wine
// some of them (winmm, the spooler) leave threads and handles behind when
// they are unloaded, which pinning avoids as well.
//
// A function that cannot be had (the DLL is missing or refuses to load, or
// lacks the function) is the calling member's run-time error, as a declared
// DLL function's would be: 53 "File not found: <dll>", 48 "Error in loading
// DLL" or 453 "Can't find DLL entry point <name> in <dll>". Each member then
// reports it in its own failure style. CallOr answers a given failure result
// instead, for callers that must not throw (destructors, seams whose contract
// is a result code).
#pragma once
#include <windows.h>

#include <atomic>
#include <utility>

namespace tessary {

class DelayLoadedDll {
public:
    constexpr explicit DelayLoadedDll(const wchar_t* name) : name_(name) {}
    DelayLoadedDll(const DelayLoadedDll&) = delete;
    DelayLoadedDll& operator=(const DelayLoadedDll&) = delete;

    const wchar_t* name() const { return name_; }
    // The DLL, loaded and pinned at the first call; null when it cannot be
    // loaded (the thread's last error says why). A failed load is tried
    // again at the next call.
    HMODULE Module() noexcept;
    // The address of `function`, or null (the last error says why).
    FARPROC Find(const char* function) noexcept;
    // Throws the run-time error that stands for the last failed Find.
    [[noreturn]] void ThrowUnavailable(const char* function, DWORD lastError) const;

    // For tests: whether this DLL has been loaded through here.
    bool Loaded() const { return module_.load(std::memory_order_acquire) != nullptr; }

private:
    const wchar_t* name_;
    std::atomic<HMODULE> module_{nullptr};
};

// One function of a DelayLoadedDll, called like the function itself.
// `Pointer` is the function's pointer type, decltype(&::TheFunction), which
// carries its calling convention.
template <class Pointer>
class DelayLoadedFunction {
public:
    constexpr DelayLoadedFunction(DelayLoadedDll& dll, const char* name) : dll_(dll), name_(name) {}
    DelayLoadedFunction(const DelayLoadedFunction&) = delete;
    DelayLoadedFunction& operator=(const DelayLoadedFunction&) = delete;

    // The function, or null when it cannot be had.
    Pointer Find() noexcept {
        void* known = address_.load(std::memory_order_acquire);
        if (!known) {
            known = reinterpret_cast<void*>(dll_.Find(name_));
            if (!known) return nullptr;
            address_.store(known, std::memory_order_release);
        }
        return reinterpret_cast<Pointer>(known);
    }

    // Calls the function; a function that cannot be had is a run-time error.
    template <class... Args>
    auto operator()(Args&&... args) {
        Pointer function = Find();
        if (!function) dll_.ThrowUnavailable(name_, GetLastError());
        return function(std::forward<Args>(args)...);
    }

    // Calls the function, or answers `failure` (with the reason as the last
    // error) when it cannot be had.
    template <class Result, class... Args>
    Result CallOr(Result failure, Args&&... args) noexcept {
        Pointer function = Find();
        if (!function) return failure;
        return function(std::forward<Args>(args)...);
    }

private:
    DelayLoadedDll& dll_;
    const char* name_;
    std::atomic<void*> address_{nullptr};
};

}  // namespace tessary
