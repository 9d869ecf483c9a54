// The printer members over a DC of known extents, without a printer: a
// memory DC stands in for the device and the state record is set as PrintInit
// would set it for a 600-dpi page of 4800 × 6600 dots. Checks the attribute
// rebuilds (and that every replaced object is deleted), the font store, the
// current position, text advance and the members' failure reports.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "printer/printer.h"
#include "support/resource_census.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const UINT kShown = MB_OK | MB_ICONEXCLAMATION;

// A 600-dpi page of 4800 × 6600 dots (twips scale) over a memory DC.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        HDC dc = CreateCompatibleDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(dc, 64, 64);
        SelectObject(dc, bitmap_);
        printer_.emplace(Printer::Detached{}, dc);
        PrinterState& s = printer_->State();
        s.SetCreationDefaults();
        s.AdoptDeviceExtents(4800, 6600, 600, 600);
        s.FixBaseScale();
    }
    void TearDown() override {
        printer_.reset();
        DeleteObject(bitmap_);
    }
    Printer& P() { return *printer_; }
    HDC Dc() { return printer_->Dc(); }

    MessageLog log_;
    HBITMAP bitmap_ = nullptr;
    std::optional<Printer> printer_;
};

TEST_F(PageTest, FontSizeGoesToDotsAndBack) {
    P().SetFontSize(240);
    EXPECT_EQ(-100, P().State().logFont.font.lfHeight);
    EXPECT_EQ(240, P().FontSize());
    // The font in the DC is the one rebuilt from the description.
    LOGFONTA selected = {};
    GetObjectA(GetCurrentObject(Dc(), OBJ_FONT), sizeof selected, &selected);
    EXPECT_EQ(-100, selected.lfHeight);
    // Two roundings: 7 twips are 2.9 dots → 3 dots → 7.2 twips → 7.
    P().SetFontSize(7);
    EXPECT_EQ(-3, P().State().logFont.font.lfHeight);
    EXPECT_EQ(7, P().FontSize());
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PageTest, WritingCurrentXConvertsYThroughTheLogicalScale) {
    P().SetScaleWidth(1000);
    P().SetScaleHeight(1000);
    MoveToEx(Dc(), 0, 101, nullptr);
    P().SetCurrentX(0);
    POINT at = {};
    GetCurrentPositionEx(Dc(), &at);
    EXPECT_EQ(0, at.x);
    EXPECT_EQ(99, at.y);  // 101 dots → 15 units → 99 dots
    EXPECT_EQ(15, P().CurrentY());
    P().SetCurrentY(500);
    GetCurrentPositionEx(Dc(), &at);
    EXPECT_EQ(3300, at.y);
    EXPECT_EQ(500, P().CurrentY());
}

TEST_F(PageTest, ScaleWritesTouchNothingElse) {
    P().SetScaleWidth(1000);
    EXPECT_EQ(1000, P().ScaleWidth());
    EXPECT_EQ(4800, P().WidthDot());
    EXPECT_EQ(11520, P().State().baseScaleWidth);
    P().SetScaleWidth(-5);
    EXPECT_EQ(-5, P().ScaleWidth());
    EXPECT_EQ(-1, P().Convert(Conversion::DotToLogX, 960));
    EXPECT_EQ(-960, P().Convert(Conversion::LogToDOTX, 1));
}

TEST_F(PageTest, FontNameStoreHolds33Units) {
    const std::wstring name32(32, L'A');
    P().SetFontName(name32);
    EXPECT_TRUE(log_.Messages().empty());
    EXPECT_EQ(name32, P().FontName());
    HGDIOBJ before = GetCurrentObject(Dc(), OBJ_FONT);

    const std::wstring name33 = L"BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBC";  // 33 characters
    P().SetFontName(name33);
    auto messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Printer class FontName error: 9. Subscript out of range", messages[0].text);
    EXPECT_EQ(kShown, messages[0].style);
    EXPECT_EQ(L"Tessary", messages[0].caption);
    // The font stays; the store has the 33 units and no NUL.
    EXPECT_EQ(before, GetCurrentObject(Dc(), OBJ_FONT));
    EXPECT_EQ(name33, P().FontName());
    // A later rebuild gets a name the platform can read: cut at 31 units.
    P().SetFontSize(240);
    LOGFONTA selected = {};
    GetObjectA(GetCurrentObject(Dc(), OBJ_FONT), sizeof selected, &selected);
    EXPECT_EQ(std::string(31, 'B'), std::string(selected.lfFaceName));

    // A shorter name keeps the old units after its NUL, but reads up to it.
    log_.Clear();
    P().SetFontName(L"Arial");
    EXPECT_EQ(L"Arial", P().FontName());
    EXPECT_EQ(L'B', P().State().logFont.FaceUnit(10));
    // An embedded NUL ends the name there.
    P().SetFontName(std::wstring(L"Cour\0ier", 8));
    EXPECT_EQ(L"Cour", P().FontName());
    // A very long name fails the same way, without harm.
    P().SetFontName(std::wstring(100000, L'x'));
    EXPECT_EQ(std::wstring(33, L'x'), P().FontName());
    EXPECT_EQ(1u, log_.Messages().size());
}

