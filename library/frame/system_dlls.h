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

// The spooler: printers, their settings records and capabilities.
inline DelayLoadedDll winspool{L"winspool.drv"};
inline DelayLoadedFunction<decltype(&::EnumPrintersA)> EnumPrintersA{winspool, "EnumPrintersA"};
inline DelayLoadedFunction<decltype(&::OpenPrinterA)> OpenPrinterA{winspool, "OpenPrinterA"};
inline DelayLoadedFunction<decltype(&::ClosePrinter)> ClosePrinter{winspool, "ClosePrinter"};
inline DelayLoadedFunction<decltype(&::DocumentPropertiesA)> DocumentPropertiesA{winspool, "DocumentPropertiesA"};
inline DelayLoadedFunction<decltype(&::DeviceCapabilitiesA)> DeviceCapabilitiesA{winspool, "DeviceCapabilitiesA"};

// The shell: file operations, special folders, recent documents.
inline DelayLoadedDll shell32{L"shell32.dll"};
inline DelayLoadedFunction<decltype(&::SHFileOperationA)> SHFileOperationA{shell32, "SHFileOperationA"};
inline DelayLoadedFunction<decltype(&::SHAddToRecentDocs)> SHAddToRecentDocs{shell32, "SHAddToRecentDocs"};
inline DelayLoadedFunction<decltype(&::SHGetSpecialFolderLocation)> SHGetSpecialFolderLocation{
    shell32, "SHGetSpecialFolderLocation"};
inline DelayLoadedFunction<decltype(&::SHGetPathFromIDListA)> SHGetPathFromIDListA{shell32, "SHGetPathFromIDListA"};

// The multimedia mixer functions.
inline DelayLoadedDll winmm{L"winmm.dll"};
inline DelayLoadedFunction<decltype(&::mixerGetNumDevs)> mixerGetNumDevs{winmm, "mixerGetNumDevs"};
inline DelayLoadedFunction<decltype(&::mixerOpen)> mixerOpen{winmm, "mixerOpen"};
inline DelayLoadedFunction<decltype(&::mixerClose)> mixerClose{winmm, "mixerClose"};
inline DelayLoadedFunction<decltype(&::mixerGetDevCapsA)> mixerGetDevCapsA{winmm, "mixerGetDevCapsA"};
inline DelayLoadedFunction<decltype(&::mixerGetLineInfoA)> mixerGetLineInfoA{winmm, "mixerGetLineInfoA"};
inline DelayLoadedFunction<decltype(&::mixerGetLineControlsA)> mixerGetLineControlsA{winmm, "mixerGetLineControlsA"};
inline DelayLoadedFunction<decltype(&::mixerGetControlDetailsA)> mixerGetControlDetailsA{
    winmm, "mixerGetControlDetailsA"};
inline DelayLoadedFunction<decltype(&::mixerSetControlDetails)> mixerSetControlDetails{winmm,
                                                                                        "mixerSetControlDetails"};

// The common controls: the print dialog's spin and tool-tip classes.
inline DelayLoadedDll comctl32{L"comctl32.dll"};
inline DelayLoadedFunction<decltype(&::InitCommonControlsEx)> InitCommonControlsEx{comctl32, "InitCommonControlsEx"};

}  // namespace tessary::delayed
