// xRegistry: the published registry class.
#pragma once
#include <windows.h>

namespace tessary {

HRESULT CreateRegistryObject(REFIID iid, void** out);

}  // namespace tessary
