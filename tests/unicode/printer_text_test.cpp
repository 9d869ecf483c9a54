// xPrinter with every text of the table: printed (rendered with Ghostscript,
// each line where and as wide as the platform's own wide calls draw the same
// text on the same DC), measured (TextWidth and TextHeight against
// GetTextExtentPoint32W), as a face name (the font the DC really got), and as
// the names of a document and of its output file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Tessary.h"
#include "printer/printer_test_support.h"
#include "support/test_support.h"
#include "support/unicode_texts.h"

using namespace tessary;
using namespace tessary::test;

namespace {

// A proportional face with Latin, Greek and more: best-fit forms (l for ł,
// O for Ω) have other widths than the exact characters.
const wchar_t kFace[] = L"DejaVu Sans";

// Every text of the table, and the one with an embedded NUL.
std::vector<std::wstring> AllTexts() {
    std::vector<std::wstring> texts;
    for (const UnicodeText& t : UnicodeTexts()) texts.push_back(t.text);
    texts.push_back(TextWithNul());
    return texts;
}

// The text as an 8-bit conversion with best fit would have made it.
std::wstring BestFit(const std::wstring& text) {
    std::string bytes(text.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                static_cast<int>(bytes.size()), nullptr, nullptr);
    std::wstring back(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, &back[0], n);
    return back;
}

class UnicodePrinter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        p_ = library_.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(p_);
        // One logical unit is one dot: the members' answers are the platform's numbers.
        LONG dots = 0;
        p_->get_WidthDot(&dots);
        p_->put_ScaleWidth(dots);
        p_->get_HeightDot(&dots);
        p_->put_ScaleHeight(dots);
        SetFont(kFace);
        LONG size = 60;
        p_->put_FontSize(&size);
        LONG dc = 0;
        p_->get_hdc(&dc);
        dc_ = static_cast<HDC>(LongToHandle(dc));
        ASSERT_TRUE(dc_);
    }
    void SetFont(const std::wstring& face) {
        Bstr b(face);
        BSTR name = b.get();
        p_->put_FontName(&name);
    }
    std::wstring FontName() {
        Bstr name;
        p_->get_FontName(name.put());
        return ToWide(name.get());
    }
    // The face of the font selected in the DC, as the platform describes it.
    std::wstring SelectedFace() {
        LOGFONTW font = {};
        GetObjectW(GetCurrentObject(dc_, OBJ_FONT), sizeof font, &font);
        return font.lfFaceName;
    }
    SIZE WideExtent(const std::wstring& text) {
        SIZE extent = {};
        GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &extent);
        return extent;
    }
    LONG Measure(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(BSTR*, LONG*), const std::wstring& text) {
        Bstr b(text);
        BSTR t = b.get();
        LONG result = -1;
        EXPECT_EQ(S_OK, (p_.get()->*member)(&t, &result));
        return result;
    }
    bool Document(const std::wstring& name, const std::wstring& file) {
        Bstr doc(name), out(file);
        BSTR d = doc.get(), o = out.get();
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, p_->StartDoc(&d, &o, &ok));
        return ok == VARIANT_TRUE;
    }
    void Bracket(HRESULT (STDMETHODCALLTYPE _xPrinter::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, (p_.get()->*member)(&ok));
        EXPECT_EQ(VARIANT_TRUE, ok);
    }

    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
    ComPtr<_xPrinter> p_;
    HDC dc_ = nullptr;
};

TEST_F(UnicodePrinter, TextWidthAndHeightAreTheWideExtents) {
    ASSERT_EQ(kFace, SelectedFace()) << "the test's face is missing: the widths would prove little";
    int telling = 0;  // texts whose best-fit form the font measures otherwise
    const std::vector<std::wstring> texts = AllTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::wstring& text = texts[i];
        const SIZE exact = WideExtent(text);
        EXPECT_EQ(exact.cx, Measure(&_xPrinter::TextWidth, text)) << "text " << i;
        EXPECT_EQ(exact.cy, Measure(&_xPrinter::TextHeight, text)) << "text " << i;
        const std::wstring fitted = BestFit(text);
        if (fitted != text && WideExtent(fitted).cx != exact.cx) ++telling;
    }
    EXPECT_GE(telling, 2) << "no text here would tell a best-fit conversion from the exact text";

    // A double-byte text is measured whole: more than its first half.
    const std::wstring japanese = UnicodeTexts()[4].text;
    ASSERT_STREQ("japanese", UnicodeTexts()[4].label);
    EXPECT_GT(Measure(&_xPrinter::TextWidth, japanese), WideExtent(japanese.substr(0, japanese.size() / 2)).cx);
    EXPECT_TRUE(log_.Messages().empty());
}

