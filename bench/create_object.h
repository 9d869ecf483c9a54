// An object of the library (or of the platform) made in-process, as a client
// of either would make it; null when it cannot be made.
#pragma once
#include <windows.h>

#include "frame/com_ptr.h"

namespace tessary::bench {

template <class Interface>
ComPtr<Interface> Create(const CLSID& clsid) {
    ComPtr<Interface> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Interface), reinterpret_cast<void**>(object.put()));
    return object;
}

}  // namespace tessary::bench
