// The spooler's printers (local ones and connections) with their ports, asked
// for the usual way: the size of their records first, then the records into a
// buffer of exactly that size. One answer serves everything that creating a
// printer object needs (whether any printer exists, the dialog's printer
// list, the ports of the printer collection), so the spooler is asked once.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <vector>

namespace tessary {

class SpoolerPrinters {
public:
    // Asks for the size of the records (PRINTER_INFO_5W: name and port).
    SpoolerPrinters();

    // The bytes the records take: 0 when the spooler knows no printer.
    DWORD Needed() const { return needed_; }
    // Fetches the records into a buffer of Needed() bytes, the first time it
    // is called; false when the spooler refused. Later calls give the first
    // call's answer without asking again.
    bool Fetch();
    DWORD Count() const { return count_; }
    const PRINTER_INFO_5W* Records() const { return reinterpret_cast<const PRINTER_INFO_5W*>(buffer_.data()); }

private:
    DWORD needed_ = 0;
    DWORD count_ = 0;
    bool fetched_ = false;
    bool fetchedOk_ = false;
    // The records point at their names elsewhere in the same buffer, which is
    // kept aligned for them.
    std::vector<ULONG_PTR> buffer_;
};

}  // namespace tessary
