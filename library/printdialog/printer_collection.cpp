#include "printdialog/printer_collection.h"

#include <windows.h>

#include <cwchar>

#include "printdialog/spooler_printers.h"

namespace tessary {

std::wstring DefaultPrinterName(const wchar_t* fallback, size_t capacity) {
    std::vector<wchar_t> entry(capacity, L'\0');
    GetProfileStringW(L"Windows", L"Device", fallback, entry.data(), static_cast<DWORD>(capacity));
    std::wstring name(entry.data(), wcsnlen(entry.data(), capacity));
    size_t comma = name.find(L',');
    if (comma != std::wstring::npos) name.resize(comma);
    return name;
}

PrinterCollection::PrinterCollection(std::vector<PrinterEntry> entries, const std::wstring& defaultName)
    : entries_(std::move(entries)) {
    SelectByName(defaultName);
}

PrinterCollection PrinterCollection::FromSpooler(SpoolerPrinters& printers, const std::wstring& defaultName) {
    std::vector<PrinterEntry> entries;
    if (printers.Needed() > 0 && printers.Fetch()) {
        const PRINTER_INFO_5W* info = printers.Records();
        for (DWORD i = 0; i < printers.Count(); ++i) {
            entries.push_back({info[i].pPrinterName ? info[i].pPrinterName : L"",
                               info[i].pPortName ? info[i].pPortName : L""});
        }
    }
    return PrinterCollection(std::move(entries), defaultName);
}

PrinterCollection PrinterCollection::FromSpooler() {
    SpoolerPrinters printers;
    return FromSpooler(printers, DefaultPrinterName());
}

const PrinterEntry* PrinterCollection::Current() const {
    return current_ < entries_.size() ? &entries_[current_] : nullptr;
}

bool PrinterCollection::SelectByName(const std::wstring& deviceName) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].deviceName == deviceName) {
            current_ = i;
            return true;
        }
    }
    return false;
}

const PrinterEntry* PrinterCollection::Find(const std::wstring& deviceName) const {
    for (const auto& entry : entries_)
        if (entry.deviceName == deviceName) return &entry;
    return nullptr;
}

}  // namespace tessary
