// A thousand create / print / draw / destroy cycles (two hundred with a display) of Tessary.xPrinter leave this
// process's GDI objects, kernel handles and windows where they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Tessary.h"
#include "printer_test_support.h"
#include "support/resource_census.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

TEST(PrinterLeaks, CensusSeesObjectsComeAndGo) {
    long before = LiveGdiObjects();
    if (before < 0) GTEST_SKIP() << "GDI handle table not readable";
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_EQ(before + 1, LiveGdiObjects());
    DeleteObject(pen);
    EXPECT_EQ(before, LiveGdiObjects());
    long handles = LiveKernelHandles();
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(handles + 1, LiveKernelHandles());
    CloseHandle(event);
    EXPECT_EQ(handles, LiveKernelHandles());
}

TEST(PrinterLeaks, PrintCyclesLeaveNothingBehind) {
    if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
    if (LiveGdiObjects() < 0) GTEST_SKIP() << "GDI handle table not readable";
    ComApartment com;
    MessageLog log;
    LoadedLibrary library;
    const std::wstring file = OutputDir() + L"cycle.ps";

    auto cycle = [&](int i) {
        ComPtr<_xPrinter> p = library.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(p);
        Bstr doc(L"Cycle"), out(file), face(i % 2 ? L"Courier New" : L"Times New Roman"),
            text(L"Leak check line"), wrapped(L"a few words wrapped into a narrow block of text");
        BSTR d = doc.get(), o = out.get(), f = face.get(), t = text.get(), w = wrapped.get();
        VARIANT_BOOL ok = VARIANT_FALSE, bold = (i % 3) ? VARIANT_TRUE : VARIANT_FALSE;
        LONG size = 200 + i % 50, mode = OPAQUE, left = 0, right = 1440, top = 2880, flag = 0, result = 0;
        p->StartDoc(&d, &o, &ok);
        ASSERT_EQ(VARIANT_TRUE, ok);
        p->StartPage(&ok);
        p->put_FontName(&f);
        p->put_FontSize(&size);
        p->put_FontBold(&bold);
        p->put_ForeColor(RGB(i % 256, 0, 0));
        p->put_FontTransparent(&mode);
        p->put_DrawWidth(1 + i % 4);
        p->put_DrawColor(i);
        p->put_FillStyle(i % 3);
        p->put_FillColor(i);
        p->pPrint(&t);
        p->pPrintWrapped(&w, &left, &right, &top, &flag);
        p->TextWidth(&t, &result);
        // A circle with a pen of its own, a rectangle and a line.
        float cx = 1440, cy = 4320, radius = 360 + i % 100;
        LONG width = i % 3, x1 = 0, y1 = 5760, x2 = 2880, y2 = 7200;
        Variant colour;
        V_VT(colour.get()) = VT_I4;
        V_I4(colour.get()) = i;
        VARIANT_BOOL drawn = VARIANT_FALSE;
        p->pCircle(&cx, &cy, &radius, colour.get(), &width, &drawn);
        p->pRectangle(&x1, &y1, &x2, &y2, &drawn);
        p->pLine(&x1, &y1, &x2, &y2);
        if (i % 10 == 0) p->put_Orientation(i % 20 ? 1 : 2);  // a DC replaced now and then
        p->EndPage(&ok);
        if (i % 4 != 0) p->EndDoc(&ok);  // the rest are ended by the release
    };

    for (int i = 0; i < 20; ++i) cycle(i);  // the platform's caches fill up first
    const long gdiBefore = LiveGdiObjects();
    const long handlesBefore = LiveKernelHandles();
    const long windowsBefore = LiveThreadWindows();
    // With a display each cycle also makes and destroys the dialog's window,
    // which takes longer: fewer cycles there.
    char mode[16] = {};
    GetEnvironmentVariableA("TESSARY_WINE_MODE", mode, sizeof mode);
    const int cycles = std::string(mode) == "ui" ? 200 : 1000;
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
        if (HasFatalFailure()) return;
    }
    const long gdiAfter = LiveGdiObjects();
    const long handlesAfter = LiveKernelHandles();
    const long windowsAfter = LiveThreadWindows();
    printf("GDI objects %ld -> %ld, kernel handles %ld -> %ld, windows %ld -> %ld after %d cycles\n", gdiBefore,
           gdiAfter, handlesBefore, handlesAfter, windowsBefore, windowsAfter, cycles);
    RecordProperty("gdi_before", static_cast<int>(gdiBefore));
    RecordProperty("gdi_after", static_cast<int>(gdiAfter));
    RecordProperty("handles_before", static_cast<int>(handlesBefore));
    RecordProperty("handles_after", static_cast<int>(handlesAfter));
    EXPECT_EQ(gdiBefore, gdiAfter);
    EXPECT_EQ(handlesBefore, handlesAfter);
    EXPECT_EQ(windowsBefore, windowsAfter);
    EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
