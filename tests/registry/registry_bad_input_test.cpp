// Bad input from a client: NUL-laden and very long texts, every variant kind,
// unallocated and multi-dimensional arrays. Each gets its documented failure
// style; nothing crashes, nothing is half written, no key handle is left open.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "Tessary.h"
#include "frame/handles.h"
#include "registry/registry_key.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const char kPath[] = "Software\\TessaryTests\\BadInput";
const std::wstring kWidePath = L"Software\\TessaryTests\\BadInput";

class RegistryBadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
        registry_ = library_.Create<_xRegistry>(CLSID_xRegistry);
        ASSERT_TRUE(registry_);
        registry_->put_ClassKey(LONG(0x80000001));
        Bstr path(kWidePath);
        registry_->put_SectionKey(path.get());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kPath); }
    void Address(const std::wstring& name, LONG type) {
        Bstr n(name);
        registry_->put_ValueKey(n.get());
        registry_->put_ValueType(type);
    }
    bool ValueExists(const char* name) {
        UniqueKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
        return RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    // The stored bytes of a value and its type; false when it is missing.
    bool Stored(const char* name, DWORD* type, std::vector<BYTE>* data) {
        UniqueKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
        data->resize(size);
        return RegQueryValueExA(key.get(), name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    }

    ComApartment com_;
    LoadedLibrary library_;
    ComPtr<_xRegistry> registry_;
};

TEST_F(RegistryBadInputTest, NulLadenTextRoundTrips) {
    Address(L"nul", REG_SZ);
    VARIANT text;
    SetText(&text, std::wstring(L"a\0b\0c", 5));
    ASSERT_EQ(S_OK, registry_->put_Value(text));
    Variant back;
    ASSERT_EQ(S_OK, registry_->get_Value(back.get()));
    EXPECT_EQ(std::wstring(L"a\0b\0c", 5), ToWide(V_BSTR(back.get())));
    VariantClear(&text);

    // A NUL inside a value name addresses the name up to the NUL, as the platform reads it.
    Address(std::wstring(L"na\0me", 5), REG_SZ);
    SetText(&text, L"v");
    ASSERT_EQ(S_OK, registry_->put_Value(text));
    EXPECT_TRUE(ValueExists("na"));
    VariantClear(&text);
}

TEST_F(RegistryBadInputTest, VeryLongTexts) {
    const std::wstring huge(100000, L'x');
    Address(L"long", REG_SZ);
    VARIANT text;
    SetText(&text, huge);
    ASSERT_EQ(S_OK, registry_->put_Value(text));
    Variant back;
    ASSERT_EQ(S_OK, registry_->get_Value(back.get()));
    EXPECT_EQ(huge, ToWide(V_BSTR(back.get())));
    VariantClear(&text);

    // A key path or value name far beyond the platform's limits fails the documented way.
    Bstr path(kWidePath + L"\\" + huge);
    registry_->put_SectionKey(path.get());
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(HRESULT(0x800A6591), registry_->CreateKey(&ok));
    registry_->get_KeyExists(&ok);
    EXPECT_EQ(VARIANT_FALSE, ok);
    Variant missing;
    EXPECT_EQ(S_OK, registry_->get_Value(missing.get()));
    EXPECT_EQ(VT_EMPTY, V_VT(missing.get()));
}

TEST_F(RegistryBadInputTest, EveryVariantKindUnderEveryValueType) {
    SAFEARRAY* words = SafeArrayCreateVector(VT_I4, 0, 2);
    VARIANT kinds[9];
    for (VARIANT& k : kinds) VariantInit(&k);
    V_VT(&kinds[0]) = VT_NULL;
    V_VT(&kinds[1]) = VT_ERROR;
    V_ERROR(&kinds[1]) = DISP_E_PARAMNOTFOUND;
    V_VT(&kinds[2]) = VT_DISPATCH;
    V_DISPATCH(&kinds[2]) = nullptr;
    V_VT(&kinds[3]) = VT_ARRAY | VT_I4;
    V_ARRAY(&kinds[3]) = words;
    V_VT(&kinds[4]) = VT_ARRAY | VT_UI1;
    V_ARRAY(&kinds[4]) = nullptr;  // unallocated
    V_VT(&kinds[5]) = VT_CY;
    V_CY(&kinds[5]).int64 = 12345;
    V_VT(&kinds[6]) = VT_DATE;
    V_DATE(&kinds[6]) = 1.5;
    V_VT(&kinds[7]) = VT_UI1;
    V_UI1(&kinds[7]) = 200;
    V_VT(&kinds[8]) = VT_R4;
    V_R4(&kinds[8]) = 1.25f;
    const LONG types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, -1};
    for (LONG type : types) {
        for (VARIANT& k : kinds) {
            Address(L"kind", type);
            HRESULT hr = registry_->put_Value(k);
            DWORD stored = REG_NONE;
            std::vector<BYTE> data;
            const bool exists = Stored("kind", &stored, &data);
            if (FAILED(hr)) {
                // A failed write stored nothing.
                EXPECT_FALSE(exists) << "type " << type << " vt " << V_VT(&k);
            } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
                // Text, ended by its NUL.
                ASSERT_TRUE(exists) << "type " << type << " vt " << V_VT(&k);
                EXPECT_TRUE(stored == REG_SZ || stored == REG_EXPAND_SZ) << "vt " << V_VT(&k);
                ASSERT_FALSE(data.empty()) << "vt " << V_VT(&k);
                EXPECT_EQ(0, data.back()) << "vt " << V_VT(&k);
            } else if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) {
                // A 16- or 32-bit integer as four bytes; any other kind writes nothing.
                if (exists) {
                    EXPECT_EQ(DWORD(REG_DWORD), stored) << "vt " << V_VT(&k);
                    EXPECT_EQ(4u, data.size()) << "vt " << V_VT(&k);
                }
            } else {
                // Only byte arrays are written as binary; every other type fails.
                ASSERT_TRUE(exists) << "type " << type << " vt " << V_VT(&k);
                EXPECT_EQ(DWORD(REG_BINARY), stored) << "vt " << V_VT(&k);
                EXPECT_EQ(VT_ARRAY | VT_UI1, V_VT(&k));
            }
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kPath, "kind");
            SetErrorInfo(0, nullptr);
        }
    }
    SafeArrayDestroy(words);
}

