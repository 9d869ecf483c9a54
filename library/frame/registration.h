// Registry entries of an in-process server: class, program id, threading
// model and type library.
#pragma once
#include <windows.h>
#include <string>

#include "frame/class_entry.h"

namespace tessary {

HRESULT RegisterServer(const std::wstring& modulePath, const ClassEntry* classes, size_t count);
HRESULT UnregisterServer(const ClassEntry* classes, size_t count);

}  // namespace tessary
