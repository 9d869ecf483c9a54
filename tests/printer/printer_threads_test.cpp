// Printer objects in eight single-threaded apartments at once, all served by
// the one print dialog of the process: every new object reads a page of the
// printer it was given (never the zeros of a DC deleted under it), no object
// reports a failure, a printer choice made in one apartment is what an
// object of another apartment adopts at its next PrintInit, and a thread
// that did not load the dialog shows it in a window of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Tessary.h"
#include "frame/handles.h"
#include "printdialog/dialog_layout.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

constexpr int kThreads = 8;

int CyclesPerThread() {
    char text[16] = {};
    if (GetEnvironmentVariableA("TESSARY_PRINTER_THREAD_CYCLES", text, sizeof text)) return atoi(text);
    char mode[16] = {};
    GetEnvironmentVariableA("TESSARY_WINE_MODE", mode, sizeof mode);
    return std::string(mode) == "ui" ? 40 : 250;
}

// What went wrong, counted over all threads.
struct Faults {
    std::atomic<long> created{0};
    std::atomic<long> missing{0};  // no object made
    std::atomic<long> zeros{0};  // a printer that reads an empty page
    std::atomic<long> calls{0};  // a call that failed
};

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// One apartment's cycles: create, PrintInit, read the page and a
// conversion, now and then change the orientation (a new DC for everyone),
// release. A second object lives across the cycles, so that objects of one
// apartment also meet objects of the others' making.
void Apartment(const LoadedLibrary& library, int index, int cycles, Faults& faults) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<_xPrinter> keeper;
        for (int i = 0; i < cycles; ++i) {
            ComPtr<_xPrinter> p = library.Create<_xPrinter>(CLSID_xPrinter);
            if (!p) {
                ++faults.missing;
                continue;
            }
            ++faults.created;
            LONG width = 0, height = 0, mm = 25, dots = 0, window = 0;
            VARIANT_BOOL ok = VARIANT_FALSE;
            if (FAILED(p->get_WidthDot(&width)) || FAILED(p->get_HeightDot(&height)) ||
                FAILED(p->MMToDOTX(&mm, &dots)))
                ++faults.calls;
            if (width <= 0 || height <= 0 || dots <= 0) ++faults.zeros;
            if ((i + index) % 7 == 0 && FAILED(p->put_Orientation((i / 7) % 2 ? 1 : 2))) ++faults.calls;
            if (FAILED(p->PrintInit(&window, &ok)) || ok != VARIANT_TRUE) ++faults.calls;
            mm = 25;
            dots = 0;
            if (FAILED(p->MMToDOTX(&mm, &dots)) || dots <= 0) ++faults.zeros;
            if (i % 5 == index % 5) keeper = p;  // the old keeper goes now
            PumpMessages();
        }
    }
    PumpMessages();
    CoUninitialize();
}

class PrinterThreads : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
    }
    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
};

TEST_F(PrinterThreads, EightApartmentsNeverSeeAnotherObjectsDc) {
    const int cycles = CyclesPerThread();
    Faults faults;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { Apartment(library_, t, cycles, faults); });
    for (auto& thread : threads) thread.join();

    long divisions = 0, others = 0;
    std::wstring first;
    for (const RecordedMessage& m : log_.Messages()) {
        if (m.text.find(L"ivision by zero") != std::wstring::npos) ++divisions;
        else ++others;
        if (first.empty()) first = m.text;
    }
    printf("%d apartments x %d cycles: %ld objects, %ld missing, %ld empty pages, %ld failed calls, "
           "%ld division-by-zero messages, %ld other messages\n",
           kThreads, cycles, faults.created.load(), faults.missing.load(), faults.zeros.load(),
           faults.calls.load(), divisions, others);
    EXPECT_EQ(kThreads * cycles, faults.created.load());
    EXPECT_EQ(0, faults.zeros.load());
    EXPECT_EQ(0, faults.calls.load());
    EXPECT_EQ(0, divisions);
    EXPECT_EQ(0, others) << first;
}