TEST_F(PageTest, FontBoldIsWeight700) {
    VARIANT_BOOL values[] = {1, VARIANT_TRUE};
    for (VARIANT_BOOL v : values) {
        P().SetFontBold(v != 0);
        EXPECT_EQ(700, P().State().logFont.font.lfWeight);
        EXPECT_TRUE(P().FontBold());
    }
    P().SetFontBold(false);
    EXPECT_EQ(400, P().State().logFont.font.lfWeight);
    P().State().logFont.font.lfWeight = 800;
    EXPECT_FALSE(P().FontBold());
}

TEST_F(PageTest, PenAndBrushAreRebuiltIntoTheDc) {
    P().SetDrawWidth(5);
    P().SetDrawStyle(PS_DOT);
    P().SetDrawColor(255);
    EXPECT_EQ(5, P().DrawWidth());
    EXPECT_EQ(2, P().DrawStyle());
    EXPECT_EQ(255, P().DrawColor());
    LOGPEN pen = {};
    ASSERT_EQ(static_cast<int>(sizeof pen), GetObjectA(GetCurrentObject(Dc(), OBJ_PEN), sizeof pen, &pen));
    EXPECT_EQ(5, pen.lopnWidth.x);
    EXPECT_EQ(static_cast<UINT>(PS_DOT), pen.lopnStyle);
    EXPECT_EQ(255u, pen.lopnColor);

    P().SetFillStyle(BS_HATCHED);
    LOGBRUSH brush = {};
    ASSERT_EQ(static_cast<int>(sizeof brush), GetObjectA(GetCurrentObject(Dc(), OBJ_BRUSH), sizeof brush, &brush));
    EXPECT_EQ(static_cast<UINT>(BS_HATCHED), brush.lbStyle);
    EXPECT_EQ(0xFFFFFFu, brush.lbColor);
    EXPECT_EQ(static_cast<ULONG_PTR>(HS_BDIAGONAL), brush.lbHatch);
}

TEST_F(PageTest, EveryReplacedObjectIsDeleted) {
    if (LiveGdiObjects() < 0) GTEST_SKIP() << "GDI handle table not readable";
    P().SetDrawWidth(2);
    P().SetFillColor(1);
    P().SetFontSize(100);
    long before = LiveGdiObjects();
    for (int i = 0; i < 200; ++i) {
        P().SetDrawWidth(i % 7);
        P().SetDrawColor(i);
        P().SetFillColor(i);
        P().SetFillHatch(i % 6);
        P().SetFontSize(100 + i);
        P().SetFontBold(i % 2 == 0);
        P().SetFontName(i % 2 ? L"Arial" : L"Courier New");
    }
    EXPECT_EQ(before, LiveGdiObjects());
    // A description the platform refuses creates nothing and keeps the value.
    HGDIOBJ brush = GetCurrentObject(Dc(), OBJ_BRUSH);
    P().SetFillStyle(12345);
    EXPECT_EQ(12345, P().FillStyle());
    EXPECT_EQ(before, LiveGdiObjects());
    (void)brush;
}

TEST_F(PageTest, AClientsOwnObjectInTheDcIsNotDeleted) {
    // A client that selects a font of its own through hdc keeps it: the
    // rebuild replaces it in the DC but deletes only the object's own.
    HFONT mine = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    P().SetFontSize(100);
    SelectObject(Dc(), mine);
    P().SetFontSize(200);
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(mine));
    EXPECT_NE(static_cast<HGDIOBJ>(mine), GetCurrentObject(Dc(), OBJ_FONT));
    DeleteObject(mine);
}

