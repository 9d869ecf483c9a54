#include "registry/registry_helpers.h"

#include <cwchar>

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

// The profile functions take each text as a counted UTF-16 string, which
// holds fewer than 32767 characters; given a longer text they read or write
// something else, or fault. A longer text makes the step fail. The platform
// reads each text up to its first NUL.
std::wstring ProfileText(const std::wstring& text) { return text.c_str(); }
bool FitsProfileCall(const std::wstring& text) { return ProfileText(text).size() < 32767; }

// System.ini is a file of the system code page: Windows converts what it
// writes there with the code page's best fit, so a character the code page
// lacks would become another one (ł an l, a fullwidth reverse solidus a real
// one), and a section or key name the name of another entry. Such a name
// names no entry here; in a value such a character becomes the code page's
// default character, never a look-alike.
bool ProfileHolds(const std::wstring& name) { return AnsiText(ProfileText(name)).exact(); }
std::wstring ProfileValue(const std::wstring& value) {
    const AnsiText bytes(ProfileText(value));
    return bytes.exact() ? ProfileText(value) : FromAnsiZ(bytes.c_str());
}

}  // namespace

void RegWinIni(const std::wstring& section, const std::wstring& key, const std::wstring& value,
               const std::wstring& action, VARIANT* result) {
    static const wchar_t kProfile[] = L"System.ini";
    Variant outcome;
    const bool usable = FitsProfileCall(section) && FitsProfileCall(key) && ProfileHolds(section) &&
                        ProfileHolds(key);
    SkipOnError([&] {
        if (action == L"Get") {
            wchar_t buffer[81];
            wmemset(buffer, L' ', 80);
            buffer[80] = L'\0';  // should the platform leave no NUL, all 80 characters count
            if (usable)
                GetPrivateProfileStringW(section.c_str(), key.c_str(), L"NotFound", buffer, 80, kProfile);
            else
                wcscpy(buffer, L"NotFound");
            V_VT(outcome.get()) = VT_BSTR;
            V_BSTR(outcome.get()) = AllocBstr(buffer);
        } else if (usable && FitsProfileCall(value)) {
            WritePrivateProfileStringW(section.c_str(), key.c_str(), ProfileValue(value).c_str(), kProfile);
        }
    });
    outcome.MoveTo(result);
}

}  // namespace tessary
