// The print dialog with a printer whose name lies outside the code page (a
// temporary printer, added for the test and removed again): listed, chosen,
// shown in its window, its settings record and paper and bin lists as its
// driver gives them, and a document printed through the DC made for it.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "printdialog/print_dialog.h"
#include "printer/printer.h"
#include "printer/printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::print_dialog;
using namespace tessary::test;

namespace {

#ifdef _WIN64
constexpr const wchar_t* kDriverEnvironment = L"Windows x64";
#else
constexpr const wchar_t* kDriverEnvironment = L"Windows NT x86";
#endif

// Japanese (in code page 932 only), Polish (in neither 932 nor 1252), an
// emoji (in no code page) and a fullwidth reverse solidus.
const wchar_t kName[] = L"Proof \u65e5\u672c \u0141\u00f3d\u017a \U0001F600 \uff3c";
const wchar_t kDriver[] = L"Proof Temp Unicode";

// The names of one capability of the printer, as its driver gives them.
std::vector<std::wstring> DriverNames(WORD capability, size_t slot) {
    const int n = DeviceCapabilitiesW(kName, L"FILE:", capability, nullptr, nullptr);
    std::vector<std::wstring> names;
    if (n <= 0) return names;
    std::vector<wchar_t> buffer(slot * n);
    DeviceCapabilitiesW(kName, L"FILE:", capability, buffer.data(), nullptr);
    for (int i = 0; i < n; ++i) names.emplace_back(&buffer[slot * i], wcsnlen(&buffer[slot * i], slot));
    return names;
}

class PrinterNamedOutsideTheCodePage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        wchar_t entry[256] = {};
        GetProfileStringW(L"Windows", L"Device", L"", entry, 256);
        savedDevice_ = entry;
        Remove();
        wchar_t folder[MAX_PATH];
        DWORD needed = 0;
        ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), sizeof folder,
                                               &needed));
        std::wstring ppd = std::wstring(L"Z:") + TESSARY_SOURCE_DIR L"/tests/support/printers/proof-letter.ppd";
        std::replace(ppd.begin(), ppd.end(), L'/', L'\\');
        std::wstring data = std::wstring(kDriver) + L".ppd";
        ASSERT_TRUE(CopyFileW(ppd.c_str(), (std::wstring(folder) + L"\\" + data).c_str(), FALSE));
        DRIVER_INFO_3W driver = {};
        driver.cVersion = 3;
        driver.pName = const_cast<wchar_t*>(kDriver);
        driver.pEnvironment = const_cast<wchar_t*>(kDriverEnvironment);
        driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
        driver.pDataFile = &data[0];
        driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
        ASSERT_TRUE(AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
            << GetLastError();
        PRINTER_INFO_2W printer = {};
        printer.pPrinterName = const_cast<wchar_t*>(kName);
        printer.pPortName = const_cast<wchar_t*>(L"FILE:");
        printer.pDriverName = const_cast<wchar_t*>(kDriver);
        printer.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
        printer.pDatatype = const_cast<wchar_t*>(L"RAW");
        HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
        ASSERT_TRUE(added) << GetLastError();
        ClosePrinter(added);
    }
    void TearDown() override {
        PrintDialog::Unload();
        Remove();
        WriteProfileStringW(L"Windows", L"Device", savedDevice_.empty() ? nullptr : savedDevice_.c_str());
    }
    static void Remove() {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(const_cast<wchar_t*>(kName), &printer, &access)) {
            DeletePrinter(printer);
            ClosePrinter(printer);
        }
    }

    ComApartment com_;
    MessageLog log_;
    std::wstring savedDevice_;
};

TEST_F(PrinterNamedOutsideTheCodePage, IsListedChosenAndPrintedOn) {
    WriteProfileStringW(L"Windows", L"Device", L"Proof Letter,wineps.drv,FILE:");
    Printer printer;  // takes over the default printer
    PrintDialog& d = PrintDialog::Get();
    const ControlState& printers = d.Control(ComboPrinter);
    const auto listed = std::find(printers.items.begin(), printers.items.end(), kName);
    ASSERT_NE(printers.items.end(), listed) << "the spooler's name is listed exactly";

    d.ChoosePrinter(static_cast<int>(listed - printers.items.begin()));
    EXPECT_EQ(std::wstring(kName) + L'\0', d.PrinterName());
    EXPECT_EQ(std::wstring(L"Type:        ") + kName, d.Control(labType).text);
    HANDLE handle = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(kName), &handle, nullptr));
    const LONG size = DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(kName), nullptr, nullptr, 0);
    ClosePrinter(handle);
    EXPECT_EQ(size, d.Record().Size());
    EXPECT_EQ(DriverNames(DC_PAPERNAMES, 64), d.Control(ComboPaper).items);
    EXPECT_EQ(DriverNames(DC_BINNAMES, 24), d.Control(ComboBin).items);
    EXPECT_FALSE(d.Control(ComboPaper).items.empty());

    // Its window shows the name as the list holds it.
    if (HWND window = d.Window()) {
        wchar_t shown[128] = {};
        GetWindowTextW(GetDlgItem(window, kControls[ComboPrinter].id), shown, 128);
        EXPECT_EQ(kName, std::wstring(shown));
        EXPECT_GE(SendMessageW(GetDlgItem(window, kControls[ComboPrinter].id), CB_FINDSTRINGEXACT,
                               static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(kName)),
                  0);
    }

    // Confirmed, the dialog's DC goes to the printer object, which prints on it.
    d.ClickOK();
    ASSERT_TRUE(d.HDCloc());
    ASSERT_TRUE(printer.PrintInit());
    EXPECT_EQ(kName, printer.DeviceName());
    const std::wstring file = OutputDir() + L"unicode-printer.ps";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(printer.StartDoc(kName, file));
    ASSERT_TRUE(printer.StartPage());
    printer.SetFontSize(400);
    printer.Print(L"HHHH");
    ASSERT_TRUE(printer.EndPage());
    ASSERT_TRUE(printer.EndDoc());
    if (GhostscriptAvailable()) {
        const std::vector<Image> pages = RenderPages(file);
        ASSERT_EQ(1u, pages.size());
        const RECT ink = FindBox(pages[0], RECT{0, 0, pages[0].width, pages[0].height}, IsInk);
        EXPECT_LT(ink.left, ink.right) << "nothing was printed";
    }
    EXPECT_TRUE(log_.Messages().empty());
}

// The user's default printer, named outside the code page: the dialog selects
// it at load, as the profile entry names it.
TEST_F(PrinterNamedOutsideTheCodePage, IsTheDefaultPrinterByItsProfileEntry) {
    WriteProfileStringW(L"Windows", L"Device", (std::wstring(kName) + L",wineps.drv,FILE:").c_str());
    Printer printer;
    EXPECT_EQ(kName, printer.DeviceName());
    PrintDialog& d = PrintDialog::Get();
    EXPECT_EQ(L"Status:      Default printer; Ready", d.Control(labStat).text);
    EXPECT_EQ(L"Where:     FILE:", d.Control(labWhere).text);
    EXPECT_TRUE(printer.IsPrinter());
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
