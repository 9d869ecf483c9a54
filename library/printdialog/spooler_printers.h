// The spooler's printers (local ones and connections) with their ports. One
// answer serves everything that creating a printer object needs (whether any
// printer exists, the dialog's printer list, the ports of the printer
// collection), so the spooler is asked once: with a buffer that holds the
// records of most machines, and only when they need more, once again with a
// buffer of exactly the size the spooler named.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <vector>

namespace tessary {

class SpoolerPrinters {
public:
    // Asks for the records (PRINTER_INFO_5W: name and port).
    SpoolerPrinters();

    // The bytes the records take: 0 when the spooler knows no printer.
    DWORD Needed() const { return needed_; }
    // The records in a buffer of Needed() bytes, asked for again when the
    // first answer did not fit; false when the spooler refused. Later calls
    // give the same answer without asking again.
    bool Fetch();
    DWORD Count() const { return count_; }
    const PRINTER_INFO_5W* Records() const { return reinterpret_cast<const PRINTER_INFO_5W*>(buffer_.data()); }

private:
    // One call of the spooler into a buffer of `size` bytes.
    bool Ask(DWORD size);

    DWORD needed_ = 0;
    DWORD count_ = 0;
    bool fetched_ = false;
    bool fetchedOk_ = false;
    // The records point at their names elsewhere in the same buffer, which is
    // kept aligned for them.
    std::vector<ULONG_PTR> buffer_;
};

}  // namespace tessary
