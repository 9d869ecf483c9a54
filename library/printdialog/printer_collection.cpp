#include "printdialog/printer_collection.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

#include "printdialog/spooler_printers.h"

namespace tessary {

std::string DefaultPrinterName(const char* fallback, size_t capacity) {
    std::vector<char> entry(capacity, '\0');
    GetProfileStringA("Windows", "Device", fallback, entry.data(), static_cast<DWORD>(capacity));
    std::string name(entry.data(), strnlen(entry.data(), capacity));
    size_t comma = name.find(',');
    if (comma != std::string::npos) name.resize(comma);
    return name;
}

PrinterCollection::PrinterCollection(std::vector<PrinterEntry> entries, const std::string& defaultName)
    : entries_(std::move(entries)) {
    SelectByName(defaultName);
}

PrinterCollection PrinterCollection::FromSpooler() {
    SpoolerPrinters spooler(nullptr, 2);
    std::vector<PrinterEntry> entries;
    if (spooler.Needed() > 0 && spooler.Fetch()) {
        const auto* info = spooler.Records<PRINTER_INFO_2A>();
        for (DWORD i = 0; i < spooler.Count(); ++i) {
            entries.push_back({info[i].pPrinterName ? info[i].pPrinterName : "",
                               info[i].pPortName ? info[i].pPortName : ""});
        }
    }
    return PrinterCollection(std::move(entries), DefaultPrinterName());
}

const PrinterEntry* PrinterCollection::Current() const {
    return current_ < entries_.size() ? &entries_[current_] : nullptr;
}

bool PrinterCollection::SelectByName(const std::string& deviceName) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].deviceName == deviceName) {
            current_ = i;
            return true;
        }
    }
    return false;
}

const PrinterEntry* PrinterCollection::Find(const std::string& deviceName) const {
    for (const auto& entry : entries_)
        if (entry.deviceName == deviceName) return &entry;
    return nullptr;
}

}  // namespace tessary
