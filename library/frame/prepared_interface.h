// What IDispatch needs to know about each member of an interface, read out of
// the type information once, so that a call neither walks the function
// descriptions nor resolves parameter types again.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/automation.h"
#include "frame/com_ptr.h"

namespace tessary {

struct PreparedParameter {
    VARTYPE type = VT_EMPTY;  // declared type without VT_BYREF; VT_EMPTY when it cannot be resolved
    bool byRef = false;
    // Enumerations of the library hold handle values such as 0x80000001,
    // which clients without unsigned types (JScript) pass as large numbers.
    bool acceptsUnsigned = false;
    bool hasDefault = false;       // defaultValue is what an omitted argument means
    bool optionalVariant = false;  // an omitted argument is passed as the "missing" marker
    Variant defaultValue;

    bool MayBeOmitted() const { return hasDefault || optionalVariant; }
};

struct PreparedMember {
    MEMBERID id = DISPID_UNKNOWN;
    INVOKEKIND kind = INVOKE_FUNC;
    SHORT vtableOffset = 0;
    UINT declared = 0;  // every parameter, the [retval] one included
    UINT inputs = 0;    // those the caller supplies
    bool hasRetval = false;
    std::vector<PreparedParameter> parameters;
};

class PreparedInterface {
public:
    // Reads every member of a dual interface's vtable view. Null when the
    // type information cannot be read.
    static std::unique_ptr<PreparedInterface> Prepare(ITypeInfo* vtableView);

    ITypeInfo* typeInfo() const { return info_.get(); }

    // The member that serves `id` for these invoke flags, or null. A method
    // call may also read a property; a put-by-reference may fall back to put.
    const PreparedMember* Find(DISPID id, WORD flags) const;

    // IDispatch::GetIDsOfNames. A single member name is looked up in the
    // prepared table; anything else (parameter names, inherited or unknown
    // names) is answered by the type information itself.
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;

private:
    struct Name {
        std::wstring upper;  // ASCII upper case, as names are compared without case
        MEMBERID id;
    };

    ComPtr<ITypeInfo> info_;
    std::vector<PreparedMember> members_;  // sorted by id
    std::vector<Name> names_;              // sorted by upper
};

}  // namespace tessary
