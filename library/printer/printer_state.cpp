#include "printer/printer_state.h"

#include <cstring>

#include "printer/printer_math.h"

namespace tessary {

using namespace printer_math;

LOGFONTW FontImage::ForPlatform() const {
    LOGFONTW copy = font;
    copy.lfFaceName[LF_FACESIZE - 1] = L'\0';
    return copy;
}

const wchar_t* ConversionPrefix(Conversion which) {
    switch (which) {
    case Conversion::MMToLogX: return L"Printer class MMToLogX error: ";
    case Conversion::MMToLogY: return L"Printer class MMToLogY error: ";
    case Conversion::LogToMMX: return L"Printer class LogToMMX error: ";
    case Conversion::LogToMMY: return L"Printer class LogToMMY error: ";
    case Conversion::MMToDOTX: return L"Printer class MMToDOTX error: ";
    case Conversion::MMToDOTY: return L"Printer class MMToDOTY error: ";
    case Conversion::LogToDOTX: return L"Printer class LogToDOTX error: ";
    case Conversion::LogToDOTY: return L"Printer class LogToDOTY error: ";
    case Conversion::DotToLogX: return L"Printer class DotToLogX error: ";
    case Conversion::DotToLogY: return L"Printer class DotToLogY error: ";
    case Conversion::LogToInX: return L"Printer class LogToInX error: ";
    case Conversion::LogToInY: return L"Printer class LogToInY error: ";
    }
    return L"Printer class error: ";
}

void PrinterState::SetCreationDefaults() {
    connected = VARIANT_TRUE;
    jobId = 0;
    widthDot = 0;
    heightDot = 0;
    logPen.lopnStyle = PS_SOLID;
    logPen.lopnWidth.x = 1;
    logPen.lopnWidth.y = 1;
    logPen.lopnColor = RGB(0, 0, 0);
    logBrush.lbStyle = BS_SOLID;
    logBrush.lbColor = RGB(255, 255, 255);
    logBrush.lbHatch = HS_BDIAGONAL;
}

int32_t PrinterState::Convert(Conversion which, int32_t v) const {
    // Millimetres become twips first (v × 1440 ÷ 25.39954); logical lengths
    // become twips through the base extent fixed at the last PrintInit.
    switch (which) {
    case Conversion::MMToLogX:
        return Exact(CheckedMul(v, kTwipsPerInch)).Div(kMillimetresPerInch).Mul(scaleWidth).Div(baseScaleWidth).Round();
    case Conversion::MMToLogY:
        return Exact(CheckedMul(v, kTwipsPerInch)).Div(kMillimetresPerInch).Mul(scaleHeight).Div(baseScaleHeight).Round();
    case Conversion::LogToMMX:
        return Exact(CheckedMul(baseScaleWidth, v)).Mul(kMillimetresPerInch).Div(kTwipsPerInch).Div(scaleWidth).Round();
    case Conversion::LogToMMY:
        return Exact(CheckedMul(baseScaleHeight, v)).Mul(kMillimetresPerInch).Div(kTwipsPerInch).Div(scaleHeight).Round();
    case Conversion::MMToDOTX:
        return Exact(CheckedMul(v, kTwipsPerInch)).Div(kMillimetresPerInch).Mul(widthDot).Div(baseScaleWidth).Round();
    case Conversion::MMToDOTY:
        return Exact(CheckedMul(v, kTwipsPerInch)).Div(kMillimetresPerInch).Mul(heightDot).Div(baseScaleHeight).Round();
    case Conversion::LogToDOTX:
        return Exact(CheckedMul(widthDot, v)).Div(scaleWidth).Round();
    case Conversion::LogToDOTY:
        return Exact(CheckedMul(heightDot, v)).Div(scaleHeight).Round();
    case Conversion::DotToLogX:
        return Exact(CheckedMul(scaleWidth, v)).Div(widthDot).Round();
    case Conversion::DotToLogY:
        return Exact(CheckedMul(scaleHeight, v)).Div(heightDot).Round();
    case Conversion::LogToInX:
        return Exact(CheckedMul(baseScaleWidth, v)).Div(kTwipsPerInch).Div(scaleWidth).Round();
    case Conversion::LogToInY:
        return Exact(CheckedMul(baseScaleHeight, v)).Div(kTwipsPerInch).Div(scaleHeight).Round();
    }
    ThrowRuntime(kInvalidArgument);
}

void PrinterState::AdoptDeviceExtents(int32_t horzRes, int32_t vertRes, int32_t dpiX, int32_t dpiY) {
    widthDot = horzRes;
    heightDot = vertRes;
    scaleWidth = Exact(CheckedMul(widthDot, kTwipsPerInch)).Div(dpiX).Round();
    scaleHeight = Exact(CheckedMul(heightDot, kTwipsPerInch)).Div(dpiY).Round();
}

void PrinterState::FixBaseScale() {
    baseScaleHeight = scaleHeight;
    baseScaleWidth = scaleWidth;
}

int32_t PrinterState::SheetToLogical(Axis axis, int32_t capability) const {
    if (axis == Axis::X) return Exact(CheckedMul(capability, scaleWidth)).Div(widthDot).Round();
    return Exact(CheckedMul(capability, scaleHeight)).Div(heightDot).Round();
}

int32_t PrinterState::OffsetToLogical(Axis axis, int32_t capability) const {
    if (capability == 0) return 0;
    return SheetToLogical(axis, capability);
}

int32_t PageCenter(int32_t offset, int32_t page) {
    return Exact(page).Div(2.0).Sub(offset).Round();
}

}  // namespace tessary
