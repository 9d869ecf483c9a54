// Costs of the library's calls made from C++ through the vtable, each against
// the platform calls that do the same job, interleaved round by round; the
// cold cost of the first object of each class in a fresh process; and the
// memory a live object takes.
//
// Prints "sample<TAB>pair<TAB>ours|peer<TAB>microseconds" lines, which
// scripts/bench.sh gathers into a table with the calls.vbs/calls.js samples.
//   native_bench <rounds> [output file] [quick]   everything ("quick": a
//                                  fraction of the calls, to check the program)
//   native_bench --first-use ...   first use in fresh processes (first_use.h)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "Tessary.h"
#include "bench_clock.h"
#include "create_object.h"
#include "first_use.h"
#include "frame/automation.h"
#include "frame/com_ptr.h"
#include "frame/handles.h"
#include "support/resource_census.h"

using namespace tessary;
using namespace tessary::bench;
using tessary::test::PrivateBytes;

namespace {

// 1 for a measurement; a quick check of the program itself divides every
// count by this.
int gDivisor = 1;

int Count(int calls) { return calls / gDivisor > 0 ? calls / gDivisor : 1; }

// Runs `ours` and `peer` one after the other, alternating which goes first.
template <class Ours, class Peer>
void Pair(int round, const char* name, int calls, Ours ours, Peer peer) {
    auto time = [&](auto&& body, const char* side) {
        double start = Now();
        for (int i = 0; i < calls; ++i) body(i);
        Sample(name, side, Now() - start, calls);
    };
    if (round % 2) {
        time(ours, "ours");
        time(peer, "peer");
    } else {
        time(peer, "peer");
        time(ours, "ours");
    }
}

const wchar_t kSection[] = L"Software\\TessaryBench";

void Registry(int rounds) {
    ComPtr<_xRegistry> reg = Create<_xRegistry>(CLSID_xRegistry);
    if (!reg) {
        std::printf("note\tregistry: the class cannot be created\n");
        return;
    }
    reg->put_ClassKey(static_cast<ERegistryClassConstants>(HandleToLong(HKEY_CURRENT_USER)));
    Bstr section(L"Software\\TessaryBench"), name(L"Number");
    reg->put_SectionKey(section.get());
    reg->put_ValueKey(name.get());
    const int calls = Count(2000);
    for (int round = 1; round <= rounds; ++round) {
        Pair(round, "c++ registry value let (REG_DWORD)", calls,
             [&](int i) {
                 reg->put_ValueType(static_cast<ERegistryValueTypes>(REG_DWORD));
                 VARIANT v;
                 VariantInit(&v);
                 V_VT(&v) = VT_I4;
                 V_I4(&v) = i;
                 reg->put_Value(v);
             },
             [&](int i) {
                 HKEY key = nullptr;
                 DWORD value = static_cast<DWORD>(i);
                 if (RegCreateKeyExW(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                     nullptr) == ERROR_SUCCESS) {
                     RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
                     RegCloseKey(key);
                 }
             });
        Pair(round, "c++ registry value get (REG_DWORD)", calls,
             [&](int) {
                 VARIANT v;
                 VariantInit(&v);
                 reg->get_Value(&v);
                 VariantClear(&v);
             },
             [&](int) {
                 HKEY key = nullptr;
                 DWORD value = 0, size = 4, type = 0;
                 if (RegOpenKeyExW(HKEY_CURRENT_USER, kSection, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
                     RegQueryValueExW(key, L"Number", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
                     RegCloseKey(key);
                 }
             });
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kSection);
}

// Name look-up on the largest interface: the object's against its own type
// information's.
void Names(int rounds) {
    ComPtr<IDispatch> printer = Create<IDispatch>(CLSID_xPrinter);
    ComPtr<ITypeInfo> info;
    if (!printer || FAILED(printer->GetTypeInfo(0, 0, info.put()))) {
        std::printf("note\tnames: the printer class cannot be created\n");
        return;
    }
    const wchar_t* names[] = {L"pPrint", L"ScaleWidth", L"enddoc", L"PAINTPICTURE", L"FontName", L"Copies"};
    const int calls = Count(20000);
    for (int round = 1; round <= rounds; ++round) {
        Pair(round, "c++ GetIDsOfNames", calls,
             [&](int i) {
                 LPOLESTR name = const_cast<LPOLESTR>(names[i % 6]);
                 DISPID id;
                 printer->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
             },
             [&](int i) {
                 LPOLESTR name = const_cast<LPOLESTR>(names[i % 6]);
                 DISPID id;
                 info->GetIDsOfNames(&name, 1, &id);
             });
    }
}

// A 1,000 × 1,000 picture of 32-bit pixels, and its bits for the platform's own call.
HBITMAP Picture(void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1000, 1000, 1, 32, BI_RGB};
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap) {
        auto* pixels = static_cast<DWORD*>(*bits);
        for (int i = 0; i < 1000 * 1000; ++i) pixels[i] = static_cast<DWORD>(i * 2654435761u) & 0xFFFFFF;
    }
    return bitmap;
}

void Printing(int rounds, const std::wstring& outputFile) {
    ComPtr<_xPrinter> printer = Create<_xPrinter>(CLSID_xPrinter);
    if (!printer) {
        std::printf("note\tprinting: the class cannot be created\n");
        return;
    }
    Bstr docName(L"Benchmark"), outFile(outputFile);
    BSTR doc = docName.get(), out = outFile.get();
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (FAILED(printer->StartDoc(&doc, &out, &ok)) || !ok) {
        std::printf("note\tprinting: no printer to print on (StartDoc failed)\n");
        return;
    }
    printer->StartPage(&ok);
    LONG handle = 0, widthDot = 0, scaleWidth = 0, heightDot = 0, scaleHeight = 0;
    printer->get_hdc(&handle);
    printer->get_WidthDot(&widthDot);
    printer->get_ScaleWidth(&scaleWidth);
    printer->get_HeightDot(&heightDot);
    printer->get_ScaleHeight(&scaleHeight);
    HDC dc = static_cast<HDC>(LongToHandle(handle));

    void* bits = nullptr;
    HBITMAP bitmap = Picture(&bits);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1000, 1000, 1, 32, BI_RGB};
    // Half the page's width, square, from the top left corner; the same
    // rectangle in dots for the platform's call.
    const LONG side = scaleWidth / 2;
    const int dotsWide = MulDiv(side, widthDot, scaleWidth);
    const int dotsHigh = MulDiv(side, heightDot, scaleHeight);
    auto paint = [&](int) {
        LONG pic = HandleToLong(bitmap), x = 0, y = 0;
        VARIANT w, h;
        VariantInit(&w);
        VariantInit(&h);
        V_VT(&w) = VT_I4;
        V_I4(&w) = side;
        V_VT(&h) = VT_I4;
        V_I4(&h) = side;
        printer->PaintPicture(&pic, &x, &y, &w, &h);
    };
    auto stretch = [&](int) {
        StretchDIBits(dc, 0, 0, dotsWide, dotsHigh, 0, 0, 1000, 1000, bits, &info, DIB_RGB_COLORS, SRCCOPY);
    };
    const int pictures = Count(2);
    for (int round = 1; round <= rounds; ++round) {
        printer->put_Fast(VARIANT_TRUE);
        Pair(round, "c++ PaintPicture 1000x1000, fast / StretchDIBits", pictures, paint, stretch);
        printer->put_Fast(VARIANT_FALSE);
        Pair(round, "c++ PaintPicture 1000x1000, banded / StretchDIBits", pictures, paint, stretch);

        // 1,000 lines down the page, from the top each time.
        Bstr line(L"The quick brown fox jumps over the lazy dog 0123456789");
        const wchar_t wide[] = L"The quick brown fox jumps over the lazy dog 0123456789";
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        Pair(round, "c++ pPrint line / TextOutW", Count(1000),
             [&](int i) {
                 if (i % 50 == 0) printer->put_CurrentY(0);
                 BSTR text = line.get();
                 printer->pPrint(&text);
             },
             [&](int i) {
                 TextOutW(dc, 0, (i % 50) * metrics.tmHeight, wide, static_cast<int>(std::size(wide) - 1));
             });
        printer->EndPage(&ok);
        printer->StartPage(&ok);
    }
    printer->EndPage(&ok);
    printer->EndDoc(&ok);
    DeleteObject(bitmap);
    DeleteFileW(outputFile.c_str());
}

