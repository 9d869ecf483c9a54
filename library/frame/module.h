// Process-wide facts about the loaded library: its module handle and the
// counts that decide whether DllCanUnloadNow may say yes.
#pragma once
#include <windows.h>
#include <string>

namespace tessary {

void SetModuleHandle(HMODULE module);
HMODULE ModuleHandle();
std::wstring ModulePath();

// Every live object and every factory lock holds one count.
void ModuleAddRef();
void ModuleRelease();
LONG ModuleRefCount();

}  // namespace tessary
