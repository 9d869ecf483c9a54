// IDispatch as script hosts use it: by-reference arguments arriving as
// variants (coerced, then written back), literals for by-reference
// parameters, omitted optional arguments, arrays handed back as arrays of
// variants, and errors carried in EXCEPINFO.
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const wchar_t kSection[] = L"Software\\TessaryTests\\Dispatch";

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        object_ = CreateByProgId(L"Tessary.xRegistry");
        ASSERT_TRUE(object_);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Halvex\\DispatchTest");
    }
    ComApartment com_;
    ComPtr<IDispatch> object_;
};

TEST_F(DispatchTest, ByReferenceTextTakesAVariantHoldingANumber) {
    VARIANT section, name, fallback;
    SetText(&section, L"DispatchTest");
    SetLong(&name, 42);  // a number where text is declared
    SetLong(&fallback, 5);
    VARIANT a = RefTo(&section), b = RefTo(&name), c = RefTo(&fallback);
    DispatchResult r = CallByName(object_.get(), L"RegGet", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&a, &b, &c});
    ASSERT_EQ(S_OK, r.hr);
    ASSERT_EQ(VT_BSTR, V_VT(r.value.get()));
    EXPECT_EQ(L"5", ToWide(V_BSTR(r.value.get())));
    // The member did not change the name: the caller's variable keeps its own type.
    ASSERT_EQ(VT_I4, V_VT(&name));
    EXPECT_EQ(42, V_I4(&name));
    VariantClear(&section);
    VariantClear(&name);
    VariantClear(&fallback);
}

TEST_F(DispatchTest, LiteralsForByReferenceParameters) {
    VARIANT section, name, value;
    SetText(&section, L"DispatchTest");
    SetText(&name, L"literal");
    SetText(&value, L"stored");
    DispatchResult set = CallByName(object_.get(), L"RegSet", DISPATCH_METHOD, {&section, &name, &value});
    ASSERT_EQ(S_OK, set.hr);
    EXPECT_EQ(VT_EMPTY, V_VT(set.value.get()));
    VARIANT fallback;
    SetText(&fallback, L"none");
    DispatchResult get = CallByName(object_.get(), L"RegGet", DISPATCH_METHOD, {&section, &name, &fallback});
    ASSERT_EQ(S_OK, get.hr);
    EXPECT_EQ(L"stored", ToWide(V_BSTR(get.value.get())));
    // Literals are never written into.
    EXPECT_EQ(L"stored", ToWide(V_BSTR(&value)));
    for (VARIANT* v : {&section, &name, &value, &fallback}) VariantClear(v);
}

TEST_F(DispatchTest, EmptyVariableBecomesEmptyTextThroughRegSet) {
    VARIANT section, name, value;
    SetText(&section, L"DispatchTest");
    SetText(&name, L"empty");
    VariantInit(&value);
    VARIANT c = RefTo(&value);
    ASSERT_EQ(S_OK, CallByName(object_.get(), L"RegSet", DISPATCH_METHOD, {&section, &name, &c}).hr);
    ASSERT_EQ(VT_BSTR, V_VT(&value));
    EXPECT_EQ(0u, SysStringLen(V_BSTR(&value)));
    for (VARIANT* v : {&section, &name, &value}) VariantClear(v);
}

TEST_F(DispatchTest, OmittedOptionalGetsItsDefault) {
    VARIANT folder, exe;
    SetText(&folder, L"C:\\Apps");
    SetText(&exe, L"TessaryDispatchProbe");
    DispatchResult r = CallByName(object_.get(), L"StartWithWindows", DISPATCH_METHOD, {&folder, &exe});
    ASSERT_EQ(S_OK, r.hr);
    ASSERT_EQ(VT_BOOL, V_VT(r.value.get()));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(r.value.get()));
    VariantClear(&folder);
    VariantClear(&exe);
}