void Memory() {
    const int count = Count(10000);
    for (const wchar_t* progId : {L"Tessary.xRegistry", L"Tessary.xPrinter", L"Tessary.xApplication", L"Tessary.xMixer",
                                  L"Scripting.Dictionary"}) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
        { ComPtr<IDispatch> warm = Create<IDispatch>(clsid); }
        std::vector<ComPtr<IDispatch>> live;
        live.reserve(count);
        const size_t before = PrivateBytes();
        for (int i = 0; i < count; ++i) live.push_back(Create<IDispatch>(clsid));
        const size_t after = PrivateBytes();
        std::printf("memory\t%ls\t%.0f\n", progId, static_cast<double>(after - before) / count);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int child = FirstUseChild(argc, argv);
    if (child >= 0) return child;
    if (argc > 2 && std::wcscmp(argv[1], L"--first-use") == 0) {
        FirstUsePairs(_wtoi(argv[2]), argv + 3, argc - 3);
        return 0;
    }
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 5;
    const std::wstring output = argc > 2 ? argv[2] : L"bench-output.ps";
    if (argc > 3 && std::wcscmp(argv[3], L"quick") == 0) gDivisor = 20;
    CoInitialize(nullptr);
    Names(rounds);
    Registry(rounds);
    Printing(rounds, output);
    Memory();
    ColdStarts(rounds);
    CoUninitialize();
    return 0;
}
