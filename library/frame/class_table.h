// The published classes: one row each drives DllGetClassObject,
// DllRegisterServer and DllUnregisterServer.
#pragma once
#include <windows.h>
#include <cstddef>

namespace tessary {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;  // library name, a point, class name
    CreateFunction create;
};

extern const ClassEntry kClasses[];
extern const size_t kClassCount;

}  // namespace tessary
