// Pictures on the printer object's DC: bitmaps (in bands, or in one piece
// when Fast is set), Windows metafiles and enhanced metafiles, scaled to a
// rectangle in logical units; an omitted size is the picture's own.
#include "printer/printer.h"

#include <cmath>

#include "frame/errors.h"
#include "frame/variant_convert.h"
#include "printer/printer_math.h"

namespace tessary {

using namespace printer_math;

namespace {

struct EnhMetafileTraits {
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};
using UniqueEnhMetafile = UniqueHandle<HENHMETAFILE, EnhMetafileTraits>;

// A zero-filled fixed block for picture rows; an allocation the platform
// refuses is the run-time's out-of-memory error.
UniqueGlobal AllocateRows(int32_t rows, int32_t width) {
    const int32_t bytes = CheckedMul(CheckedMul(rows, width), 4);
    UniqueGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes)));
    if (!block) ThrowRuntime(kOutOfMemory);
    return block;
}

// The dots per inch of the screen, where a bitmap's pixels have their size.
int ScreenDpi(Axis axis) {
    WindowDc screen(nullptr);
    int dpi = screen.get() ? GetDeviceCaps(screen.get(), axis == Axis::X ? LOGPIXELSX : LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

constexpr double kHundredthsOfMillimetrePerInch = 2540.0;

}  // namespace

void Printer::PaintPicture(long handle, long x, long y, VARIANT* width, VARIANT* height) {
    Showing(L"Printer PaintPicture error: ", [&] {
        // Picture handles arrive as 32-bit values; sign-extended they are the handle again.
        HGDIOBJ picture = LongToHandle(handle);
        switch (picture ? GetObjectType(picture) : 0) {
        case OBJ_ENHMETAFILE:
            PlayMetafile(static_cast<HENHMETAFILE>(picture), x, y, width, height);
            break;
        case OBJ_METAFILE: {
            // The older form is converted to an enhanced metafile, which
            // plays into a rectangle; the caller's metafile stays as it is.
            auto metafile = static_cast<HMETAFILE>(picture);
            const UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
            if (size == 0) return;
            UniqueEnhMetafile converted;
            {
                UniqueGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
                if (!block) ThrowRuntime(kOutOfMemory);
                GlobalLockGuard bits(block.get());
                GetMetaFileBitsEx(metafile, size, bits.get());
                // No suggested size: the picture is framed by its own extent
                // and scaled from there into the destination rectangle.
                METAFILEPICT description = {MM_ANISOTROPIC, 0, 0, nullptr};
                converted.reset(SetWinMetaFileBits(size, static_cast<const BYTE*>(bits.get()), nullptr, &description));
            }
            if (!converted) return;
            PlayMetafile(converted.get(), x, y, width, height);
            break;
        }
        case OBJ_BITMAP: {
            auto bitmap = static_cast<HBITMAP>(picture);
            BITMAP info = {};
            if (!GetObjectW(bitmap, sizeof info, &info)) return;
            // A bitmap's own size is its pixels at the screen's resolution.
            long w = PictureSize(width, Axis::X, info.bmWidth, ScreenDpi(Axis::X));
            long h = PictureSize(height, Axis::Y, info.bmHeight, ScreenDpi(Axis::Y));
            SendBitmap(bitmap, info, x, y, w, h);
            break;
        }
        default:
            // Another kind of handle (a pen, a brush, none): nothing to draw.
            break;
        }
    });
}

long Printer::PictureSize(VARIANT* given, Axis axis, double ownUnits, double unitsPerInch) {
    if (given && !IsMissing(*given)) return VariantToLong(*given);
    // Inches in twips, then twips in the current logical scale, as the
    // millimetre and inch conversions relate them.
    const bool x = axis == Axis::X;
    const long size = Exact(ownUnits)
                          .Mul(kTwipsPerInch)
                          .Div(unitsPerInch)
                          .Mul(x ? state_.scaleWidth : state_.scaleHeight)
                          .Div(x ? state_.baseScaleWidth : state_.baseScaleHeight)
                          .Round();
    if (given) {
        VariantClear(given);
        V_VT(given) = VT_I4;
        V_I4(given) = size;
    }
    return size;
}

void Printer::PlayMetafile(HENHMETAFILE metafile, long x, long y, VARIANT* width, VARIANT* height) {
    // A metafile's own size is its frame, in hundredths of a millimetre.
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    const long w = PictureSize(width, Axis::X, header.rclFrame.right - header.rclFrame.left,
                               kHundredthsOfMillimetrePerInch);
    const long h = PictureSize(height, Axis::Y, header.rclFrame.bottom - header.rclFrame.top,
                               kHundredthsOfMillimetrePerInch);
    // The far edges are worked out here in double precision throughout, so
    // that a large intermediate product does not overflow.
    RECT box;
    box.left = Convert(Conversion::LogToDOTX, x);
    box.top = Convert(Conversion::LogToDOTY, y);
    box.right = Exact(x).Add(w).Mul(state_.widthDot).Div(state_.scaleWidth).Round();
    box.bottom = Exact(y).Add(h).Mul(state_.heightDot).Div(state_.scaleHeight).Round();
    PlayEnhMetaFile(dc_.get(), metafile, &box);
}

void Printer::SendBitmap(HBITMAP bitmap, const BITMAP& info, long x, long y, long width, long height) {
    HDC dc = dc_.get();
    WindowDc screen(nullptr);
    const int32_t pixelsWide = info.bmWidth;
    const int32_t pixelsHigh = info.bmHeight;

    // Rows are fetched bottom-up (row 0 is the picture's bottom row), four
    // bytes a pixel.
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = pixelsWide;
    header.bmiHeader.biHeight = pixelsHigh;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    auto fetch = [&](int32_t firstRow, int32_t rows, void* bits) {
        header.bmiHeader.biHeight = pixelsHigh;
        GetDIBits(screen.get(), bitmap, static_cast<UINT>(firstRow), static_cast<UINT>(rows), bits, &header,
                  DIB_RGB_COLORS);
        header.bmiHeader.biHeight = rows;
    };

    // Every piece has the picture's horizontal place and width.
    const long left = Convert(Conversion::LogToDOTX, x);
    const long wide = Convert(Conversion::LogToDOTX, width);
    const long pictureBottom = Convert(Conversion::LogToDOTY, Exact(y).Add(height).Round());

    if (state_.fast) {
        // One piece: the whole bitmap in one block.
        const int16_t rows = CheckedInt16(pixelsHigh);
        UniqueGlobal block = AllocateRows(rows, pixelsWide);
        GlobalLockGuard bits(block.get());
        fetch(pixelsHigh - rows, rows, bits.get());
        const long top = Convert(Conversion::LogToDOTY, y);
        StretchDIBits(dc, left, top, wide, CheckedSub(pictureBottom, top), 0, 0, pixelsWide, rows, bits.get(), &header,
                      DIB_RGB_COLORS, SRCCOPY);
        return;
    }

    // Bands of at most 32768 bytes (one row when a row alone is larger),
    // from the bottom of the picture up. Each band's top edge is worked out
    // from its number, not added up, so the bands tile the destination
    // without gaps or overlaps whatever the rounding.
    const double fitting = std::floor(Exact(32768).Div(CheckedMul(pixelsWide, 4)).Value());
    int16_t rowsPerBand = CheckedInt16(static_cast<int32_t>(fitting));
    if (rowsPerBand == 0) rowsPerBand = 1;
    const int16_t fullBands = CheckedInt16(pixelsHigh / rowsPerBand);
    const int32_t rest = pixelsHigh % rowsPerBand;
    UniqueGlobal block = AllocateRows(rowsPerBand, pixelsWide);
    GlobalLockGuard bits(block.get());
    long previousTop = pictureBottom;
    for (int32_t band = 1; band <= fullBands; ++band) {
        const int16_t firstRow = CheckedInt16(CheckedMul(band - 1, rowsPerBand));
        fetch(firstRow, rowsPerBand, bits.get());
        const double above = Exact(height).Mul(rowsPerBand).Mul(band).Div(pixelsHigh).Value();
        const long top = Convert(Conversion::LogToDOTY, Exact(y).Add(height).Sub(above).Round());
        StretchDIBits(dc, left, top, wide, CheckedSub(previousTop, top), 0, 0, pixelsWide, rowsPerBand, bits.get(),
                      &header, DIB_RGB_COLORS, SRCCOPY);
        previousTop = top;
    }
    if (rest > 0) {
        // The top rows of the picture, ending exactly at its top edge.
        fetch(pixelsHigh - rest, rest, bits.get());
        const long top = Convert(Conversion::LogToDOTY, y);
        StretchDIBits(dc, left, top, wide, CheckedSub(previousTop, top), 0, 0, pixelsWide, rest, bits.get(), &header,
                      DIB_RGB_COLORS, SRCCOPY);
    }
}

}  // namespace tessary
