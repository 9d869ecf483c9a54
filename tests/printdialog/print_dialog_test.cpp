// The print dialog on the test printers ("Proof Letter", the default, and
// "Proof A4"): its state after loading and after choosing printer, paper,
// bin, orientation and copies as a user would, the settings record it keeps,
// the DCs it makes and hands out, the two modes, and the copies rule.
// Runs without a display: the dialog works on its own state alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "frame/errors.h"
#include "printdialog/print_dialog.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::print_dialog;
using namespace tessary::test;

namespace {

const std::wstring kLetter = L"Proof Letter";
const std::wstring kA4 = L"Proof A4";

bool TestPrintersInstalled() {
    PrinterCollection printers = PrinterCollection::FromSpooler();
    return printers.Find(kLetter) && printers.Find(kA4);
}

int IndexOf(const ControlState& list, const std::wstring& text) {
    auto it = std::find(list.items.begin(), list.items.end(), text);
    return it == list.items.end() ? -1 : static_cast<int>(it - list.items.begin());
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPrintersInstalled()) GTEST_SKIP() << "the test printers are not installed in this prefix";
        wchar_t entry[256] = {};
        GetProfileStringW(L"Windows", L"Device", L"", entry, 256);
        savedDevice_ = entry;
    }
    void TearDown() override {
        PrintDialog::Unload();
        if (!savedDevice_.empty()) WriteProfileStringW(L"Windows", L"Device", savedDevice_.c_str());
    }
    PrintDialog& Dialog() { return PrintDialog::Get(); }
    int16_t RecordField(size_t offset) { return Dialog().Record().Field(offset); }

    MessageLog log_;
    std::wstring savedDevice_;
};

// The size of a printer's settings record as its driver gives it: DEVMODEW
// and the driver's own bytes.
long DriverRecordSize(const std::wstring& printer) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return -1;
    long size = DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(printer.c_str()), nullptr, nullptr, 0);
    ClosePrinter(handle);
    return size;
}

// The record the driver's dialog confirms for `record` (it completes it: the
// paper's length and width follow its size), asked directly. Without a
// display the driver confirms at once. (A merge without its dialog would
// change the driver's defaults for the rest of the process.)
std::vector<uint8_t> DriverConfirms(const std::wstring& printer, const SettingsRecord& record) {
    std::vector<uint8_t> merged(record.Bytes().size());
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return merged;
    DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(printer.c_str()), reinterpret_cast<DEVMODEW*>(merged.data()),
                        const_cast<DEVMODEW*>(record.ForDriver()), DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
    ClosePrinter(handle);
    return merged;
}

TEST_F(DialogTest, StateAfterLoad) {
    PrintDialog& d = Dialog();
    EXPECT_TRUE(log_.Messages().empty());
    EXPECT_FALSE(d.Loading());

    const ControlState& printers = d.Control(ComboPrinter);
    EXPECT_GE(IndexOf(printers, kLetter), 0);
    EXPECT_GE(IndexOf(printers, kA4), 0);
    EXPECT_EQ(kLetter, printers.text);
    EXPECT_EQ(kLetter + L'\0', d.PrinterName());

    // The driver's record, whole: DEVMODEW and the driver's own bytes.
    EXPECT_EQ(DriverRecordSize(kLetter), d.Record().Size());
    EXPECT_GT(d.Record().Size(), static_cast<long>(sizeof(DEVMODEW)));
    EXPECT_EQ(1, RecordField(SettingsRecord::kOrientation));
    EXPECT_EQ(DMPAPER_LETTER, RecordField(SettingsRecord::kPaperSize));
    EXPECT_EQ(1, RecordField(SettingsRecord::kCopies));
    EXPECT_EQ(1, d.lngOrientation());
    EXPECT_TRUE(d.Control(optPort).value);
    EXPECT_FALSE(d.Control(optLand).value);

    EXPECT_EQ(L"Status:      Default printer; Ready", d.Control(labStat).text);
    EXPECT_EQ(L"Type:        Proof Letter", d.Control(labType).text);
    EXPECT_EQ(L"Where:     FILE:", d.Control(labWhere).text);
    EXPECT_EQ(L"Comment: ?", d.Control(labComment).text);
    EXPECT_EQ(1, d.CopiesSpinValue());
    EXPECT_EQ(L"1", d.Control(txtCopies).text);

    const ControlState& paper = d.Control(ComboPaper);
    ASSERT_EQ((std::vector<std::wstring>{L"Letter", L"Legal", L"A4"}), paper.items);
    EXPECT_EQ((std::vector<int16_t>{DMPAPER_LETTER, DMPAPER_LEGAL, DMPAPER_A4}), d.PaperIds());
    EXPECT_EQ(0, paper.listIndex);
    EXPECT_EQ(L"Letter", paper.text);
    const ControlState& bins = d.Control(ComboBin);
    EXPECT_EQ((std::vector<std::wstring>{L"Automatically Select", L"Upper Tray", L"Lower Tray", L"Manual Feed"}), bins.items);
    EXPECT_EQ(bins.items.size(), d.BinIds().size());

    // A DC for the default printer, from the record.
    ASSERT_TRUE(d.HDCloc());
    EXPECT_EQ(2400, GetDeviceCaps(d.HDCloc(), HORZRES));
    EXPECT_EQ(3000, GetDeviceCaps(d.HDCloc(), VERTRES));

    // The load step's layout: outer height and the shared middle row.
    EXPECT_EQ(4845, d.OuterHeightTwips());
    EXPECT_EQ(2220, d.Control(frRange).corner.y);
    EXPECT_EQ(2220, d.Control(frCopies).corner.y);
    EXPECT_EQ(2220, d.Control(frPaper).corner.y);
}

