// Dovetta: sets the current user's Internet autodial mode and ends.
//
//   Dovetta [seconds] [off|never]
//
// Waits the given number of seconds (30 without a command line, 0.5 when the
// text has no leading number), writes EnableAutodial/NoNetAutodial through
// Tessary's xRegistry, shows the result for 1.5 seconds and closes itself.
#include <windows.h>
#include <objbase.h>

#include "autodial_store.h"
#include "frame/handles.h"
#include "frame/message_sink.h"
#include "frm_dovetta.h"
#include "timer_interval.h"

namespace {

// One running copy per session: a second one ends before doing anything.
const wchar_t kInstanceMutex[] = L"Local\\Halvex.AutoDial.Dovetta";

class ComApartment {
public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() { if (SUCCEEDED(hr_)) CoUninitialize(); }

private:
    HRESULT hr_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace dovetta;

    tessary::UniqueKernelHandle instanceLock(CreateMutexW(nullptr, FALSE, kInstanceMutex));
    const DWORD lockError = GetLastError();
    // ERROR_ACCESS_DENIED: the mutex exists, made by a copy running with
    // other rights: another instance all the same.
    if (lockError == ERROR_ALREADY_EXISTS || lockError == ERROR_ACCESS_DENIED) return 0;

    ComApartment com;
    int exitCode = 0;
    {
        frmDovetta form(instance, ProgramArguments(GetCommandLineW()), CreateRegistryStore);
        HRESULT hr = form.Load();
        if (FAILED(hr)) {
            // Without its window or the component the program cannot do its
            // work: report and end, having written nothing.
            tessary::ShowMessage(form.window() ? CreationFailureReport(hr) : WindowFailureReport(hr),
                                 MB_OK | MB_ICONERROR, kApplicationTitle);
            exitCode = 1;
        } else {
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    return exitCode;
}
