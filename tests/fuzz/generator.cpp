// The pools of hostile texts and numbers, and the making of variants,
// references and arrays from them.
#include "generator.h"

#include <cstring>
#include <limits>

#include "pictures.h"

namespace tessary::fuzz {
namespace {

const std::wstring& Megabyte() {
    static const std::wstring text = [] {
        std::wstring t(512 * 1024, L'x');  // 1 MiB of UTF-16
        for (size_t i = 0; i < t.size(); i += 97) t[i] = static_cast<wchar_t>(L'A' + i % 26);
        return t;
    }();
    return text;
}

// Texts; the first entry stands for the null BSTR, the second for an odd byte length.
std::vector<std::wstring> TextPool() {
    using namespace std::string_literals;
    return {
        L"<null>"s, L"<odd>"s, L""s, L"0"s, L"1"s, L"-1"s, L"1.5"s, L"1,5"s, L"2.5"s, L"1e400"s, L"-1e-400"s,
        L"NaN"s, L"inf"s, L"&HFFFF"s, L"&H80000001"s, L"-2147483647"s, L"4294967295"s, L"32768"s, L"True"s,
        L"False"s, L"  7  "s, L"REG_SZ"s, L"REG_DWORD"s, L"REG_BINARY"s, L"REG_MULTI_SZ"s, L"HKCU"s, L"HKLM"s,
        L"HKCR"s, L"Get"s, L"get"s, L"Setup"s, L"setup"s, L"Arial"s, L"Courier New"s, std::wstring(31, L'F'),
        std::wstring(32, L'F'), std::wstring(33, L'F'), L"%TEMP%"s, L"%%"s, L"%s%n%x%p"s, L"\\"s, L"\\\\"s,
        L"C:\\"s, L"C:\\windows"s, L"C:\\windows\\win.ini"s, L"..\\.."s, L"\\\\?\\C:\\"s, L"NUL"s, L"*.*"s,
        L"a\0b"s, L"\0"s, L"a\0\0"s, L"one\0two\0\0"s, L"\0\0\0\0"s, L"a,b,,c"s, L",,,"s, L"   "s,
        L"\x00FCn\x00EFc\x00F6d\x00E9"s, L"\x65E5\x672C\x8A9E\x30C6\x30AD\x30B9\x30C8"s,
        L"\x0395\x03BB\x03BB\x03B7\x03BD\x03B9\x03BA\x03AC"s, L"\xD83D\xDE00"s, L"\xD800x"s, L"\xDC00"s,
        L"\xFFFF\xFFFE"s, L"\x202E" L"abc"s, L"\r\n\t"s, L"\x1B[0m"s, L"line\none"s, std::wstring(300, L'a'),
        L"C:\\" + std::wstring(260, L'p'), std::wstring(32767, L'w'), std::wstring(65536, L'\0'),
    };
}
const std::vector<std::wstring>& Texts() {
    static const std::vector<std::wstring> pool = TextPool();
    return pool;
}

BSTR Alloc(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

}  // namespace

BSTR Generator::Text(bool allowHuge) {
    if (allowHuge && rng_.Below(150) == 0) return Alloc(Megabyte());
    size_t i = rng_.Below(static_cast<uint32_t>(Texts().size()));
    if (i == 0) return nullptr;
    if (i == 1) return SysAllocStringByteLen("abc", 3);
    return Alloc(Texts()[i]);
}

VARIANT Generator::Any(int depth) {
    VARIANT v;
    VariantInit(&v);
    const uint32_t roll = rng_.Below(100);
    if (roll < 12 && depth < 2) return ByRefVariant(Any(depth + 1));
    if (roll < 30) return ByRef(Scalar(RandomScalarType()));
    if (roll < 42) return Array();
    return Scalar(RandomScalarType());
}

VARIANT Generator::Plausible(VARTYPE declared) {
    VARIANT v;
    if (declared & VT_ARRAY) {
        v = Array(declared & ~VT_ARRAY);
    } else if (declared == VT_VARIANT || declared == VT_EMPTY) {
        v = Scalar(RandomScalarType());
    } else {
        v = Scalar(declared);
    }
    switch (rng_.Below(3)) {
    case 0: return v;
    case 1: return ByRef(v);
    default: return ByRefVariant(v);
    }
}

VARIANT Generator::Confined(Pool pool) {
    VARIANT v;
    VariantInit(&v);
    if (pool == Pool::FalseOnly) {
        switch (rng_.Below(5)) {
        case 0: V_VT(&v) = VT_BOOL; V_BOOL(&v) = VARIANT_FALSE; break;
        case 1: V_VT(&v) = VT_I4; V_I4(&v) = 0; break;
        case 2: V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L"False"); break;
        case 3: V_VT(&v) = VT_R8; V_R8(&v) = 0.0; break;
        default: V_VT(&v) = VT_ERROR; V_ERROR(&v) = DISP_E_PARAMNOTFOUND; return v;
        }
    } else {
        // Kinds that convert to no text at all are allowed too (but not
        // Nothing, which the platform converts to the empty text, nor a
        // byte array, whose bytes it takes for the text's).
        switch (rng_.Below(14)) {
        case 0: V_VT(&v) = VT_NULL; return v;
        case 1: return Array(rng_.Chance(50) ? VT_I4 : VT_VARIANT);
        default: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Alloc(PoolText(pool)); break;
        }
    }
    switch (rng_.Below(3)) {
    case 0: return v;
    case 1: return ByRef(v);
    default: return ByRefVariant(v);
    }
}

std::wstring Generator::PoolText(Pool pool) {
    const std::wstring key = kScratchKey;
    switch (pool) {
    case Pool::RootName: return L"HKCU";
    case Pool::ScratchKey: {
        const std::wstring subs[] = {L"", L"\\a", L"\\b\\c d", L"\\\x00FCn\x00EF\\\x65E5\x672C", L"\\" + std::wstring(200, L'k'),
                                     L"\\\\double", L"\\trailing\\", L"\\nul\0inside"};
        return key + rng_.Pick(subs);
    }
    case Pool::SettingsSection: {
        const std::wstring subs[] = {L"", L"\\a", L"\\\x00FC", L"\\" + std::wstring(100, L's'), L"\\x\\y\\z"};
        return L"TessaryFuzz" + rng_.Pick(subs);
    }
    case Pool::IniSection: return rng_.Pick(kIniSections);
    case Pool::OutputFile: {
        const std::wstring files[] = {L"", scratch_ + L"out.ps", scratch_ + L"\x00FC \x00F1.ps",
                                      scratch_ + L"missing\\x.ps", scratch_ + std::wstring(200, L'o') + L".ps",
                                      scratch_};
        return rng_.Pick(files);
    }
    default: return L"";
    }
}

VARTYPE Generator::RandomScalarType() {
    static const VARTYPE types[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,  VT_R4,   VT_R8,  VT_CY,   VT_DATE,
                                    VT_BSTR,  VT_BSTR, VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_UI1, VT_I1,
                                    VT_UI2,   VT_UI4,  VT_I8,   VT_UI8, VT_INT,  VT_UINT, VT_DECIMAL, VT_UNKNOWN};
    return rng_.Pick(types);
}

double Generator::Double() {
    static const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -1.5, 1.0, -1.0, 255.5, 32767.5, 32768.0,
                                    2147483647.0, 2147483647.5, 2147483648.0, -2147483648.0, -2147483649.0,
                                    4294967296.0, 1e15, 1e300, -1e300, 1e-300, 4.9e-324, 1e308 * 10,
                                    -1e308 * 10, std::numeric_limits<double>::quiet_NaN(),
                                    -std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::signaling_NaN(), 25.4, 1440.0, 0.0001};
    if (rng_.Chance(20)) return static_cast<double>(static_cast<int64_t>(rng_.Next())) / (1 + rng_.Below(1000));
    return rng_.Pick(values);
}

