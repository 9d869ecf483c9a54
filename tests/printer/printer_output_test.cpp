// Printed output on the "Proof Letter" printer (300 dpi, printable area from
// 75, 150 dots = 18, 36 points), written to a named file and rendered with
// Ghostscript at 72 dpi, where one pixel is one point and a logical twip
// scale puts 20 twips on a pixel. Text is checked by position and extent,
// since the fonts are substituted.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const int kLeft = 18;  // the printable area's corner on the page, in points
const int kTop = 36;

class Output : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        if (!GhostscriptAvailable()) GTEST_SKIP() << "Ghostscript is not installed";
        printer_ = library_.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(printer_);
    }

    // Starts a document into a file named after the test.
    std::wstring Start(const wchar_t* name) {
        std::wstring file = OutputDir() + name + L".ps";
        DeleteFileW(file.c_str());
        Bstr doc(name), out(file);
        VARIANT_BOOL ok = VARIANT_FALSE;
        BSTR docName = doc.get(), outFile = out.get();
        EXPECT_EQ(S_OK, printer_->StartDoc(&docName, &outFile, &ok));
        EXPECT_EQ(VARIANT_TRUE, ok);
        EXPECT_EQ(VARIANT_TRUE, Call(&_xPrinter::StartPage));
        return file;
    }
    std::vector<Image> Finish(const std::wstring& file) {
        EXPECT_EQ(VARIANT_TRUE, Call(&_xPrinter::EndPage));
        EXPECT_EQ(VARIANT_TRUE, Call(&_xPrinter::EndDoc));
        return RenderPages(file);
    }
    VARIANT_BOOL Call(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL result = VARIANT_FALSE;
        EXPECT_EQ(S_OK, (printer_.get()->*member)(&result));
        return result;
    }
    void Print(const std::wstring& text) {
        Bstr b(text);
        BSTR p = b.get();
        EXPECT_EQ(S_OK, printer_->pPrint(&p));
    }
    long Get(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(LONG*)) {
        LONG v = 0;
        EXPECT_EQ(S_OK, (printer_.get()->*member)(&v));
        return v;
    }
    void SetFontSize(long size) {
        LONG v = size;
        printer_->put_FontSize(&v);
    }
    // The DC's rectangle in dots, filled black by the client itself.
    void FillBlack(int left, int top, int right, int bottom) {
        LONG dc = Get(&_xPrinter::get_hdc);
        RECT r = {left, top, right, bottom};
        FillRect(reinterpret_cast<HDC>(static_cast<intptr_t>(dc)), &r,
                 static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    ComPtr<_xPrinter> printer_;
};

TEST_F(Output, TwoLinesAtTheTopLeftOfThePrintableArea) {
    std::wstring file = Start(L"two-lines");
    SetFontSize(240);  // 12 points
    Print(L"HHHHHHHH");
    Print(L"HHHHHHHH");
    EXPECT_EQ(480, Get(&_xPrinter::get_CurrentY));
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];
    EXPECT_EQ(612, page.width);
    EXPECT_EQ(792, page.height);

    RECT all = FindBox(page, RECT{0, 0, page.width, page.height}, IsInk);
    EXPECT_GE(all.left, kLeft);
    EXPECT_LE(all.left, kLeft + 3);
    EXPECT_GE(all.top, kTop);
    EXPECT_LE(all.bottom, kTop + 24);
    // One line per character height (12 points): the same letters, 12 pixels apart.
    RECT first = FindBox(page, RECT{0, kTop, page.width, kTop + 12}, IsInk);
    RECT second = FindBox(page, RECT{0, kTop + 12, page.width, kTop + 24}, IsInk);
    ASSERT_LT(first.top, first.bottom);
    ASSERT_LT(second.top, second.bottom);
    EXPECT_NEAR(12, second.top - first.top, 1);
    EXPECT_NEAR(first.left, second.left, 1);
    EXPECT_NEAR(first.right, second.right, 1);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, WrappedBlockStaysWithinItsEdges) {
    std::wstring file = Start(L"wrapped");
    SetFontSize(200);  // 10 points
    const std::wstring text =
        L"The quick brown fox jumps over the lazy dog while the five boxing wizards jump quickly "
        L"and a wary tiny owl sees them all go by";
    Bstr b(text);
    BSTR p = b.get();
    LONG left = 1440, right = 4320, top = 2880, flag = 0;  // 1 to 3 inches across, 2 inches down
    ASSERT_EQ(S_OK, printer_->pPrintWrapped(&p, &left, &right, &top, &flag));
    long bottom = Get(&_xPrinter::get_CurrentY);
    EXPECT_GT(bottom, top + 3 * 200);  // several lines
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];
    RECT ink = FindBox(page, RECT{0, 0, page.width, page.height}, IsInk);
    EXPECT_GE(ink.left, kLeft + 72 - 1);
    EXPECT_LE(ink.right, kLeft + 216 + 1);
    EXPECT_GE(ink.top, kTop + 144 - 1);
    EXPECT_LE(ink.bottom, kTop + bottom / 20 + 1);
    EXPECT_GE(ink.bottom, kTop + bottom / 20 - 10);  // CurrentY is at the block's bottom
    EXPECT_GT(ink.right - ink.left, 100);  // lines fill most of the two inches
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, ForeColorAndFontTransparentShowOnThePage) {
    std::wstring file = Start(L"colour");
    SetFontSize(240);
    EXPECT_EQ(TRANSPARENT, Get(&_xPrinter::get_FontTransparent));

    // Red text on white.
    ASSERT_EQ(S_OK, printer_->put_CurrentY(1440));  // 1 inch: pixel row 36 + 72
    ASSERT_EQ(S_OK, printer_->put_ForeColor(RGB(255, 0, 0)));
    EXPECT_EQ(RGB(255, 0, 0), static_cast<COLORREF>(Get(&_xPrinter::get_ForeColor)));
    Print(L"HHHHHHHH");

    // Green text over black, once with an opaque background, once transparent.
    ASSERT_EQ(S_OK, printer_->put_ForeColor(RGB(0, 255, 0)));
    LONG opaque = OPAQUE, transparent = TRANSPARENT;
    FillBlack(0, 600, 600, 700);  // dots: rows 36 + 144 .. 36 + 168
    ASSERT_EQ(S_OK, printer_->put_CurrentY(2880 + 60));
    printer_->put_FontTransparent(&opaque);
    EXPECT_EQ(OPAQUE, Get(&_xPrinter::get_FontTransparent));
    Print(L"HHHHHHHH");
    FillBlack(0, 900, 600, 1000);  // rows 36 + 216 .. 36 + 240
    ASSERT_EQ(S_OK, printer_->put_CurrentY(4320 + 60));
    printer_->put_FontTransparent(&transparent);
    Print(L"HHHHHHHH");
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];

    RECT red = FindBox(page, RECT{0, kTop + 72, 300, kTop + 84}, IsRed);
    EXPECT_GT(red.right - red.left, 40);
    RECT dark = FindBox(page, RECT{0, kTop + 72, 300, kTop + 84}, IsDark);
    EXPECT_EQ(0, dark.right - dark.left);

    // Opaque: the text cell is white inside the black band, around green letters.
    RECT opaqueBand = {kLeft + 2, kTop + 146, kLeft + 140, kTop + 166};
    RECT opaqueWhite = FindBox(page, opaqueBand, IsWhite);
    RECT opaqueGreen = FindBox(page, opaqueBand, IsGreen);
    EXPECT_GT(opaqueWhite.right - opaqueWhite.left, 40);
    EXPECT_GT(opaqueGreen.right - opaqueGreen.left, 40);
    // Transparent: green letters straight on black.
    RECT clearBand = {kLeft + 2, kTop + 218, kLeft + 140, kTop + 238};
    RECT clearWhite = FindBox(page, clearBand, IsWhite);
    RECT clearGreen = FindBox(page, clearBand, IsGreen);
    EXPECT_EQ(0, clearWhite.right - clearWhite.left);
    EXPECT_GT(clearGreen.right - clearGreen.left, 40);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, LandscapeFromOrientation) {
    ASSERT_EQ(S_OK, printer_->put_Orientation(2));
    EXPECT_EQ(2, Get(&_xPrinter::get_Orientation));
    EXPECT_EQ(3000, Get(&_xPrinter::get_WidthDot));
    EXPECT_EQ(2400, Get(&_xPrinter::get_HeightDot));
    std::wstring file = Start(L"landscape");
    SetFontSize(240);
    Print(L"HHHHHHHHHHHHHHHHHHHHHHHH");
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];
    RECT ink = FindBox(page, RECT{0, 0, page.width, page.height}, IsInk);
    ASSERT_LT(ink.left, ink.right);
    std::string ps = ReadFile(file);
    EXPECT_NE(std::string::npos, ps.find("Landscape"));
    // The printer turns the landscape page onto the portrait sheet: the
    // landscape page's top edge is the sheet's left edge, and the line starts
    // at the printable area's corner near the sheet's bottom-left and runs up.
    ASSERT_EQ(612, page.width);
    ASSERT_EQ(792, page.height);
    const long offsetX = Get(&_xPrinter::get_OffsetX) / 20;  // points along the landscape width
    const long offsetY = Get(&_xPrinter::get_OffsetY) / 20;
    EXPECT_EQ(36, offsetX);
    EXPECT_EQ(18, offsetY);
    EXPECT_GE(ink.left, offsetY);
    EXPECT_LE(ink.left, offsetY + 3);
    EXPECT_LE(ink.bottom, 792 - offsetX);
    EXPECT_GE(ink.bottom, 792 - offsetX - 3);
    EXPECT_GT(ink.bottom - ink.top, 4 * (ink.right - ink.left));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, OrientationBetweenPagesKeepsTheDocumentOpen) {
    std::wstring file = Start(L"turned");
    SetFontSize(240);
    Print(L"HHHHHHHHHHHHHHHHHHHHHHHH");
    EXPECT_EQ(VARIANT_TRUE, Call(&_xPrinter::EndPage));
    const long job = Get(&_xPrinter::get_PrintJobID);
    const long dc = Get(&_xPrinter::get_hdc);
    ASSERT_EQ(S_OK, printer_->put_Orientation(2));
    // Same printer, same document: the DC stays and turns from the next page.
    EXPECT_EQ(job, Get(&_xPrinter::get_PrintJobID));
    EXPECT_EQ(dc, Get(&_xPrinter::get_hdc));
    EXPECT_EQ(3000, Get(&_xPrinter::get_WidthDot));
    EXPECT_EQ(VARIANT_TRUE, Call(&_xPrinter::StartPage));
    SetFontSize(240);
    Print(L"HHHHHHHHHHHHHHHHHHHHHHHH");
    auto pages = Finish(file);
    ASSERT_EQ(2u, pages.size());
    RECT first = FindBox(pages[0], RECT{0, 0, pages[0].width, pages[0].height}, IsInk);
    RECT second = FindBox(pages[1], RECT{0, 0, pages[1].width, pages[1].height}, IsInk);
    EXPECT_GT(first.right - first.left, 4 * (first.bottom - first.top));      // across
    EXPECT_GT(second.bottom - second.top, 4 * (second.right - second.left));  // turned
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, ReleasingTheObjectEndsAnOpenDocument) {
    std::wstring file = Start(L"released");
    SetFontSize(240);
    Print(L"HHHH");
    printer_.reset();
    std::string ps = ReadFile(file);
    EXPECT_NE(std::string::npos, ps.find("%%EOF"));
    auto pages = RenderPages(file);
    ASSERT_EQ(1u, pages.size());
    RECT ink = FindBox(pages[0], RECT{0, 0, pages[0].width, pages[0].height}, IsInk);
    EXPECT_GE(ink.left, kLeft);
    EXPECT_GE(ink.top, kTop);
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
