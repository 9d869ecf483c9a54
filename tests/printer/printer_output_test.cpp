// Printed output on the "Proof Letter" printer (300 dpi, printable area from
// 75, 150 dots = 18, 36 points), written to a named file and rendered with
// Ghostscript at 72 dpi, where one pixel is one point and a logical twip
// scale puts 20 twips on a pixel. Text is checked by position and extent,
// since the fonts are substituted; shapes and pictures by position, size,
// colour and line width.
#include <gtest/gtest.h>

#include "Tessary.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const int kLeft = 18;  // the printable area's corner on the page, in points
const int kTop = 36;

inline bool IsBlue(Rgb c) { return c.b > 150 && c.r < 100 && c.g < 100; }

// The page's pixels for a place given in inches from the printable corner.
int AtX(double inches) { return kLeft + static_cast<int>(inches * 72); }
int AtY(double inches) { return kTop + static_cast<int>(inches * 72); }

int Count(const Image& page, RECT area, bool (*match)(Rgb)) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += match(page.At(x, y)) ? 1 : 0;
    return n;
}

// Expects the box of `match` pixels within `area` at the given edges, give or
// take a pixel (or `slack` at the right and bottom).
void ExpectBox(const Image& page, RECT area, bool (*match)(Rgb), RECT expected, const char* what, int slack = 1) {
    RECT box = FindBox(page, area, match);
    EXPECT_NEAR(expected.left, box.left, 1) << what;
    EXPECT_NEAR(expected.top, box.top, 1) << what;
    EXPECT_NEAR(expected.right, box.right, slack) << what;
    EXPECT_NEAR(expected.bottom, box.bottom, slack) << what;
}