TEST_F(DialogTest, ChoosingAnotherPrinterReadsItsRecordAndLists) {
    PrintDialog& d = Dialog();
    d.ChoosePrinter(IndexOf(d.Control(ComboPrinter), kA4));
    EXPECT_EQ(kA4 + L'\0', d.PrinterName());
    EXPECT_EQ(DMPAPER_A4, RecordField(SettingsRecord::kPaperSize));
    EXPECT_EQ((std::vector<std::wstring>{L"A4", L"A5", L"Letter"}), d.Control(ComboPaper).items);
    EXPECT_EQ(L"A4", d.Control(ComboPaper).text);
    EXPECT_EQ((std::vector<std::wstring>{L"Automatically Select", L"Tray 1", L"Tray 2"}), d.Control(ComboBin).items);
    // Found among the printers, but not the user's default printer.
    EXPECT_EQ(L"Status:      Ready", d.Control(labStat).text);
    EXPECT_EQ(L"Type:        Proof A4", d.Control(labType).text);
    EXPECT_EQ(L"Proof A4", d.Printers().Current()->deviceName);

    // The closing button makes the DC for the new choice.
    d.ClickOK();
    EXPECT_TRUE(d.bPrint());
    ASSERT_TRUE(d.HDCloc());
    EXPECT_EQ(2379, GetDeviceCaps(d.HDCloc(), HORZRES));
    EXPECT_EQ(3508, GetDeviceCaps(d.HDCloc(), PHYSICALHEIGHT));

    // Back to the default printer: the status says so again.
    d.ChoosePrinter(IndexOf(d.Control(ComboPrinter), kLetter));
    EXPECT_EQ(L"Status:      Default printer; Ready", d.Control(labStat).text);
}

TEST_F(DialogTest, PickingTheSelectedPrinterAgainChangesNothing) {
    PrintDialog& d = Dialog();
    d.ChooseLandscape();
    d.TypeCopies(L"7");
    d.ChoosePrinter(IndexOf(d.Control(ComboPrinter), kLetter));
    EXPECT_EQ(L"7", d.Control(txtCopies).text);
    EXPECT_EQ(2, RecordField(SettingsRecord::kOrientation));
    EXPECT_TRUE(d.Control(optLand).value);
}

