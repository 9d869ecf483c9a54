#include "registry/registry_helpers.h"

#include <cstring>

#include "frame/errors.h"
#include "frame/text.h"
#include "frame/variant_convert.h"

namespace tessary {

const wchar_t kSettingsArea[] = L"Software\\Halvex\\";

long RootFromName(const std::wstring& rootName) {
    if (rootName == L"HKCR") return kClassesRoot;
    if (rootName == L"HKCU") return kCurrentUser;
    if (rootName == L"HKLM") return kLocalMachine;
    return kUsers;  // for any other name
}

long TypeFromName(const std::wstring& typeName) {
    if (typeName == L"REG_SZ") return REG_SZ;
    if (typeName == L"REG_DWORD") return REG_DWORD;
    return REG_BINARY;
}

std::wstring RegGet(RegistryKey& reg, const std::wstring& section, const std::wstring& name,
                    const VARIANT& fallback) {
    std::wstring text;
    reg.classKey = kCurrentUser;
    reg.sectionKey = kSettingsArea + section;
    reg.valueKey = name;
    reg.valueType = REG_SZ;
    SkipOnError([&] {
        Variant value;
        reg.ReadValue(value.get());
        text = VariantToText(*value.get());
    });
    // An existing value that holds the empty text also falls back.
    if (text.empty()) SkipOnError([&] { text = VariantToText(fallback); });
    return text;
}

void RegSet(RegistryKey& reg, const std::wstring& section, const std::wstring& name, VARIANT* value) {
    SkipOnError([&] {
        const VARIANT& current = Deref(*value);
        bool emptyText = V_VT(&current) == VT_EMPTY ||
                         (V_VT(&current) == VT_BSTR && SysStringLen(V_BSTR(&current)) == 0);
        if (emptyText) {
            VARIANT* target = const_cast<VARIANT*>(&current);
            BSTR empty = AllocBstr(std::wstring());
            VariantClear(target);
            V_VT(target) = VT_BSTR;
            V_BSTR(target) = empty;
        }
    });
    reg.classKey = kCurrentUser;
    reg.sectionKey = kSettingsArea + section;
    reg.valueKey = name;
    reg.valueType = REG_SZ;
    SkipOnError([&] { reg.WriteValue(*value); });
}

void RegSysGet(RegistryKey& reg, const std::wstring& rootName, const std::wstring& path,
               const std::wstring& name, const std::wstring& typeName, VARIANT* result) {
    Variant value;
    V_VT(value.get()) = VT_I4;
    V_I4(value.get()) = 0;
    reg.classKey = RootFromName(rootName);
    reg.sectionKey = path;
    reg.valueKey = name;
    reg.valueType = TypeFromName(typeName);
    SkipOnError([&] {
        Variant read;
        reg.ReadValue(read.get());
        value.Reset();
        read.MoveTo(value.get());
    });
    value.MoveTo(result);
}

void RegSysSet(RegistryKey& reg, const std::wstring& rootName, const std::wstring& path,
               const std::wstring& name, const VARIANT& value, const std::wstring& typeName) {
    reg.classKey = RootFromName(rootName);
    reg.sectionKey = path;
    reg.valueKey = name;
    reg.valueType = TypeFromName(typeName);
    SkipOnError([&] { reg.WriteValue(value); });
}

namespace {

// The profile functions pass each 8-bit text on as a counted UTF-16 string,
// which holds fewer than 32767 characters; given a longer text they read or
// write something else, or fault. A longer text makes the step fail.
bool FitsProfileCall(const AnsiText& text) { return strlen(text.c_str()) < 32767; }

}  // namespace

void RegWinIni(const std::wstring& section, const std::wstring& key, const std::wstring& value,
               const std::wstring& action, VARIANT* result) {
    static const char kProfile[] = "System.ini";
    Variant outcome;
    const AnsiText sectionText(section), keyText(key);
    const bool fits = FitsProfileCall(sectionText) && FitsProfileCall(keyText);
    SkipOnError([&] {
        if (action == L"Get") {
            char buffer[81];
            memset(buffer, ' ', 80);
            buffer[80] = '\0';  // should the platform leave no NUL, all 80 characters count
            if (fits)
                GetPrivateProfileStringA(sectionText.c_str(), keyText.c_str(), "NotFound", buffer, 80, kProfile);
            else
                strcpy(buffer, "NotFound");
            V_VT(outcome.get()) = VT_BSTR;
            V_BSTR(outcome.get()) = AllocBstr(FromAnsiZ(buffer));
        } else {
            const AnsiText valueText(value);
            if (fits && FitsProfileCall(valueText))
                WritePrivateProfileStringA(sectionText.c_str(), keyText.c_str(), valueText.c_str(), kProfile);
        }
    });
    outcome.MoveTo(result);
}

}  // namespace tessary
