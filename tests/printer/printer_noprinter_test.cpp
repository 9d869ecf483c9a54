// A Wine prefix without any printer: Tessary.xPrinter stays all zero and
// every measure divides by a zero extent; the dialog says that no printer is
// installed. Also a printer that disappears while the dialog lists it (two
// temporary printers are added here and removed again).
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "Tessary.h"
#include "printdialog/print_dialog.h"
#include "printer_test_support.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

const UINT kShown = MB_OK | MB_ICONEXCLAMATION;
const UINT kInformation = MB_OK | MB_ICONINFORMATION;

bool AnyPrinter() {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 1, nullptr, 0, &needed, &returned);
    return needed != 0;
}

class NoPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        if (AnyPrinter()) GTEST_SKIP() << "this prefix has a printer";
    }
    ComApartment com_;
    MessageLog log_;
    LoadedLibrary library_;
};

TEST_F(NoPrinter, ObjectStaysAllZero) {
    {
        ComPtr<_xPrinter> p = library_.Create<_xPrinter>(CLSID_xPrinter);
        ASSERT_TRUE(p);
        EXPECT_TRUE(log_.Messages().empty());  // creation shows nothing
        VARIANT_BOOL flag = 7;
        LONG value = -1;
        p->get_Connected(&flag);
        EXPECT_EQ(VARIANT_FALSE, flag);
        p->get_hdc(&value);
        EXPECT_EQ(0, value);
        p->get_DrawWidth(&value);
        EXPECT_EQ(0, value);
        p->get_FillColor(&value);
        EXPECT_EQ(0, value);
        p->get_IsPrinter(&flag);
        EXPECT_EQ(VARIANT_FALSE, flag);
        p->get_OffsetX(&value);
        EXPECT_EQ(0, value);

        Bstr name(L"Nothing"), out(OutputDir() + L"never.ps");
        BSTR a = name.get(), b = out.get();
        p->StartDoc(&a, &b, &flag);
        EXPECT_EQ(VARIANT_FALSE, flag);
        p->get_PrintJobID(&value);
        EXPECT_EQ(0, value);
        p->StartPage(&flag);
        EXPECT_EQ(VARIANT_FALSE, flag);
        EXPECT_FALSE(FileExists(OutputDir() + L"never.ps"));
        EXPECT_TRUE(log_.Messages().empty());

        // Every conversion divides by a zero extent and says so.
        using Member = HRESULT (STDMETHODCALLTYPE _xPrinter::*)(LONG*, LONG*);
        const struct {
            Member member;
            const wchar_t* name;
        } conversions[] = {
            {&_xPrinter::MMToLogX, L"MMToLogX"}, {&_xPrinter::MMToLogY, L"MMToLogY"},
            {&_xPrinter::LogToMMX, L"LogToMMX"}, {&_xPrinter::LogToMMY, L"LogToMMY"},
            {&_xPrinter::MMToDOTX, L"MMToDOTX"}, {&_xPrinter::MMToDOTY, L"MMToDOTY"},
            {&_xPrinter::LogToDOTX, L"LogToDOTX"}, {&_xPrinter::LogToDOTY, L"LogToDOTY"},
            {&_xPrinter::DotToLogX, L"DotToLogX"}, {&_xPrinter::DotToLogY, L"DotToLogY"},
            {&_xPrinter::LogToInX, L"LogToInX"}, {&_xPrinter::LogToInY, L"LogToInY"},
        };
        for (const auto& c : conversions) {
            log_.Clear();
            LONG in = 10, result = -1;
            EXPECT_EQ(S_OK, (p.get()->*c.member)(&in, &result));
            EXPECT_EQ(0, result);
            auto messages = log_.Messages();
            ASSERT_EQ(1u, messages.size()) << c.name;
            EXPECT_EQ(std::wstring(L"Printer class ") + c.name + L" error: 11. Division by zero", messages[0].text);
            EXPECT_EQ(kShown, messages[0].style);
            EXPECT_EQ(L"Tessary", messages[0].caption);
        }

        log_.Clear();
        p->get_PageWidth(&value);
        EXPECT_EQ(0, value);
        Bstr text(L"measure");
        BSTR t = text.get();
        p->TextWidth(&t, &value);
        EXPECT_EQ(0, value);
        Bstr device;
        p->get_DeviceName(device.put());
        EXPECT_EQ(L"", ToWide(device.get()));
        auto messages = log_.Messages();
        ASSERT_EQ(3u, messages.size());
        EXPECT_EQ(L"Printer class PageWidth error: 11. Division by zero", messages[0].text);
        EXPECT_EQ(L"Printer class DotToLogX error: 11. Division by zero", messages[1].text);
        EXPECT_EQ(L"Printer class DeviceName error: 5. Invalid procedure call or argument", messages[2].text);
        log_.Clear();
    }
    EXPECT_TRUE(log_.Messages().empty());  // destruction shows nothing
}