TEST_F(DispatchTest, ArraysComeBackAsVariantArraysForVariantHolders) {
    VARIANT path, one;
    SetText(&path, kSection);
    ASSERT_EQ(S_OK, PutByName(object_.get(), L"SectionKey", &path).hr);
    SetLong(&one, LONG(0x80000001));
    ASSERT_EQ(S_OK, PutByName(object_.get(), L"ClassKey", &one).hr);
    SetLong(&one, REG_SZ);
    ASSERT_EQ(S_OK, PutByName(object_.get(), L"ValueType", &one).hr);
    for (const wchar_t* name : {L"a", L"b"}) {
        VARIANT n, v;
        SetText(&n, name);
        SetText(&v, name);
        ASSERT_EQ(S_OK, PutByName(object_.get(), L"ValueKey", &n).hr);
        ASSERT_EQ(S_OK, PutByName(object_.get(), L"Value", &v).hr);
        VariantClear(&n);
        VariantClear(&v);
    }

    VARIANT names, count;
    VariantInit(&names);
    VariantInit(&count);
    VARIANT a = RefTo(&names), b = RefTo(&count);
    DispatchResult r = CallByName(object_.get(), L"EnumerateValues", DISPATCH_METHOD, {&a, &b});
    ASSERT_EQ(S_OK, r.hr);
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, V_VT(&names));
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(V_ARRAY(&names), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&names), 1, &upper);
    EXPECT_EQ(1, lower);
    EXPECT_EQ(2, upper);
    ASSERT_EQ(VT_I4, V_VT(&count));
    EXPECT_EQ(2, V_I4(&count));

    // An early-bound style typed reference keeps its typed array.
    SAFEARRAY* typed = nullptr;
    LONG typedCount = 0;
    VARIANT c, d;
    V_VT(&c) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&c) = &typed;
    V_VT(&d) = VT_BYREF | VT_I4;
    V_I4REF(&d) = &typedCount;
    ASSERT_EQ(S_OK, CallByName(object_.get(), L"EnumerateValues", DISPATCH_METHOD, {&c, &d}).hr);
    ASSERT_NE(nullptr, typed);
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(typed, &vt);
    EXPECT_EQ(VT_BSTR, vt);
    EXPECT_EQ(2, typedCount);
    SafeArrayDestroy(typed);
    VariantClear(&names);
    VariantClear(&path);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TessaryTests\\Dispatch");
}

TEST_F(DispatchTest, AFixedArrayIsNotReplaced) {
    SAFEARRAY* fixed = SafeArrayCreateVector(VT_VARIANT, 0, 4);
    fixed->fFeatures |= FADF_FIXEDSIZE;
    VARIANT holder, count;
    VariantInit(&holder);
    V_VT(&holder) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&holder) = fixed;
    VariantInit(&count);
    VARIANT a = RefTo(&holder), b = RefTo(&count);
    // EnumerateValues replaces the array it is given: the run-time refuses that for a fixed one.
    DispatchResult r = CallByName(object_.get(), L"EnumerateValues", DISPATCH_METHOD, {&a, &b});
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(10, r.ErrorNumber());
    EXPECT_EQ(L"This array is fixed or temporarily locked", r.Description());
    EXPECT_EQ(fixed, V_ARRAY(&holder));
    fixed->fFeatures &= ~FADF_FIXEDSIZE;
    VariantClear(&holder);
}

