// The published classes: one row each drives DllGetClassObject,
// DllRegisterServer and DllUnregisterServer, and the installer packages'
// registry data (installer/make_wxs.py reads this table and kThreadingModel).
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

// Every class is used on its creator's thread only (apartment model).
constexpr wchar_t kThreadingModel[] = L"Apartment";

extern const ClassEntry kClasses[];
extern const size_t kClassCount;

}  // namespace tessary
