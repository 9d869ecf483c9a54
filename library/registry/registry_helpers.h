// One-call members over a RegistryKey: each sets the addressing fields, then
// reads or writes the value. None of them reports an error: every step runs
// on its own, a failing step is skipped, and nothing stays pending.
#pragma once
#include <string>

#include "registry/registry_key.h"

namespace tessary {

// The application-settings area below HKEY_CURRENT_USER.
extern const wchar_t kSettingsArea[];

std::wstring RegGet(RegistryKey& reg, const std::wstring& section, const std::wstring& name,
                    const VARIANT& fallback);
// Replaces an empty `value` by the empty text (the caller sees that), then writes it.
void RegSet(RegistryKey& reg, const std::wstring& section, const std::wstring& name, VARIANT* value);
void RegSysGet(RegistryKey& reg, const std::wstring& rootName, const std::wstring& path,
               const std::wstring& name, const std::wstring& typeName, VARIANT* result);
void RegSysSet(RegistryKey& reg, const std::wstring& rootName, const std::wstring& path,
               const std::wstring& name, const VARIANT& value, const std::wstring& typeName);
// "Get" reads the System.ini entry into `result`; any other action writes it.
void RegWinIni(const std::wstring& section, const std::wstring& key, const std::wstring& value,
               const std::wstring& action, VARIANT* result);

long RootFromName(const std::wstring& rootName);
long TypeFromName(const std::wstring& typeName);

}  // namespace tessary