TEST_F(DialogTest, SettingHandlersWriteTheirFieldAndKeepEarlierChoices) {
    PrintDialog& d = Dialog();
    d.ChooseLandscape();
    EXPECT_EQ(2, RecordField(SettingsRecord::kOrientation));
    EXPECT_EQ(2, d.lngOrientation());
    EXPECT_TRUE(d.Control(optLand).value);
    EXPECT_FALSE(d.Control(optPort).value);

    // A paper chosen after the orientation: both stay, as the dialog shows.
    d.ChoosePaper(IndexOf(d.Control(ComboPaper), L"Legal"));
    EXPECT_EQ(DMPAPER_LEGAL, RecordField(SettingsRecord::kPaperSize));
    EXPECT_EQ(2, RecordField(SettingsRecord::kOrientation));
    EXPECT_EQ(2, d.lngOrientation());

    d.ChooseBin(IndexOf(d.Control(ComboBin), L"Lower Tray"));
    EXPECT_EQ(d.BinIds()[2], RecordField(SettingsRecord::kDefaultSource));
    EXPECT_EQ(DMPAPER_LEGAL, RecordField(SettingsRecord::kPaperSize));
    EXPECT_EQ(DriverRecordSize(kLetter), d.Record().Size());

    // The DC made on closing prints what was chosen: Legal, landscape.
    HDC before = d.HDCloc();
    d.ClickCancel();
    EXPECT_FALSE(d.bPrint());
    ASSERT_TRUE(d.HDCloc());
    EXPECT_NE(before, d.HDCloc());
    EXPECT_EQ(4200, GetDeviceCaps(d.HDCloc(), PHYSICALWIDTH));  // 14 in across
    EXPECT_EQ(2550, GetDeviceCaps(d.HDCloc(), PHYSICALHEIGHT));
    // The replaced DC, which nobody took, is gone.
    EXPECT_EQ(0u, GetObjectType(before));

    d.ChoosePortrait();
    EXPECT_EQ(1, d.lngOrientation());
    EXPECT_EQ(1, RecordField(SettingsRecord::kOrientation));
    EXPECT_EQ(DMPAPER_LEGAL, RecordField(SettingsRecord::kPaperSize));
}

TEST_F(DialogTest, SpinControlWritesTheCopiesText) {
    PrintDialog& d = Dialog();
    d.SpinCopies(3);
    EXPECT_EQ(L"3", d.Control(txtCopies).text);
    d.SpinCopies(0);
    EXPECT_EQ(1, d.CopiesSpinValue());
    EXPECT_EQ(L"1", d.Control(txtCopies).text);
    d.SpinCopies(5000);
    EXPECT_EQ(L"100", d.Control(txtCopies).text);
    d.TypeCopies(L"12 copies");
    EXPECT_EQ(L"12 copies", d.Control(txtCopies).text);
    EXPECT_EQ(100, d.CopiesSpinValue());
}

TEST_F(DialogTest, ShowingAndPropertiesWithoutADisplay) {
    PrintDialog& d = Dialog();
    // No window can be shown: showing returns at once, as if no button had
    // been pressed, and the DC stays.
    d.ClickOK();
    HDC dc = d.HDCloc();
    d.ShowModal();
    EXPECT_FALSE(d.bPrint());
    EXPECT_EQ(dc, d.HDCloc());

    // The driver confirms its dialog at once without a display: a record
    // confirmed unchanged leaves the record and the controls as they were.
    d.ChoosePaper(IndexOf(d.Control(ComboPaper), L"Legal"));
    d.ChooseLandscape();
    d.SpinCopies(5);
    const std::vector<uint8_t> confirmed = DriverConfirms(kLetter, d.Record());
    d.ClickProperties();
    EXPECT_EQ(DriverRecordSize(kLetter), d.Record().Size());
    // Byte for byte what the driver makes of the record, its own bytes after
    // DEVMODEW included.
    EXPECT_EQ(confirmed, d.Record().Bytes());
    EXPECT_EQ(2, RecordField(SettingsRecord::kOrientation));
    EXPECT_EQ(DMPAPER_LEGAL, RecordField(SettingsRecord::kPaperSize));
    EXPECT_TRUE(d.Control(optLand).value);
    EXPECT_EQ(L"Legal", d.Control(ComboPaper).text);
    EXPECT_EQ(L"5", d.Control(txtCopies).text);

    // A name typed into the printer list is chosen before the driver is
    // asked, so the record, the lists and the name are that printer's.
    d.TypePrinterName(kA4);
    d.ClickProperties();
    EXPECT_EQ(kA4 + L'\0', d.PrinterName());
    EXPECT_EQ(DMPAPER_A4, RecordField(SettingsRecord::kPaperSize));
    EXPECT_EQ(L"A4", d.Control(ComboPaper).text);
    EXPECT_EQ(L"Type:        Proof A4", d.Control(labType).text);
    EXPECT_TRUE(log_.Messages().empty());

    // No printer by that name: the driver's dialog cannot be shown.
    d.TypePrinterName(L"No Such Printer");
    d.ClickProperties();
    auto messages = log_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"Error displaying document properties", messages[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), messages[0].style);
    EXPECT_EQ(L"Tessary", messages[0].caption);
}

