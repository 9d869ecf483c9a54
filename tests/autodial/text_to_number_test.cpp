// TextToNumber: the longest leading part of a text that the platform's
// locale-aware conversion accepts. Decimal texts are built with the user's
// own decimal separator, so the expectations hold in any locale.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "mod_gen_app.h"

using dovetta::modGenApp::TextToNumber;

namespace {

std::wstring Decimal() {
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator;
}

// "a<decimal separator>b" in the user's locale.
std::wstring Num(const std::wstring& whole, const std::wstring& fraction) { return whole + Decimal() + fraction; }

TEST(TextToNumber, TheWordsAndTheEmptyText) {
    EXPECT_EQ(0.0f, TextToNumber(std::wstring()));
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(L"False")));
    EXPECT_EQ(1.0f, TextToNumber(std::wstring(L"True")));
    // Only the exact words: other spellings are ordinary text without a number.
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(L"true")));
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(L"TRUE")));
    EXPECT_EQ(1.0f, TextToNumber(std::wstring(L"1True")));
}

TEST(TextToNumber, LongestConvertiblePrefixWins) {
    EXPECT_EQ(12.0f, TextToNumber(std::wstring(L"12abc")));
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(L"abc")));
    EXPECT_EQ(2.5f, TextToNumber(Num(L"2", L"5")));
    EXPECT_EQ(0.5f, TextToNumber(Num(L"0", L"5") + L" never"));
    EXPECT_EQ(5.0f, TextToNumber(std::wstring(L"5 off")));
    EXPECT_EQ(7.0f, TextToNumber(std::wstring(L"  7")));
    EXPECT_EQ(-3.0f, TextToNumber(std::wstring(L"-3")));
    // Not the first failure stops the scan: "1e" fails but "1e3" converts, and
    // "1e39" (beyond float) fails again, leaving "1e3".
    EXPECT_EQ(1.0f, TextToNumber(std::wstring(L"1e")));
    EXPECT_EQ(1000.0f, TextToNumber(std::wstring(L"1e3x")));
    EXPECT_EQ(1000.0f, TextToNumber(std::wstring(L"1e39")));
}

TEST(TextToNumber, UsesTheUsersLocale) {
    // The other separator is not a decimal point here: "2<other>5" never
    // reads as two and a half.
    const std::wstring other = Decimal() == L"." ? L"," : L".";
    EXPECT_NE(2.5f, TextToNumber(L"2" + other + L"5"));
    EXPECT_FLOAT_EQ(0.25f, TextToNumber(Num(L"", L"25")));
}

TEST(TextToNumber, HostileTextsNeitherCrashNorHang) {
    // An embedded NUL ends the text for the conversion.
    EXPECT_EQ(5.0f, TextToNumber(std::wstring(L"5\0" L"9", 3)));
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(L"\0" L"9", 2)));
    // The longest command line Windows passes is 32767 characters; every
    // prefix is tried, so this is the costly case.
    const DWORD start = GetTickCount();
    EXPECT_EQ(0.0f, TextToNumber(std::wstring(32767, L'0')));
    EXPECT_EQ(4.0f, TextToNumber(L"4" + std::wstring(100000, L'x')));
    EXPECT_LT(GetTickCount() - start, 20000u);
    // 40 digits overflow a float: the 39 that fit are kept.
    EXPECT_FLOAT_EQ(1.11111111e38f, TextToNumber(std::wstring(40, L'1')));
}

TEST(TextToNumber, VariantsAreTakenInTheirTextForm) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(0.0f, TextToNumber(v));  // Empty
    V_VT(&v) = VT_NULL;
    EXPECT_EQ(0.0f, TextToNumber(v));
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = VARIANT_TRUE;
    EXPECT_EQ(1.0f, TextToNumber(v));
    V_BOOL(&v) = VARIANT_FALSE;
    EXPECT_EQ(0.0f, TextToNumber(v));
    V_VT(&v) = VT_R8;
    V_R8(&v) = 2.5;
    EXPECT_EQ(2.5f, TextToNumber(v));
    V_VT(&v) = VT_I2;
    V_I2(&v) = -7;
    EXPECT_EQ(-7.0f, TextToNumber(v));

    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = &v;
    EXPECT_EQ(-7.0f, TextToNumber(ref));

    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"12abc");
    EXPECT_EQ(12.0f, TextToNumber(text));
    VariantClear(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = nullptr;  // a null BSTR is the empty text
    EXPECT_EQ(0.0f, TextToNumber(text));

    // Values without a text form give 0 rather than failing.
    VARIANT object;
    VariantInit(&object);
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = nullptr;
    EXPECT_EQ(0.0f, TextToNumber(object));
    SAFEARRAYBOUND bound = {3, 0};
    VARIANT array;
    VariantInit(&array);
    V_VT(&array) = VT_ARRAY | VT_I4;
    V_ARRAY(&array) = SafeArrayCreate(VT_I4, 1, &bound);
    EXPECT_EQ(0.0f, TextToNumber(array));
    VariantClear(&array);
}

}  // namespace
