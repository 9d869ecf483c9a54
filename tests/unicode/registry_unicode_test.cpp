// xRegistry with texts inside and outside the code page: every key name,
// value name and text is stored and read as the client gave it, character for
// character, as the platform's own wide functions see it; a look-alike of a
// separator stays a character of its name.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "frame/handles.h"
#include "registry/registry_key.h"
#include "support/test_support.h"
#include "support/unicode_texts.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kRoot = L"Software\\TessaryTests\\Unicode";

// The platform's view of a key: its subkeys' names, and a value's type and text.
std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                  ERROR_SUCCESS;
         ++i, size = 256)
        names.emplace_back(name, size);
    return names;
}

std::wstring Stored(const std::wstring& path, const std::wstring& name, DWORD* type = nullptr) {
    UniqueKey key;
    DWORD size = 0, kind = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.get(), name.c_str(), nullptr, &kind, nullptr, &size) != ERROR_SUCCESS)
        return L"<missing>";
    std::wstring data(size / 2, L'\0');
    RegQueryValueExW(key.get(), name.c_str(), nullptr, &kind, reinterpret_cast<BYTE*>(&data[0]), &size);
    if (type) *type = kind;
    if (!data.empty() && data.back() == L'\0') data.pop_back();
    return data;
}

std::wstring Profile(const wchar_t* section, const std::wstring& key) {
    wchar_t buffer[80];
    GetPrivateProfileStringW(section, key.c_str(), L"NotFound", buffer, 80, L"System.ini");
    return buffer;
}

class RegistryUnicodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kRoot.c_str());
        registry_ = library_.Create<_xRegistry>(CLSID_xRegistry);
        ASSERT_TRUE(registry_);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kRoot.c_str()); }

    void Address(const std::wstring& path, const std::wstring& name, LONG type = REG_SZ) {
        registry_->put_ClassKey(kCurrentUser);
        registry_->put_SectionKey(Bstr(path).get());
        registry_->put_ValueKey(Bstr(name).get());
        registry_->put_ValueType(type);
    }
    std::wstring Read() {
        Variant value;
        EXPECT_EQ(S_OK, registry_->get_Value(value.Receive()));
        return V_VT(value.get()) == VT_BSTR ? ToWide(V_BSTR(value.get())) : L"<not text>";
    }
    void Write(const std::wstring& text) {
        Variant value;
        V_VT(value.get()) = VT_BSTR;
        V_BSTR(value.get()) = AllocBstr(text);
        EXPECT_EQ(S_OK, registry_->put_Value(*value.get()));
    }
    std::vector<std::wstring> Enumerated(bool sections) {
        SAFEARRAY* names = nullptr;
        long count = 0;
        VARIANT_BOOL done = VARIANT_FALSE;
        sections ? registry_->EnumerateSections(&names, &count, &done)
                 : registry_->EnumerateValues(&names, &count, &done);
        std::vector<std::wstring> out;
        for (LONG i = 1; i <= count; ++i) {
            BSTR name = nullptr;
            SafeArrayGetElement(names, &i, &name);
            out.push_back(ToWide(name));
            SysFreeString(name);
        }
        if (names) SafeArrayDestroy(names);
        return out;
    }

    ComApartment com_;
    LoadedLibrary library_;
    ComPtr<_xRegistry> registry_;
};

