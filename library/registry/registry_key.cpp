#include "registry/registry_key.h"

#include "frame/errors.h"
#include "frame/handles.h"
#include "frame/module.h"
#include "frame/variant_convert.h"

namespace tessary {
namespace {

constexpr REGSAM kReadAccess = KEY_QUERY_VALUE;
constexpr REGSAM kEnumerateAccess = KEY_ENUMERATE_SUB_KEYS;
constexpr REGSAM kWriteAccess = 0x3F;  // query, set, create subkey, enumerate, notify, create link

std::wstring ExpandVariables(const std::wstring& text) {
    // Sizes in characters, the terminating NUL included.
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::wstring buffer(needed, L'\0');
    DWORD written = ExpandEnvironmentStringsW(text.c_str(), &buffer[0], needed);
    if (written == 0 || written > needed) return text;
    return std::wstring(buffer.c_str());
}

// Text of a value for the write-failure message; kinds without a text form
// (arrays, objects) read as the empty text.
std::wstring TextForMessage(const VARIANT& value) {
    try {
        return VariantToText(value);
    } catch (...) {
        return std::wstring();
    }
}

SAFEARRAY* ByteArray(const BYTE* bytes, DWORD count) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, count);
    if (!array) ThrowRuntime(kOutOfMemory);
    if (count > 0) {
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        memcpy(data, bytes, count);
        SafeArrayUnaccessData(array);
    }
    return array;
}

}  // namespace

std::wstring RegistryErrorSource() {
    std::wstring path = ModulePath();
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    if (name.empty()) name = kApplicationTitle;
    return name + L".cRegistry";
}

DWORD ReverseDwordBytes(DWORD value) {
    return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
}

DWORD TextStoredType(const std::wstring& text) {
    size_t first = text.find(L'%');
    if (first != std::wstring::npos && text.find(L'%', first + 2) != std::wstring::npos)
        return REG_EXPAND_SZ;
    return REG_SZ;
}

HKEY RegistryKey::Root() const {
    // The predefined roots are 32-bit values sign-extended to a handle
    // (HKEY_CURRENT_USER is 0xFFFFFFFF80000001 on x64), as the platform defines them.
    return static_cast<HKEY>(LongToHandle(classKey));
}

void RegistryKey::Fail(long number, const std::wstring& description) const {
    throw RuntimeError(number, description, RegistryErrorSource());
}

std::wstring RegistryKey::WriteFailureText(const VARIANT& value) const {
    return L"Failed to set registry value Key: '" + std::to_wstring(classKey) + L"',Section: '" +
           sectionKey + L"',Key: '" + valueKey + L"' to value: '" + TextForMessage(value) + L"'";
}

LONG RegistryKey::CreateOrOpen(UniqueKey& key) const {
    // No class text, non-volatile, a security record whose fields are all zero.
    SECURITY_ATTRIBUTES security = {0, nullptr, FALSE};
    DWORD disposition = 0;
    wchar_t emptyClass[1] = L"";
    return RegCreateKeyExW(Root(), sectionKey.c_str(), 0, emptyClass, 0, kWriteAccess, &security, key.put(),
                           &disposition);
}

bool RegistryKey::KeyExists() const {
    UniqueKey key;
    return RegOpenKeyExW(Root(), sectionKey.c_str(), 0, kReadAccess, key.put()) == ERROR_SUCCESS;
}

bool RegistryKey::CreateKey() {
    UniqueKey key;
    if (CreateOrOpen(key) != ERROR_SUCCESS) Fail(kRegistryError, L"Failed to create registry Key: '" + sectionKey);
    return true;
}

bool RegistryKey::DeleteKey() {
    if (RegDeleteKeyW(Root(), sectionKey.c_str()) != ERROR_SUCCESS) {
        Fail(kRegistryError, L"Failed to delete registry Key: '" + std::to_wstring(classKey) +
                                 L"',Section: '" + sectionKey);
    }
    return true;
}

bool RegistryKey::DeleteValue() {
    UniqueKey key;
    if (RegOpenKeyExW(Root(), sectionKey.c_str(), 0, kWriteAccess, key.put()) != ERROR_SUCCESS) {
        Fail(kRegistryError, L"Failed to open key '" + std::to_wstring(classKey) + L"',Section: '" +
                                 sectionKey + L"' for delete access");
    }
    if (RegDeleteValueW(key.get(), valueKey.c_str()) != ERROR_SUCCESS) {
        Fail(kRegistryError, L"Failed to delete registry Key: '" + std::to_wstring(classKey) +
                                 L"',Section: '" + sectionKey + L"',Key: '" + valueKey);
    }
    return true;
}