TEST_F(RegistryBadInputTest, BinaryArraysOfOtherShapes) {
    Address(L"bin", REG_BINARY);
    VARIANT unallocated;
    VariantInit(&unallocated);
    V_VT(&unallocated) = VT_ARRAY | VT_UI1;
    V_ARRAY(&unallocated) = nullptr;
    EXPECT_EQ(HRESULT(0x800A0009), registry_->put_Value(unallocated));  // subscript out of range
    EXPECT_FALSE(ValueExists("bin"));

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_UI1, 2, bounds);
    VARIANT twoDimensions;
    VariantInit(&twoDimensions);
    V_VT(&twoDimensions) = VT_ARRAY | VT_UI1;
    V_ARRAY(&twoDimensions) = grid;
    EXPECT_EQ(S_OK, registry_->put_Value(twoDimensions));  // all six bytes, in storage order
    Variant back;
    registry_->get_Value(back.get());
    LONG upper = 0;
    SafeArrayGetUBound(V_ARRAY(back.get()), 1, &upper);
    EXPECT_EQ(5, upper);
    VariantClear(&twoDimensions);
}

TEST_F(RegistryBadInputTest, OneCallMembersNeverFail) {
    const std::wstring huge(100000, L'y');
    BSTR texts[] = {nullptr, SysAllocStringLen(L"a\0b", 3), SysAllocString(huge.c_str()), SysAllocString(L"")};
    VARIANT oddValue;
    VariantInit(&oddValue);
    V_VT(&oddValue) = VT_NULL;
    for (BSTR text : texts) {
        BSTR a = SysAllocStringLen(text, SysStringLen(text));
        BSTR b = SysAllocStringLen(text, SysStringLen(text));
        BSTR c = SysAllocStringLen(text, SysStringLen(text));
        BSTR d = SysAllocStringLen(text, SysStringLen(text));
        BSTR out = nullptr;
        Variant result;
        EXPECT_EQ(S_OK, registry_->RegGet(&a, &b, &oddValue, &out));
        SysFreeString(out);
        EXPECT_EQ(S_OK, registry_->RegSet(&a, &b, &oddValue, result.get()));
        result.Reset();
        EXPECT_EQ(S_OK, registry_->RegSysGet(&a, &b, &c, &d, result.get()));
        result.Reset();
        EXPECT_EQ(S_OK, registry_->RegSysSet(&a, &b, &c, &oddValue, &d, result.get()));
        result.Reset();
        EXPECT_EQ(S_OK, registry_->RegWinIni(&a, &b, &c, &d, result.get()));
        result.Reset();
        VARIANT_BOOL on = VARIANT_FALSE, started;
        EXPECT_EQ(S_OK, registry_->StartWithWindows(&a, &b, &on, &started));
        ComPtr<IErrorInfo> pending;
        EXPECT_EQ(S_FALSE, GetErrorInfo(0, pending.put()));
        for (BSTR s : {a, b, c, d}) SysFreeString(s);
    }
    for (BSTR text : texts) SysFreeString(text);
}

