// Shapes and pictures recorded on an enhanced-metafile DC, which keeps every
// GDI call as a record: the bands a bitmap is sent in (their number, source
// rows, and destination rectangles, which must tile the picture), the one
// piece of the fast way, default sizes, the circle's pen of its own, and the
// screen DC and bits block given back on every path.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "printer/printer.h"
#include "support/resource_census.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const UINT kShown = MB_OK | MB_ICONEXCLAMATION;

// A 32-bit bottom-up bitmap whose first pixel of each row holds the row's
// number from the bottom, so a band's bits tell which rows it carries.
HBITMAP NumberedRows(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int row = 0; row < height; ++row) pixels[static_cast<size_t>(row) * width] = static_cast<DWORD>(row);
    return bitmap;
}

struct Record {
    DWORD type;
    std::vector<BYTE> bytes;
    template <class T>
    const T& As() const { return *reinterpret_cast<const T*>(bytes.data()); }
};

int CALLBACK Collect(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM list) {
    auto* records = reinterpret_cast<std::vector<Record>*>(list);
    const BYTE* start = reinterpret_cast<const BYTE*>(record);
    records->push_back({record->iType, std::vector<BYTE>(start, start + record->nSize)});
    return 1;
}

std::vector<Record> OfType(const std::vector<Record>& records, DWORD type) {
    std::vector<Record> found;
    for (const Record& r : records)
        if (r.type == type) found.push_back(r);
    return found;
}

// A 300-dpi page of 2400 × 3000 dots in the twips scale, drawn onto a
// recording DC.
class Recording : public ::testing::Test {
protected:
    void Begin(int32_t widthDot = 2400, int32_t heightDot = 3000, int32_t dpi = 300) {
        printer_.emplace(Printer::Detached{}, CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr));
        PrinterState& s = printer_->State();
        s.SetCreationDefaults();
        s.AdoptDeviceExtents(widthDot, heightDot, dpi, dpi);
        s.FixBaseScale();
    }
    std::vector<Record> End() {
        std::vector<Record> records;
        HENHMETAFILE recorded = CloseEnhMetaFile(printer_->ReleaseDc());
        printer_.reset();
        EnumEnhMetaFile(nullptr, recorded, Collect, &records, nullptr);
        DeleteEnhMetaFile(recorded);
        return records;
    }
    // The bitmap painted at (720, 1440) twips, 2880 × 2880: dots 150..750 across, 300..900 down.
    std::vector<EMRSTRETCHDIBITS> Bands(int width, int height, bool fast, std::vector<DWORD>* firstRows) {
        Begin();
        printer_->State().fast = fast ? VARIANT_TRUE : VARIANT_FALSE;
        HBITMAP bitmap = NumberedRows(width, height);
        Variant w, h;
        V_VT(w.get()) = V_VT(h.get()) = VT_I4;
        V_I4(w.get()) = V_I4(h.get()) = 2880;
        printer_->PaintPicture(HandleToLong(bitmap), 720, 1440, w.get(), h.get());
        DeleteObject(bitmap);
        std::vector<EMRSTRETCHDIBITS> bands;
        for (const Record& r : OfType(End(), EMR_STRETCHDIBITS)) {
            const auto& band = r.As<EMRSTRETCHDIBITS>();
            bands.push_back(band);
            firstRows->push_back(*reinterpret_cast<const DWORD*>(r.bytes.data() + band.offBitsSrc));
        }
        return bands;
    }
    // Bands from the bottom of the picture up, each starting where the one
    // below it ended, the first at the picture's bottom and the last at its top.
    static void ExpectTiling(const std::vector<EMRSTRETCHDIBITS>& bands) {
        ASSERT_FALSE(bands.empty());
        EXPECT_EQ(900, bands.front().yDest + bands.front().cyDest);
        EXPECT_EQ(300, bands.back().yDest);
        for (size_t i = 0; i < bands.size(); ++i) {
            EXPECT_EQ(150, bands[i].xDest);
            EXPECT_EQ(600, bands[i].cxDest);
            EXPECT_GT(bands[i].cyDest, 0) << i;
            if (i > 0) {
                EXPECT_EQ(bands[i - 1].yDest, bands[i].yDest + bands[i].cyDest) << i;
            }
        }
    }

    MessageLog log_;
    std::optional<Printer> printer_;
};

