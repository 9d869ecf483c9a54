// Start-up entries below the per-user Run key, and file associations below
// HKEY_CLASSES_ROOT, written through a RegistryKey.
#pragma once
#include <string>

#include "registry/registry_key.h"

namespace tessary {

extern const wchar_t kRunKey[];

// Queries the program's start-up entry, or with `set` switches it: an
// existing entry is removed (false), a missing one is written (true). Never
// raises; a failure gives false.
bool StartWithWindows(RegistryKey& reg, const std::wstring& folder, const std::wstring& exe, bool set);

// Raises the registry's errors; earlier writes stay in place.
void CreateExeAssociation(RegistryKey& reg, const std::wstring& exePath, const std::wstring& className,
                          const std::wstring& classDescription, const std::wstring& extension,
                          long iconIndex);

}  // namespace tessary
