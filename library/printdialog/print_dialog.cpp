// The print dialog's life and logic on its own state: loading and unloading
// the one instance, Init, the printer-list and setting handlers, the closing
// and Properties buttons, what a user does, and the two modes.
#include "printdialog/print_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "frame/errors.h"
#include "frame/message_sink.h"
#include "printdialog/spooler_printers.h"

namespace tessary {

using namespace print_dialog;

namespace {

// The loaded instance; read and replaced only under Lock().
std::shared_ptr<PrintDialog> g_dialog;

const wchar_t kNoPrinter[] = L"There is no printer installed";
const wchar_t kLoadError[] = L"PrintDialog load error: ";
const wchar_t kPropertiesError[] = L"Error displaying document properties";

// Marks the record fresh while the handlers run for the values it was just
// read with: they write back what it holds, and need not ask the driver for
// its size again.
class FreshRecord {
public:
    explicit FreshRecord(bool& flag) : flag_(flag) { flag_ = true; }
    ~FreshRecord() { flag_ = false; }
    FreshRecord(const FreshRecord&) = delete;
    FreshRecord& operator=(const FreshRecord&) = delete;

private:
    bool& flag_;
};

// Where `id` first appears in `ids`; -1 (which no list selects) when it is
// not there.
int IndexOf(const std::vector<int16_t>& ids, int16_t id) {
    auto it = std::find(ids.begin(), ids.end(), id);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

}  // namespace

// ---------------------------------------------------------------------------
// Loading and unloading

// The lock every step on a dialog instance is taken under: recursive, as a
// handler that runs inside a lease (or a window message handled inside one)
// takes it again on the same thread.
std::recursive_mutex& PrintDialog::Lock() {
    static std::recursive_mutex lock;
    return lock;
}

std::shared_ptr<PrintDialog> PrintDialog::Load(SpoolerPrinters* printers) {
    if (!g_dialog) {
        // The window is made when one is first needed (showing), not here:
        // most printer objects never show the dialog.
        std::shared_ptr<PrintDialog> fresh(new PrintDialog());
        if (printers) {
            fresh->LoadStep(*printers);
        } else {
            SpoolerPrinters asked;
            fresh->LoadStep(asked);
        }
        g_dialog = std::move(fresh);
    }
    return g_dialog;
}

PrintDialog::Lease PrintDialog::Use() {
    std::unique_lock<std::recursive_mutex> lock(Lock());
    std::shared_ptr<PrintDialog> dialog = Load(nullptr);
    return Lease(std::move(lock), std::move(dialog));
}

PrintDialog::Lease PrintDialog::Use(SpoolerPrinters& printers) {
    std::unique_lock<std::recursive_mutex> lock(Lock());
    std::shared_ptr<PrintDialog> dialog = Load(&printers);
    return Lease(std::move(lock), std::move(dialog));
}

PrintDialog& PrintDialog::Get() {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    return *Load(nullptr);
}

PrintDialog* PrintDialog::Loaded() {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    return g_dialog.get();
}

void PrintDialog::Unload() {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    g_dialog.reset();
}

PrintDialog::PrintDialog() {
    for (int i = 0; i < kControlCount; ++i) {
        controls_[i].text = kControls[i].caption;
        controls_[i].enabled = kControls[i].enabled;
        controls_[i].corner = POINT{kControls[i].left, kControls[i].top};
    }
    controls_[optPort].value = true;  // selected at design
    controls_[Option1].value = true;
    caption_ = kDesignCaption;
}

PrintDialog::~PrintDialog() {
    // Runs under the lock: every reference is given up under it.
    for (const View& view : views_) {
        if (!IsWindow(view.window)) continue;
        SetWindowLongPtrW(view.window, GWLP_USERDATA, 0);
        if (view.thread == GetCurrentThreadId()) DestroyWindow(view.window);
        else PostMessageW(view.window, kCloseViewMessage, 0, 0);
    }
}

void PrintDialog::LoadStep(SpoolerPrinters& printers) {
    Init(printers);
    outerHeightTwips_ = kLoadedOuterHeightTwips;
    // Range and copies share the middle row with paper and orientation.
    controls_[frRange].corner.y = kMiddleRowTopTwips;
    controls_[frCopies].corner.y = kMiddleRowTopTwips;
    FitToLoadedLayout();
}

void PrintDialog::FitToLoadedLayout() {
    if (HWND window = ExistingWindow()) {
        RECT outer;
        GetWindowRect(window, &outer);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, units_.TwipsToPixelsY(outerHeightTwips_),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PushPosition(frRange);
    PushPosition(frCopies);
}

// ---------------------------------------------------------------------------
// Init and the printer-list handler

void PrintDialog::Init() {
    SpoolerPrinters printers;
    Init(printers);
}

void PrintDialog::Init(SpoolerPrinters& printers) {
    ReplaceDc(UniqueDc(), std::wstring(), nullptr);
    loading_ = true;

    if (printers.Needed() == 0) {
        ShowMessage(kNoPrinter, MB_OK | MB_ICONINFORMATION, kApplicationTitle);
        return;
    }
    if (!printers.Fetch()) {
        ShowMessage(kLoadError, MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }
    if (printers.Count() == 0) {
        ShowMessage(kNoPrinter, MB_OK | MB_ICONINFORMATION, kApplicationTitle);
        return;
    }

    const PRINTER_INFO_5W* records = printers.Records();
    std::wstring first;
    for (DWORD i = 0; i < printers.Count(); ++i) {
        std::wstring name = records[i].pPrinterName ? records[i].pPrinterName : L"";
        if (name.size() >= 512) name.clear();
        if (i == 0) first = name;
        controls_[ComboPrinter].items.push_back(name);
    }
    PushList(ComboPrinter);

    // The entry is read into 128 characters, as the form reads it.
    controls_[ComboPrinter].text = DefaultPrinterName(first.c_str(), 128);
    // The collection's current printer is the user's default one, read the
    // usual way; the same answer of the spooler gives its entries and ports.
    printers_ = PrinterCollection::FromSpooler(printers, DefaultPrinterName());
    PushText(ComboPrinter);
    loading_ = false;
    ComboPrinterClick();
    MakeDc();
}

void PrintDialog::ComboPrinterClick() {
    if (loading_) return;
    const std::wstring chosen = controls_[ComboPrinter].text;
    if (chosen + L'\0' == printerName_) return;
    printerName_ = chosen + L'\0';
    const std::wstring name = ChosenPrinter();

    const RecordFields shown = ReadDriverDefaults(name);
    const FreshRecord fresh(recordFresh_);
    printers_.SelectByName(name);
    ShowOrientation(shown.orientation);

    const PrinterEntry* current = printers_.Current();
    const std::wstring currentName = current ? current->deviceName : std::wstring();
    const bool isDefault = currentName == name && name == DefaultPrinterName();
    controls_[labStat].text = isDefault ? L"Status:      Default printer; Ready" : L"Status:      Ready";
    controls_[labType].text = L"Type:        " + currentName;
    controls_[labWhere].text = L"Where:     " + (current ? current->port : std::wstring());
    controls_[labComment].text = L"Comment: ?";
    PushText(labStat);
    PushText(labType);
    PushText(labWhere);
    PushText(labComment);

    SpinCopies(shown.copies);

    // The lists come from the chosen printer itself, whether or not the
    // printer collection knows it.
    const PrinterEntry* entry = printers_.Find(name);
    const std::wstring port = entry ? entry->port : std::wstring();
    FillCapabilityList(ComboPaper, paperIds_, DC_PAPERNAMES, DC_PAPERS, 64, name, port);
    SetListIndex(ComboPaper, IndexOf(paperIds_, shown.paper));
    FillCapabilityList(ComboBin, binIds_, DC_BINNAMES, DC_BINS, 24, name, port);
    SetListIndex(ComboBin, IndexOf(binIds_, shown.source));
}

void PrintDialog::ShowOrientation(int16_t orientation) {
    if (orientation == DMORIENT_PORTRAIT) {
        SelectOption(optPort);
        orientation_ = 1;
    } else {
        SelectOption(optLand);
        orientation_ = 2;
    }
}

// ---------------------------------------------------------------------------
// The setting handlers

void PrintDialog::ComboPaperClick() {
    int index = controls_[ComboPaper].listIndex;
    if (index < 0 || static_cast<size_t>(index) >= paperIds_.size()) return;
    WriteSetting(SettingsRecord::kPaperSize, paperIds_[index]);
}

void PrintDialog::ComboBinClick() {
    int index = controls_[ComboBin].listIndex;
    if (index < 0 || static_cast<size_t>(index) >= binIds_.size()) return;
    WriteSetting(SettingsRecord::kDefaultSource, binIds_[index]);
}

void PrintDialog::OptPortClick() {
    if (WriteSetting(SettingsRecord::kOrientation, DMORIENT_PORTRAIT)) orientation_ = 1;
}

void PrintDialog::OptLandClick() {
    if (WriteSetting(SettingsRecord::kOrientation, DMORIENT_LANDSCAPE)) orientation_ = 2;
}

void PrintDialog::UpDownChange() {
    controls_[txtCopies].text = std::to_wstring(spinValue_);
    PushText(txtCopies);
}

// ---------------------------------------------------------------------------
// Closing buttons and Properties

void PrintDialog::CmdOkClick() {
    bPrint_ = true;
    SkipOnError([&] { MakeDc(); });
    if (HWND window = ExistingWindow()) ShowWindow(window, SW_HIDE);
}

void PrintDialog::CmdCancelClick() {
    bPrint_ = false;
    SkipOnError([&] { MakeDc(); });
    if (HWND window = ExistingWindow()) ShowWindow(window, SW_HIDE);
}

void PrintDialog::CmdPropertiesClick() {
    // The driver's dialog is for the printer named in the list box. A name
    // typed there is chosen first, as picking it from the list would, so that
    // PrinterName, the record and the paper and bin lists all belong to the
    // printer whose properties are shown.
    if (controls_[ComboPrinter].text + L'\0' != printerName_) ComboPrinterClick();
    printerName_ = controls_[ComboPrinter].text + L'\0';
    const std::wstring name = ChosenPrinter();

    SettingsRecord returned;
    // The driver's dialog is owned by this thread's window of the dialog.
    const LONG result = ShowDriverDialog(name, Window(), returned);
    if (result == 0 || result == IDCANCEL) return;
    if (result != IDOK) {
        ShowMessage(kPropertiesError, MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }

    record_ = std::move(returned);
    recordPrinter_ = name;
    const FreshRecord fresh(recordFresh_);
    const int16_t orientation = record_.Field(SettingsRecord::kOrientation);
    const int16_t paper = record_.Field(SettingsRecord::kPaperSize);
    const int16_t source = record_.Field(SettingsRecord::kDefaultSource);
    // The handlers that run for these selections write back the values the
    // record already holds, so the driver's record survives whole.
    ShowOrientation(orientation);
    // A paper or bin that the lists lack leaves that list's selection alone.
    SetListIndex(ComboPaper, IndexOf(paperIds_, paper));
    SetListIndex(ComboBin, IndexOf(binIds_, source));
}

// ---------------------------------------------------------------------------
// What a user does

void PrintDialog::ChoosePrinter(int index) { SetListIndex(ComboPrinter, index); }
void PrintDialog::ChoosePaper(int index) { SetListIndex(ComboPaper, index); }
void PrintDialog::ChooseBin(int index) { SetListIndex(ComboBin, index); }
void PrintDialog::ChoosePortrait() { SelectOption(optPort); }
void PrintDialog::ChooseLandscape() { SelectOption(optLand); }
void PrintDialog::ClickOK() { CmdOkClick(); }
void PrintDialog::ClickCancel() { CmdCancelClick(); }
void PrintDialog::ClickProperties() { CmdPropertiesClick(); }

void PrintDialog::SpinCopies(int value) {
    spinValue_ = std::clamp(value, kCopiesMin, kCopiesMax);
    if (HWND spin = Item(UpDown1)) SendMessageW(spin, UDM_SETPOS32, 0, spinValue_);
    UpDownChange();
}

void PrintDialog::TypeCopies(const std::wstring& text) {
    controls_[txtCopies].text = text;
    PushText(txtCopies);
}

void PrintDialog::TypePrinterName(const std::wstring& text) {
    controls_[ComboPrinter].text = text;
    PushText(ComboPrinter);
}

void PrintDialog::TickPrintToFile(bool ticked) {
    controls_[chkFile].value = ticked;
    PushValue(chkFile);
}

void PrintDialog::TickFast(bool ticked) {
    controls_[chkFast].value = ticked;
    PushValue(chkFast);
}

void PrintDialog::SelectOption(int control) {
    controls_[optPort].value = control == optPort;
    controls_[optLand].value = control == optLand;
    PushValue(optPort);
    PushValue(optLand);
    // Choosing the option that is already chosen runs its handler as well:
    // the handler only writes the shown orientation into the record, so the
    // record never disagrees with the dialog.
    if (control == optPort) OptPortClick();
    else OptLandClick();
}

void PrintDialog::SetListIndex(int control, int index) {
    ControlState& list = controls_[control];
    if (index < 0 || static_cast<size_t>(index) >= list.items.size()) return;
    list.listIndex = index;
    list.text = list.items[index];
    PushList(control);
    if (control == ComboPrinter) ComboPrinterClick();
    else if (control == ComboPaper) ComboPaperClick();
    else if (control == ComboBin) ComboBinClick();
}

void PrintDialog::ApplyMode(bool setup, bool fast) {
    caption_ = setup ? L"Print Setup" : L"Print";
    controls_[cmdOK].visible = !setup;
    controls_[cmdCancel].text = setup ? L"Close" : L"Cancel";
    controls_[frPaper].visible = setup;
    controls_[frOrientation].visible = setup;
    controls_[frRange].visible = !setup;
    controls_[frCopies].visible = !setup;
    controls_[chkFile].visible = !setup;
    controls_[chkFast].visible = !setup;
    if (!setup) controls_[chkFast].value = fast;
    PushAll();
}

}  // namespace tessary
