// The GDI objects whose handle values the fuzzer passes as numbers.
#include "pictures.h"

namespace tessary::fuzz {
namespace {

std::vector<LONG>& Values() {
    static std::vector<LONG> values;
    return values;
}

}  // namespace

const std::vector<LONG>& HandleValues() { return Values(); }

Pictures::Pictures() {
    const DWORD pixels[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x808080};
    Keep(CreateBitmap(3, 2, 1, 32, pixels));
    Keep(CreateBitmap(17, 5, 1, 1, nullptr));
    Keep(CreateBitmap(640, 480, 1, 32, nullptr));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 33;
    info.bmiHeader.biHeight = -7;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    Keep(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC emf = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    if (emf) {
        Rectangle(emf, 0, 0, 100, 50);
        enhanced_.push_back(CloseEnhMetaFile(emf));
    }
    RECT frame = {0, 0, 0, 0};
    emf = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    if (emf) enhanced_.push_back(CloseEnhMetaFile(emf));  // nothing drawn, no size
    HDC wmf = CreateMetaFileW(nullptr);
    if (wmf) {
        Rectangle(wmf, 0, 0, 100, 50);
        old_.push_back(CloseMetaFile(wmf));
    }
    Keep(CreatePen(PS_SOLID, 1, 0));
    Keep(CreateSolidBrush(0x123456));
    for (HENHMETAFILE h : enhanced_) Values().push_back(HandleToLong(h));
    for (HMETAFILE h : old_) Values().push_back(HandleToLong(h));
    // A handle freed again.
    HGDIOBJ gone = CreateBitmap(2, 2, 1, 32, nullptr);
    Values().push_back(HandleToLong(gone));
    DeleteObject(gone);
}

Pictures::~Pictures() {
    for (HGDIOBJ o : objects_) DeleteObject(o);
    for (HENHMETAFILE h : enhanced_) DeleteEnhMetaFile(h);
    for (HMETAFILE h : old_) DeleteMetaFile(h);
    Values().clear();
}

void Pictures::Keep(HGDIOBJ object) {
    if (!object) return;
    objects_.push_back(object);
    Values().push_back(HandleToLong(object));
}

}  // namespace tessary::fuzz
