// Counting this process's GDI objects, kernel handles, windows and private
// memory for leak checks.
//
// Wine 8 answers GetGuiResources and GetProcessHandleCount with 0, so the
// counts are taken directly: GDI objects from the process's GDI handle table
// (the PEB's GdiSharedHandleTable: 0x10000 entries of 24 bytes whose type
// byte, at offset 14, is non-zero while the handle lives; the object pointer
// before it is left behind when a handle is freed), kernel handles by asking
// GetHandleInformation about every handle value up to a bound.
#pragma once
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstdint>

namespace tessary::test {

// The number of live GDI objects, or -1 when the table cannot be read.
inline long LiveGdiObjects() {
    // The PEB's GdiSharedHandleTable pointer sits at 0x94 on x86 and at 0xF8
    // on x64; the table itself has the same 24-byte entries on both.
#ifdef _WIN64
    const size_t tableField = 0xF8;
#else
    const size_t tableField = 0x94;
#endif
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    const uint8_t* table = *reinterpret_cast<const uint8_t* const*>(peb + tableField);
    if (!table) return -1;
    long count = 0;
    for (size_t i = 0; i < 0x10000; ++i)
        if (table[24 * i + 14]) ++count;
    return count;
}

// The number of open kernel handles with values below 0x10000.
inline long LiveKernelHandles() {
    long count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

inline BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<long*>(counter);
    return TRUE;
}

// The number of windows the calling thread owns.
inline long LiveThreadWindows() {
    long count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// The process's private committed bytes. Wine leaves PrivateUsage at 0 and
// reports the same figure as PagefileUsage.
inline size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

}  // namespace tessary::test