TEST_F(NoPrinter, DialogSaysSoAndMakesNoDc) {
    PrintDialog& d = PrintDialog::Get();
    auto messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"There is no printer installed", messages[0].text);
    EXPECT_EQ(kInformation, messages[0].style);
    EXPECT_EQ(L"Tessary", messages[0].caption);
    EXPECT_EQ(nullptr, d.HDCloc());
    EXPECT_TRUE(d.PrinterName().empty());
    EXPECT_TRUE(d.Loading());
    EXPECT_TRUE(d.Control(print_dialog::ComboPrinter).items.empty());
    d.ClickOK();
    EXPECT_EQ(nullptr, d.HDCloc());
    PrintDialog::Unload();
}

TEST_F(NoPrinter, ShowPrinterFindsNoDcToHandOver) {
    ComPtr<_xPrinter> p = library_.Create<_xPrinter>(CLSID_xPrinter);
    ASSERT_TRUE(p);
    p->put_OK(VARIANT_TRUE);
    p->put_Copies(2);
    Bstr mode(L"");
    BSTR m = mode.get();
    ASSERT_EQ(S_OK, p->ShowPrinter(&m));
    auto messages = log_.Messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(L"There is no printer installed", messages[0].text);
    EXPECT_EQ(L"Could not create Printer DC: disabled for Tessary", messages[1].text);
    EXPECT_EQ(kShown, messages[1].style);
    EXPECT_EQ(L"Tessary", messages[1].caption);
    VARIANT_BOOL ok = 7;
    short copies = 0;
    LONG dc = -1;
    p->get_OK(&ok);
    p->get_Copies(&copies);
    p->get_hdc(&dc);
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_EQ(2, copies);
    EXPECT_EQ(0, dc);
}

TEST_F(NoPrinter, OrientationWithoutAPrinter) {
    ComPtr<_xPrinter> p = library_.Create<_xPrinter>(CLSID_xPrinter);
    ASSERT_TRUE(p);
    ASSERT_EQ(S_OK, p->put_Orientation(2));
    auto messages = log_.Messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(L"There is no printer installed", messages[0].text);
    EXPECT_EQ(L"Printer PrintInit (hdc) error: 11. Division by zero", messages[1].text);
    LONG dc = -1;
    p->get_hdc(&dc);
    EXPECT_EQ(0, dc);
}

// The spooler's environment of this process's own drivers.
#ifdef _WIN64
constexpr const char* kDriverEnvironment = "Windows x64";
#else
constexpr const char* kDriverEnvironment = "Windows NT x86";
#endif

// Installs a printer like "Proof Letter" under `name`, with a driver of its
// own called `driver` (both in the ANSI code page).
void AddProofPrinter(const std::string& name, const std::string& driver) {
    char folder[MAX_PATH];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), sizeof folder,
                                           &needed));
    std::string ppd = std::string("Z:") + TESSARY_SOURCE_DIR + "/tests/support/printers/proof-letter.ppd";
    std::replace(ppd.begin(), ppd.end(), '/', '\\');
    std::string data = driver + ".ppd";
    ASSERT_TRUE(CopyFileA(ppd.c_str(), (std::string(folder) + "\\" + data).c_str(), FALSE));
    DRIVER_INFO_3A info = {};
    info.cVersion = 3;
    info.pName = const_cast<char*>(driver.c_str());
    info.pEnvironment = const_cast<char*>(kDriverEnvironment);
    info.pDriverPath = const_cast<char*>("wineps.drv");
    info.pDataFile = &data[0];
    info.pConfigFile = const_cast<char*>("wineps.drv");
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES)) << GetLastError();
    PRINTER_INFO_2A printer = {};
    printer.pPrinterName = const_cast<char*>(name.c_str());
    printer.pPortName = const_cast<char*>("FILE:");
    printer.pDriverName = const_cast<char*>(driver.c_str());
    printer.pPrintProcessor = const_cast<char*>("WinPrint");
    printer.pDatatype = const_cast<char*>("RAW");
    HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    ASSERT_TRUE(added) << GetLastError();
    ClosePrinter(added);
}

void RemovePrinter(const std::string& name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(const_cast<char*>(name.c_str()), &printer, &access)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}

// Two printers added for one test and removed again, whatever happens.
class TemporaryPrinters : public NoPrinter {
protected:
    static constexpr const char* kNames[2] = {"Proof Temp One", "Proof Temp Two"};

    void SetUp() override {
        RemoveAll();
        NoPrinter::SetUp();
        if (IsSkipped()) return;
        for (const char* name : kNames) {
            AddProofPrinter(name, name);
            if (HasFatalFailure()) return;
        }
    }
    void TearDown() override {
        PrintDialog::Unload();
        RemoveAll();
    }
    static void Remove(const char* name) { RemovePrinter(name); }
    static void RemoveAll() {
        for (const char* name : kNames) Remove(name);
        WriteProfileStringA("Windows", "Device", nullptr);
    }
};

