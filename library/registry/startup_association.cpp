#include "registry/startup_association.h"

#include "frame/errors.h"
#include "frame/variant_convert.h"

namespace tessary {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

// Programs of one family that must not start together: the first excludes
// the others, and every other member of the family excludes the first.
const wchar_t kFamilyPrefix[] = L"Vrel";
const wchar_t kFamilyHead[] = L"VrelPask";
const wchar_t* const kFamilyOthers[] = {L"VrelSimbo", L"VrelDorn", L"VrelGask", L"VrelMurt"};

bool Excludes(const std::wstring& added, const std::wstring& existing) {
    if (added == kFamilyHead) {
        for (const wchar_t* other : kFamilyOthers)
            if (existing == other) return true;
        return false;
    }
    return existing == kFamilyHead;
}

// The value compared with the empty text: a number cannot be compared with
// text, which is a type mismatch.
bool DiffersFromEmptyText(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
        return false;
    case VT_BSTR:
        return SysStringLen(V_BSTR(&value)) > 0;
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_UI1: case VT_BOOL: case VT_CY: case VT_DATE:
        ThrowRuntime(kTypeMismatch);
    default:
        return !VariantToText(value).empty();
    }
}

void WriteDefault(RegistryKey& reg, const std::wstring& path, const std::wstring& text) {
    reg.sectionKey = path;
    reg.valueKey.clear();
    Variant value;
    V_VT(value.get()) = VT_BSTR;
    V_BSTR(value.get()) = AllocBstr(text);
    reg.WriteValue(*value.get());
}

}  // namespace

bool StartWithWindows(RegistryKey& reg, const std::wstring& folder, const std::wstring& exe, bool set) {
    bool result = false;
    try {
        reg.classKey = kCurrentUser;
        reg.sectionKey = kRunKey;
        reg.valueType = REG_SZ;
        reg.valueKey = exe;

        Variant current;
        reg.ReadValue(current.get());
        bool present = DiffersFromEmptyText(*current.get());
        result = present;
        if (!set) return result;

        if (present) {
            reg.DeleteValue();
            return false;
        }
        reg.valueKey = exe;
        Variant command;
        V_VT(command.get()) = VT_BSTR;
        V_BSTR(command.get()) = AllocBstr(folder + L"\\" + exe + L".exe");
        reg.WriteValue(*command.get());
        result = true;

        if (exe.compare(0, 4, kFamilyPrefix) == 0) {
            for (const std::wstring& name : reg.EnumerateValues()) {
                if (!Excludes(exe, name)) continue;
                reg.valueKey = name;
                reg.DeleteValue();
            }
        }
        return result;
    } catch (...) {
        return false;
    }
}

void CreateExeAssociation(RegistryKey& reg, const std::wstring& exePath, const std::wstring& className,
                          const std::wstring& classDescription, const std::wstring& extension,
                          long iconIndex) {
    const std::wstring openCommand = exePath + L" \"%1\"";
    reg.valueType = REG_SZ;
    reg.classKey = kClassesRoot;
    WriteDefault(reg, L"." + extension, className);
    WriteDefault(reg, L"." + extension + L"\\shell\\open\\command", openCommand);
    WriteDefault(reg, className, classDescription);
    WriteDefault(reg, className + L"\\shell\\open\\command", openCommand);
    if (iconIndex > -1)
        WriteDefault(reg, className + L"\\DefaultIcon", exePath + L"," + std::to_wstring(iconIndex));
}

}  // namespace tessary
