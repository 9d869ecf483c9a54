// The library's type library and its interfaces' type information, loaded
// once per process and shared by every object in every apartment.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace tessary {

class PreparedInterface;

// The library's type library, loaded from the DLL itself (AddRef'd for the caller).
HRESULT GetLibraryTypeLib(ITypeLib** out);
// The ITypeInfo of one of the library's interfaces: for a dual interface its
// vtable view, whose offsets DispCallFunc needs (AddRef'd for the caller).
HRESULT GetInterfaceTypeInfo(REFIID iid, ITypeInfo** out);
// The prepared members of one of the library's interfaces, or null when its
// type information cannot be read. It lives until the DLL is unloaded.
const PreparedInterface* GetPreparedInterface(REFIID iid);
// Lets go of everything loaded; the DLL calls it when it is unloaded, when
// no object of the library is left to use it.
void ReleaseTypeInfoCache();

}  // namespace tessary