int64_t Generator::Integer() {
    static const int64_t values[] = {0, 1, -1, 2, 7, 13, 255, 256, 32767, 32768, -32768, -32769, 65535, 65536,
                                     0x7FFFFFFF, -0x7FFFFFFF - 1, 0x80000001, 0xFFFFFFFF, 0x100000000,
                                     INT64_MAX, INT64_MIN, 1440, 0x8000, 100, 101, 1000, -2147483647,
                                     -2147483646, 0x80000003, 0x80000004};
    if (rng_.Chance(25)) return static_cast<int64_t>(rng_.Next()) >> rng_.Below(64);
    if (rng_.Chance(10) && !HandleValues().empty())
        return HandleValues()[rng_.Below(static_cast<uint32_t>(HandleValues().size()))];
    return rng_.Pick(values);
}

VARIANT Generator::Scalar(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    switch (type) {
    case VT_EMPTY: case VT_NULL: break;
    case VT_I2: V_I2(&v) = static_cast<SHORT>(Integer()); break;
    case VT_I4: case VT_INT: V_I4(&v) = static_cast<LONG>(Integer()); break;
    case VT_UI4: case VT_UINT: V_UI4(&v) = static_cast<ULONG>(Integer()); break;
    case VT_R4: V_R4(&v) = static_cast<float>(Double()); break;
    case VT_R8: V_R8(&v) = Double(); break;
    case VT_DATE: V_DATE(&v) = Double(); break;
    case VT_CY: V_CY(&v).int64 = Integer(); break;
    case VT_BSTR: V_BSTR(&v) = Text(); break;
    case VT_BOOL: {
        static const SHORT values[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 0x1234, -2};
        V_BOOL(&v) = rng_.Pick(values);
        break;
    }
    case VT_UI1: V_UI1(&v) = static_cast<BYTE>(Integer()); break;
    case VT_I1: V_I1(&v) = static_cast<CHAR>(Integer()); break;
    case VT_UI2: V_UI2(&v) = static_cast<USHORT>(Integer()); break;
    case VT_I8: V_I8(&v) = Integer(); break;
    case VT_UI8: V_UI8(&v) = static_cast<ULONGLONG>(Integer()); break;
    case VT_ERROR: {
        static const SCODE values[] = {DISP_E_PARAMNOTFOUND, DISP_E_PARAMNOTFOUND, E_FAIL, 0, DISP_E_TYPEMISMATCH};
        V_ERROR(&v) = rng_.Pick(values);
        break;
    }
    case VT_DECIMAL: {
        DECIMAL d = {};
        d.scale = static_cast<BYTE>(rng_.Chance(10) ? 29 + rng_.Below(200) : rng_.Below(29));  // beyond 28 is invalid
        d.sign = rng_.Chance(50) ? DECIMAL_NEG : 0;
        d.Hi32 = rng_.Chance(30) ? static_cast<ULONG>(rng_.Next()) : 0;
        d.Lo64 = rng_.Chance(30) ? rng_.Next() : static_cast<ULONGLONG>(rng_.Below(100000));
        V_DECIMAL(&v) = d;
        V_VT(&v) = VT_DECIMAL;  // the DECIMAL's first field is the variant's type
        break;
    }
    case VT_DISPATCH: case VT_UNKNOWN: {
        if (rng_.Chance(55)) {
            V_DISPATCH(&v) = nullptr;  // Nothing
        } else {
            auto* fake = new FakeDispatch(static_cast<int>(rng_.Below(5)), Texts()[2 + rng_.Below(40)]);
            fakes_.push_back(fake);  // the fuzzer's own reference, released after the epoch
            fake->AddRef();          // the argument's reference
            V_DISPATCH(&v) = fake;
        }
        break;
    }
    default: V_VT(&v) = VT_EMPTY; break;
    }
    return v;
}

