// xApplication: the published class of shell, folder, string, keyboard and
// window utilities.
#pragma once
#include <windows.h>

namespace tessary {

HRESULT CreateApplicationObject(REFIID iid, void** out);

}  // namespace tessary
