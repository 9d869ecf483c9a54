#include "frame/module.h"

namespace tessary {
namespace {
HMODULE g_module = nullptr;
LONG g_refs = 0;
}  // namespace

void SetModuleHandle(HMODULE module) { g_module = module; }
HMODULE ModuleHandle() { return g_module; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(g_module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ModuleAddRef() { InterlockedIncrement(&g_refs); }
void ModuleRelease() { InterlockedDecrement(&g_refs); }
LONG ModuleRefCount() { return g_refs; }

}  // namespace tessary
