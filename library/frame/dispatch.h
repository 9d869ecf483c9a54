// IDispatch for the library's dual interfaces, served from its own type library.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "frame/prepared_interface.h"
#include "frame/type_info_cache.h"

namespace tessary {

// IDispatch::Invoke through the interface's vtable, described by `prepared`.
//
// Script hosts pass every argument as VT_BYREF|VT_VARIANT, or as a plain
// value for a literal. Each argument is coerced here to the declared type;
// a by-reference parameter gets a typed temporary whose final value is
// written back into the caller's variable after the call (also when the call
// fails, as by-reference changes made before an error stay made). Typed
// arrays go back to a VARIANT-holding caller as arrays of variants, which
// scripts can index. Omitted optional parameters receive their declared
// default.
HRESULT InvokeThroughTypeInfo(void* instance, const PreparedInterface& prepared, DISPID member, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError) noexcept;

// Converts an array of any element type to an array of variants with the
// same bounds (and the reverse). Throws the run-time's type mismatch when an
// element cannot be converted.
SAFEARRAY* ConvertArray(SAFEARRAY* source, VARTYPE elementType);

}  // namespace tessary