TEST_F(Recording, BitmapsGoInBandsOfAtMost32768BytesThatTileThePicture) {
    std::vector<DWORD> rows;
    // 800 pixels wide: 3200 bytes a row, bands of 10 rows; 600 rows, 60 bands.
    auto bands = Bands(800, 600, false, &rows);
    ASSERT_EQ(60u, bands.size());
    for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(10, bands[i].cySrc);
        EXPECT_EQ(800, bands[i].cxSrc);
        EXPECT_EQ(10 * i, rows[i]);  // band t carries rows (t - 1) × 10 up
        EXPECT_EQ(10, bands[i].cyDest);  // 600 dots in 60 bands
    }
    ExpectTiling(bands);

    // 1000 × 1005: 125 bands of 8 rows, then the top 5 rows ending at the top edge.
    rows.clear();
    bands = Bands(1000, 1005, false, &rows);
    ASSERT_EQ(126u, bands.size());
    for (size_t i = 0; i < 125; ++i) {
        EXPECT_EQ(8, bands[i].cySrc);
        EXPECT_EQ(8 * i, rows[i]);
    }
    EXPECT_EQ(5, bands[125].cySrc);
    EXPECT_EQ(1000u, rows[125]);
    ExpectTiling(bands);

    // Wider than 8192 pixels: one row per band.
    rows.clear();
    bands = Bands(10000, 3, false, &rows);
    ASSERT_EQ(3u, bands.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(1, bands[i].cySrc);
        EXPECT_EQ(i, rows[i]);
    }
    ExpectTiling(bands);

    // The fast way: one piece, whatever the size.
    for (auto size : {std::pair<int, int>{800, 600}, {1000, 1005}, {10000, 3}}) {
        rows.clear();
        bands = Bands(size.first, size.second, true, &rows);
        ASSERT_EQ(1u, bands.size());
        EXPECT_EQ(size.second, bands[0].cySrc);
        EXPECT_EQ(0u, rows[0]);
        ExpectTiling(bands);
    }
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(Recording, PictureKindsAndTheirOwnSizes) {
    // Omitted sizes become the picture's own size in logical units: a bitmap's
    // pixels at the screen's 96 dpi, a metafile's frame.
    HBITMAP bitmap = NumberedRows(96, 48);
    HDC drawing = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    Rectangle(drawing, 0, 0, 192, 96);
    HENHMETAFILE enhanced = CloseEnhMetaFile(drawing);
    drawing = CreateMetaFileA(nullptr);
    Rectangle(drawing, 0, 0, 48, 96);
    HMETAFILE windows = CloseMetaFile(drawing);
    auto handle = [](HANDLE h) { return HandleToLong(h); };

    Begin();
    printer_->SetScaleWidth(11520 / 2);  // 2 logical units to a twip across
    Variant w, h;
    auto omit = [&] {
        VariantClear(w.get());
        VariantClear(h.get());
        V_VT(w.get()) = V_VT(h.get()) = VT_ERROR;
        V_ERROR(w.get()) = V_ERROR(h.get()) = DISP_E_PARAMNOTFOUND;
    };
    omit();
    printer_->PaintPicture(handle(bitmap), 0, 0, w.get(), h.get());
    EXPECT_EQ(VT_I4, V_VT(w.get()));
    EXPECT_EQ(1440 / 2, V_I4(w.get()));
    EXPECT_EQ(720, V_I4(h.get()));
    printer_->PaintPicture(handle(enhanced), 0, 0, w.get(), nullptr);  // a size given is used as given
    EXPECT_EQ(1440 / 2, V_I4(w.get()));
    omit();
    printer_->PaintPicture(handle(windows), 0, 0, w.get(), h.get());
    // Half an inch by one, through the converted picture's frame, which ends
    // on its last pixel rather than after it.
    EXPECT_NEAR(1440 / 2 / 2, V_I4(w.get()), 10);
    EXPECT_NEAR(1440, V_I4(h.get()), 20);
    // Other handles draw nothing and say nothing.
    const size_t drawn = OfType(End(), EMR_STRETCHDIBITS).size();
    EXPECT_EQ(1u, drawn);
    Begin();
    for (HGDIOBJ other : {GetStockObject(BLACK_PEN), GetStockObject(GRAY_BRUSH), HGDIOBJ(nullptr)})
        printer_->PaintPicture(handle(other), 0, 0, nullptr, nullptr);
    auto records = End();
    EXPECT_EQ(2u, records.size());  // the recording's header and end only
    EXPECT_TRUE(log_.Messages().empty());
    DeleteObject(bitmap);
    DeleteEnhMetaFile(enhanced);
    DeleteMetaFile(windows);
}