TEST_F(PageTest, PrintMovesDownOneCharacterHeightAndBackToTheLeft) {
    P().SetFontSize(240);  // 100 dots
    P().SetCurrentX(720);
    P().Print(L"A");
    EXPECT_EQ(0, P().CurrentX());
    EXPECT_EQ(240, P().CurrentY());
    P().Print(L"B");
    EXPECT_EQ(480, P().CurrentY());
    // Text height is the character cell: at least the line advance.
    EXPECT_GE(P().TextHeight(L"Ag"), 240);
    EXPECT_GT(P().TextWidth(L"AAAA"), P().TextWidth(L"A"));
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PageTest, PrintWrappedEndsAtTheBlockBottomAndKeepsUpdatingThePosition) {
    P().SetFontSize(240);
    const std::wstring text = L"one two three four five six seven eight nine ten eleven twelve";
    P().PrintWrapped(text, 0, 1440, 1440, 0);
    long bottom = P().CurrentY();
    EXPECT_GT(bottom, 1440 + 240);  // more than one line
    EXPECT_EQ(TA_UPDATECP, GetTextAlign(Dc()) & TA_UPDATECP);
    // DT_MODIFYSTRING in the caller's flags cannot make the platform write
    // into the text.
    P().PrintWrapped(text, 0, 100, 0, DT_MODIFYSTRING | DT_END_ELLIPSIS | DT_SINGLELINE);
    // Nor can any other combination end the process: two ellipsis styles at
    // once on a narrow block (Wine aborts on those), every bit set, and the
    // flags that would measure instead of drawing or read a tab width.
    for (long flags : {0xC000L, 0x4C000L, -1L, long(DT_CALCRECT | DT_TABSTOP | 0x0800FF00)})
        P().PrintWrapped(L"abc", 0, 4, 100, flags);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PageTest, StartDocThatThePlatformRefuses) {
    // A memory DC prints no documents: StartDocA fails by its result.
    EXPECT_FALSE(P().StartDoc(L"Refused"));
    EXPECT_EQ(0, P().PrintJobID());
    EXPECT_FALSE(P().StartPage());
    EXPECT_FALSE(P().EndDoc());
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(PageTest, ConversionFailuresAreShownByTheConversionItself) {
    P().SetScaleHeight(0);
    P().SetFontSize(240);  // LogToDOTY divides by the zero scale
    auto messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Printer class LogToDOTY error: 11. Division by zero", messages[0].text);
    EXPECT_EQ(kShown, messages[0].style);
    EXPECT_EQ(0, P().State().logFont.font.lfHeight);  // the member went on with 0
    log_.Clear();
    P().SetScaleHeight(15840);
    EXPECT_EQ(0, P().Convert(Conversion::MMToLogX, 1491309));
    messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Printer class MMToLogX error: 6. Overflow", messages[0].text);
}

TEST(PrinterWithoutDc, WritesStoreValuesAndReadsGiveWhatThePlatformGives) {
    MessageLog log;
    if (LiveGdiObjects() < 0) GTEST_SKIP() << "GDI handle table not readable";
    auto cycle = [&]() {
        Printer p(Printer::Detached{}, nullptr);
        for (int i = 0; i < 50; ++i) {
            p.SetDrawWidth(5);
            p.SetFillColor(255);
            p.SetFontBold(true);
        }
        EXPECT_EQ(5, p.DrawWidth());
        EXPECT_EQ(255, p.FillColor());
        EXPECT_TRUE(p.FontBold());
        EXPECT_EQ(0, p.Hdc());
        EXPECT_FALSE(p.IsPrinter());
        EXPECT_FALSE(p.StartDoc(L"doc"));
        EXPECT_FALSE(p.StartPage());
        EXPECT_FALSE(p.EndPage());
        EXPECT_FALSE(p.EndDoc());
        EXPECT_EQ(0, p.PrintJobID());
        EXPECT_EQ(0, p.OffsetX());
        EXPECT_TRUE(log.Messages().empty());
        EXPECT_EQ(0, p.PageWidth());
        auto messages = log.Messages();
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ(L"Printer class PageWidth error: 11. Division by zero", messages[0].text);
        log.Clear();
        EXPECT_EQ(L"", p.DeviceName());
        messages = log.Messages();
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ(L"Printer class DeviceName error: 5. Invalid procedure call or argument", messages[0].text);
        log.Clear();
    };
    cycle();  // the first font and brush fill the platform's caches
    long before = LiveGdiObjects();
    cycle();
    EXPECT_EQ(before, LiveGdiObjects());  // the objects made without a DC are gone too
}

TEST(PrinterWithoutDc, DeviceNameDropsTheTrailingNul) {
    MessageLog log;
    Printer p(Printer::Detached{}, nullptr);
    p.State().deviceName = std::wstring(L"Proof Letter\0", 13);
    EXPECT_EQ(L"Proof Letter", p.DeviceName());
    p.State().deviceName = std::wstring(L"\0", 1);
    EXPECT_EQ(L"", p.DeviceName());
    EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