TEST_F(RegistryUnicodeTest, KeysValuesAndTextsAreTheClientsOwn) {
    for (const UnicodeText& row : UnicodeTexts()) {
        SCOPED_TRACE(row.label);
        const std::wstring path = kRoot + L"\\" + row.text;
        Address(path, row.text);
        Write(row.text);
        // One key of exactly that name: no look-alike became a separator.
        EXPECT_EQ(std::vector<std::wstring>{row.text}, Subkeys(kRoot));
        DWORD type = 0;
        EXPECT_EQ(row.text, Stored(path, row.text, &type));
        EXPECT_EQ(DWORD(REG_SZ), type);
        EXPECT_EQ(row.text, Read());
        EXPECT_EQ(std::vector<std::wstring>{row.text}, Enumerated(false));
        registry_->put_SectionKey(Bstr(kRoot).get());
        EXPECT_EQ(std::vector<std::wstring>{row.text}, Enumerated(true));

        // A text the platform stored is read back whole by the one-call member.
        UniqueKey key;
        RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.put());
        const std::wstring other = row.text + L" \u00e9\u0142\U0001F600";
        RegSetValueExW(key.get(), L"other", 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                       static_cast<DWORD>((other.size() + 1) * 2));
        Bstr root(L"HKCU"), section(path), name(L"other"), kind(L"REG_SZ");
        Variant got;
        registry_->RegSysGet(root.ref(), section.ref(), name.ref(), kind.ref(), got.Receive());
        ASSERT_EQ(VT_BSTR, V_VT(got.get()));
        EXPECT_EQ(other, ToWide(V_BSTR(got.get())));

        // An expandable text expands to the variable's own characters.
        SetEnvironmentVariableW(L"TESSARY_UNICODE", row.text.c_str());
        Address(path, L"expand");
        Write(L"%TESSARY_UNICODE%\\x");
        EXPECT_EQ(L"%TESSARY_UNICODE%\\x", Stored(path, L"expand", &type));
        EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
        EXPECT_EQ(row.text + L"\\x", Read());

        // Deleting by the same names deletes exactly those.
        Address(path, row.text);
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_EQ(S_OK, registry_->DeleteValue(&done));
        EXPECT_EQ(L"<missing>", Stored(path, row.text));
        RegDeleteValueW(key.get(), L"other");
        RegDeleteValueW(key.get(), L"expand");
        key.reset();
        EXPECT_EQ(S_OK, registry_->DeleteKey(&done));
        EXPECT_TRUE(Subkeys(kRoot).empty());
    }
    SetEnvironmentVariableW(L"TESSARY_UNICODE", nullptr);
}

TEST_F(RegistryUnicodeTest, EmbeddedNulsAreStoredWithTheText) {
    const std::wstring text = TextWithNul();
    Address(kRoot, L"nul");
    Write(text);
    UniqueKey key;
    RegOpenKeyExW(HKEY_CURRENT_USER, kRoot.c_str(), 0, KEY_READ, key.put());
    DWORD size = 0;
    RegQueryValueExW(key.get(), L"nul", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ((text.size() + 1) * 2, size);
    EXPECT_EQ(text, Read());
}

TEST_F(RegistryUnicodeTest, SystemIniKeepsNoLookalike) {
    // System.ini is a file of the system code page. A name the code page
    // holds names its entry; one it does not hold names none (Windows would
    // write it as another name). In a value, a character the code page lacks
    // is stored as the code page's default character, never as a look-alike.
    const wchar_t kSection[] = L"TessaryUnicode";
    for (const UnicodeText& row : UnicodeTexts()) {
        SCOPED_TRACE(row.label);
        char bytes[256];
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, row.text.c_str(), -1, bytes, sizeof bytes,
                                          nullptr, &defaulted);
        wchar_t exact[256];
        MultiByteToWideChar(CP_ACP, 0, bytes, n, exact, 256);

        Bstr section{std::wstring(kSection)}, key(row.text), value(row.text), put(L"Put"), get(L"Get");
        Variant ignored, got;
        registry_->RegWinIni(section.ref(), key.ref(), value.ref(), put.ref(), ignored.Receive());
        registry_->RegWinIni(section.ref(), key.ref(), value.ref(), get.ref(), got.Receive());
        ASSERT_EQ(VT_BSTR, V_VT(got.get()));
        wchar_t entries[256] = L"";
        GetPrivateProfileSectionW(kSection, entries, 256, L"System.ini");
        if (defaulted) {
            EXPECT_EQ(L"NotFound", ToWide(V_BSTR(got.get())));
            EXPECT_STREQ(L"", entries) << "nothing written under another name";
        } else {
            EXPECT_EQ(row.text, Profile(kSection, row.text));
            EXPECT_EQ(row.text, ToWide(V_BSTR(got.get())));
        }
        Bstr plain(L"value");
        registry_->RegWinIni(section.ref(), plain.ref(), value.ref(), put.ref(), ignored.Receive());
        EXPECT_EQ(exact, Profile(kSection, L"value"));
        WritePrivateProfileStringW(kSection, nullptr, nullptr, L"System.ini");
    }
}

}  // namespace
