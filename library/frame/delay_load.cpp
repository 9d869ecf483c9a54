#include "frame/delay_load.h"

#include <string>

#include "frame/errors.h"
#include "frame/text.h"

namespace tessary {

HMODULE DelayLoadedDll::Module() noexcept {
    HMODULE module = module_.load(std::memory_order_acquire);
    if (module) return module;
    // Only from the system folder: a DLL of the same name beside the client
    // must not be picked up instead.
    module = LoadLibraryExW(name_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Systems without the search flags (before the 2011 loader update).
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        std::wstring full;
        if (length > 0 && length < MAX_PATH) full.assign(path, length).append(L"\\").append(name_);
        module = full.empty() ? nullptr : LoadLibraryW(full.c_str());
    }
    if (!module) return nullptr;
    // Kept for the life of the process; the reference taken by the load
    // above is then never given back, which is what pinning means.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(module), &pinned);
    // Two threads may both have loaded it; both got the same module.
    module_.store(module, std::memory_order_release);
    return module;
}

FARPROC DelayLoadedDll::Find(const char* function) noexcept {
    HMODULE module = Module();
    if (!module) return nullptr;
    return GetProcAddress(module, function);
}

void DelayLoadedDll::ThrowUnavailable(const char* function, DWORD lastError) const {
    const std::wstring dll(name_);
    if (Loaded()) {
        throw RuntimeError(kDllEntryPointNotFound,
                           L"Can't find DLL entry point " + FromAnsiZ(function) + L" in " + dll);
    }
    if (lastError == ERROR_MOD_NOT_FOUND || lastError == ERROR_FILE_NOT_FOUND || lastError == ERROR_PATH_NOT_FOUND)
        throw RuntimeError(kFileNotFound, L"File not found: " + dll);
    throw RuntimeError(kErrorLoadingDll, StandardDescription(kErrorLoadingDll));
}

}  // namespace tessary