// A bitmap in four quadrants: red, green over blue, black.
HBITMAP Quadrants(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};  // top-down
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, lower = y >= height / 2;
            pixels[static_cast<size_t>(y) * width + x] =
                lower ? (right ? 0x000000 : 0x0000FF) : (right ? 0x00FF00 : 0xFF0000);
        }
    return bitmap;
}

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
    void Line(LONG x1, LONG y1, LONG x2, LONG y2) { EXPECT_EQ(S_OK, printer_->pLine(&x1, &y1, &x2, &y2)); }
    void Frame(LONG l, LONG t, LONG r, LONG b) { EXPECT_EQ(S_OK, printer_->pFrame(&l, &t, &r, &b)); }
    bool Rectangle(LONG l, LONG t, LONG r, LONG b) {
        VARIANT_BOOL drawn = VARIANT_FALSE;
        EXPECT_EQ(S_OK, printer_->pRectangle(&l, &t, &r, &b, &drawn));
        return drawn == VARIANT_TRUE;
    }
    bool Circle(float x, float y, float radius, VARIANT* color, LONG width) {
        VARIANT_BOOL drawn = VARIANT_FALSE;
        EXPECT_EQ(S_OK, printer_->pCircle(&x, &y, &radius, color, &width, &drawn));
        return drawn == VARIANT_TRUE;
    }
    // A picture at (x, y) twips; a size of -1 is omitted.
    void Paint(HGDIOBJ picture, LONG x, LONG y, LONG width, LONG height) {
        LONG handle = HandleToLong(picture);
        Variant w, h;
        for (auto [v, size] : {std::pair<VARIANT*, LONG>{w.get(), width}, {h.get(), height}}) {
            V_VT(v) = size < 0 ? VT_ERROR : VT_I4;
            if (size < 0) V_ERROR(v) = DISP_E_PARAMNOTFOUND;
            else V_I4(v) = size;
        }
        EXPECT_EQ(S_OK, printer_->PaintPicture(&handle, &x, &y, w.get(), h.get()));
    }
    // The DC's rectangle in dots, filled black by the client itself.
    void FillBlack(int left, int top, int right, int bottom) {
        LONG dc = Get(&_xPrinter::get_hdc);
        RECT r = {left, top, right, bottom};
        FillRect(static_cast<HDC>(LongToHandle(dc)), &r,
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

TEST_F(Output, ShapesByPlaceColourAndPenWidth) {
    std::wstring file = Start(L"shapes");
    // Lines, frames and rectangles leave the current position where it was.
    ASSERT_EQ(S_OK, printer_->put_CurrentX(7200));
    ASSERT_EQ(S_OK, printer_->put_CurrentY(720));
    Line(720, 720, 3600, 720);  // thin and black, half an inch down
    ASSERT_EQ(S_OK, printer_->put_DrawWidth(25));  // 25 dots: 6 points
    ASSERT_EQ(S_OK, printer_->put_DrawColor(RGB(255, 0, 0)));
    Line(720, 1440, 3600, 1440);
    ASSERT_EQ(S_OK, printer_->put_DrawWidth(1));
    ASSERT_EQ(S_OK, printer_->put_DrawColor(0));
    // A row of four boxes, 1.5 to 2.5 inches down: a frame, then solid,
    // hollow and hatched rectangles.
    Frame(720, 2160, 2160, 3600);
    ASSERT_EQ(S_OK, printer_->put_FillStyle(BS_SOLID));
    ASSERT_EQ(S_OK, printer_->put_FillColor(RGB(0, 255, 0)));
    EXPECT_TRUE(Rectangle(2880, 2160, 4320, 3600));
    ASSERT_EQ(S_OK, printer_->put_FillStyle(BS_NULL));
    EXPECT_TRUE(Rectangle(5040, 2160, 6480, 3600));
    ASSERT_EQ(S_OK, printer_->put_FillStyle(BS_HATCHED));
    ASSERT_EQ(S_OK, printer_->put_FillHatch(HS_CROSS));
    ASSERT_EQ(S_OK, printer_->put_FillColor(RGB(0, 0, 255)));
    EXPECT_TRUE(Rectangle(7200, 2160, 8640, 3600));
    EXPECT_EQ(7200, Get(&_xPrinter::get_CurrentX));
    EXPECT_EQ(720, Get(&_xPrinter::get_CurrentY));
    // Three hollow circles, 3.5 inches down, half an inch in radius: the
    // current pen; a red pen of its own; a pen of 5 × 11520 ÷ 2400 + 1 = 25
    // dots. Each leaves the position at its centre.
    ASSERT_EQ(S_OK, printer_->put_FillStyle(BS_NULL));
    Variant missing, red;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
    V_VT(red.get()) = VT_I4;
    V_I4(red.get()) = RGB(255, 0, 0);
    EXPECT_TRUE(Circle(1440, 5040, 720, missing.get(), 0));
    EXPECT_EQ(1440, Get(&_xPrinter::get_CurrentX));
    EXPECT_EQ(5040, Get(&_xPrinter::get_CurrentY));
    EXPECT_TRUE(Circle(3600, 5040, 720, red.get(), 0));
    EXPECT_EQ(0, Get(&_xPrinter::get_DrawColor));
    EXPECT_TRUE(Circle(5760, 5040, 720, missing.get(), 5));
    EXPECT_EQ(1, Get(&_xPrinter::get_DrawWidth));
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];

    // The lines: one pixel of black; six of red, with round ends.
    RECT thin = FindBox(page, RECT{0, AtY(0.25), page.width, AtY(0.75)}, IsInk);
    EXPECT_NEAR(AtX(0.5), thin.left, 1);
    EXPECT_NEAR(AtX(2.5), thin.right, 1);
    EXPECT_LE(thin.bottom - thin.top, 2);
    RECT thick = FindBox(page, RECT{0, AtY(0.75), page.width, AtY(1.25)}, IsRed);
    EXPECT_NEAR(6, thick.bottom - thick.top, 1);
    EXPECT_NEAR(AtY(1) - 3, thick.top, 1);
    EXPECT_NEAR(AtX(0.5) - 3, thick.left, 1);
    EXPECT_NEAR(AtX(2.5) + 3, thick.right, 1);

    // The boxes: each outline in place, the inside as its fill says.
    for (double left : {0.5, 2.0, 3.5, 5.0}) {
        RECT area = {AtX(left) - 9, AtY(1.5) - 9, AtX(left + 1) + 9, AtY(2.5) + 9};
        ExpectBox(page, area, IsInk, RECT{AtX(left), AtY(1.5), AtX(left + 1) + 1, AtY(2.5) + 1}, "box");
    }
    auto inside = [](double left) { return RECT{AtX(left) + 3, AtY(1.5) + 3, AtX(left + 1) - 3, AtY(2.5) - 3}; };
    const int area = (72 - 6) * (72 - 6);
    EXPECT_EQ(area, Count(page, inside(0.5), IsWhite));  // the frame has no fill
    EXPECT_EQ(area, Count(page, inside(2.0), IsGreen));
    EXPECT_EQ(area, Count(page, inside(3.5), IsWhite));
    const int hatch = Count(page, inside(5.0), IsBlue);
    EXPECT_GT(hatch, area / 20);
    EXPECT_LT(hatch, area / 2);
    EXPECT_EQ(area - hatch, Count(page, inside(5.0), IsWhite));  // blue lines on white, nothing else

    // The circles: in place, hollow, red for the second, a thick ring for the third.
    for (double centre : {1.0, 2.5, 4.0}) {
        RECT area = {AtX(centre - 0.75), AtY(2.75), AtX(centre + 0.75), AtY(4.25)};
        RECT ink = FindBox(page, area, IsInk);
        EXPECT_NEAR(AtX(centre), (ink.left + ink.right) / 2, 1) << centre;
        EXPECT_NEAR(AtY(3.5), (ink.top + ink.bottom) / 2, 1) << centre;
        EXPECT_NEAR(72, ink.right - ink.left, centre == 4.0 ? 7 : 2) << centre;
        EXPECT_TRUE(IsWhite(page.At(AtX(centre), AtY(3.5)))) << centre;
    }
    EXPECT_GT(Count(page, RECT{AtX(1.75), AtY(2.75), AtX(3.25), AtY(4.25)}, IsRed), 150);
    EXPECT_EQ(0, Count(page, RECT{AtX(0.25), AtY(2.75), AtX(1.75), AtY(4.25)}, IsRed));
    auto ring = [&](double centre) {  // ink pixels across the ring's left side, on the centre line
        return Count(page, RECT{AtX(centre - 0.75), AtY(3.5), AtX(centre), AtY(3.5) + 1}, IsInk);
    };
    EXPECT_LE(ring(1.0), 2);
    EXPECT_NEAR(6, ring(4.0), 1);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Output, PicturesScaledIntoTheirRectangles) {
    HBITMAP quadrants = Quadrants(800, 600);
    HBITMAP small = Quadrants(96, 48);  // an inch by half an inch at the screen's 96 dpi
    HDC drawing = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), green = CreateSolidBrush(RGB(0, 255, 0));
    RECT whole = {0, 0, 200, 50};
    FillRect(drawing, &whole, red);
    HENHMETAFILE enhanced = CloseEnhMetaFile(drawing);
    drawing = CreateMetaFileA(nullptr);
    FillRect(drawing, &whole, green);
    HMETAFILE windows = CloseMetaFile(drawing);

    std::wstring file = Start(L"pictures");
    Paint(quadrants, 720, 720, 2880, 1440);  // in bands: 2 × 1 inches from (0.5, 0.5)
    ASSERT_EQ(S_OK, printer_->put_Fast(VARIANT_TRUE));
    Paint(quadrants, 4320, 720, 1440, 2880);  // in one piece: 1 × 2 inches from (3, 0.5)
    ASSERT_EQ(S_OK, printer_->put_Fast(VARIANT_FALSE));
    Paint(enhanced, 720, 3600, 2880, 720);  // 2 × 0.5 inches from (0.5, 2.5)
    Paint(windows, 720, 5040, 1440, 1440);  // 1 × 1 inch from (0.5, 3.5)
    Paint(small, 4320, 5040, -1, -1);       // its own size from (3, 3.5)
    Paint(GetStockObject(BLACK_PEN), 0, 0, 1440, 1440);
    auto pages = Finish(file);
    ASSERT_EQ(1u, pages.size());
    const Image& page = pages[0];
    auto notWhite = [](Rgb c) { return !IsWhite(c); };

    // Each picture fills exactly its rectangle, scaled on each axis alone.
    RECT banded = {AtX(0.5), AtY(0.5), AtX(2.5), AtY(1.5)};
    RECT fast = {AtX(3), AtY(0.5), AtX(4), AtY(2.5)};
    for (RECT r : {banded, fast}) {
        ExpectBox(page, RECT{r.left - 9, r.top - 9, r.right + 9, r.bottom + 9}, notWhite, r, "bitmap");
        // No gap between bands: not one white pixel inside.
        EXPECT_EQ(0, Count(page, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, IsWhite));
        const int quarterX = (r.right - r.left) / 4, quarterY = (r.bottom - r.top) / 4;
        EXPECT_TRUE(IsRed(page.At(r.left + quarterX, r.top + quarterY)));
        EXPECT_TRUE(IsGreen(page.At(r.right - quarterX, r.top + quarterY)));
        EXPECT_TRUE(IsBlue(page.At(r.left + quarterX, r.bottom - quarterY)));
        EXPECT_TRUE(IsDark(page.At(r.right - quarterX, r.bottom - quarterY)));
        // The halves meet in the middle.
        const int middleY = (r.top + r.bottom) / 2;
        EXPECT_TRUE(IsRed(page.At(r.left + quarterX, middleY - 2)));
        EXPECT_TRUE(IsBlue(page.At(r.left + quarterX, middleY + 1)));
    }
    ExpectBox(page, RECT{AtX(0.25), AtY(2.25), AtX(2.75), AtY(3.25)}, IsRed,
              RECT{AtX(0.5), AtY(2.5), AtX(2.5), AtY(3)}, "enhanced metafile");
    // A metafile's frame, worked out from what it draws, ends on its last
    // pixel rather than after it: scaled up sixfold, that pixel shows.
    ExpectBox(page, RECT{AtX(0.25), AtY(3.25), AtX(1.75), AtY(4.75)}, IsGreen,
              RECT{AtX(0.5), AtY(3.5), AtX(1.5), AtY(4.5)}, "Windows metafile", 2);
    ExpectBox(page, RECT{AtX(2.75), AtY(3.25), AtX(4.75), AtY(4.25)}, notWhite,
              RECT{AtX(3), AtY(3.5), AtX(4), AtY(4)}, "own size");
    // The pen drew nothing.
    EXPECT_EQ(0, Count(page, RECT{kLeft, kTop, AtX(0.5) - 2, AtY(0.5) - 2}, notWhite));
    EXPECT_TRUE(log_.Messages().empty());
    for (HGDIOBJ object : {HGDIOBJ(quadrants), HGDIOBJ(small), HGDIOBJ(red), HGDIOBJ(green)}) DeleteObject(object);
    DeleteEnhMetaFile(enhanced);
    DeleteMetaFile(windows);
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