// A reference to a cell holding the value (the arena keeps the cell).
VARIANT Generator::ByRef(VARIANT value) {
    VARIANT v;
    VariantInit(&v);
    const VARTYPE type = V_VT(&value);
    if (type & VT_BYREF) return value;  // already a reference
    if (type == VT_EMPTY || type == VT_NULL || type == VT_DECIMAL) return ByRefVariant(value);
    if (type & VT_ARRAY) {
        SAFEARRAY** cell = arena_.Cell<SAFEARRAY*>(V_ARRAY(&value));
        arena_.OwnArray(cell, V_ARRAY(&value), false);
        V_VT(&v) = VT_BYREF | type;
        V_ARRAYREF(&v) = cell;
        return v;
    }
    V_VT(&v) = VT_BYREF | type;
    switch (type) {
    case VT_BSTR: V_BSTRREF(&v) = arena_.BstrCell(V_BSTR(&value)); break;
    case VT_DISPATCH: case VT_UNKNOWN: {
        // The cell's reference is released with the arena's variants.
        VARIANT* holder = arena_.VariantCell();
        *holder = value;
        V_DISPATCHREF(&v) = &V_DISPATCH(holder);
        break;
    }
    default: {
        // Scalars: a cell of 8 bytes, copied from the union.
        auto* cell = arena_.Cell<ULONGLONG>(0);
        memcpy(cell, &V_UI1(&value), sizeof(ULONGLONG));
        V_BYREF(&v) = cell;
        break;
    }
    }
    return v;
}

