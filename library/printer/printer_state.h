// The record of state behind one xPrinter object, and the arithmetic that
// works on it alone: the twelve unit conversions, the scale that PrintInit
// derives from a device's extents, and the sheet geometry in logical units.
// Nothing here calls the platform, so the numbers can be checked without a
// printer. Failures are run-time errors (6 overflow, 11 division by zero).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace tessary {

// A LOGFONTW image whose face-name store has 33 UTF-16 units (indices 0 to
// 32), one more than the platform's LF_FACESIZE: the name a client writes is
// copied into it unit by unit, and the 33rd unit lives just past the LOGFONTW.
struct FontImage {
    LOGFONTW font;
    wchar_t faceTail;

    static constexpr int kFaceStoreSize = LF_FACESIZE + 1;
    wchar_t& FaceUnit(int index) { return index < LF_FACESIZE ? font.lfFaceName[index] : faceTail; }
    wchar_t FaceUnit(int index) const { return index < LF_FACESIZE ? font.lfFaceName[index] : faceTail; }
    // What the font mapper gets: the store cut to LF_FACESIZE units and always
    // NUL-terminated there, so a store without a NUL is never read past.
    LOGFONTW ForPlatform() const;
};

enum class Conversion {
    MMToLogX, MMToLogY, LogToMMX, LogToMMY, MMToDOTX, MMToDOTY,
    LogToDOTX, LogToDOTY, DotToLogX, DotToLogY, LogToInX, LogToInY,
};

// The member prefix a conversion reports its failures with.
const wchar_t* ConversionPrefix(Conversion which);

enum class Axis { X, Y };

struct PrinterState {
    // Public fields (automation Booleans: True is -1).
    VARIANT_BOOL connected = VARIANT_FALSE;
    VARIANT_BOOL ok = VARIANT_FALSE;
    short copies = 0;
    VARIANT_BOOL printToFile = VARIANT_FALSE;
    VARIANT_BOOL fast = VARIANT_FALSE;

    // Private state.
    int32_t jobId = 0;
    std::wstring deviceName;  // as the dialog holds it: ends in one NUL
    int32_t widthDot = 0;
    int32_t heightDot = 0;
    int32_t baseScaleHeight = 0;
    int32_t baseScaleWidth = 0;
    int32_t scaleWidth = 0;
    int32_t scaleHeight = 0;
    FontImage logFont = {};
    LOGPEN logPen = {};
    LOGBRUSH logBrush = {};

    // The values an object gets when the spooler reports a printer.
    void SetCreationDefaults();

    // One of the twelve conversions of a value, with the exact order of
    // operations of each (see printer_math.h).
    int32_t Convert(Conversion which, int32_t value) const;

    // PrintInit's scale from the device's printable extent in dots and its
    // dots per inch: each axis is dots × 1440 ÷ dpi, rounded. Stores the dot
    // extents first, then each scale as it is worked out.
    void AdoptDeviceExtents(int32_t horzRes, int32_t vertRes, int32_t dpiX, int32_t dpiY);
    // ... and makes the current scale the reference of the millimetre and
    // inch conversions.
    void FixBaseScale();

    // A device capability in dots (physical offset or size) as logical units
    // of one axis: capability × scale ÷ dot extent, rounded.
    int32_t SheetToLogical(Axis axis, int32_t capability) const;
    // The same, where a capability of 0 means "no offset" and divides nothing.
    int32_t OffsetToLogical(Axis axis, int32_t capability) const;
};

// The logical coordinate of the sheet's centre: page ÷ 2 − offset, rounded.
int32_t PageCenter(int32_t offset, int32_t page);

}  // namespace tessary
