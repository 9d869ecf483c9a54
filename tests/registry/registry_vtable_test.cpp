// xRegistry through its vtable (an early-bound client): stored data of every
// kind read back in the documented form, and the typed arrays.
#include <gtest/gtest.h>

#include <cstring>

#include "Tessary.h"
#include "frame/handles.h"
#include "registry/registry_key.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const char kPath[] = "Software\\TessaryTests\\Vtable";

class RegistryVtableTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
        RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
        registry_ = library_.Create<_xRegistry>(CLSID_xRegistry);
        ASSERT_TRUE(registry_);
        registry_->put_ClassKey(kCurrentUser);
        Bstr path(L"Software\\TessaryTests\\Vtable");
        registry_->put_SectionKey(path.get());
    }
    void TearDown() override {
        key_.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
    }
    void Store(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size));
    }
    // Reads value `name` through the object; also returns the ValueType it left.
    void Read(const wchar_t* name, Variant* out, LONG* type = nullptr) {
        Bstr n{std::wstring(name)};
        registry_->put_ValueKey(n.get());
        ASSERT_EQ(S_OK, registry_->get_Value(out->Receive()));
        if (type) registry_->get_ValueType(type);
    }
    std::vector<BYTE> Stored(const char* name, DWORD* type) {
        DWORD size = 0;
        if (RegQueryValueExA(key_.get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {};
        std::vector<BYTE> data(size);
        RegQueryValueExA(key_.get(), name, nullptr, type, data.data(), &size);
        return data;
    }

    ComApartment com_;
    LoadedLibrary library_;
    UniqueKey key_;
    ComPtr<_xRegistry> registry_;
};

TEST_F(RegistryVtableTest, BigEndianDwordReadsReversed) {
    const BYTE bytes[] = {0x00, 0x00, 0x01, 0x00};
    Store("big", REG_DWORD_BIG_ENDIAN, bytes, 4);
    Variant v;
    LONG type = 0;
    Read(L"big", &v, &type);
    ASSERT_EQ(VT_I4, V_VT(v.get()));
    EXPECT_EQ(256, V_I4(v.get()));
    EXPECT_EQ(REG_DWORD_BIG_ENDIAN, type);
}

TEST_F(RegistryVtableTest, BinaryReadsAsZeroBasedByteArrayAndWritesBack) {
    const BYTE bytes[] = {1, 2, 3};
    Store("bin", REG_BINARY, bytes, 3);
    Variant v;
    Read(L"bin", &v);
    ASSERT_EQ(VT_ARRAY | VT_UI1, V_VT(v.get()));
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(V_ARRAY(v.get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(v.get()), 1, &upper);
    EXPECT_EQ(0, lower);
    EXPECT_EQ(2, upper);

    Bstr name(L"copy");
    registry_->put_ValueKey(name.get());
    registry_->put_ValueType(REG_BINARY);
    ASSERT_EQ(S_OK, registry_->put_Value(*v.get()));
    DWORD type = 0;
    std::vector<BYTE> stored = Stored("copy", &type);
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 3), stored);
}

TEST_F(RegistryVtableTest, OtherTypesReadAsBytes) {
    const BYTE bytes[] = {9, 8};
    Store("none", REG_NONE, bytes, 2);
    Store("odd", 12345, bytes, 2);
    Store("empty", REG_BINARY, bytes, 0);
    for (const wchar_t* name : {L"none", L"odd", L"empty"}) {
        Variant v;
        Read(name, &v);
        EXPECT_EQ(VT_ARRAY | VT_UI1, V_VT(v.get())) << name;
    }
    // No data bytes: an empty array (0 to -1), not a failure.
    Variant v;
    Read(L"empty", &v);
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(V_ARRAY(v.get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(v.get()), 1, &upper);
    EXPECT_EQ(0, lower);
    EXPECT_EQ(-1, upper);
}

TEST_F(RegistryVtableTest, TextsAndMultiStrings) {
    Store("sz", REG_SZ, "abc", 4);
    Store("multi", REG_MULTI_SZ, "a\0bc\0\0", 6);
    Store("zero", REG_SZ, "", 0);       // exists, no data bytes at all
    Store("unterminated", REG_SZ, "xyz", 3);
    Variant v;
    Read(L"sz", &v);
    EXPECT_EQ(L"abc", ToWide(V_BSTR(v.get())));
    v.Reset();
    Read(L"multi", &v);
    EXPECT_EQ(std::wstring(L"a\0bc\0", 5), ToWide(V_BSTR(v.get())));
    v.Reset();
    LONG type = 0;
    Read(L"zero", &v, &type);
    ASSERT_EQ(VT_BSTR, V_VT(v.get()));
    EXPECT_EQ(L"", ToWide(V_BSTR(v.get())));
    EXPECT_EQ(REG_SZ, type);
    v.Reset();
    Read(L"unterminated", &v);
    EXPECT_EQ(L"xyz", ToWide(V_BSTR(v.get())));
}

TEST_F(RegistryVtableTest, DwordWritesByVariantKind) {
    registry_->put_ValueType(REG_DWORD);
    Bstr name(L"d");
    registry_->put_ValueKey(name.get());
    VARIANT seven;
    SetShort(&seven, 7);
    ASSERT_EQ(S_OK, registry_->put_Value(seven));
    DWORD type = 0;
    EXPECT_EQ((std::vector<BYTE>{7, 0, 0, 0}), Stored("d", &type));
    EXPECT_EQ(DWORD(REG_DWORD), type);

    VARIANT negative;
    SetLong(&negative, -2);
    ASSERT_EQ(S_OK, registry_->put_Value(negative));
    EXPECT_EQ((std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}), Stored("d", &type));

    // Floating point, text, Boolean and Empty write nothing and succeed.
    VARIANT kinds[4];
    SetDouble(&kinds[0], 7.0);
    SetText(&kinds[1], L"7");
    SetBool(&kinds[2], true);
    VariantInit(&kinds[3]);
    for (VARIANT& k : kinds) {
        EXPECT_EQ(S_OK, registry_->put_Value(k));
        EXPECT_EQ((std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}), Stored("d", &type));
        VariantClear(&k);
    }
}

