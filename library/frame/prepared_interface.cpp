#include "frame/prepared_interface.h"

#include <algorithm>

#include "frame/type_attributes.h"

namespace tessary {
namespace {

VARTYPE ResolveType(ITypeInfo* info, const TYPEDESC& type, bool* isEnum) {
    switch (type.vt) {
    case VT_SAFEARRAY:
        return VT_ARRAY | ResolveType(info, *type.lptdesc, nullptr);
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        if (FAILED(info->GetRefTypeInfo(type.hreftype, ref.put()))) return VT_EMPTY;
        TypeAttr attr(ref.get());
        if (!attr) return VT_EMPTY;
        switch (attr->typekind) {
        case TKIND_ENUM:
            if (isEnum) *isEnum = true;
            return VT_I4;
        case TKIND_ALIAS: return ResolveType(ref.get(), attr->tdescAlias, isEnum);
        case TKIND_DISPATCH: return VT_DISPATCH;
        case TKIND_INTERFACE: return VT_UNKNOWN;
        default: return VT_EMPTY;
        }
    }
    default:
        return type.vt;
    }
}

PreparedParameter PrepareParameter(ITypeInfo* info, const ELEMDESC& element) {
    PreparedParameter parameter;
    const TYPEDESC* type = &element.tdesc;
    if (type->vt == VT_PTR) {
        parameter.byRef = true;
        type = type->lptdesc;
    }
    parameter.type = ResolveType(info, *type, &parameter.acceptsUnsigned);
    const USHORT flags = element.paramdesc.wParamFlags;
    if ((flags & PARAMFLAG_FHASDEFAULT) && element.paramdesc.pparamdescex) {
        parameter.hasDefault = true;
        VariantCopy(parameter.defaultValue.get(), &element.paramdesc.pparamdescex->varDefaultValue);
    } else if ((flags & PARAMFLAG_FOPT) && type->vt == VT_VARIANT) {
        parameter.optionalVariant = true;
    }
    return parameter;
}

wchar_t AsciiUpperChar(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

// Upper case of an ASCII name; false when it holds anything else, which is
// then left to the type information's own comparison rules.
bool AsciiUpper(const wchar_t* name, std::wstring* upper) {
    upper->clear();
    for (const wchar_t* c = name; *c; ++c) {
        if (*c >= 0x80) return false;
        upper->push_back(AsciiUpperChar(*c));
    }
    return true;
}

// Compares an ASCII name (any case) with an upper-case one, without copying.
int CompareUpper(const wchar_t* name, const std::wstring& upper) {
    size_t i = 0;
    for (; name[i] && i < upper.size(); ++i) {
        const wchar_t c = AsciiUpperChar(name[i]);
        if (c != upper[i]) return c < upper[i] ? -1 : 1;
    }
    if (name[i]) return 1;
    return i < upper.size() ? -1 : 0;
}

}  // namespace

std::unique_ptr<PreparedInterface> PreparedInterface::Prepare(ITypeInfo* vtableView) {
    auto prepared = std::unique_ptr<PreparedInterface>(new PreparedInterface());
    vtableView->AddRef();
    prepared->info_.reset(vtableView);

    WORD count = 0;
    {
        TypeAttr attr(vtableView);
        if (!attr) return nullptr;
        count = attr->cFuncs;
    }
    prepared->members_.reserve(count);
    for (WORD i = 0; i < count; ++i) {
        FuncDesc desc(vtableView, i);
        if (!desc) return nullptr;
        PreparedMember member;
        member.id = desc->memid;
        member.kind = desc->invkind;
        member.vtableOffset = desc->oVft;
        member.declared = static_cast<UINT>(desc->cParams);
        member.hasRetval = member.declared > 0 &&
            (desc->lprgelemdescParam[member.declared - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
        member.inputs = member.hasRetval ? member.declared - 1 : member.declared;
        member.parameters.reserve(member.declared);
        for (UINT p = 0; p < member.declared; ++p)
            member.parameters.push_back(PrepareParameter(vtableView, desc->lprgelemdescParam[p]));

        BSTR name = nullptr;
        UINT names = 0;
        if (SUCCEEDED(vtableView->GetNames(member.id, &name, 1, &names)) && names == 1) {
            Name entry{std::wstring(), member.id};
            if (AsciiUpper(name, &entry.upper)) prepared->names_.push_back(std::move(entry));
        }
        SysFreeString(name);
        prepared->members_.push_back(std::move(member));
    }
    // Stable: members sharing an id (a property's get and put) keep the type
    // information's order.
    std::stable_sort(prepared->members_.begin(), prepared->members_.end(),
                     [](const PreparedMember& a, const PreparedMember& b) { return a.id < b.id; });
    std::sort(prepared->names_.begin(), prepared->names_.end(),
              [](const Name& a, const Name& b) { return a.upper < b.upper; });
    prepared->names_.erase(std::unique(prepared->names_.begin(), prepared->names_.end(),
                                       [](const Name& a, const Name& b) { return a.upper == b.upper; }),
                           prepared->names_.end());
    return prepared;
}

const PreparedMember* PreparedInterface::Find(DISPID id, WORD flags) const {
    // Preference order of the invoke kinds that can serve these flags.
    INVOKEKIND wanted[2] = {INVOKE_FUNC, INVOKE_FUNC};
    int kinds = 0;
    if (flags & DISPATCH_PROPERTYPUTREF) {
        wanted[kinds++] = INVOKE_PROPERTYPUTREF;
        wanted[kinds++] = INVOKE_PROPERTYPUT;
    } else if (flags & DISPATCH_PROPERTYPUT) {
        wanted[kinds++] = INVOKE_PROPERTYPUT;
    } else {
        if (flags & DISPATCH_METHOD) wanted[kinds++] = INVOKE_FUNC;
        if (flags & DISPATCH_PROPERTYGET) wanted[kinds++] = INVOKE_PROPERTYGET;
    }
    auto first = std::lower_bound(members_.begin(), members_.end(), id,
                                  [](const PreparedMember& m, DISPID wantedId) { return m.id < wantedId; });
    for (int k = 0; k < kinds; ++k) {
        for (auto it = first; it != members_.end() && it->id == id; ++it) {
            if (it->kind == wanted[k]) return &*it;
        }
    }
    return nullptr;
}

HRESULT PreparedInterface::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (count == 1 && names && names[0] && ids) {
        auto found = std::lower_bound(names_.begin(), names_.end(), names[0],
                                      [](const Name& entry, const wchar_t* name) {
                                          return CompareUpper(name, entry.upper) > 0;
                                      });
        if (found != names_.end() && CompareUpper(names[0], found->upper) == 0) {
            ids[0] = found->id;
            return S_OK;
        }
    }
    return info_->GetIDsOfNames(names, count, ids);
}

}  // namespace tessary