TEST_F(Recording, CircleDrawsWithAPenOfItsOwnForOneCall) {
    Begin(4800, 6600, 600);  // 4800 dots and 11520 logical units across
    printer_->SetDrawColor(RGB(0, 0, 255));
    const HGDIOBJ pen = GetCurrentObject(printer_->Dc(), OBJ_PEN);
    Variant missing, red;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
    V_VT(red.get()) = VT_I2;
    V_I2(red.get()) = 255;
    EXPECT_TRUE(printer_->Circle(2880, 2880, 720, missing.get(), 0));
    EXPECT_TRUE(printer_->Circle(2880.5f, 1200, 720, missing.get(), 2));  // nearest(2 × 11520 ÷ 4800 + 1) = 6 dots
    EXPECT_EQ(2880, printer_->CurrentX());
    EXPECT_EQ(1200, printer_->CurrentY());
    EXPECT_TRUE(printer_->Circle(100, 100, 50, red.get(), 0));
    EXPECT_EQ(RGB(0, 0, 255), static_cast<COLORREF>(printer_->DrawColor()));
    EXPECT_EQ(1, printer_->DrawWidth());
    EXPECT_EQ(pen, GetCurrentObject(printer_->Dc(), OBJ_PEN));
    auto records = End();

    auto pens = OfType(records, EMR_CREATEPEN);
    ASSERT_EQ(3u, pens.size());  // DrawColor's, then one for each of the last two circles
    EXPECT_EQ(6, pens[1].As<EMRCREATEPEN>().lopn.lopnWidth.x);
    EXPECT_EQ(RGB(0, 0, 255), pens[1].As<EMRCREATEPEN>().lopn.lopnColor);
    EXPECT_EQ(1, pens[2].As<EMRCREATEPEN>().lopn.lopnWidth.x);
    EXPECT_EQ(255u, pens[2].As<EMRCREATEPEN>().lopn.lopnColor);
    auto ellipses = OfType(records, EMR_ELLIPSE);
    ASSERT_EQ(3u, ellipses.size());
    // Centre ± radius is rounded in logical units before it goes to dots:
    // 2160.5 and 3600.5 twips round to the even 2160 and 3600. (The record
    // keeps the box with its right and bottom edges inclusive.)
    for (const Record& ellipse : {ellipses[0], ellipses[1]}) {
        EXPECT_EQ(900, ellipse.As<EMRELLIPSE>().rclBox.left);
        EXPECT_EQ(1500 - 1, ellipse.As<EMRELLIPSE>().rclBox.right);
    }
    EXPECT_EQ(900, ellipses[0].As<EMRELLIPSE>().rclBox.top);
    EXPECT_EQ(200, ellipses[1].As<EMRELLIPSE>().rclBox.top);
    EXPECT_EQ(800 - 1, ellipses[1].As<EMRELLIPSE>().rclBox.bottom);
    // Each temporary pen is put back out of the DC and deleted after its circle.
    auto deleted = OfType(records, EMR_DELETEOBJECT);
    EXPECT_EQ(2u, deleted.size());
    EXPECT_TRUE(log_.Messages().empty());
}

TEST(PictureResources, ScreenDcAndBitsBlockAreGivenBackOnEveryPath) {
    if (LiveGdiObjects() < 0) GTEST_SKIP() << "GDI handle table not readable";
    MessageLog log;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP surface = CreateCompatibleBitmap(dc, 32, 32);
    SelectObject(dc, surface);
    std::optional<Printer> printer;
    printer.emplace(Printer::Detached{}, dc);
    PrinterState& s = printer->State();
    s.SetCreationDefaults();
    s.AdoptDeviceExtents(2400, 3000, 300, 300);
    s.FixBaseScale();

    // One pixel wide: bands of 8192 rows. With 41000 rows the fifth band
    // would start at row 32768, beyond the 16-bit row numbers: a failure after
    // four bands were sent, with the block and the screen DC in hand. The
    // fast way refuses a bitmap of more than 32767 rows before it starts.
    HBITMAP tall = CreateBitmap(1, 41000, 1, 1, nullptr);
    HBITMAP small = CreateBitmap(40, 30, 1, 1, nullptr);
    Variant w, h;
    V_VT(w.get()) = V_VT(h.get()) = VT_I4;
    V_I4(w.get()) = V_I4(h.get()) = 1440;
    auto paint = [&](HBITMAP bitmap, bool fast) {
        printer->State().fast = fast ? VARIANT_TRUE : VARIANT_FALSE;
        printer->PaintPicture(HandleToLong(bitmap), 0, 0, w.get(), h.get());
    };
    auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS counters = {sizeof counters};
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
        return static_cast<long>(counters.PagefileUsage);
    };
    for (int i = 0; i < 3; ++i) paint(tall, false);  // the platform's caches fill up first
    log.Clear();
    const long gdi = LiveGdiObjects();
    const long handles = LiveKernelHandles();
    const long memory = privateBytes();
    for (int i = 0; i < 100; ++i) {  // 100 blocks of 32 KB
        paint(tall, false);
        paint(tall, true);
        paint(small, i % 2 == 0);
    }
    EXPECT_EQ(gdi, LiveGdiObjects());
    EXPECT_EQ(handles, LiveKernelHandles());
    EXPECT_LT(privateBytes() - memory, 1536 * 1024);
    auto messages = log.Messages();
    ASSERT_EQ(200u, messages.size());
    EXPECT_EQ(kShown, messages[0].style);
    EXPECT_EQ(L"Printer PaintPicture error: 6. Overflow", messages[0].text);
    EXPECT_EQ(L"Printer PaintPicture error: 6. Overflow", messages[1].text);
    printer.reset();
    DeleteObject(surface);
    DeleteObject(tall);
    DeleteObject(small);
}

}  // namespace
