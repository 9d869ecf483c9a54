// The toolkit's printer collection, `Printers`, and its current printer,
// `Printer`, as the print dialog uses them: each entry has a DeviceName and a
// Port; the current printer starts as the user's default printer and can be
// set to any entry. A small layer over the spooler's printer list.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace tessary {

class SpoolerPrinters;

struct PrinterEntry {
    std::wstring deviceName;
    std::wstring port;
};

class PrinterCollection {
public:
    // The printers of the spooler's answer, with `defaultName` (the user's
    // default printer) as the current one, else the first. An answer that
    // could not be fetched gives an empty collection.
    static PrinterCollection FromSpooler(SpoolerPrinters& printers, const std::wstring& defaultName);
    // The same, asking the spooler now.
    static PrinterCollection FromSpooler();

    PrinterCollection() = default;
    explicit PrinterCollection(std::vector<PrinterEntry> entries, const std::wstring& defaultName);

    const std::vector<PrinterEntry>& Entries() const { return entries_; }
    // The current printer, or null when the collection is empty.
    const PrinterEntry* Current() const;
    // Makes the first entry with this device name the current printer;
    // false (and the current printer unchanged) when there is none.
    bool SelectByName(const std::wstring& deviceName);
    // The entry with this device name, or null.
    const PrinterEntry* Find(const std::wstring& deviceName) const;

private:
    std::vector<PrinterEntry> entries_;
    size_t current_ = 0;
};

// The name part of the user's default printer entry, profile section
// "Windows", key "Device" (name, driver, port): the entry as read into
// `capacity` characters, up to its first NUL, then up to its first comma.
// `fallback` stands for a missing entry.
std::wstring DefaultPrinterName(const wchar_t* fallback = L"", size_t capacity = 256);

}  // namespace tessary
