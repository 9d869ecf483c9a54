// The class as a script host reaches it (by program id, IDispatch, every
// argument a by-reference variable): arguments change exactly where
// documented, and no member fails in the caller's face, not even for
// arguments that cannot take their declared type.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const std::wstring kNul(1, L'\0');

class ApplicationDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = CreateByProgId(L"Tessary.xApplication");
        ASSERT_TRUE(app_);
    }
    DispatchResult Call(const wchar_t* name, std::vector<VARIANT*> variables) {
        std::vector<VARIANT> refs;
        for (VARIANT* v : variables) refs.push_back(RefTo(v));
        std::vector<VARIANT*> args;
        for (VARIANT& r : refs) args.push_back(&r);
        ComPtr<ICreateErrorInfo> stale;  // an error left from before must not survive the call
        ComPtr<IErrorInfo> info, pending;
        CreateErrorInfo(stale.put());
        stale->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()));
        SetErrorInfo(0, info.get());
        DispatchResult r = CallByName(app_.get(), name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
        EXPECT_EQ(S_OK, r.hr) << name;
        EXPECT_EQ(S_FALSE, GetErrorInfo(0, pending.put())) << name << " left an error pending";
        return r;
    }
    static std::wstring Text(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? ToWide(V_BSTR(&v)) : L"<not text>"; }

    ComApartment com_;
    MessageLog messages_;
    ComPtr<IDispatch> app_;
};

TEST_F(ApplicationDispatchTest, ByReferenceArgumentsChangeOnlyWhereDocumented) {
    Variant list, parser, blanks, path, flag, window, onTop;
    SetText(list.get(), L"a,b");
    SetText(parser.get(), L",");
    EXPECT_EQ(L"a", Text(*Call(L"StripItem", {list.get(), parser.get()}).value.get()));
    EXPECT_EQ(L"b", Text(*list.get()));
    EXPECT_EQ(L",", Text(*parser.get()));
    SetText(list.get(), L"ab" + kNul + L"cd" + kNul);
    EXPECT_EQ(L"ab", Text(*Call(L"StripNulls", {list.get()}).value.get()));
    EXPECT_EQ(L"cd" + kNul, Text(*list.get()));
    SetText(blanks.get(), L"  x  ");
    EXPECT_EQ(L"x", Text(*Call(L"StripBlanks", {blanks.get()}).value.get()));
    EXPECT_EQ(L"x", Text(*blanks.get()));

    SetText(path.get(), L"D:\\dir\\file.txt");
    SetBool(flag.get(), true);
    EXPECT_EQ(L"file.txt", Text(*Call(L"PathName", {path.get()}).value.get())) << "bPath omitted";
    EXPECT_EQ(L"D:\\dir\\", Text(*Call(L"PathName", {path.get(), flag.get()}).value.get()));
    EXPECT_TRUE(Text(*path.get()) == L"D:\\dir\\file.txt");
    EXPECT_TRUE(V_BOOL(flag.get()) == VARIANT_TRUE);

    SetLong(window.get(), 0x0DEAD);
    SetBool(onTop.get(), true);
    DispatchResult top = Call(L"AlwaysOnTop", {window.get(), onTop.get()});
    EXPECT_EQ(VT_EMPTY, V_VT(top.value.get()));
    EXPECT_TRUE(V_VT(onTop.get()) == VT_BOOL) << "the outcome is written back";
    EXPECT_TRUE(V_BOOL(onTop.get()) == VARIANT_FALSE) << "the outcome is written back";
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ApplicationDispatchTest, ArgumentsThatCannotTakeTheirTypeGiveTheNeutralResult) {
    Variant null, array, huge, text, names;
    V_VT(null.get()) = VT_NULL;
    V_VT(array.get()) = VT_ARRAY | VT_VARIANT;
    SAFEARRAYBOUND bound = {1, 0};
    V_ARRAY(array.get()) = SafeArrayCreate(VT_VARIANT, 1, &bound);
    SetDouble(huge.get(), 1e20);
    SetText(text.get(), L"x");
    SAFEARRAY* unallocated = nullptr;  // a script's "Dim a()", one level deeper
    V_VT(names.get()) = VT_BYREF | VT_ARRAY | VT_VARIANT;
    V_ARRAYREF(names.get()) = &unallocated;

    struct Case { const wchar_t* member; std::vector<VARIANT*> args; VARTYPE type; } cases[] = {
        {L"StripBlanks", {null.get()}, VT_BSTR},          {L"StripItem", {text.get(), array.get()}, VT_BSTR},
        {L"FolderSpecial", {huge.get()}, VT_BSTR},        {L"FileOrDirExists", {array.get()}, VT_BOOL},
        {L"ShellCopy", {huge.get(), text.get(), text.get()}, VT_BOOL}, {L"ShellDelete", {text.get(), text.get(), text.get()}, VT_BOOL},
        {L"ShellDelete", {text.get(), null.get(), names.get()}, VT_BOOL}, {L"AlwaysOnTop", {null.get(), text.get()}, VT_EMPTY},
        {L"SendKey", {array.get()}, VT_EMPTY},            {L"ShowMouse", {array.get()}, VT_EMPTY},
    };
    for (Case& c : cases) {
        DispatchResult r = Call(c.member, c.args);
        EXPECT_EQ(c.type, V_VT(r.value.get())) << c.member;
        bool neutral = c.type == VT_BSTR ? SysStringLen(V_BSTR(r.value.get())) == 0
                       : c.type == VT_BOOL ? V_BOOL(r.value.get()) == VARIANT_FALSE : true;
        EXPECT_TRUE(neutral) << c.member;
    }
    EXPECT_EQ(L"x", Text(*text.get())) << "not written back";
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST(ApplicationVtable, NullPointersAreRefusedOrReadAsNothing) {
    ComApartment com;
    LoadedLibrary library;
    ComPtr<_xApplication> app = library.Create<_xApplication>(CLSID_xApplication);
    ASSERT_TRUE(app);
    EXPECT_EQ(E_POINTER, app->get_FolderTemp(nullptr));
    EXPECT_EQ(E_POINTER, app->get_FileOrDirExists(nullptr, nullptr, nullptr));
    Bstr out;
    EXPECT_EQ(S_OK, app->StripNulls(nullptr, out.put()));
    EXPECT_EQ(S_OK, app->get_FolderSpecial(nullptr, out.put()));
    EXPECT_EQ(L"", ToWide(out.get()));
    EXPECT_EQ(S_OK, app->ShowMouse(nullptr));
    EXPECT_EQ(S_OK, app->MoveMe(nullptr));
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(S_OK, app->ShellDelete(nullptr, nullptr, nullptr, &result));
    EXPECT_EQ(VARIANT_FALSE, result);
}

}  // namespace
