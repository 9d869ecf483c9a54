// The type library's view of the classes: every creatable class that
// Tessary.tlb describes, with the members of its default interface that the
// fuzzer calls and, for each parameter, its declared type, whether it is
// passed by reference or may be left out, and its confinement.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "confinement.h"

namespace tessary::fuzz {

struct Param {
    std::wstring name;
    VARTYPE type = VT_EMPTY;  // declared type without VT_BYREF (VT_I4 for enumerations)
    bool byRef = false;
    bool optional = false;
    const Confinement* confined = nullptr;
};

struct Member {
    std::wstring name;
    MEMBERID id = 0;
    INVOKEKIND kind = INVOKE_FUNC;
    std::vector<Param> inputs;  // without the [retval]
    bool hasResult = false;
};

struct ClassInfo {
    std::wstring name;
    CLSID clsid = {};
    std::vector<Member> members;  // the ones the fuzzer calls
    std::vector<MEMBERID> allIds; // every member id, excluded ones too
    // Positions that some accessor of a member id takes by reference.
    std::map<MEMBERID, std::vector<bool>> byRefPositions;
};

// Tessary.tlb beside this program.
std::wstring TypeLibraryPath();

// Every creatable class of the type library (none when it cannot be read).
std::vector<ClassInfo> ReadTypeLibrary();

}  // namespace tessary::fuzz
