#include "printdialog/spooler_printers.h"

#include "frame/system_dlls.h"

namespace tessary {

namespace {
constexpr DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
constexpr DWORD kLevel = 5;
// The spooler ignores the name for local printers and connections.
wchar_t kAnyName[] = L"0";
}  // namespace

SpoolerPrinters::SpoolerPrinters() {
    DWORD returned = 0;
    delayed::EnumPrintersW(kLocalAndConnections, kAnyName, kLevel, nullptr, 0, &needed_, &returned);
}

bool SpoolerPrinters::Fetch() {
    if (fetched_) return fetchedOk_;
    fetched_ = true;
    buffer_.assign((needed_ + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR), 0);
    DWORD needed = needed_;
    fetchedOk_ = delayed::EnumPrintersW(kLocalAndConnections, kAnyName, kLevel, reinterpret_cast<BYTE*>(buffer_.data()),
                                        needed_, &needed, &count_) != FALSE;
    if (!fetchedOk_) count_ = 0;
    return fetchedOk_;
}

}  // namespace tessary