// Names that would replace a caller's fixed-size or locked array are refused
// with the run-time's error 10, whichever way the array arrives, and the
// array is left exactly as it was (never emptied while the call says success).
TEST_F(DispatchTest, EnumerationIntoAFixedOrLockedArrayIsRefused) {
    for (const char* sub : {"Software\\TessaryTests\\Dispatch\\one", "Software\\TessaryTests\\Dispatch\\two"}) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, sub, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    VARIANT path, root;
    SetText(&path, kSection);
    SetLong(&root, LONG(0x80000001));
    ASSERT_EQ(S_OK, PutByName(object_.get(), L"SectionKey", &path).hr);
    ASSERT_EQ(S_OK, PutByName(object_.get(), L"ClassKey", &root).hr);

    enum Guard { Fixed, Locked };
    for (Guard guard : {Fixed, Locked}) {
        for (bool typed : {false, true}) {
            SCOPED_TRACE(std::string(guard == Fixed ? "fixed" : "locked") + (typed ? ", typed reference" : ", in a variant"));
            SAFEARRAY* array = SafeArrayCreateVector(typed ? VT_BSTR : VT_VARIANT, 1, 2);
            ASSERT_TRUE(array);
            if (guard == Fixed) array->fFeatures |= FADF_FIXEDSIZE;
            else SafeArrayLock(array);
            VARIANT holder, arg, count;
            VariantInit(&holder);
            VariantInit(&count);
            SAFEARRAY* slot = array;
            if (typed) {
                V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
                V_ARRAYREF(&arg) = &slot;
            } else {
                V_VT(&holder) = VT_ARRAY | VT_VARIANT;
                V_ARRAY(&holder) = array;
                arg = RefTo(&holder);
            }
            VARIANT c = RefTo(&count);
            DispatchResult r = CallByName(object_.get(), L"EnumerateSections", DISPATCH_METHOD, {&arg, &c});
            EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
            EXPECT_EQ(10, r.ErrorNumber());
            if (typed) EXPECT_EQ(array, slot);
            else EXPECT_EQ(array, V_ARRAY(&holder));
            EXPECT_EQ(2u, array->rgsabound[0].cElements);
            EXPECT_EQ(1, array->rgsabound[0].lLbound);
            if (guard == Fixed) {
                EXPECT_TRUE(array->fFeatures & FADF_FIXEDSIZE);
                array->fFeatures &= ~FADF_FIXEDSIZE;
            } else {
                EXPECT_EQ(1u, array->cLocks);
                SafeArrayUnlock(array);
            }
            EXPECT_EQ(S_OK, SafeArrayDestroy(array));
        }
    }
    VariantClear(&path);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TessaryTests\\Dispatch");
}

// An argument the member does not change comes back exactly as it went in,
// even where it had to be converted for the call.
TEST(DispatchWriteBack, ArgumentsTheMemberLeavesAloneKeepTheirTypeAndValue) {
    ComApartment com;
    ComPtr<IDispatch> app = CreateByProgId(L"Tessary.xApplication");
    ASSERT_TRUE(app);
    VARIANT folder;
    VariantInit(&folder);
    V_VT(&folder) = VT_R8;
    V_R8(&folder) = -0.5;
    VARIANT ref = RefTo(&folder);
    DispatchResult r = CallByName(app.get(), L"FolderSpecial", DISPATCH_PROPERTYGET | DISPATCH_METHOD, {&ref});
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(VT_R8, V_VT(&folder));
    EXPECT_EQ(-0.5, V_R8(&folder));
}

// A missing required argument is reported the same way whatever the others hold.
TEST(DispatchMissingArguments, OneRuleWhateverTheOtherArgumentsHold) {
    ComApartment com;
    ComPtr<IDispatch> app = CreateByProgId(L"Tessary.xApplication");
    ASSERT_TRUE(app);
    VARIANT nothing, number;
    VariantInit(&nothing);
    V_VT(&nothing) = VT_DISPATCH;
    V_DISPATCH(&nothing) = nullptr;
    SetLong(&number, 0);
    for (VARIANT* first : {&nothing, &number}) {
        DispatchResult r = CallByName(app.get(), L"ShellRename", DISPATCH_METHOD, {first});
        EXPECT_EQ(DISP_E_PARAMNOTFOUND, r.hr) << "first argument of type " << V_VT(first);
    }
}

