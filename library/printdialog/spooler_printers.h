// The spooler's printers (local ones and connections), asked for the usual
// way: the size of their records first, then the records into a buffer of
// exactly that size.
#pragma once
#include <windows.h>

#include <vector>

namespace tessary {

class SpoolerPrinters {
public:
    // Asks for the size of the records of `level`; `name` goes to the spooler
    // as given.
    SpoolerPrinters(const char* name, DWORD level);

    // The bytes the records take: 0 when the spooler knows no printer.
    DWORD Needed() const { return needed_; }
    // Fetches the records into a buffer of Needed() bytes; false when the
    // spooler refuses.
    bool Fetch();
    DWORD Count() const { return count_; }
    // The fetched records (PRINTER_INFO_1A for level 1, _2A for level 2).
    template <class Info>
    const Info* Records() const {
        return reinterpret_cast<const Info*>(buffer_.data());
    }

private:
    const char* name_;
    DWORD level_;
    DWORD needed_ = 0;
    DWORD count_ = 0;
    // The records point at their names elsewhere in the same buffer, which is
    // kept aligned for them.
    std::vector<DWORD> buffer_;
};

}  // namespace tessary
