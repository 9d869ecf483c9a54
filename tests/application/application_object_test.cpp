// The class as clients reach it: by program id and IDispatch the way script
// hosts call (by-reference variables changed exactly where documented), and
// every member swallowing its failures, including arguments that cannot take
// the declared type.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');
const WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

class ApplicationDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = CreateByProgId(L"Tessary.xApplication");
        ASSERT_TRUE(app_);
    }
    // Calls with every argument passed as a script variable (VT_BYREF|VT_VARIANT).
    DispatchResult Call(const wchar_t* name, std::vector<VARIANT*> variables) {
        std::vector<VARIANT> refs;
        for (VARIANT* v : variables) refs.push_back(RefTo(v));
        std::vector<VARIANT*> args;
        for (VARIANT& r : refs) args.push_back(&r);
        // A stale error from before must not survive the call either.
        ComPtr<ICreateErrorInfo> stale;
        CreateErrorInfo(stale.put());
        ComPtr<IErrorInfo> info;
        stale->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()));
        SetErrorInfo(0, info.get());
        DispatchResult r = CallByName(app_.get(), name, kCall, args);
        ComPtr<IErrorInfo> pending;
        EXPECT_EQ(S_FALSE, GetErrorInfo(0, pending.put())) << name << " left an error pending";
        return r;
    }
    ComApartment com_;
    MessageLog messages_;
    ComPtr<IDispatch> app_;
};

std::wstring Text(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? ToWide(V_BSTR(&v)) : L"<not text>"; }

TEST_F(ApplicationDispatchTest, ByReferenceArgumentsChangeOnlyWhereDocumented) {
    Variant list, parser, blanks, path, flag;
    SetText(&list, L"a,b");
    SetText(&parser, L",");
    DispatchResult item = Call(L"StripItem", {&list, &parser});
    ASSERT_EQ(S_OK, item.hr);
    EXPECT_EQ(L"a", Text(item.value));
    EXPECT_EQ(L"b", Text(list));
    EXPECT_EQ(L",", Text(parser));

    SetText(&list, L"ab" + kNul + L"cd" + kNul);
    EXPECT_EQ(L"ab", Text(Call(L"StripNulls", {&list}).value));
    EXPECT_EQ(L"cd" + kNul, Text(list));

    SetText(&blanks, L"  x  ");
    EXPECT_EQ(L"x", Text(Call(L"StripBlanks", {&blanks}).value));
    EXPECT_EQ(L"x", Text(blanks));

    SetText(&path, L"D:\\dir\\file.txt");
    SetBool(&flag, true);
    EXPECT_EQ(L"file.txt", Text(Call(L"PathName", {&path}).value)) << "omitted bPath is False";
    EXPECT_EQ(L"D:\\dir\\", Text(Call(L"PathName", {&path, &flag}).value));
    EXPECT_EQ(L"D:\\dir\\file.txt", Text(path));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&flag));

    // AlwaysOnTop writes the outcome back into bOnTop; its own value is Empty.
    Variant window, onTop;
    SetLong(&window, 0x0DEAD);
    SetBool(&onTop, true);
    DispatchResult top = Call(L"AlwaysOnTop", {&window, &onTop});
    EXPECT_EQ(S_OK, top.hr);
    EXPECT_EQ(VT_EMPTY, V_VT(&top.value));
    ASSERT_EQ(VT_BOOL, V_VT(&onTop));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&onTop));
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ApplicationDispatchTest, ArgumentsThatCannotTakeTheirTypeGiveTheNeutralResult) {
    Variant null, array, huge, text;
    V_VT(&null) = VT_NULL;
    V_VT(&array) = VT_ARRAY | VT_VARIANT;
    SAFEARRAYBOUND bound = {1, 0};
    V_ARRAY(&array) = SafeArrayCreate(VT_VARIANT, 1, &bound);
    SetDouble(&huge, 1e20);
    SetText(&text, L"x");

    struct Expect { const wchar_t* member; std::vector<VARIANT*> args; VARTYPE type; } cases[] = {
        {L"StripBlanks", {&null}, VT_BSTR},
        {L"StripItem", {&text, &array}, VT_BSTR},
        {L"ShortName", {&array}, VT_BSTR},
        {L"FolderSpecial", {&huge}, VT_BSTR},
        {L"FileOrDirExists", {&array}, VT_BOOL},
        {L"ShellCopy", {&huge, &text, &text}, VT_BOOL},
        {L"ShellDelete", {&text, &text, &text}, VT_BOOL},
        {L"AlwaysOnTop", {&null, &text}, VT_EMPTY},
        {L"SendKey", {&array}, VT_EMPTY},
        {L"ShowMouse", {&array}, VT_EMPTY},
    };
    for (Expect& c : cases) {
        DispatchResult r = Call(c.member, c.args);
        EXPECT_EQ(S_OK, r.hr) << c.member;
        EXPECT_EQ(c.type, V_VT(&r.value)) << c.member;
        if (c.type == VT_BSTR) {
            EXPECT_EQ(L"", Text(r.value)) << c.member;
        } else if (c.type == VT_BOOL) {
            EXPECT_EQ(VARIANT_FALSE, V_BOOL(&r.value)) << c.member;
        }
    }
    EXPECT_EQ(L"x", Text(text)) << "not written back";
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ApplicationDispatchTest, UnallocatedScriptArrayDeletesNothing) {
    // A script's "Dim a()" arrives one level deeper, holding no array.
    SAFEARRAY* none = nullptr;
    Variant window, confirm, names;
    SetLong(&window, 0);
    SetBool(&confirm, false);
    V_VT(&names) = VT_BYREF | VT_ARRAY | VT_VARIANT;
    V_ARRAYREF(&names) = &none;
    DispatchResult r = Call(L"ShellDelete", {&window, &confirm, &names});
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&r.value));
}

TEST(ApplicationVtable, NullPointersAreRefusedOrReadAsEmpty) {
    ComApartment com;
    LoadedLibrary library;
    ComPtr<_xApplication> app = library.Create<_xApplication>(CLSID_xApplication);
    ASSERT_TRUE(app);
    EXPECT_EQ(E_POINTER, app->get_FolderTemp(nullptr));
    EXPECT_EQ(E_POINTER, app->StripTerminator(nullptr, nullptr));
    EXPECT_EQ(E_POINTER, app->get_FileOrDirExists(nullptr, nullptr, nullptr));
    Bstr out;
    EXPECT_EQ(S_OK, app->StripNulls(nullptr, out.put()));
    EXPECT_EQ(L"", ToWide(out.get()));
    EXPECT_EQ(S_OK, app->get_FolderSpecial(nullptr, out.put()));
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(S_OK, app->ShellDelete(nullptr, nullptr, nullptr, &result));
    EXPECT_EQ(VARIANT_FALSE, result);
    EXPECT_EQ(S_OK, app->ShellRename(nullptr, nullptr, nullptr, &result));
    EXPECT_EQ(VARIANT_FALSE, result);
}

}  // namespace
