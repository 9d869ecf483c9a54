#include "printdialog/print_dialog.h"

#include <commctrl.h>
#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frame/errors.h"
#include "frame/message_sink.h"
#include "frame/module.h"
#include "frame/rounding.h"

namespace tessary {

using namespace print_dialog;

namespace {

std::unique_ptr<PrintDialog> g_dialog;
uint64_t g_lastDcSerial = 0;

const char kNoPrinter[] = "There is no printer installed";
const char kLoadError[] = "PrintDialog load error: ";
const char kPropertiesError[] = "Error displaying document properties";

std::wstring Wide(const std::string& text) {
    std::wstring out;
    for (unsigned char c : text) out += static_cast<wchar_t>(c);
    return out;
}

// The text before the first NUL of a fixed-size name slot, or the whole slot.
std::string SlotText(const char* slot, size_t size) {
    const void* nul = std::memchr(slot, 0, size);
    return std::string(slot, nul ? static_cast<const char*>(nul) - slot : size);
}

// The name a printer handle and the driver calls get: the text up to its
// first NUL (PrinterName carries one at its end).
std::string CName(const std::string& name) { return std::string(name.c_str()); }

// Where `id` first appears in `ids`; -1 (which no list selects) when it is
// not there.
int IndexOf(const std::vector<int16_t>& ids, int16_t id) {
    auto it = std::find(ids.begin(), ids.end(), id);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

class SpoolerHandle {
public:
    explicit SpoolerHandle(const std::string& name) {
        if (!OpenPrinterA(const_cast<char*>(name.c_str()), &handle_, nullptr)) handle_ = nullptr;
    }
    SpoolerHandle(const SpoolerHandle&) = delete;
    SpoolerHandle& operator=(const SpoolerHandle&) = delete;
    ~SpoolerHandle() { if (handle_) ClosePrinter(handle_); }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Loading and unloading

PrintDialog& PrintDialog::Get() {
    if (!g_dialog) {
        std::unique_ptr<PrintDialog> fresh(new PrintDialog());
        fresh->CreateWindowIfPossible();
        fresh->LoadStep();
        g_dialog = std::move(fresh);
    }
    return *g_dialog;
}

PrintDialog* PrintDialog::Loaded() { return g_dialog.get(); }

void PrintDialog::Unload() { g_dialog.reset(); }

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
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (hdcLoc_ && !dcTaken_) DeleteDC(hdcLoc_);
}

void PrintDialog::CreateWindowIfPossible() {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    units_ = DialogUnits::Measure();
    POINT corners[kControlCount];
    for (int i = 0; i < kControlCount; ++i) corners[i] = controls_[i].corner;
    std::vector<uint8_t> layout = BuildTemplate(units_, corners);
    HINSTANCE instance = ModuleHandle() ? ModuleHandle() : GetModuleHandleA(nullptr);
    // Without a display no window can be made: the dialog then keeps working
    // on its own state alone.
    window_ = CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(layout.data()), nullptr,
                                         &PrintDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window_) return;

    HWND spin = Item(UpDown1);
    SendMessageA(spin, UDM_SETRANGE32, kCopiesMin, kCopiesMax);
    // Painting follows the z-order, which a template ties to the tab order.
    // Frames go beneath everything, so that the controls in them are drawn
    // over them, and the spin control on top, over the right edge of the
    // copies box as designed. Neither takes the focus: the order of the
    // controls that do is the design's.
    for (int frame : {Frame1, frPaper, frOrientation, frRange, frCopies})
        SetWindowPos(Item(frame), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(spin, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    toolTip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
    if (toolTip_) {
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(Item(chkFast));
        tool.lpszText = const_cast<char*>(kFastToolTip);
        SendMessageA(toolTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    PushAll();
}

void PrintDialog::LoadStep() {
    Init();
    outerHeightTwips_ = kLoadedOuterHeightTwips;
    if (window_) {
        RECT outer;
        GetWindowRect(window_, &outer);
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, units_.TwipsToPixelsY(outerHeightTwips_),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Range and copies share the middle row with paper and orientation.
    controls_[frRange].corner.y = kMiddleRowTopTwips;
    controls_[frCopies].corner.y = kMiddleRowTopTwips;
    PushPosition(frRange);
    PushPosition(frCopies);
}

// ---------------------------------------------------------------------------
// Init and the printer-list handler

void PrintDialog::Init() {
    ReplaceDc(nullptr, std::string(), nullptr);
    loading_ = true;

    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, returned = 0;
    EnumPrintersA(flags, const_cast<char*>("0"), 1, nullptr, 0, &needed, &returned);
    if (needed == 0) {
        ShowMessage(Wide(kNoPrinter), MB_OK | MB_ICONINFORMATION, kApplicationTitle);
        return;
    }
    // The records hold pointers to names elsewhere in the same buffer.
    std::vector<DWORD> buffer((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (!EnumPrintersA(flags, const_cast<char*>("0"), 1, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed,
                       &returned)) {
        ShowMessage(Wide(kLoadError), MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }
    if (returned == 0) {
        ShowMessage(Wide(kNoPrinter), MB_OK | MB_ICONINFORMATION, kApplicationTitle);
        return;
    }

    const auto* records = reinterpret_cast<const PRINTER_INFO_1A*>(buffer.data());
    std::string first;
    for (DWORD i = 0; i < returned; ++i) {
        std::string name = records[i].pName ? records[i].pName : "";
        if (name.size() >= 512) name.clear();
        if (i == 0) first = name;
        controls_[ComboPrinter].items.push_back(name);
    }
    PushList(ComboPrinter);
    printers_ = PrinterCollection::FromSpooler();

    char device[128] = {};
    GetProfileStringA("Windows", "Device", first.c_str(), device, sizeof device);
    std::string chosen = SlotText(device, sizeof device);
    size_t comma = chosen.find(',');
    if (comma != std::string::npos) chosen.resize(comma);

    controls_[ComboPrinter].text = chosen;
    PushText(ComboPrinter);
    loading_ = false;
    ComboPrinterClick();
    MakeDc();
}

void PrintDialog::ComboPrinterClick() {
    if (loading_) return;
    const std::string chosen = controls_[ComboPrinter].text;
    if (chosen + '\0' == printerName_) return;
    printerName_ = chosen + '\0';
    const std::string name = CName(chosen);

    int16_t orientation = 0, copies = 0, paper = 0, source = 0;
    {
        SpoolerHandle printer(name);
        LONG size = DocumentPropertiesA(nullptr, printer.get(), const_cast<char*>(name.c_str()), nullptr, nullptr, 0);
        if (size > 0) {
            record_.Resize(size);
            DocumentPropertiesA(window_, printer.get(), const_cast<char*>(name.c_str()), record_.Buffer(), nullptr,
                                DM_OUT_BUFFER);
            orientation = record_.Field(SettingsRecord::kOrientation);
            copies = record_.Field(SettingsRecord::kCopies);
            paper = record_.Field(SettingsRecord::kPaperSize);
            source = record_.Field(SettingsRecord::kDefaultSource);
            DocumentPropertiesA(window_, printer.get(), const_cast<char*>(name.c_str()), record_.Buffer(),
                                record_.Buffer(), DM_IN_BUFFER | DM_OUT_BUFFER);
            recordPrinter_ = name;
        } else {
            // A record read for another printer must never reach this
            // printer's driver: without its own record the printer prints
            // with its defaults, portrait, one copy.
            record_.Clear();
            recordPrinter_.clear();
            orientation = DMORIENT_PORTRAIT;
            copies = 1;
        }
    }

    printers_.SelectByName(name);
    ShowOrientation(orientation);

    const PrinterEntry* current = printers_.Current();
    const std::string currentName = current ? current->deviceName : std::string();
    const bool isDefault = currentName == name && name == DefaultPrinterName();
    controls_[labStat].text = isDefault ? "Status:      Default printer; Ready" : "Status:      Ready";
    controls_[labType].text = "Type:        " + currentName;
    controls_[labWhere].text = "Where:     " + (current ? current->port : std::string());
    controls_[labComment].text = "Comment: ?";
    PushText(labStat);
    PushText(labType);
    PushText(labWhere);
    PushText(labComment);

    SpinCopies(copies);

    // The lists come from the chosen printer itself, whether or not the
    // printer collection knows it.
    const PrinterEntry* entry = printers_.Find(name);
    const std::string port = entry ? entry->port : std::string();
    FillCapabilityList(ComboPaper, paperIds_, DC_PAPERNAMES, DC_PAPERS, 64, name, port);
    SetListIndex(ComboPaper, IndexOf(paperIds_, paper));
    FillCapabilityList(ComboBin, binIds_, DC_BINNAMES, DC_BINS, 24, name, port);
    SetListIndex(ComboBin, IndexOf(binIds_, source));
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

void PrintDialog::FillCapabilityList(int combo, std::vector<int16_t>& ids, WORD namesCapability,
                                     WORD idsCapability, size_t slot, const std::string& device,
                                     const std::string& port) {
    ids.clear();
    controls_[combo].items.clear();
    controls_[combo].listIndex = -1;
    controls_[combo].text.clear();
    PushList(combo);

    // Each list is sized by its own count query, so a driver that counts
    // names and identifiers differently cannot write past either buffer.
    int nameCount = DeviceCapabilitiesA(device.c_str(), port.c_str(), namesCapability, nullptr, nullptr);
    int idCount = DeviceCapabilitiesA(device.c_str(), port.c_str(), idsCapability, nullptr, nullptr);
    if (nameCount <= 0 || idCount <= 0) return;
    std::vector<char> names(slot * static_cast<size_t>(nameCount));
    std::vector<WORD> values(static_cast<size_t>(idCount));
    if (DeviceCapabilitiesA(device.c_str(), port.c_str(), namesCapability, names.data(), nullptr) <= 0) return;
    if (DeviceCapabilitiesA(device.c_str(), port.c_str(), idsCapability, reinterpret_cast<char*>(values.data()),
                            nullptr) <= 0)
        return;
    const int count = std::min(nameCount, idCount);
    for (int i = 0; i < count; ++i) {
        ids.push_back(static_cast<int16_t>(values[i]));
        controls_[combo].items.push_back(SlotText(&names[slot * i], slot));
    }
    PushList(combo);
}

// ---------------------------------------------------------------------------
// The setting handlers

bool PrintDialog::WriteSetting(size_t offset, int16_t value) {
    const std::string name = CName(printerName_);
    SpoolerHandle printer(name);
    LONG size = DocumentPropertiesA(nullptr, printer.get(), const_cast<char*>(name.c_str()), nullptr, nullptr, 0);
    if (size <= 0) return false;
    // The choices made so far stay in the record: only a record that is not
    // this printer's (or no longer its size) starts again from the driver's
    // defaults. Orientation, paper and bin thus always print as shown.
    if (record_.Empty() || recordPrinter_ != name || record_.Size() != size) {
        record_.Resize(size);
        DocumentPropertiesA(window_, printer.get(), const_cast<char*>(name.c_str()), record_.Buffer(), nullptr,
                            DM_OUT_BUFFER);
        recordPrinter_ = name;
    }
    record_.SetField(offset, value);
    return true;
}

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
    controls_[txtCopies].text = std::to_string(spinValue_);
    PushText(txtCopies);
}

// ---------------------------------------------------------------------------
// Closing buttons and device contexts

void PrintDialog::CmdOkClick() {
    bPrint_ = true;
    SkipOnError([&] { MakeDc(); });
    if (window_) ShowWindow(window_, SW_HIDE);
}

void PrintDialog::CmdCancelClick() {
    bPrint_ = false;
    SkipOnError([&] { MakeDc(); });
    if (window_) ShowWindow(window_, SW_HIDE);
}

void PrintDialog::CmdPropertiesClick() {
    // The driver's dialog is for the printer named in the list box. A name
    // typed there is chosen first, as picking it from the list would, so that
    // PrinterName, the record and the paper and bin lists all belong to the
    // printer whose properties are shown.
    if (controls_[ComboPrinter].text + '\0' != printerName_) ComboPrinterClick();
    printerName_ = controls_[ComboPrinter].text + '\0';
    const std::string name = CName(printerName_);

    SettingsRecord returned;
    LONG result = -1;
    {
        SpoolerHandle printer(name);
        // The driver writes the whole record of the printer named: the buffer
        // is sized by that printer's own answer, asked now.
        LONG size = DocumentPropertiesA(nullptr, printer.get(), const_cast<char*>(name.c_str()), nullptr, nullptr, 0);
        if (size > 0) {
            returned.Resize(size);
            const DEVMODEA* input = recordPrinter_ == name ? record_.ForDriver() : nullptr;
            result = DocumentPropertiesA(window_, printer.get(), const_cast<char*>(name.c_str()), returned.Buffer(),
                                         const_cast<DEVMODEA*>(input), DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
        }
    }
    if (result == 0 || result == IDCANCEL) return;
    if (result != IDOK) {
        ShowMessage(Wide(kPropertiesError), MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }

    record_ = std::move(returned);
    recordPrinter_ = name;
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

void PrintDialog::ShowModal() {
    if (!window_) {
        bPrint_ = false;
        return;
    }
    if (IsWindowVisible(window_)) return;  // already shown: its own loop runs

    // Like a modal form, the dialog is the only window of the thread that
    // takes input while it is up.
    struct Collect {
        HWND self;
        HWND toolTip;
        std::vector<HWND> windows;
        static BOOL CALLBACK Add(HWND window, LPARAM context) {
            auto* c = reinterpret_cast<Collect*>(context);
            if (window != c->self && window != c->toolTip && IsWindowVisible(window) && IsWindowEnabled(window))
                c->windows.push_back(window);
            return TRUE;
        }
    } others{window_, toolTip_, {}};
    const HWND active = GetActiveWindow();
    EnumThreadWindows(GetCurrentThreadId(), &Collect::Add, reinterpret_cast<LPARAM>(&others));
    for (HWND other : others.windows) EnableWindow(other, FALSE);

    // In the middle of the screen's work area, as a dialog box opens.
    RECT area, outer;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, HWND_TOP, area.left + ((area.right - area.left) - (outer.right - outer.left)) / 2,
                 area.top + ((area.bottom - area.top) - (outer.bottom - outer.top)) / 2, 0, 0, SWP_NOSIZE);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    HWND first = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (first) SetFocus(first);

    // The window is kept in a local: an unload while the dialog is shown
    // destroys it, and the loop must then end without touching the dialog.
    const HWND window = window_;
    MSG message;
    while (IsWindow(window) && IsWindowVisible(window)) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // A quit request belongs to the caller's own loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    for (HWND other : others.windows)
        if (IsWindow(other)) EnableWindow(other, TRUE);
    // The window that was active before gets the input back, as it does
    // when a dialog box closes.
    if (active && IsWindow(active) && IsWindowEnabled(active)) SetActiveWindow(active);
}

void PrintDialog::MakeDc() {
    const std::string name = CName(printerName_);
    if (name.empty()) return;  // no printer chosen: HDCloc stays as it is
    const SettingsRecord* record = (recordPrinter_ == name && record_.ForDriver()) ? &record_ : nullptr;
    HDC dc = CreateDCA("", name.c_str(), "", record ? record->ForDriver() : nullptr);
    ReplaceDc(dc, name, record);
}

void PrintDialog::ReplaceDc(HDC fresh, std::string name, const SettingsRecord* record) {
    if (hdcLoc_ && !dcTaken_) DeleteDC(hdcLoc_);
    hdcLoc_ = fresh;
    dcTaken_ = false;
    dcSerial_ = ++g_lastDcSerial;
    dcPrinter_ = std::move(name);
    dcHasRecord_ = record != nullptr;
    if (record) dcRecord_ = *record;
    else dcRecord_.Clear();
}

UniqueDc PrintDialog::TakeDc(uint64_t* serial) {
    *serial = dcSerial_;
    if (!hdcLoc_) return UniqueDc();
    if (!dcTaken_) {
        dcTaken_ = true;
        return UniqueDc(hdcLoc_);
    }
    return UniqueDc(CreateDCA("", dcPrinter_.c_str(), "", DcRecord()));
}

const DEVMODEA* PrintDialog::DcRecord() const { return dcHasRecord_ ? dcRecord_.ForDriver() : nullptr; }

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
    if (HWND spin = Item(UpDown1)) SendMessageA(spin, UDM_SETPOS32, 0, spinValue_);
    UpDownChange();
}

void PrintDialog::TypeCopies(const std::string& text) {
    controls_[txtCopies].text = text;
    PushText(txtCopies);
}

void PrintDialog::TypePrinterName(const std::string& text) {
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
    caption_ = setup ? "Print Setup" : "Print";
    controls_[cmdOK].visible = !setup;
    controls_[cmdCancel].text = setup ? "Close" : "Cancel";
    controls_[frPaper].visible = setup;
    controls_[frOrientation].visible = setup;
    controls_[frRange].visible = !setup;
    controls_[frCopies].visible = !setup;
    controls_[chkFile].visible = !setup;
    controls_[chkFast].visible = !setup;
    if (!setup) controls_[chkFast].value = fast;
    PushAll();
}

short PrintDialog::CopiesFromText(const std::string& text) {
    // The run-time's reading of a number at the start of a text: blanks
    // before and inside the number are skipped, "d" counts as an exponent.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    std::string number;
    bool digits = false, point = false, exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '\t') continue;
        if (c >= '0' && c <= '9') {
            number += c;
            digits = true;
        } else if (c == '.' && !point && !exponent) {
            number += c;
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exponent) {
            size_t j = i + 1;
            std::string tail = "e";
            if (j < text.size() && (text[j] == '+' || text[j] == '-')) tail += text[j++];
            if (j >= text.size() || text[j] < '0' || text[j] > '9') break;
            number += tail;
            exponent = true;
            i = j - 1;
        } else {
            break;
        }
    }
    double value = digits ? std::strtod(number.c_str(), nullptr) : 0.0;
    int32_t rounded = RoundHalfEven(value);
    if (rounded < -32768 || rounded > 32767) ThrowRuntime(kOverflow);
    return static_cast<short>(rounded);
}

// ---------------------------------------------------------------------------
// The window

INT_PTR CALLBACK PrintDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        reinterpret_cast<PrintDialog*>(lParam)->window_ = window;
        return TRUE;
    }
    auto* self = reinterpret_cast<PrintDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return FALSE;
    return self->OnMessage(message, wParam, lParam);
}

INT_PTR PrintDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (!pushing_) OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_VSCROLL:
        // The spin control reports each step (and the end of a press); its
        // position is what counts. It has no buddy window, so the error flag
        // UDM_GETPOS32 can give back says nothing about the position.
        if (!pushing_ && reinterpret_cast<HWND>(lParam) == Item(UpDown1)) {
            int value = static_cast<int>(SendMessageA(Item(UpDown1), UDM_GETPOS32, 0, 0));
            if (value != spinValue_) {
                spinValue_ = value;
                UpDownChange();
            }
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void PrintDialog::OnCommand(int id, int code, HWND from) {
    auto idOf = [](int control) { return kControls[control].id; };
    auto textOf = [](HWND item) {
        int n = GetWindowTextLengthA(item);
        std::string text(static_cast<size_t>(n) + 1, '\0');
        n = GetWindowTextA(item, &text[0], n + 1);
        text.resize(n > 0 ? n : 0);
        return text;
    };
    if (id == IDOK) {
        // Enter reaches here too: the print button counts only when shown.
        if (controls_[cmdOK].visible) CmdOkClick();
        return;
    }
    if (id == IDCANCEL) {
        CmdCancelClick();
        return;
    }
    if (id == idOf(cmdProperties)) {
        if (code == BN_CLICKED) CmdPropertiesClick();
        return;
    }
    for (int list : {ComboPrinter, ComboPaper, ComboBin}) {
        if (id != idOf(list)) continue;
        if (code == CBN_SELCHANGE) {
            int index = static_cast<int>(SendMessageA(from, CB_GETCURSEL, 0, 0));
            if (index >= 0 && static_cast<size_t>(index) < controls_[list].items.size()) {
                controls_[list].listIndex = index;
                controls_[list].text = controls_[list].items[index];
                if (list == ComboPrinter) ComboPrinterClick();
                else if (list == ComboPaper) ComboPaperClick();
                else ComboBinClick();
            }
        } else if (code == CBN_EDITCHANGE) {
            controls_[list].text = textOf(from);
        }
        return;
    }
    if (code == BN_CLICKED && (id == idOf(optPort) || id == idOf(optLand))) {
        int clicked = id == idOf(optPort) ? optPort : optLand;
        if (SendMessageA(from, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            controls_[optPort].value = clicked == optPort;
            controls_[optLand].value = clicked == optLand;
            if (clicked == optPort) OptPortClick();
            else OptLandClick();
        }
        return;
    }
    if (code == BN_CLICKED) {
        for (int option : {Option1, Option2, Option3}) {
            if (id == idOf(option))
                for (int other : {Option1, Option2, Option3}) controls_[other].value = other == option;
        }
        if (id == idOf(chkFile)) controls_[chkFile].value = SendMessageA(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (id == idOf(chkFast)) controls_[chkFast].value = SendMessageA(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        return;
    }
    if (code == EN_CHANGE) {
        for (int box : {txtCopies, Text1, Text2})
            if (id == idOf(box)) controls_[box].text = textOf(from);
    }
}

HWND PrintDialog::Item(int control) const {
    return window_ ? GetDlgItem(window_, kControls[control].id) : nullptr;
}

void PrintDialog::PushText(int control) {
    HWND item = Item(control);
    if (!item || kControls[control].kind == Kind::UpDown) return;
    pushing_ = true;
    SetWindowTextA(item, controls_[control].text.c_str());
    pushing_ = false;
}

void PrintDialog::PushValue(int control) {
    HWND item = Item(control);
    if (!item) return;
    pushing_ = true;
    SendMessageA(item, BM_SETCHECK, controls_[control].value ? BST_CHECKED : BST_UNCHECKED, 0);
    pushing_ = false;
}

void PrintDialog::PushList(int control) {
    HWND item = Item(control);
    if (!item) return;
    const ControlState& list = controls_[control];
    pushing_ = true;
    SendMessageA(item, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : list.items) SendMessageA(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(list.listIndex), 0);
    SetWindowTextA(item, list.text.c_str());
    pushing_ = false;
}

bool PrintDialog::EffectivelyVisible(int control) const {
    int container = kControls[control].container;
    return controls_[control].visible && (container < 0 || controls_[container].visible);
}

void PrintDialog::PushVisible(int control) {
    if (!window_) return;
    for (int i = 0; i < kControlCount; ++i) {
        if (i != control && kControls[i].container != control) continue;
        if (HWND item = Item(i)) ShowWindow(item, EffectivelyVisible(i) ? SW_SHOWNA : SW_HIDE);
    }
}

void PrintDialog::PushPosition(int control) {
    if (!window_) return;
    POINT corners[kControlCount];
    for (int i = 0; i < kControlCount; ++i) corners[i] = controls_[i].corner;
    for (int i = 0; i < kControlCount; ++i) {
        if (i != control && kControls[i].container != control) continue;
        HWND item = Item(i);
        if (!item) continue;
        RECT twips = AbsoluteTwips(i, corners);
        // Through dialog units, exactly as the template placed it.
        RECT at = {units_.TwipsToUnitsX(twips.left), units_.TwipsToUnitsY(twips.top), 0, 0};
        MapDialogRect(window_, &at);
        SetWindowPos(item, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void PrintDialog::PushAll() {
    if (!window_) return;
    pushing_ = true;
    SetWindowTextA(window_, caption_.c_str());
    pushing_ = false;
    for (int i = 0; i < kControlCount; ++i) {
        switch (kControls[i].kind) {
        case Kind::Combo: PushList(i); break;
        case Kind::Option:
        case Kind::Check: PushText(i); PushValue(i); break;
        case Kind::UpDown: SendMessageA(Item(i), UDM_SETPOS32, 0, spinValue_); break;
        default: PushText(i); break;
        }
        if (HWND item = Item(i)) EnableWindow(item, controls_[i].enabled);
    }
    for (int i = 0; i < kControlCount; ++i)
        if (HWND item = Item(i)) ShowWindow(item, EffectivelyVisible(i) ? SW_SHOWNA : SW_HIDE);
}

}  // namespace tessary
