// Counting this process's GDI objects and kernel handles for leak checks.
//
// Wine 8 answers GetGuiResources and GetProcessHandleCount with 0, so the
// counts are taken directly: GDI objects from the process's GDI handle table
// (the PEB's GdiSharedHandleTable: 0x10000 entries of 24 bytes whose type
// byte, at offset 14, is non-zero while the handle lives; the object pointer
// before it is left behind when a handle is freed), kernel handles by asking
// GetHandleInformation about every handle value up to a bound.
#pragma once
#include <windows.h>

#include <cstdint>

namespace tessary::test {

// The number of live GDI objects, or -1 when the table cannot be read.
inline long LiveGdiObjects() {
    // The PEB of a 32-bit process is at fs:[0x30].
    const uint8_t* peb;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    const uint8_t* table = *reinterpret_cast<const uint8_t* const*>(peb + 0x94);
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

}  // namespace tessary::test