TEST_F(TemporaryPrinters, APrinterGoneFromTheSpoolerGetsNoOtherPrintersRecord) {
    using namespace print_dialog;
    WriteProfileStringA("Windows", "Device", "Proof Temp One,wineps.drv,FILE:");
    PrintDialog& d = PrintDialog::Get();
    ASSERT_EQ(std::wstring(L"Proof Temp One") + L'\0', d.PrinterName());
    const long recordSize = d.Record().Size();
    ASSERT_GT(recordSize, static_cast<long>(sizeof(DEVMODEW)));
    d.ChooseLandscape();
    d.SpinCopies(4);
    const ControlState& printers = d.Control(ComboPrinter);
    int second = static_cast<int>(std::find(printers.items.begin(), printers.items.end(), L"Proof Temp Two") -
                                  printers.items.begin());
    ASSERT_LT(second, static_cast<int>(printers.items.size()));

    Remove("Proof Temp Two");
    d.ChoosePrinter(second);
    EXPECT_EQ(std::wstring(L"Proof Temp Two") + L'\0', d.PrinterName());
    // Nothing of the first printer's record is kept for the second.
    EXPECT_TRUE(d.Record().Empty());
    EXPECT_EQ(1, d.lngOrientation());
    EXPECT_TRUE(d.Control(optPort).value);
    EXPECT_EQ(L"1", d.Control(txtCopies).text);
    EXPECT_TRUE(d.Control(ComboPaper).items.empty());
    EXPECT_TRUE(d.Control(ComboBin).items.empty());
    EXPECT_EQ(L"Status:      Ready", d.Control(labStat).text);
    // The DC follows the chosen name: there is none for a printer that is gone.
    d.ClickOK();
    EXPECT_EQ(nullptr, d.HDCloc());
    // Choosing the first printer again brings its own record back.
    d.ChoosePrinter(static_cast<int>(std::find(printers.items.begin(), printers.items.end(), L"Proof Temp One") -
                                     printers.items.begin()));
    EXPECT_EQ(recordSize, d.Record().Size());
    d.ClickOK();
    ASSERT_TRUE(d.HDCloc());
    EXPECT_EQ(2400, GetDeviceCaps(d.HDCloc(), HORZRES));
}

// A printer whose name has characters of the ANSI code page that Latin-1
// lacks (typographic quotes and the euro sign of code page 1252): the dialog
// keeps the spooler's 8-bit name, and the printer object names the printer
// with the code page's own characters.
class PrinterNamedOutsideLatin1 : public NoPrinter {
protected:
    static constexpr const wchar_t* kName = L"Proof \u201CQuote\u201D \u20AC";
    static constexpr const char* kDriver = "Proof Temp Quote";

    void SetUp() override {
        NoPrinter::SetUp();
        if (IsSkipped()) return;
        BOOL lost = FALSE;
        char bytes[64] = {};
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kName, -1, bytes, sizeof bytes, nullptr, &lost);
        if (n <= 0 || lost) GTEST_SKIP() << "code page " << GetACP() << " has no such characters";
        name_ = bytes;
        ASSERT_NE(std::string::npos, name_.find('\x80')) << "the euro sign outside Latin-1";
        RemovePrinter(name_);
        AddProofPrinter(name_, kDriver);
    }
    void TearDown() override {
        PrintDialog::Unload();
        RemovePrinter(name_);
        WriteProfileStringA("Windows", "Device", nullptr);
    }
    std::string name_;
};

TEST_F(PrinterNamedOutsideLatin1, KeepsItsCharactersFromTheSpoolerToTheObject) {
    using namespace print_dialog;
    WriteProfileStringA("Windows", "Device", (name_ + ",wineps.drv,FILE:").c_str());
    {
        PrintDialog& d = PrintDialog::Get();
        EXPECT_EQ(std::wstring(kName) + L'\0', d.PrinterName());
        EXPECT_EQ(L"Type:        " + std::wstring(kName), d.Control(labType).text);
        EXPECT_GT(d.Record().Size(), static_cast<long>(sizeof(DEVMODEW)));  // the driver knew the printer by this name
        EXPECT_TRUE(d.HDCloc());
        PrintDialog::Unload();
    }
    ComPtr<_xPrinter> p = library_.Create<_xPrinter>(CLSID_xPrinter);
    ASSERT_TRUE(p);
    Bstr device;
    EXPECT_EQ(S_OK, p->get_DeviceName(device.put()));
    EXPECT_EQ(std::wstring(kName), ToWide(device.get()));
    LONG dc = 0;
    p->get_hdc(&dc);
    EXPECT_NE(0, dc);
    EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace
