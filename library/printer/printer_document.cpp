// The document and page bracket on the printer object's DC, and what the
// object says about itself: its DC, device name, job and kind of device.
#include "printer/printer.h"

#include <cstddef>

#include "frame/errors.h"
#include "printer/showing_result.h"

namespace tessary {

bool Printer::StartDoc(std::wstring_view docName, std::wstring_view outFile) {
    return ShowingResult(L"Printer StartDoc Error: ", false, [&] {
        if (!dc_) return false;
        // Each name ends at its first NUL, as the platform reads it.
        const std::wstring name(docName);
        const std::wstring output(outFile);
        // The three-field form of the record (12 bytes on x86, 24 on x64);
        // the fields after it stay zero.
        DOCINFOW info = {};
        info.cbSize = offsetof(DOCINFOW, lpszDatatype);
        info.lpszDocName = name.c_str();
        info.lpszOutput = output.empty() ? nullptr : output.c_str();
        // A document already open in the DC stays the object's when the
        // platform refuses a second one, so that EndDoc still ends it.
        int job = ::StartDocW(dc_.get(), &info);
        if (job < 1) return false;
        state_.jobId = job;
        return true;
    });
}

bool Printer::StartPage() {
    return ShowingResult(L"Printer StartPage Error: ", false,
                         [&] { return state_.jobId != 0 && ::StartPage(dc_.get()) > 0; });
}

bool Printer::EndPage() {
    return ShowingResult(L"Printer EndPage error: ", false,
                         [&] { return state_.jobId != 0 && ::EndPage(dc_.get()) > 0; });
}

bool Printer::EndDoc() {
    return ShowingResult(L"EndDoc Error: ", false, [&] {
        if (state_.jobId == 0) return false;
        int ended = ::EndDoc(dc_.get());
        state_.jobId = 0;
        return ended > 0;
    });
}

// A DC is 32-bit significant: clients get it truncated to 32 bits.
long Printer::Hdc() { return HandleToLong(dc_.get()); }

std::wstring Printer::DeviceName() {
    return ShowingResult(L"Printer class DeviceName error: ", std::wstring(), [&] {
        // The name ends in the NUL the dialog appends; an empty name has no
        // last character to drop.
        if (state_.deviceName.empty()) ThrowRuntime(kInvalidArgument);
        return state_.deviceName.substr(0, state_.deviceName.size() - 1);
    });
}

bool Printer::IsPrinter() {
    return ShowingResult(L"Printer class IsPrinter error: ", false,
                         [&] { return GetDeviceCaps(dc_.get(), TECHNOLOGY) == DT_RASPRINTER; });
}

long Printer::PrintJobID() { return state_.jobId; }

}  // namespace tessary