TEST_F(RegistryBadInputTest, ProfileEntriesTooLongForTheProfileFunctions) {
    // Texts of 32767 characters or more never reach the profile functions:
    // reads give "NotFound", writes change nothing.
    const std::wstring section = L"TessaryTestsLongEntries";
    auto call = [&](const std::wstring& s, const std::wstring& k, const std::wstring& v, const std::wstring& action) {
        Bstr a(s), b(k), c(v), d(action);
        Variant result;
        EXPECT_EQ(S_OK, registry_->RegWinIni(a.ref(), b.ref(), c.ref(), d.ref(), result.get()));
        return V_VT(result.get()) == VT_BSTR ? ToWide(V_BSTR(result.get())) : std::wstring(L"<not text>");
    };
    const std::wstring longText(32767, L'k');
    call(section, L"entry", L"kept", L"Put");
    for (const std::wstring& key : {longText, std::wstring(65536, L'k')}) {
        call(section, key, L"x", L"Put");
        EXPECT_EQ(L"NotFound", call(section, key, L"", L"Get"));
    }
    call(section, L"entry", longText, L"Put");
    EXPECT_EQ(L"kept", call(section, L"entry", L"", L"Get"));
    call(section, L"entry", std::wstring(32766, L'v'), L"Put");
    EXPECT_EQ(std::wstring(79, L'v'), call(section, L"entry", L"", L"Get"));
    EXPECT_EQ(L"NotFound", call(longText, L"entry", L"", L"Get"));
    call(longText, L"entry", L"x", L"Put");
    WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, L"System.ini");
}

TEST_F(RegistryBadInputTest, NoKeyHandleIsLeftOpen) {
    auto round = [&] {
        VARIANT_BOOL ok;
        Variant value;
        registry_->get_KeyExists(&ok);
        registry_->get_Value(value.get());
        registry_->DeleteValue(&ok);  // raises: missing value
        registry_->put_ValueType(99);
        VARIANT text;
        SetText(&text, L"v");
        registry_->put_Value(text);  // raises after opening the key
        VariantClear(&text);
        registry_->put_ValueType(REG_SZ);
        SAFEARRAY* names = nullptr;
        LONG count = 0;
        registry_->EnumerateValues(&names, &count, &ok);
        registry_->EnumerateSections(&names, &count, &ok);
        if (names) SafeArrayDestroy(names);
        SetErrorInfo(0, nullptr);
    };
    round();
    DWORD before = KernelHandleCount();
    ASSERT_GT(before, 0u);  // the census works on this platform
    for (int i = 0; i < 1000; ++i) round();
    EXPECT_EQ(before, KernelHandleCount());
}

TEST(RegistryHelpers, ByteOrderAndTextType) {
    EXPECT_EQ(0x04030201u, ReverseDwordBytes(0x01020304u));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), TextStoredType(L"C:\\%x%\\y"));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), TextStoredType(L"a%b%c"));
    EXPECT_EQ(DWORD(REG_SZ), TextStoredType(L"50%%"));
    EXPECT_EQ(DWORD(REG_SZ), TextStoredType(L"100%%x"));
    EXPECT_EQ(DWORD(REG_SZ), TextStoredType(L"%"));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), TextStoredType(L"%%%"));
    EXPECT_EQ(DWORD(REG_SZ), TextStoredType(L""));
}

}  // namespace
