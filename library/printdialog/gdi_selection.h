// An object selected into a DC for one scope: what it replaced goes back in
// when the scope ends, on every path, so the object can then be deleted.
#pragma once
#include <windows.h>

namespace tessary {

class Selection {
public:
    // A null object selects nothing.
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), replaced_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (replaced_ && replaced_ != HGDI_ERROR) SelectObject(dc_, replaced_);
    }

private:
    HDC dc_;
    HGDIOBJ replaced_;
};

}  // namespace tessary
