// The system functions that only some members need, from DLLs loaded when
// one of them is first called (delay_load.h). Everything else the library
// calls comes from DLLs that every automation client has loaded already
// (kernel32, advapi32, user32, gdi32, ole32, oleaut32, and uxtheme, which
// comes with a client's first window).
//
// Call them as delayed::Name(...): a function that cannot be had is the
// caller's run-time error. A test checks that the library's import table
// names none of these DLLs.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winspool.h>

#include "frame/delay_load.h"

namespace tessary::delayed {

// A function of a DLL below, named once: the object's name, the function's
// type and the name looked up are the same.
#define TESSARY_DELAYED(dll, function) \
    inline DelayLoadedFunction<decltype(&::function)> function { dll, #function }

// The spooler: printers, their settings records and capabilities.
inline DelayLoadedDll winspool{L"winspool.drv"};
TESSARY_DELAYED(winspool, EnumPrintersW);
TESSARY_DELAYED(winspool, OpenPrinterW);
TESSARY_DELAYED(winspool, ClosePrinter);
TESSARY_DELAYED(winspool, DocumentPropertiesW);
TESSARY_DELAYED(winspool, DeviceCapabilitiesW);

// The shell: file operations, special folders, recent documents.
inline DelayLoadedDll shell32{L"shell32.dll"};
TESSARY_DELAYED(shell32, SHFileOperationW);
TESSARY_DELAYED(shell32, SHAddToRecentDocs);
TESSARY_DELAYED(shell32, SHGetSpecialFolderLocation);
TESSARY_DELAYED(shell32, SHGetPathFromIDListW);

// The multimedia mixer functions.
inline DelayLoadedDll winmm{L"winmm.dll"};
TESSARY_DELAYED(winmm, mixerGetNumDevs);
TESSARY_DELAYED(winmm, mixerOpen);
TESSARY_DELAYED(winmm, mixerClose);
TESSARY_DELAYED(winmm, mixerGetDevCapsA);
TESSARY_DELAYED(winmm, mixerGetLineInfoA);
TESSARY_DELAYED(winmm, mixerGetLineControlsA);
TESSARY_DELAYED(winmm, mixerGetControlDetailsA);
TESSARY_DELAYED(winmm, mixerSetControlDetails);
TESSARY_DELAYED(winmm, mixerGetID);
TESSARY_DELAYED(winmm, waveOutGetNumDevs);
TESSARY_DELAYED(winmm, waveOutMessage);

// The common controls: the print dialog's spin and tool-tip classes.
inline DelayLoadedDll comctl32{L"comctl32.dll"};
TESSARY_DELAYED(comctl32, InitCommonControlsEx);

#undef TESSARY_DELAYED

}  // namespace tessary::delayed
