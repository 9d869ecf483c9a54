// xPrinter: the published printer class.
#pragma once
#include <windows.h>

namespace tessary {

HRESULT CreatePrinterObject(REFIID iid, void** out);

}  // namespace tessary
