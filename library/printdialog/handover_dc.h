// HDCloc, the DC the print dialog made last. It is the dialog's until a
// printer object takes it; the dialog then still names it (the field keeps
// its value) but no longer owns it. A DC that nobody took is deleted when a
// new one replaces it or the dialog goes.
#pragma once
#include <windows.h>

#include <utility>

#include "frame/handles.h"

namespace tessary {

class HandOverDc {
public:
    HDC get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }

    // Replaces the DC; the one replaced is deleted unless it was taken.
    void reset(UniqueDc fresh = UniqueDc()) {
        owned_.reset(fresh.release());
        value_ = owned_.get();
    }
    // The DC itself, the first time; null once it has been taken.
    UniqueDc Take() { return std::move(owned_); }

private:
    UniqueDc owned_;
    HDC value_ = nullptr;
};

}  // namespace tessary