// The choice stays one for the process: an orientation chosen through an
// object of one apartment is what an object of another apartment adopts at
// its next PrintInit.
TEST_F(PrinterThreads, OneChoiceForTheWholeProcess) {
    ComPtr<_xPrinter> here = library_.Create<_xPrinter>(CLSID_xPrinter);
    ASSERT_TRUE(here);
    LONG before = 0, widthBefore = 0;
    ASSERT_EQ(S_OK, here->get_Orientation(&before));
    ASSERT_EQ(S_OK, here->get_WidthDot(&widthBefore));
    const LONG wanted = before == 1 ? 2 : 1;

    UniqueKernelHandle chosen(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle adopted(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    LONG widthThere = 0;
    std::thread other([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<_xPrinter> there = library_.Create<_xPrinter>(CLSID_xPrinter);
            if (there) {
                there->put_Orientation(wanted);
                there->get_WidthDot(&widthThere);
            }
            SetEvent(chosen.get());
            // Kept until the other apartment has adopted the choice: its
            // release unloads the dialog.
            WaitForSingleObject(adopted.get(), 30000);
        }
        CoUninitialize();
    });
    WaitForSingleObject(chosen.get(), 30000);
    LONG window = 0, orientation = 0, width = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(S_OK, here->PrintInit(&window, &ok));
    EXPECT_EQ(VARIANT_TRUE, ok);
    EXPECT_EQ(S_OK, here->get_Orientation(&orientation));
    EXPECT_EQ(S_OK, here->get_WidthDot(&width));
    SetEvent(adopted.get());
    other.join();
    EXPECT_EQ(wanted, orientation);
    EXPECT_GT(widthThere, 0);
    EXPECT_EQ(widthThere, width);
    EXPECT_NE(widthBefore, width);  // the page turned
    EXPECT_TRUE(log_.Messages().empty());
}

// The dialog shown from an apartment that did not load it: the window the
// user sees belongs to the showing thread (its own message loop drives it),
// and the printer picked there is the one the loading apartment's object
// adopts next.
HWND g_shownBy = nullptr;
DWORD g_shownOwner = 0;  // the thread the shown window belongs to
DWORD g_shownAt = 0;
std::string g_pick;  // the printer to pick in the dialog
void CALLBACK PickAndPrint(HWND, UINT, UINT_PTR timer, DWORD) {
    struct Found {
        HWND window = nullptr;
        static BOOL CALLBACK Add(HWND window, LPARAM context) {
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
            reinterpret_cast<Found*>(context)->window = window;
            return FALSE;
        }
    } found;
    EnumThreadWindows(GetCurrentThreadId(), Found::Add, reinterpret_cast<LPARAM>(&found));
    if (!found.window) {
        if (GetTickCount() - g_shownAt > 15000) {
            KillTimer(nullptr, timer);
            ADD_FAILURE() << "no dialog of the showing thread came up";
        }
        return;
    }
    KillTimer(nullptr, timer);
    g_shownBy = found.window;
    g_shownOwner = GetWindowThreadProcessId(found.window, nullptr);
    using namespace tessary::print_dialog;
    HWND box = GetDlgItem(found.window, kControls[ComboPrinter].id);
    int index = static_cast<int>(
        SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(g_pick.c_str())));
    EXPECT_GE(index, 0);
    SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(found.window, WM_COMMAND, MAKEWPARAM(kControls[ComboPrinter].id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    SendMessageA(GetDlgItem(found.window, kControls[cmdOK].id), BM_CLICK, 0, 0);
}

TEST_F(PrinterThreads, AnotherThreadShowsTheDialogInAWindowOfItsOwn) {
    char display[64] = {};
    if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display)) GTEST_SKIP() << "no display";
    ComPtr<_xPrinter> here = library_.Create<_xPrinter>(CLSID_xPrinter);  // loads the dialog
    ASSERT_TRUE(here);
    Bstr name;
    ASSERT_EQ(S_OK, here->get_DeviceName(name.put()));
    const std::wstring other = ToWide(name.get()) == L"Proof A4" ? L"Proof Letter" : L"Proof A4";
    g_pick = other == L"Proof A4" ? "Proof A4" : "Proof Letter";

    UniqueKernelHandle shown(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle adopted(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    DWORD showingThread = 0;
    Bstr chosenThere;
    std::thread showing([&] {
        showingThread = GetCurrentThreadId();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<_xPrinter> there = library_.Create<_xPrinter>(CLSID_xPrinter);
            if (there) {
                g_shownAt = GetTickCount();
                UINT_PTR timer = SetTimer(nullptr, 0, 20, PickAndPrint);
                Bstr mode(L"");
                BSTR m = mode.get();
                EXPECT_EQ(S_OK, there->ShowPrinter(&m));
                KillTimer(nullptr, timer);
                there->get_DeviceName(chosenThere.put());
            }
            SetEvent(shown.get());
            // Kept until the loading apartment has adopted the choice: its
            // release unloads the dialog.
            WaitForSingleObject(adopted.get(), 30000);
        }
        CoUninitialize();
    });
    if (WaitForSingleObject(shown.get(), 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the dialog shown from another thread never closed";
        fflush(stdout);
        _exit(1);  // the other thread is stuck in a modal loop nothing can end
    }
    LONG window = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(S_OK, here->PrintInit(&window, &ok));
    Bstr adoptedName;
    EXPECT_EQ(S_OK, here->get_DeviceName(adoptedName.put()));
    SetEvent(adopted.get());
    showing.join();

    ASSERT_TRUE(g_shownBy);
    EXPECT_EQ(showingThread, g_shownOwner);
    EXPECT_EQ(other, ToWide(chosenThere.get()));
    EXPECT_EQ(other, ToWide(adoptedName.get()));
    // Its thread has ended, and its window with it.
    EXPECT_FALSE(IsWindow(g_shownBy));
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