TEST_F(DialogTest, OutcomeIsWhatTheDialogClosedWith) {
    PrintDialog& d = Dialog();
    // Print mode, then the print button: everything the printer object takes.
    d.ApplyMode(false, true);
    d.TypeCopies(L"2.5 copies");
    d.TickPrintToFile(true);
    d.ClickOK();
    const PrintOutcome printed = d.Outcome();
    EXPECT_TRUE(printed.printPressed);
    EXPECT_TRUE(printed.dcReady);
    EXPECT_TRUE(printed.printMode);
    EXPECT_EQ(2, printed.Copies());
    EXPECT_TRUE(printed.printToFile);
    EXPECT_TRUE(printed.fast);

    // A count beyond 16 bits is read without complaint and fails only when
    // it is taken, so that its taker can take the DC first.
    d.TypeCopies(L"40000");
    const PrintOutcome tooMany = d.Outcome();
    try {
        tooMany.Copies();
        ADD_FAILURE() << "40000 copies do not fit 16 bits";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(kOverflow, e.number);
    }

    // Setup mode offers no copies, file or fast: Close leaves only the DC.
    d.ApplyMode(true, false);
    d.ClickCancel();
    const PrintOutcome closed = d.Outcome();
    EXPECT_FALSE(closed.printPressed);
    EXPECT_TRUE(closed.dcReady);
    EXPECT_FALSE(closed.printMode);
    EXPECT_FALSE(closed.printToFile);

    // Without a display nothing is shown and no button pressed; the mode and
    // Fast are set all the same.
    const PrintOutcome unseen = PrintDialog::Show(false, false);
    EXPECT_FALSE(unseen.printPressed);
    EXPECT_TRUE(unseen.dcReady);
    EXPECT_TRUE(unseen.printMode);
    EXPECT_FALSE(unseen.fast);
}

TEST(CopiesRule, NumberAtTheStartRoundedHalfToEven) {
    EXPECT_EQ(3, CopiesFromText(L"3 copies"));
    EXPECT_EQ(0, CopiesFromText(L"copies"));
    EXPECT_EQ(0, CopiesFromText(L""));
    EXPECT_EQ(2, CopiesFromText(L"2.5"));
    EXPECT_EQ(4, CopiesFromText(L"3.5"));
    EXPECT_EQ(12, CopiesFromText(L"  1 2"));
    EXPECT_EQ(-3, CopiesFromText(L"-3"));
    EXPECT_EQ(100, CopiesFromText(L"1e2x"));
    EXPECT_EQ(32767, CopiesFromText(L"32767"));
    // Only ASCII digits count: a fullwidth digit is no 3, nor is a character
    // whose low byte is a digit's.
    EXPECT_EQ(0, CopiesFromText(L"\uff13"));
    EXPECT_EQ(1, CopiesFromText(L"1\u0132"));
    try {
        CopiesFromText(L"40000");
        ADD_FAILURE() << "40000 copies do not fit 16 bits";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(kOverflow, e.number);
    }
}

