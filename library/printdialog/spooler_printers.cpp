#include "printdialog/spooler_printers.h"

#include <winspool.h>

#include "frame/system_dlls.h"

namespace tessary {

namespace {
constexpr DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
}  // namespace

SpoolerPrinters::SpoolerPrinters(const char* name, DWORD level) : name_(name), level_(level) {
    DWORD returned = 0;
    delayed::EnumPrintersA(kLocalAndConnections, const_cast<char*>(name_), level_, nullptr, 0, &needed_, &returned);
}

bool SpoolerPrinters::Fetch() {
    buffer_.assign((needed_ + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    DWORD needed = needed_;
    if (!delayed::EnumPrintersA(kLocalAndConnections, const_cast<char*>(name_), level_,
                                reinterpret_cast<BYTE*>(buffer_.data()), needed_, &needed, &count_)) {
        count_ = 0;
        return false;
    }
    return true;
}

}  // namespace tessary