TEST_F(DispatchTest, ObjectWhereTextIsDeclaredIsATypeMismatch) {
    VARIANT section, name, fallback;
    VariantInit(&section);
    V_VT(&section) = VT_DISPATCH;
    V_DISPATCH(&section) = object_.get();
    SetText(&name, L"x");
    SetText(&fallback, L"y");
    DispatchResult r = CallByName(object_.get(), L"RegGet", DISPATCH_METHOD, {&section, &name, &fallback});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, r.hr);
    VariantClear(&name);
    VariantClear(&fallback);
}

TEST_F(DispatchTest, NullWhereAValueIsDeclaredIsInvalidUseOfNull) {
    VARIANT null;
    VariantInit(&null);
    V_VT(&null) = VT_NULL;
    VARIANT ref = RefTo(&null);
    DispatchResult r = PutByName(object_.get(), L"SectionKey", &ref);
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(94, r.ErrorNumber());
    EXPECT_EQ(L"Invalid use of Null", r.Description());
}

TEST_F(DispatchTest, RaisedErrorsCarryNumberSourceAndDescription) {
    DispatchResult r = CallByName(object_.get(), L"CreateKey", DISPATCH_METHOD, {});
    ASSERT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(HRESULT(0x800A6591), r.exception.scode);
    EXPECT_EQ(26001, r.ErrorNumber());
    EXPECT_EQ(L"Tessary.cRegistry", r.Source());
    EXPECT_EQ(L"Failed to create registry Key: '", r.Description());
}

TEST_F(DispatchTest, WrongArgumentCountAndUnknownNames) {
    VARIANT one;
    SetLong(&one, 1);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, CallByName(object_.get(), L"CreateKey", DISPATCH_METHOD, {&one}).hr);
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, CallByName(object_.get(), L"RegGet", DISPATCH_METHOD, {&one}).hr);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(DISP_E_UNKNOWNNAME, object_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              object_->Invoke(0x7777, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
}

// Names are looked up without regard to case, with the same answers the type
// information gives, also for parameter names and names the interface lacks.
TEST(DispatchNames, EveryMemberAnswersAsTheTypeInformationDoes) {
    ComApartment com;
    for (const wchar_t* progId : {L"Tessary.xRegistry", L"Tessary.xApplication", L"Tessary.xPrinter", L"Tessary.xMixer"}) {
        ComPtr<IDispatch> object = CreateByProgId(progId);
        ASSERT_TRUE(object) << progId;
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, object->GetTypeInfo(0, 0, info.put()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        const WORD functions = attr->cFuncs;
        info->ReleaseTypeAttr(attr);
        for (WORD f = 0; f < functions; ++f) {
            FUNCDESC* desc = nullptr;
            ASSERT_EQ(S_OK, info->GetFuncDesc(f, &desc));
            BSTR names[8] = {};
            UINT count = 0;
            info->GetNames(desc->memid, names, 8, &count);
            info->ReleaseFuncDesc(desc);
            ASSERT_GE(count, 1u);
            std::wstring lower(names[0]), upper(names[0]);
            for (wchar_t& c : lower) c = towlower(c);
            for (wchar_t& c : upper) c = towupper(c);
            for (const std::wstring& spelling : {std::wstring(names[0]), lower, upper}) {
                LPOLESTR asked = const_cast<LPOLESTR>(spelling.c_str());
                DISPID got = 0, expected = 1;
                EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &asked, 1, 0, &got)) << spelling;
                info->GetIDsOfNames(&asked, 1, &expected);
                EXPECT_EQ(expected, got) << spelling;
            }
            if (count >= 2) {
                // The member with its first parameter's name: the parameter's position.
                LPOLESTR asked[2] = {names[0], names[1]};
                DISPID got[2] = {}, expected[2] = {1, 1};
                EXPECT_EQ(info->GetIDsOfNames(asked, 2, expected), object->GetIDsOfNames(IID_NULL, asked, 2, 0, got));
                EXPECT_EQ(expected[1], got[1]) << names[0] << "." << names[1];
            }
            for (BSTR& name : names) SysFreeString(name);
        }
        for (const wchar_t* unknown : {L"", L"NoSuchMember", L"ClassKe", L"ClassKeyX", L"Cl\u00E1ssKey", L"QueryInterface"}) {
            LPOLESTR asked = const_cast<LPOLESTR>(unknown);
            DISPID got = 0, expected = 0;
            EXPECT_EQ(info->GetIDsOfNames(&asked, 1, &expected), object->GetIDsOfNames(IID_NULL, &asked, 1, 0, &got))
                << progId << " " << unknown;
            EXPECT_EQ(expected, got);
        }
    }
}

