// The chosen printer's settings as its driver keeps them: the settings record
// read, written and shown in the driver's own dialog, the paper and bin lists
// the driver reports, and the DCs made from the record.
#include "printdialog/print_dialog.h"

#include <winspool.h>

#include <algorithm>
#include <cwchar>

#include "frame/system_dlls.h"

namespace tessary {

namespace {

uint64_t g_lastDcSerial = 0;

// A printer handle of the spooler, closed with ClosePrinter. The spooler is
// loaded by the OpenPrinter call that made the handle, so closing never fails
// for want of it.
struct SpoolerTraits { static void Close(HANDLE h) { delayed::ClosePrinter.CallOr(FALSE, h); } };
using SpoolerHandle = UniqueHandle<HANDLE, SpoolerTraits>;

// A printer handle for one handler; null when the printer cannot be opened,
// which makes the driver calls that follow fail by their results.
SpoolerHandle OpenSpooler(const std::wstring& name) {
    HANDLE handle = nullptr;
    if (!delayed::OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle, nullptr)) handle = nullptr;
    return SpoolerHandle(handle);
}

// The driver calls take the name as a writable string they never write.
wchar_t* DriverName(const std::wstring& name) { return const_cast<wchar_t*>(name.c_str()); }

// The text before the first NUL of a fixed-size name slot, or the whole slot.
std::wstring SlotText(const wchar_t* slot, size_t size) {
    const wchar_t* nul = std::wmemchr(slot, L'\0', size);
    return std::wstring(slot, nul ? static_cast<size_t>(nul - slot) : size);
}

}  // namespace

// ---------------------------------------------------------------------------
// The settings record

PrintDialog::RecordFields PrintDialog::ReadDriverDefaults(const std::wstring& name) {
    SpoolerHandle printer = OpenSpooler(name);
    LONG size = delayed::DocumentPropertiesW(nullptr, printer.get(), DriverName(name), nullptr, nullptr, 0);
    if (size <= 0) {
        // A record read for another printer must never reach this printer's
        // driver: without its own record the printer prints with its
        // defaults, portrait, one copy.
        record_.Clear();
        recordPrinter_.clear();
        return {DMORIENT_PORTRAIT, 1, 0, 0};
    }
    record_.Resize(size);
    delayed::DocumentPropertiesW(ExistingWindow(), printer.get(), DriverName(name), record_.Buffer(), nullptr,
                                 DM_OUT_BUFFER);
    // The dialog shows the defaults as the driver gave them, before it
    // validates them.
    const RecordFields fields = {record_.Field(SettingsRecord::kOrientation), record_.Field(SettingsRecord::kCopies),
                                 record_.Field(SettingsRecord::kPaperSize),
                                 record_.Field(SettingsRecord::kDefaultSource)};
    delayed::DocumentPropertiesW(ExistingWindow(), printer.get(), DriverName(name), record_.Buffer(), record_.Buffer(),
                                 DM_IN_BUFFER | DM_OUT_BUFFER);
    recordPrinter_ = name;
    return fields;
}

bool PrintDialog::WriteSetting(size_t offset, int16_t value) {
    if (!RecordReadyFor(ChosenPrinter())) return false;
    record_.SetField(offset, value);
    return true;
}

bool PrintDialog::RecordReadyFor(const std::wstring& name) {
    // A record the driver gave a moment ago, for this printer, is ready as
    // it is: the driver is not asked again.
    if (recordFresh_ && recordPrinter_ == name && !record_.Empty()) return true;
    SpoolerHandle printer = OpenSpooler(name);
    LONG size = delayed::DocumentPropertiesW(nullptr, printer.get(), DriverName(name), nullptr, nullptr, 0);
    if (size <= 0) return false;
    // The choices made so far stay in the record: only a record that is not
    // this printer's (or no longer its size) starts again from the driver's
    // defaults. Orientation, paper and bin thus always print as shown.
    if (record_.Empty() || recordPrinter_ != name || record_.Size() != size) {
        record_.Resize(size);
        delayed::DocumentPropertiesW(ExistingWindow(), printer.get(), DriverName(name), record_.Buffer(), nullptr,
                                     DM_OUT_BUFFER);
        recordPrinter_ = name;
    }
    return true;
}

