#include "printdialog/printer_collection.h"

#include <windows.h>
#include <winspool.h>

namespace tessary {

std::string DefaultPrinterName() {
    char entry[256] = {};
    GetProfileStringA("Windows", "Device", "", entry, sizeof entry);
    std::string text(entry);
    size_t comma = text.find(',');
    return comma == std::string::npos ? text : text.substr(0, comma);
}

PrinterCollection::PrinterCollection(std::vector<PrinterEntry> entries, const std::string& defaultName)
    : entries_(std::move(entries)) {
    SelectByName(defaultName);
}

PrinterCollection PrinterCollection::FromSpooler() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, returned = 0;
    EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<PrinterEntry> entries;
    if (needed > 0) {
        // PRINTER_INFO_2A holds pointers into the same buffer: keep it aligned.
        std::vector<DWORD> buffer((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
        if (EnumPrintersA(flags, nullptr, 2, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed, &returned)) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i) {
                entries.push_back({info[i].pPrinterName ? info[i].pPrinterName : "",
                                   info[i].pPortName ? info[i].pPortName : ""});
            }
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