VARIANT Generator::ByRefVariant(VARIANT value) {
    VARIANT* target = arena_.VariantCell();
    *target = value;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}

VARIANT Generator::Array(VARTYPE element) {
    static const VARTYPE elements[] = {VT_I2, VT_I4, VT_R8, VT_BSTR, VT_VARIANT, VT_UI1, VT_BOOL,
                                       VT_R4, VT_CY,  VT_DATE, VT_I1, VT_DISPATCH, VT_VARIANT, VT_BSTR};
    if (element == VT_EMPTY) element = rng_.Pick(elements);
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ARRAY | element;
    const uint32_t shape = rng_.Below(10);
    if (shape == 0) {  // an array variable never dimensioned
        V_ARRAY(&v) = nullptr;
        return v;
    }
    SAFEARRAYBOUND bounds[2];
    static const LONG lower[] = {0, 0, 1, -3, 0x7FFFFFF0, -0x7FFFFFFF};
    bounds[0].lLbound = rng_.Pick(lower);
    bounds[1].lLbound = rng_.Pick(lower);
    UINT dims = 1;
    if (shape == 1) {
        bounds[0].cElements = 0;  // empty
    } else if (shape == 2) {
        dims = 2;
        bounds[0].cElements = 1 + rng_.Below(3);
        bounds[1].cElements = 1 + rng_.Below(3);
    } else if (shape == 3 && element == VT_UI1) {
        bounds[0].cElements = 65536;  // a large byte array
    } else {
        bounds[0].cElements = rng_.Below(6);
    }
    SAFEARRAY* a = SafeArrayCreate(element, dims, bounds);
    if (!a) {
        V_VT(&v) = VT_EMPTY;
        return v;
    }
    ULONG count = 1;
    for (UINT d = 0; d < dims; ++d) count *= bounds[d].cElements;
    void* data = nullptr;
    if (count && SUCCEEDED(SafeArrayAccessData(a, &data))) {
        for (ULONG i = 0; i < count && count < 1000; ++i) {
            char* cell = static_cast<char*>(data) + i * a->cbElements;
            if (element == VT_VARIANT) {
                VARIANT item = Scalar(RandomScalarType());
                if (V_VT(&item) == VT_BSTR && SysStringLen(V_BSTR(&item)) > 40000) {
                    SysFreeString(V_BSTR(&item));
                    V_BSTR(&item) = SysAllocString(L"long");
                }
                *reinterpret_cast<VARIANT*>(cell) = item;
            } else if (element == VT_BSTR) {
                *reinterpret_cast<BSTR*>(cell) = Text(false);
            } else if (element == VT_DISPATCH) {
                *reinterpret_cast<IDispatch**>(cell) = nullptr;
            } else {
                VARIANT item = Scalar(element);
                memcpy(cell, &V_UI1(&item), a->cbElements);
            }
        }
        SafeArrayUnaccessData(a);
    }
    const uint32_t feature = rng_.Below(8);
    bool locked = false;
    if (feature == 0) a->fFeatures |= FADF_FIXEDSIZE;
    if (feature == 1) locked = SUCCEEDED(SafeArrayLock(a));
    V_ARRAY(&v) = a;
    if (locked) {
        // A locked array cannot be freed with the variant: the arena unlocks and frees it.
        SAFEARRAY** cell = arena_.Cell<SAFEARRAY*>(a);
        arena_.OwnArray(cell, a, true);
        V_VT(&v) = VT_BYREF | VT_ARRAY | element;
        V_ARRAYREF(&v) = cell;
    }
    return v;
}

}  // namespace tessary::fuzz