// Each text as pPrint (left column) and pPrintWrapped (right column) on page
// 1; page 2 holds the same texts drawn by TextOutW and DrawTextW on the same
// DC. Each line's ink must be where and as wide as the platform's own.
TEST_F(UnicodePrinter, PrintedLinesLandAsTheWideCallsDrawThem) {
    if (!GhostscriptAvailable()) GTEST_SKIP() << "Ghostscript is not installed";
    const std::vector<std::wstring> texts = AllTexts();
    const LONG kRow = 120, kRight = 1200;
    const std::wstring file = OutputDir() + L"unicode-lines.ps";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(Document(L"Unicode lines", file));

    Bracket(&_xPrinter::StartPage);
    for (size_t i = 0; i < texts.size(); ++i) {
        p_->put_CurrentX(0);
        p_->put_CurrentY(static_cast<LONG>(i) * kRow);
        Bstr b(texts[i]);
        BSTR t = b.get();
        p_->pPrint(&t);
        LONG left = kRight, right = 2 * kRight, top = static_cast<LONG>(i) * kRow, flags = 0;
        p_->pPrintWrapped(&t, &left, &right, &top, &flags);
    }
    Bracket(&_xPrinter::EndPage);

    Bracket(&_xPrinter::StartPage);
    for (size_t i = 0; i < texts.size(); ++i) {
        const int top = static_cast<int>(i) * kRow;
        MoveToEx(dc_, 0, top, nullptr);  // text output starts at the current position
        TextOutW(dc_, 0, top, texts[i].data(), static_cast<int>(texts[i].size()));
        SetTextAlign(dc_, TA_NOUPDATECP);
        RECT box = {kRight, top, 2 * kRight, 0};
        DrawTextW(dc_, texts[i].c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK);
        DrawTextW(dc_, texts[i].c_str(), -1, &box, DT_WORDBREAK);
        SetTextAlign(dc_, TA_UPDATECP);
    }
    Bracket(&_xPrinter::EndPage);
    Bracket(&_xPrinter::EndDoc);

    const std::vector<Image> pages = RenderPages(file);
    ASSERT_EQ(2u, pages.size());
    // The printable area starts 18, 36 points into the page; 300 dots are 72 points.
    auto points = [](int dots) { return dots * 72 / 300; };
    int inked = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        for (int column = 0; column < 2; ++column) {
            RECT band = {18 + points(column * kRight), 36 + points(static_cast<int>(i) * kRow),
                         18 + points((column + 1) * kRight), 36 + points(static_cast<int>(i + 1) * kRow)};
            const RECT ours = FindBox(pages[0], band, IsInk);
            const RECT theirs = FindBox(pages[1], band, IsInk);
            EXPECT_EQ(theirs.left, ours.left) << "line " << i << ", column " << column;
            EXPECT_EQ(theirs.right, ours.right) << "line " << i << ", column " << column;
            EXPECT_EQ(theirs.top, ours.top) << "line " << i << ", column " << column;
            EXPECT_EQ(theirs.bottom, ours.bottom) << "line " << i << ", column " << column;
            inked += theirs.right > theirs.left ? 1 : 0;
        }
    }
    EXPECT_GE(inked, static_cast<int>(texts.size())) << "too few lines have ink to compare";
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(UnicodePrinter, FaceNamesRoundTripWithinTheirStore) {
    for (const UnicodeText& t : UnicodeTexts()) {
        SetFont(t.text);
        EXPECT_EQ(t.text, FontName()) << t.label;
        EXPECT_EQ(t.text, SelectedFace()) << t.label;  // the font asked of the platform
    }
    // 32 units of a character outside every 8-bit code page, then 33.
    const std::wstring name32(32, L'\u0142');
    SetFont(name32);
    EXPECT_EQ(name32, FontName());
    EXPECT_TRUE(log_.Messages().empty());
    SetFont(name32 + L'\u0142');
    const auto messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Printer class FontName error: 9. Subscript out of range", messages[0].text);
}

TEST_F(UnicodePrinter, DocumentAndOutputFileKeepTheirNames) {
    for (const UnicodeText& t : UnicodeTexts()) {
        const std::wstring file = OutputDir() + t.text + L".ps";
        DeleteFileW(file.c_str());
        ASSERT_TRUE(Document(t.text, file)) << t.label;
        Bracket(&_xPrinter::StartPage);
        Bracket(&_xPrinter::EndPage);
        Bracket(&_xPrinter::EndDoc);
        // The file is there under exactly its name, and nowhere else.
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW(file.c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, search) << t.label;
        FindClose(search);
        EXPECT_EQ(t.text + L".ps", std::wstring(found.cFileName)) << t.label;
        DeleteFileW(file.c_str());
        const std::wstring fitted = OutputDir() + BestFit(t.text) + L".ps";
        if (fitted != file) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(fitted.c_str())) << t.label;
        }

        // The document's name goes where the platform's own StartDocW puts it.
        const std::wstring reference = OutputDir() + L"unicode-reference.ps";
        DOCINFOW info = {sizeof info, t.text.c_str(), reference.c_str()};
        ASSERT_GT(StartDocW(dc_, &info), 0);
        ::EndDoc(dc_);
        const std::string theirs = ReadFile(reference);
        ASSERT_TRUE(Document(t.text, file));
        Bracket(&_xPrinter::EndDoc);
        const std::string ours = ReadFile(file);
        auto title = [](const std::string& ps) {
            size_t at = ps.find("%%Title:");
            return at == std::string::npos ? std::string() : ps.substr(at, ps.find('\n', at) - at);
        };
        EXPECT_FALSE(title(theirs).empty()) << t.label;
        EXPECT_EQ(title(theirs), title(ours)) << t.label;
        DeleteFileW(file.c_str());
    }
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