// A variable that already holds the declared type is worked on in place; the
// same variable passed twice is one variable to the member.
TEST_F(DispatchTest, AVariableOfTheDeclaredTypeIsWorkedOnInPlace) {
    VARIANT empty;
    VariantInit(&empty);  // RegSet turns an empty value into the empty text
    VARIANT section, name;
    SetText(&section, L"DispatchTest");
    SetText(&name, L"inplace");
    VARIANT a = RefTo(&section), b = RefTo(&name), c = RefTo(&empty);
    ASSERT_EQ(S_OK, CallByName(object_.get(), L"RegSet", DISPATCH_METHOD, {&a, &b, &c}).hr);
    EXPECT_EQ(VT_BSTR, V_VT(&empty));
    EXPECT_EQ(L"DispatchTest", ToWide(V_BSTR(&section)));

    // One variable as both the section and the name.
    VARIANT both, fallback;
    SetText(&both, L"DispatchTest");
    SetText(&fallback, L"none");
    VARIANT x = RefTo(&both), y = RefTo(&both), z = RefTo(&fallback);
    DispatchResult r = CallByName(object_.get(), L"RegGet", DISPATCH_METHOD, {&x, &y, &z});
    ASSERT_EQ(S_OK, r.hr);
    EXPECT_EQ(L"none", ToWide(V_BSTR(r.value.get())));
    EXPECT_EQ(L"DispatchTest", ToWide(V_BSTR(&both)));
    for (VARIANT* v : {&empty, &section, &name, &both, &fallback}) VariantClear(v);
}

TEST_F(DispatchTest, AnInterfaceIdentifierOtherThanIidNullIsRefused) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ValueKey");
    ASSERT_EQ(S_OK, object_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Variant value;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              object_->Invoke(id, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr));
    EXPECT_EQ(VT_EMPTY, V_VT(value.get()));
    EXPECT_EQ(S_OK, object_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr));
}

// puArgErr names the caller's argument (its index in rgvarg) that was not
// found: a named argument no parameter has, or a "missing" marker given for
// a required parameter.
TEST_F(DispatchTest, ArgumentNotFoundNamesTheCallersArgument) {
    auto idOf = [&](const wchar_t* member) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(member);
        object_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
        return id;
    };
    VARIANT args[4];
    for (VARIANT& v : args) SetText(&v, L"x");
    VariantClear(&args[1]);
    V_VT(&args[1]) = VT_ERROR;  // rgvarg[1] is the third of four, sValKey: required
    V_ERROR(&args[1]) = DISP_E_PARAMNOTFOUND;
    DISPPARAMS params = {args, nullptr, 4, 0};
    Variant result;
    UINT argError = 99;
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, object_->Invoke(idOf(L"RegSysGet"), IID_NULL, 0, DISPATCH_METHOD, &params,
                                                    result.get(), nullptr, &argError));
    EXPECT_EQ(1u, argError);

    DISPID named[2] = {0, 7};  // the second named argument names no parameter
    DISPPARAMS withNames = {args, named, 2, 2};
    argError = 99;
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, object_->Invoke(idOf(L"RegSysGet"), IID_NULL, 0, DISPATCH_METHOD, &withNames,
                                                    result.get(), nullptr, &argError));
    EXPECT_EQ(1u, argError);
    for (VARIANT& v : args) VariantClear(&v);
}

}  // namespace