TEST_F(DialogTest, ModesShowTheirOwnControls) {
    PrintDialog& d = Dialog();
    d.ApplyMode(true, true);
    EXPECT_EQ(L"Print Setup", d.Caption());
    EXPECT_FALSE(d.Control(cmdOK).visible);
    EXPECT_EQ(L"Close", d.Control(cmdCancel).text);
    EXPECT_TRUE(d.Control(frPaper).visible);
    EXPECT_TRUE(d.Control(frOrientation).visible);
    EXPECT_FALSE(d.Control(frRange).visible);
    EXPECT_FALSE(d.Control(frCopies).visible);
    EXPECT_FALSE(d.Control(chkFile).visible);
    EXPECT_FALSE(d.Control(chkFast).visible);
    EXPECT_FALSE(d.Control(chkFast).value);  // setup mode leaves it alone

    d.ApplyMode(false, true);
    EXPECT_EQ(L"Print", d.Caption());
    EXPECT_TRUE(d.Control(cmdOK).visible);
    EXPECT_EQ(L"Cancel", d.Control(cmdCancel).text);
    EXPECT_FALSE(d.Control(frPaper).visible);
    EXPECT_FALSE(d.Control(frOrientation).visible);
    EXPECT_TRUE(d.Control(frRange).visible);
    EXPECT_TRUE(d.Control(frCopies).visible);
    EXPECT_TRUE(d.Control(chkFile).visible);
    EXPECT_TRUE(d.Control(chkFast).visible);
    EXPECT_TRUE(d.Control(chkFast).value);
    d.ApplyMode(false, false);
    EXPECT_FALSE(d.Control(chkFast).value);
}

TEST_F(DialogTest, EachDcIsHandedOutOnce) {
    PrintDialog& d = Dialog();
    HDC shown = d.HDCloc();
    ASSERT_TRUE(shown);
    uint64_t firstSerial = 0, secondSerial = 0;
    UniqueDc first = d.TakeDc(&firstSerial);
    UniqueDc second = d.TakeDc(&secondSerial);
    EXPECT_EQ(shown, first.get());
    ASSERT_TRUE(second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(firstSerial, secondSerial);
    EXPECT_EQ(GetDeviceCaps(first.get(), HORZRES), GetDeviceCaps(second.get(), HORZRES));

    // A new DC on closing: the one handed out stays its owner's.
    d.ChooseLandscape();
    d.ClickOK();
    EXPECT_NE(firstSerial, d.DcSerial());
    EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(first.get()));
    EXPECT_EQ(3000, GetDeviceCaps(d.HDCloc(), HORZRES));

    // Unloading deletes only the DC nobody took.
    HDC untaken = d.HDCloc();
    PrintDialog::Unload();
    EXPECT_EQ(0u, GetObjectType(untaken));
    EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(first.get()));
    EXPECT_EQ(nullptr, PrintDialog::Loaded());
}

TEST_F(DialogTest, DefaultPrinterEntry) {
    WriteProfileStringW(L"Windows", L"Device", L"Proof A4,wineps.drv,FILE:");
    EXPECT_EQ(kA4 + L'\0', Dialog().PrinterName());
    EXPECT_EQ(L"Status:      Default printer; Ready", Dialog().Control(labStat).text);
    PrintDialog::Unload();

    WriteProfileStringW(L"Windows", L"Device", L"Proof A4");
    EXPECT_EQ(kA4 + L'\0', Dialog().PrinterName());
    PrintDialog::Unload();

    WriteProfileStringW(L"Windows", L"Device", nullptr);
    const std::wstring first = Dialog().Control(ComboPrinter).items.at(0);
    EXPECT_EQ(first + L'\0', Dialog().PrinterName());
}

TEST(SettingsRecordView, ShortRecordsAreReadAndWrittenSafely) {
    SettingsRecord record;
    EXPECT_TRUE(record.Empty());
    EXPECT_EQ(0, record.Field(SettingsRecord::kOrientation));
    EXPECT_EQ(nullptr, record.ForDriver());
    record.Resize(static_cast<long>(offsetof(DEVMODEW, dmPaperLength)));  // reaches dmOrientation and dmPaperSize only
    EXPECT_GE(record.Bytes().size(), sizeof(DEVMODEW));
    record.SetField(SettingsRecord::kOrientation, 2);
    record.SetField(SettingsRecord::kCopies, 9);
    EXPECT_EQ(2, record.Field(SettingsRecord::kOrientation));
    EXPECT_EQ(0, record.Field(SettingsRecord::kCopies));
    EXPECT_EQ(0, record.Bytes()[SettingsRecord::kCopies]);
    // A record whose own sizes claim more than it holds never goes to a driver.
    record.Buffer()->dmSize = sizeof(DEVMODEW);
    record.Buffer()->dmDriverExtra = 4000;
    EXPECT_EQ(nullptr, record.ForDriver());
    record.Buffer()->dmDriverExtra = 0;
    EXPECT_NE(nullptr, record.ForDriver());
}

}  // namespace
