// Tessary.xPrinter on the test printers, through the vtable and through
// IDispatch as script hosts call it: the state after creation, PrintInit,
// the document and page bracket, Orientation, two objects at once, the
// shown failure style and bad input from clients.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const UINT kShown = MB_OK | MB_ICONEXCLAMATION;

class PrinterObject : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        p_ = library_.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(p_);
    }
    ComPtr<_xPrinter> Create() { return library_.Create<_xPrinter>(CLSID_xPrinter); }

    static long Get(_xPrinter* p, HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(LONG*)) {
        LONG v = -12345;
        EXPECT_EQ(S_OK, (p->*member)(&v));
        return v;
    }
    static bool Flag(_xPrinter* p, HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(S_OK, (p->*member)(&v));
        EXPECT_TRUE(v == VARIANT_TRUE || v == VARIANT_FALSE) << "an automation Boolean, not " << v;
        return v == VARIANT_TRUE;
    }
    long Get(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(LONG*)) { return Get(p_.get(), member); }
    bool Flag(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(VARIANT_BOOL*)) { return Flag(p_.get(), member); }
    static bool StartDoc(_xPrinter* p, const std::wstring& name, const std::wstring& out) {
        Bstr n(name), o(out);
        BSTR a = n.get(), b = o.get();
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, p->StartDoc(&a, &b, &ok));
        return ok == VARIANT_TRUE;
    }
    static std::wstring Text(_xPrinter* p, HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(BSTR*)) {
        Bstr b;
        EXPECT_EQ(S_OK, (p->*member)(b.put()));
        return ToWide(b.get());
    }
    static bool PrintInit(_xPrinter* p) {
        LONG window = 0;
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, p->PrintInit(&window, &ok));
        return ok == VARIANT_TRUE;
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    ComPtr<_xPrinter> p_;
};

TEST_F(PrinterObject, StateAfterCreation) {
    EXPECT_TRUE(Flag(&_xPrinter::get_Connected));
    EXPECT_NE(0, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(L"Proof Letter", Text(p_.get(), &_xPrinter::get_DeviceName));
    EXPECT_TRUE(Flag(&_xPrinter::get_IsPrinter));
    EXPECT_EQ(2400, Get(&_xPrinter::get_WidthDot));
    EXPECT_EQ(3000, Get(&_xPrinter::get_HeightDot));
    EXPECT_EQ(11520, Get(&_xPrinter::get_ScaleWidth));
    EXPECT_EQ(14400, Get(&_xPrinter::get_ScaleHeight));
    EXPECT_EQ(360, Get(&_xPrinter::get_OffsetX));
    EXPECT_EQ(720, Get(&_xPrinter::get_OffsetY));
    EXPECT_EQ(12240, Get(&_xPrinter::get_PageWidth));
    EXPECT_EQ(15840, Get(&_xPrinter::get_PageHeight));
    EXPECT_EQ(5760, Get(&_xPrinter::get_PageCenterX));
    EXPECT_EQ(7200, Get(&_xPrinter::get_PageCenterY));
    EXPECT_EQ(0, Get(&_xPrinter::get_PrintJobID));
    EXPECT_EQ(1, Get(&_xPrinter::get_Orientation));
    EXPECT_EQ(1, Get(&_xPrinter::get_DrawWidth));
    EXPECT_EQ(0, Get(&_xPrinter::get_DrawStyle));
    EXPECT_EQ(0, Get(&_xPrinter::get_DrawColor));
    EXPECT_EQ(0xFFFFFF, Get(&_xPrinter::get_FillColor));
    EXPECT_EQ(3, Get(&_xPrinter::get_FillHatch));
    EXPECT_EQ(1, Get(&_xPrinter::get_FillStyle));
    EXPECT_EQ(5, Get(&_xPrinter::get_FontSize));
    EXPECT_EQ(TRANSPARENT, Get(&_xPrinter::get_FontTransparent));
    EXPECT_EQ(R2_COPYPEN, Get(&_xPrinter::get_DrawMode));
    EXPECT_EQ(0, Get(&_xPrinter::get_CurrentX));
    EXPECT_EQ(0, Get(&_xPrinter::get_CurrentY));
    EXPECT_EQ(S_OK, p_->A_Description());
    // The DC draws with the pen and brush the properties report.
    HDC dc = static_cast<HDC>(LongToHandle(Get(&_xPrinter::get_hdc)));
    LOGBRUSH brush = {};
    GetObjectA(GetCurrentObject(dc, OBJ_BRUSH), sizeof brush, &brush);
    EXPECT_EQ(static_cast<UINT>(BS_NULL), brush.lbStyle);
    EXPECT_EQ(TA_UPDATECP, GetTextAlign(dc) & TA_UPDATECP);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PrinterObject, PublicFieldsAreThePlainValuesWritten) {
    ASSERT_EQ(S_OK, p_->put_Copies(5));
    ASSERT_EQ(S_OK, p_->put_OK(VARIANT_TRUE));
    ASSERT_EQ(S_OK, p_->put_PrintToFile(VARIANT_TRUE));
    ASSERT_EQ(S_OK, p_->put_Fast(VARIANT_TRUE));
    ASSERT_EQ(S_OK, p_->put_Connected(VARIANT_FALSE));
    short copies = 0;
    p_->get_Copies(&copies);
    EXPECT_EQ(5, copies);
    EXPECT_TRUE(Flag(&_xPrinter::get_OK));
    EXPECT_TRUE(Flag(&_xPrinter::get_PrintToFile));
    EXPECT_TRUE(Flag(&_xPrinter::get_Fast));
    EXPECT_FALSE(Flag(&_xPrinter::get_Connected));
}

TEST_F(PrinterObject, DocumentAndPageBracket) {
    EXPECT_FALSE(Flag(&_xPrinter::StartPage));
    EXPECT_FALSE(Flag(&_xPrinter::EndPage));
    EXPECT_FALSE(Flag(&_xPrinter::EndDoc));
    std::wstring file = OutputDir() + L"bracket.ps";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(StartDoc(p_.get(), L"Bracket", file));
    long job = Get(&_xPrinter::get_PrintJobID);
    EXPECT_GT(job, 0);
    EXPECT_TRUE(Flag(&_xPrinter::StartPage));
    EXPECT_TRUE(Flag(&_xPrinter::EndPage));
    // PrintInit on the same DC keeps the document.
    EXPECT_TRUE(PrintInit(p_.get()));
    EXPECT_EQ(job, Get(&_xPrinter::get_PrintJobID));
    EXPECT_TRUE(Flag(&_xPrinter::StartPage));
    EXPECT_TRUE(Flag(&_xPrinter::EndPage));
    EXPECT_TRUE(Flag(&_xPrinter::EndDoc));
    EXPECT_EQ(0, Get(&_xPrinter::get_PrintJobID));
    EXPECT_FALSE(Flag(&_xPrinter::EndDoc));
    EXPECT_FALSE(Flag(&_xPrinter::StartPage));
    std::string ps = ReadFile(file);
    EXPECT_NE(std::string::npos, ps.find("%%Title: Bracket"));
    EXPECT_NE(std::string::npos, ps.find("%%Pages: 2"));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PrinterObject, EmptyOutputNameBecomesTheNullString) {
    Bstr name(L"Spooled"), empty(L"");
    BSTR a = name.get();
    BSTR out = empty.release();
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(S_OK, p_->StartDoc(&a, &out, &ok));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(VARIANT_TRUE, ok);
    SysFreeString(out);
    // Without an output file Wine's spooler drops the job at its end.
    Flag(&_xPrinter::EndDoc);
    EXPECT_EQ(0, Get(&_xPrinter::get_PrintJobID));
}

TEST_F(PrinterObject, StartDocWhileADocumentIsOpenKeepsThatDocument) {
    std::wstring file = OutputDir() + L"twice.ps";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(StartDoc(p_.get(), L"Once", file));
    long job = Get(&_xPrinter::get_PrintJobID);
    EXPECT_TRUE(Flag(&_xPrinter::StartPage));
    EXPECT_FALSE(StartDoc(p_.get(), L"Twice", OutputDir() + L"twice-again.ps"));
    EXPECT_EQ(job, Get(&_xPrinter::get_PrintJobID));
    EXPECT_TRUE(Flag(&_xPrinter::EndPage));
    EXPECT_TRUE(Flag(&_xPrinter::EndDoc));
    std::string ps = ReadFile(file);
    EXPECT_NE(std::string::npos, ps.find("%%Title: Once"));
    EXPECT_NE(std::string::npos, ps.find("%%EOF"));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PrinterObject, PrintInitOnTheSameDcKeepsFaceAndWeightButNotSizeOrScale) {
    Bstr face(L"Courier New");
    BSTR f = face.get();
    VARIANT_BOOL bold = VARIANT_TRUE;
    LONG size = 480;
    p_->put_FontName(&f);
    p_->put_FontBold(&bold);
    p_->put_FontSize(&size);
    p_->put_ScaleWidth(1000);
    p_->put_ScaleHeight(2000);
    long dc = Get(&_xPrinter::get_hdc);
    EXPECT_TRUE(PrintInit(p_.get()));
    EXPECT_EQ(dc, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(L"Courier New", Text(p_.get(), &_xPrinter::get_FontName));
    EXPECT_TRUE(Flag(&_xPrinter::get_FontBold));
    EXPECT_EQ(5, Get(&_xPrinter::get_FontSize));
    EXPECT_EQ(11520, Get(&_xPrinter::get_ScaleWidth));
    EXPECT_EQ(14400, Get(&_xPrinter::get_ScaleHeight));
    EXPECT_EQ(1, Get(&_xPrinter::get_FillStyle));
}

TEST_F(PrinterObject, OrientationDrivesTheDialogAndANewDc) {
    DWORD before = static_cast<DWORD>(Get(&_xPrinter::get_hdc));
    ASSERT_EQ(S_OK, p_->put_DrawColor(255));
    ASSERT_EQ(S_OK, p_->put_Orientation(2));
    EXPECT_EQ(2, Get(&_xPrinter::get_Orientation));
    EXPECT_EQ(3000, Get(&_xPrinter::get_WidthDot));
    EXPECT_EQ(2400, Get(&_xPrinter::get_HeightDot));
    EXPECT_EQ(14400, Get(&_xPrinter::get_ScaleWidth));
    long dc = Get(&_xPrinter::get_hdc);
    EXPECT_NE(static_cast<long>(before), dc);
    // The DC given up is deleted; the new one draws with the remembered pen.
    EXPECT_EQ(0u, GetObjectType(LongToHandle(before)));
    LOGPEN pen = {};
    GetObjectA(GetCurrentObject(static_cast<HDC>(LongToHandle(dc)), OBJ_PEN), sizeof pen, &pen);
    EXPECT_EQ(255u, pen.lopnColor);
    EXPECT_EQ(255, Get(&_xPrinter::get_DrawColor));

    for (long value : {1L, 2L, 0L, 3L, -1L}) {
        ASSERT_EQ(S_OK, p_->put_Orientation(value));
        long expected = value == 1 ? 1 : 2;
        EXPECT_EQ(expected, Get(&_xPrinter::get_Orientation)) << value;
        EXPECT_EQ(expected == 1 ? 2400 : 3000, Get(&_xPrinter::get_WidthDot)) << value;
    }
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PrinterObject, TwoObjectsNeverShareADc) {
    ComPtr<_xPrinter> second = Create();
    ASSERT_TRUE(second);
    long first = Get(&_xPrinter::get_hdc);
    long other = Get(second.get(), &_xPrinter::get_hdc);
    ASSERT_NE(0, other);
    EXPECT_NE(first, other);

    // The second one turns the page; the first keeps its own DC until its
    // next PrintInit.
    ASSERT_EQ(S_OK, second->put_Orientation(2));
    EXPECT_EQ(first, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(2400, Get(&_xPrinter::get_WidthDot));
    EXPECT_EQ(3000, Get(second.get(), &_xPrinter::get_WidthDot));

    // Releasing the first unloads the dialog but leaves the second's DC alone.
    p_.reset();
    other = Get(second.get(), &_xPrinter::get_hdc);
    EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(LongToHandle(other)));
    std::wstring file = OutputDir() + L"second-object.ps";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(StartDoc(second.get(), L"Second", file));
    EXPECT_TRUE(Flag(second.get(), &_xPrinter::StartPage));
    Bstr text(L"still printing");
    BSTR t = text.get();
    second->pPrint(&t);
    EXPECT_TRUE(Flag(second.get(), &_xPrinter::EndPage));
    EXPECT_TRUE(Flag(second.get(), &_xPrinter::EndDoc));
    EXPECT_NE(std::string::npos, ReadFile(file).find("%%EOF"));
    // Its next PrintInit loads the dialog afresh: the default printer, portrait.
    EXPECT_TRUE(PrintInit(second.get()));
    EXPECT_EQ(2400, Get(second.get(), &_xPrinter::get_WidthDot));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PrinterObject, FailuresAreShownWithTheMembersPrefix) {
    ASSERT_EQ(S_OK, p_->put_ScaleWidth(0));
    LONG one = 1, result = -1;
    EXPECT_EQ(S_OK, p_->LogToDOTX(&one, &result));
    EXPECT_EQ(0, result);
    p_->put_ScaleWidth(1000000);  // 2550 dots of sheet × one million
    EXPECT_EQ(0, Get(&_xPrinter::get_PageWidth));
    LONG big = 2000000;
    p_->put_ScaleWidth(11520);
    EXPECT_EQ(S_OK, p_->MMToLogX(&big, &result));
    EXPECT_EQ(0, result);
    auto messages = log_.Messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ(L"Printer class LogToDOTX error: 11. Division by zero", messages[0].text);
    EXPECT_EQ(L"Printer class PageWidth error: 6. Overflow", messages[1].text);
    EXPECT_EQ(L"Printer class MMToLogX error: 6. Overflow", messages[2].text);
    for (const auto& m : messages) {
        EXPECT_EQ(kShown, m.style);
        EXPECT_EQ(L"Tessary", m.caption);
    }
}

TEST_F(PrinterObject, ScriptClientsThroughIDispatch) {
    ComPtr<IDispatch> d;
    ASSERT_EQ(S_OK, p_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put())));
    // A number where text is expected, passed by reference as scripts do.
    VARIANT size, face;
    SetText(&size, L"240");
    VARIANT ref = RefTo(&size);
    ASSERT_EQ(S_OK, PutByName(d.get(), L"FontSize", &ref).hr);
    DispatchResult read = CallByName(d.get(), L"FontSize", DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(S_OK, read.hr);
    EXPECT_EQ(240, V_I4(read.value.get()));
    SetLong(&face, 12);
    ASSERT_EQ(S_OK, PutByName(d.get(), L"FontName", &face).hr);
    DispatchResult name = CallByName(d.get(), L"FontName", DISPATCH_PROPERTYGET, {});
    EXPECT_EQ(L"12", ToWide(V_BSTR(name.value.get())));

    // Conversions with a literal and with a variable.
    VARIANT v;
    SetLong(&v, 1440);
    DispatchResult dots = CallByName(d.get(), L"LogToDOTX", DISPATCH_METHOD, {&v});
    ASSERT_EQ(S_OK, dots.hr);
    EXPECT_EQ(300, V_I4(dots.value.get()));

    // Bad input never crashes: wrong types are refused, odd texts printed.
    VARIANT wrong;
    SetText(&wrong, L"not a number");
    EXPECT_NE(S_OK, PutByName(d.get(), L"Orientation", &wrong).hr);
    VARIANT huge, nul;
    SetText(&huge, std::wstring(100000, L'W'));
    SetText(&nul, std::wstring(L"A\0B\0C", 5));
    EXPECT_EQ(S_OK, CallByName(d.get(), L"pPrint", DISPATCH_METHOD, {&huge}).hr);
    EXPECT_EQ(S_OK, CallByName(d.get(), L"TextWidth", DISPATCH_METHOD, {&nul}).hr);
    VARIANT l, r, t;
    SetLong(&l, 0);
    SetLong(&r, 2880);
    SetLong(&t, 0);
    EXPECT_EQ(S_OK, CallByName(d.get(), L"pPrintWrapped", DISPATCH_METHOD, {&huge, &l, &r, &t}).hr);
    EXPECT_EQ(S_OK, CallByName(d.get(), L"pPrintWrapped", DISPATCH_METHOD, {&nul, &l, &r, &t}).hr);
    VARIANT docName;
    SetText(&docName, std::wstring(100000, L'D'));
    DispatchResult started = CallByName(d.get(), L"StartDoc", DISPATCH_METHOD, {&docName});
    EXPECT_EQ(S_OK, started.hr);
    CallByName(d.get(), L"EndDoc", DISPATCH_METHOD, {});
    EXPECT_EQ(S_OK, PutByName(d.get(), L"FontName", &huge).hr);
    EXPECT_EQ(1u, log_.Messages().size());  // the too-long face name
    for (VARIANT* x : {&size, &face, &v, &wrong, &huge, &nul, &l, &r, &t, &docName}) VariantClear(x);
}

}  // namespace
