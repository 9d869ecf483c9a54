// Where Dovetta's timer tick writes the two autodial values. The program's
// own store is an xRegistry object of the Tessary library, created at run
// time through the component system (no link-time dependency on the DLL).
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace dovetta {

// The program's application title: caption of its message boxes.
extern const wchar_t kApplicationTitle[];
// The key below HKEY_CURRENT_USER that holds both values.
extern const wchar_t kInternetSettingsPath[];

class AutodialStore {
public:
    virtual ~AutodialStore() = default;
    // Writes `value` as a REG_DWORD named `valueName` below the Internet
    // Settings key of the current user. A failure code is an error of the
    // caller's step; the thread's error object may describe it.
    virtual HRESULT Write(const std::wstring& valueName, short value) = 0;
};

// Creates the xRegistry object ({6F66F400-...}, interface _xRegistry) and
// wraps it. Needs COM initialised on the calling thread.
HRESULT CreateRegistryStore(std::unique_ptr<AutodialStore>* store);

// The run-time's report for a component that could not be created.
std::wstring CreationFailureReport(HRESULT hr);
// The report for a program window that could not be opened (no display).
std::wstring WindowFailureReport(HRESULT hr);

}  // namespace dovetta