LONG PrintDialog::ShowDriverDialog(const std::wstring& name, HWND owner, SettingsRecord& returned) const {
    SpoolerHandle printer = OpenSpooler(name);
    // The driver writes the whole record of the printer named: the buffer is
    // sized by that printer's own answer, asked now.
    LONG size = delayed::DocumentPropertiesW(nullptr, printer.get(), DriverName(name), nullptr, nullptr, 0);
    if (size <= 0) return -1;
    returned.Resize(size);
    auto* input = const_cast<DEVMODEW*>(recordPrinter_ == name ? record_.ForDriver() : nullptr);
    return delayed::DocumentPropertiesW(owner, printer.get(), DriverName(name), returned.Buffer(), input,
                                        DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
}

// ---------------------------------------------------------------------------
// Paper and bin lists

void PrintDialog::FillCapabilityList(int combo, std::vector<int16_t>& ids, WORD namesCapability,
                                     WORD idsCapability, size_t slot, const std::wstring& device,
                                     const std::wstring& port) {
    ids.clear();
    controls_[combo].items.clear();
    controls_[combo].listIndex = -1;
    controls_[combo].text.clear();
    PushList(combo);

    // Each list is sized by its own count query, so a driver that counts
    // names and identifiers differently cannot write past either buffer.
    int nameCount = delayed::DeviceCapabilitiesW(device.c_str(), port.c_str(), namesCapability, nullptr, nullptr);
    int idCount = delayed::DeviceCapabilitiesW(device.c_str(), port.c_str(), idsCapability, nullptr, nullptr);
    if (nameCount <= 0 || idCount <= 0) return;
    std::vector<wchar_t> names(slot * static_cast<size_t>(nameCount));
    std::vector<WORD> values(static_cast<size_t>(idCount));
    if (delayed::DeviceCapabilitiesW(device.c_str(), port.c_str(), namesCapability, names.data(), nullptr) <= 0) return;
    if (delayed::DeviceCapabilitiesW(device.c_str(), port.c_str(), idsCapability,
                                     reinterpret_cast<wchar_t*>(values.data()), nullptr) <= 0)
        return;
    const int count = std::min(nameCount, idCount);
    for (int i = 0; i < count; ++i) {
        ids.push_back(static_cast<int16_t>(values[i]));
        controls_[combo].items.push_back(SlotText(&names[slot * i], slot));
    }
    PushList(combo);
}

// ---------------------------------------------------------------------------
// Device contexts

void PrintDialog::MakeDc() {
    const std::wstring name = ChosenPrinter();
    if (name.empty()) return;  // no printer chosen: HDCloc stays as it is
    const SettingsRecord* record = (recordPrinter_ == name && record_.ForDriver()) ? &record_ : nullptr;
    UniqueDc dc(CreateDCW(L"", name.c_str(), L"", record ? record->ForDriver() : nullptr));
    ReplaceDc(std::move(dc), name, record);
}

void PrintDialog::ReplaceDc(UniqueDc fresh, std::wstring name, const SettingsRecord* record) {
    hdcLoc_.reset(std::move(fresh));
    dcSerial_ = ++g_lastDcSerial;
    dcPrinter_ = std::move(name);
    dcHasRecord_ = record != nullptr;
    if (record) dcRecord_ = *record;
    else dcRecord_.Clear();
}

UniqueDc PrintDialog::TakeDc(uint64_t* serial) {
    *serial = dcSerial_;
    if (!hdcLoc_) return UniqueDc();
    if (UniqueDc own = hdcLoc_.Take()) return own;
    return UniqueDc(CreateDCW(L"", dcPrinter_.c_str(), L"", DcRecord()));
}

const DEVMODEW* PrintDialog::DcRecord() const { return dcHasRecord_ ? dcRecord_.ForDriver() : nullptr; }

}  // namespace tessary
