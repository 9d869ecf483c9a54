#include "printdialog/spooler_printers.h"

#include "frame/system_dlls.h"

namespace tessary {

namespace {
constexpr DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
constexpr DWORD kLevel = 5;
// Room for the names and ports of a few dozen printers.
constexpr DWORD kFirstBuffer = 4096;
// The spooler ignores the name for local printers and connections.
wchar_t kAnyName[] = L"0";
}  // namespace

SpoolerPrinters::SpoolerPrinters() {
    if (Ask(kFirstBuffer)) {
        fetched_ = fetchedOk_ = true;
    } else {
        // Too many to fit (the spooler named the size they need), none at
        // all, or a refusal: Fetch asks again.
        count_ = 0;
        buffer_.clear();
    }
}

bool SpoolerPrinters::Fetch() {
    if (fetched_) return fetchedOk_;
    fetched_ = true;
    fetchedOk_ = needed_ > 0 && Ask(needed_);
    if (!fetchedOk_) count_ = 0;
    return fetchedOk_;
}

bool SpoolerPrinters::Ask(DWORD size) {
    buffer_.assign((size + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR), 0);
    DWORD needed = 0;
    count_ = 0;
    const bool ok = delayed::EnumPrintersW(kLocalAndConnections, kAnyName, kLevel,
                                           reinterpret_cast<BYTE*>(buffer_.data()), size, &needed, &count_) != FALSE;
    // A first call that did not fit names the size the records need; a call
    // that fitted, the size they took.
    if (!fetched_) needed_ = needed;
    return ok;
}

}  // namespace tessary
