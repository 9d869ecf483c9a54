// The registry key and value object: four addressing fields, a default, and
// the operations on the value and key they address. All platform access goes
// through the wide (UTF-16) registry functions; every key opened is closed before an
// operation returns.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "frame/automation.h"
#include "frame/handles.h"

namespace tessary {

// The error source of the registry class: the library's file name without
// extension, then ".cRegistry".
std::wstring RegistryErrorSource();

// The published root values: the platform's predefined root handles as
// signed 32-bit values (Root() turns them back into the handles).
constexpr long kClassesRoot = static_cast<long>(0x80000000);
constexpr long kCurrentUser = static_cast<long>(0x80000001);
constexpr long kLocalMachine = static_cast<long>(0x80000002);
constexpr long kUsers = static_cast<long>(0x80000003);

constexpr long kRegistryError = 26001;
constexpr long kRegistryWriteError = -2147194455;  // 0x800469A9
constexpr long kRegistryEnumError = -2147194454;   // 0x800469AA

class RegistryKey {
public:
    long classKey = 0;  // a predefined root handle; 0 addresses no root
    std::wstring sectionKey;
    std::wstring valueKey;
    long valueType = REG_NONE;
    Variant defaultValue;

    bool KeyExists() const;
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();

    // Reads the addressed value into `out` (the default when it is missing)
    // and sets valueType to the stored type on success.
    void ReadValue(VARIANT* out);
    // Writes `value` under valueType, creating the key path when missing.
    void WriteValue(const VARIANT& value);

    std::vector<std::wstring> EnumerateValues() const;
    std::vector<std::wstring> EnumerateSections() const;

    // The platform's handle for classKey.
    HKEY Root() const;

private:
    // Creates the key path (or opens it) for writing.
    LONG CreateOrOpen(UniqueKey& key) const;
    [[noreturn]] void Fail(long number, const std::wstring& description) const;
    std::wstring WriteFailureText(const VARIANT& value) const;
};

// Helpers of the read path, exposed for their own tests.
DWORD ReverseDwordBytes(DWORD value);
// The stored type of a text write: REG_EXPAND_SZ when the text holds a "%"
// and another "%" at least two positions after it, else REG_SZ.
DWORD TextStoredType(const std::wstring& text);

}  // namespace tessary