void RegistryKey::ReadValue(VARIANT* out) {
    Variant result;
    UniqueKey key;
    // A failed open leaves the handle 0, and the query below then fails.
    RegOpenKeyExW(Root(), sectionKey.c_str(), 0, kReadAccess, key.put());

    // One query into a buffer on the stack serves the common small value;
    // a larger one is read again into a buffer of its size. Aligned for the
    // UTF-16 text it usually holds.
    const wchar_t* name = valueKey.c_str();
    DWORD type = 0;
    alignas(8) BYTE small[512];
    std::vector<BYTE> large;
    BYTE* buffer = small;
    DWORD size = sizeof small;
    LONG rc = RegQueryValueExW(key.get(), name, nullptr, &type, buffer, &size);
    while (rc == ERROR_MORE_DATA) {  // again if the value grew in between
        large.resize(size);
        buffer = large.data();
        rc = RegQueryValueExW(key.get(), name, nullptr, &type, buffer, &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
            size = 0;  // it exists, but its data could not be read
            rc = ERROR_SUCCESS;
        }
    }
    if (rc != ERROR_SUCCESS) {
        VariantCopy(result.get(), defaultValue.get());
        result.MoveTo(out);
        return;
    }
    valueType = static_cast<long>(type);
    const BYTE* data = buffer;

    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        // The stored characters without their terminating NUL. A value stored
        // with no data bytes at all is the empty text; an odd last byte is
        // half a character and is left out.
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) memcpy(&text[0], data, text.size() * sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        if (type == REG_EXPAND_SZ) text = ExpandVariables(text);
        V_VT(result.get()) = VT_BSTR;
        V_BSTR(result.get()) = AllocBstr(text);
        break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        DWORD value = 0;
        memcpy(&value, data, size < 4 ? size : 4);
        V_VT(result.get()) = VT_I4;
        V_I4(result.get()) = static_cast<LONG>(type == REG_DWORD ? value : ReverseDwordBytes(value));
        break;
    }
    default:
        V_VT(result.get()) = VT_ARRAY | VT_UI1;
        V_ARRAY(result.get()) = ByteArray(data, size);
        break;
    }
    result.MoveTo(out);
}

void RegistryKey::WriteValue(const VARIANT& newValue) {
    Variant value;
    if (FAILED(VariantCopyInd(value.get(), const_cast<VARIANT*>(&Deref(newValue))))) ThrowRuntime(kOutOfMemory);

    UniqueKey key;
    if (CreateOrOpen(key) != ERROR_SUCCESS) {
        Fail(kRegistryError, WriteFailureText(*value.get()));
    }

    const wchar_t* name = valueKey.c_str();
    LONG rc = ERROR_SUCCESS;
    switch (valueType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text = VariantToText(*value.get());
        // The size of a text value counts its terminating NUL; without it an
        // empty text would be stored as zero bytes, which other readers show
        // as whatever follows in their buffer. Embedded NULs are stored too.
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        if (bytes > MAXDWORD) ThrowRuntime(kOutOfMemory);
        rc = RegSetValueExW(key.get(), name, 0, TextStoredType(text), reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(bytes));
        break;
    }
    case REG_BINARY: {
        if (V_VT(value.get()) != (VT_ARRAY | VT_UI1)) throw RuntimeError(kRegistryError, StandardDescription(kRegistryError));
        SAFEARRAY* array = V_ARRAY(value.get());
        if (!array || SafeArrayGetDim(array) == 0) ThrowRuntime(kSubscriptOutOfRange);
        ULONG count = 1;
        for (UINT d = 0; d < SafeArrayGetDim(array); ++d) count *= array->rgsabound[d].cElements;
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) ThrowRuntime(kSubscriptOutOfRange);
        rc = RegSetValueExW(key.get(), name, 0, REG_BINARY, static_cast<const BYTE*>(data), count);
        SafeArrayUnaccessData(array);
        break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        // Only whole numbers of 16 or 32 bits are written; any other kind
        // writes nothing and is no error.
        if (V_VT(value.get()) == VT_I2 || V_VT(value.get()) == VT_I4) {
            DWORD number = V_VT(value.get()) == VT_I2 ? static_cast<DWORD>(static_cast<LONG>(V_I2(value.get())))
                                                 : static_cast<DWORD>(V_I4(value.get()));
            rc = RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        }
        break;
    }
    default:
        rc = ERROR_INVALID_DATA;
        break;
    }
    if (rc != ERROR_SUCCESS) Fail(kRegistryWriteError, WriteFailureText(*value.get()));
}

std::vector<std::wstring> RegistryKey::EnumerateValues() const {
    std::vector<std::wstring> names;
    UniqueKey key;
    if (RegOpenKeyExW(Root(), sectionKey.c_str(), 0, kReadAccess, key.put()) != ERROR_SUCCESS)
        return names;
    DWORD longest = 0;  // in characters
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::wstring buffer(longest + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD size = longest + 1;
        if (RegEnumValueW(key.get(), index, &buffer[0], &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(buffer.substr(0, size));
    }
    return names;
}

std::vector<std::wstring> RegistryKey::EnumerateSections() const {
    std::vector<std::wstring> names;
    UniqueKey key;
    if (RegOpenKeyExW(Root(), sectionKey.c_str(), 0, kEnumerateAccess, key.put()) != ERROR_SUCCESS)
        return names;
    wchar_t buffer[256];
    for (DWORD index = 0;; ++index) {
        buffer[255] = L'\0';
        if (RegEnumKeyW(key.get(), index, buffer, 255) != ERROR_SUCCESS) break;
        names.push_back(buffer);
    }
    return names;
}

}  // namespace tessary
