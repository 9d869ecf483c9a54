// One published class as the server's entry points see it: its identity and
// how to make one. The server's table of these drives DllGetClassObject,
// DllRegisterServer and DllUnregisterServer, and the installer packages'
// registry data and the assembly manifest (tools/interface_model.py reads the
// table and kThreadingModel).
#pragma once
#include <windows.h>

namespace tessary {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;  // library name, a point, class name
    CreateFunction create;
};

// Every class is used on its creator's thread only (apartment model).
constexpr wchar_t kThreadingModel[] = L"Apartment";

}  // namespace tessary