TEST_F(RegistryVtableTest, EnumerationArraysAreOneBased) {
    Store("x", REG_SZ, "1", 2);
    Store("yy", REG_SZ, "2", 2);
    HKEY sub = nullptr;
    RegCreateKeyExA(key_.get(), "child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
    RegCloseKey(sub);

    SAFEARRAY* names = nullptr;
    LONG count = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(S_OK, registry_->EnumerateValues(&names, &count, &ok));
    EXPECT_EQ(VARIANT_TRUE, ok);
    ASSERT_EQ(2, count);
    LONG index = 2;
    Bstr second;
    SafeArrayGetElement(names, &index, second.put());
    EXPECT_EQ(L"yy", ToWide(second.get()));

    // An existing array is replaced; a count of 0 leaves it erased.
    ASSERT_EQ(S_OK, registry_->EnumerateSections(&names, &count, &ok));
    ASSERT_EQ(1, count);
    index = 1;
    Bstr child;
    SafeArrayGetElement(names, &index, child.put());
    EXPECT_EQ(L"child", ToWide(child.get()));
    Bstr missing(L"Software\\TessaryTests\\Vtable\\nothing");
    registry_->put_SectionKey(missing.get());
    ASSERT_EQ(S_OK, registry_->EnumerateSections(&names, &count, &ok));
    EXPECT_EQ(0, count);
    EXPECT_EQ(nullptr, names);
}

TEST_F(RegistryVtableTest, FailuresReportTheirNumbersThroughErrorInfo) {
    Bstr name(L"nothing");
    registry_->put_ValueKey(name.get());
    VARIANT_BOOL ok;
    HRESULT hr = registry_->DeleteValue(&ok);
    EXPECT_EQ(HRESULT(0x800A6591), hr);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, info.put()));
    Bstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    EXPECT_EQ(L"Tessary.cRegistry", ToWide(source.get()));
    EXPECT_EQ(L"Failed to delete registry Key: '-2147483647',Section: 'Software\\TessaryTests\\Vtable',Key: 'nothing",
              ToWide(description.get()));

    registry_->put_ValueType(77);
    VARIANT text;
    SetText(&text, L"v");
    EXPECT_EQ(HRESULT(0x800469A9), registry_->put_Value(text));
    VariantClear(&text);
}

TEST_F(RegistryVtableTest, SwallowingMembersLeaveNoErrorPending) {
    // Make an error pending first, then call a swallowing member that fails inside.
    VARIANT_BOOL ok;
    registry_->put_ClassKey(0);
    ASSERT_NE(S_OK, registry_->CreateKey(&ok));
    BSTR root = SysAllocString(L"HKCU");
    BSTR path = SysAllocString(L"Software\\TessaryTests\\Vtable");
    BSTR name = SysAllocString(L"x");
    BSTR type = SysAllocString(L"REG_BINARY");
    VARIANT value;
    SetText(&value, L"not bytes");
    Variant result;
    EXPECT_EQ(S_OK, registry_->RegSysSet(&root, &path, &name, &value, &type, result.get()));
    EXPECT_EQ(VT_EMPTY, V_VT(result.get()));
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, info.put()));
    DWORD stored = 0;
    EXPECT_TRUE(Stored("x", &stored).empty());
    for (BSTR b : {root, path, name, type}) SysFreeString(b);
    VariantClear(&value);
}

}  // namespace

// The size of a stored text counts its terminating NUL, the empty text too
// (one byte): another reader must see exactly the text that was written.
TEST_F(RegistryVtableTest, TextWritesStoreTheirTerminatingNul) {
    registry_->put_ValueType(REG_SZ);
    const struct { const char* name; std::wstring text; } cases[] = {
        {"empty", L""}, {"abc", L"abc"}, {"embedded", std::wstring(L"a\0b", 3)}};
    for (const auto& c : cases) {
        Bstr name{std::wstring(c.name, c.name + strlen(c.name))};
        registry_->put_ValueKey(name.get());
        Variant value;
        V_VT(value.get()) = VT_BSTR;
        V_BSTR(value.get()) = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
        ASSERT_EQ(S_OK, registry_->put_Value(*value.get()));
        DWORD type = 0;
        std::vector<BYTE> stored = Stored(c.name, &type);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << c.name;
        ASSERT_EQ(c.text.size() + 1, stored.size()) << c.name;
        EXPECT_EQ(0, stored.back()) << c.name;
    }
    // Another reader of the empty value gets the empty text, not stray bytes.
    char buffer[16];
    memset(buffer, 'x', sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, kPath, "empty", RRF_RT_REG_SZ, nullptr, buffer, &size));
    EXPECT_EQ(1u, size);
    EXPECT_STREQ("", buffer);
}

// The published root values are the platform's predefined handles, sign-extended
// on x64 exactly as the platform defines them.
TEST(RegistryRoot, PublishedRootsAreThePlatformHandles) {
    const struct { long published; HKEY platform; } roots[] = {
        {kClassesRoot, HKEY_CLASSES_ROOT},
        {kCurrentUser, HKEY_CURRENT_USER},
        {kLocalMachine, HKEY_LOCAL_MACHINE},
        {kUsers, HKEY_USERS}};
    for (const auto& root : roots) {
        RegistryKey key;
        key.classKey = root.published;
        EXPECT_EQ(root.platform, key.Root()) << std::hex << root.published;
    }
}
