// One published class as the server's entry points see it: its identity and
// how to make one. The server's table of these drives DllGetClassObject,
// DllRegisterServer and DllUnregisterServer.
#pragma once
#include <windows.h>

namespace tessary {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;  // library name, a point, class name
    CreateFunction create;
};

}  // namespace tessary
