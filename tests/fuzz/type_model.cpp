// Reading Tessary.tlb: creatable classes, the functions of their default
// interfaces and the parameters of each.
#include "type_model.h"

#include "support/test_support.h"

namespace tessary::fuzz {
namespace {

VARTYPE ResolveType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt == VT_SAFEARRAY) return VT_ARRAY | ResolveType(info, *type.lptdesc);
    if (type.vt != VT_USERDEFINED) return type.vt;
    ITypeInfo* ref = nullptr;
    if (FAILED(info->GetRefTypeInfo(type.hreftype, &ref))) return VT_EMPTY;
    TYPEATTR* attr = nullptr;
    VARTYPE vt = VT_EMPTY;
    if (SUCCEEDED(ref->GetTypeAttr(&attr))) {
        if (attr->typekind == TKIND_ENUM) vt = VT_I4;
        else if (attr->typekind == TKIND_ALIAS) vt = ResolveType(ref, attr->tdescAlias);
        else if (attr->typekind == TKIND_DISPATCH) vt = VT_DISPATCH;
        else vt = VT_UNKNOWN;
        ref->ReleaseTypeAttr(attr);
    }
    ref->Release();
    return vt;
}

// One function of an interface as a member; its by-reference positions are
// noted in `cls` whether or not the member is called.
Member ReadMember(ITypeInfo* face, const FUNCDESC* desc, ClassInfo& cls) {
    BSTR names[32] = {};
    UINT count = 0;
    face->GetNames(desc->memid, names, 32, &count);
    Member m;
    m.name = names[0] ? names[0] : L"";
    m.id = desc->memid;
    m.kind = desc->invkind;
    cls.allIds.push_back(m.id);
    auto& refs = cls.byRefPositions[m.id];
    for (SHORT p = 0; p < desc->cParams; ++p) {
        const ELEMDESC& e = desc->lprgelemdescParam[p];
        if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) {
            m.hasResult = true;
            continue;
        }
        Param param;
        // A property put's value has no name of its own in GetNames.
        param.name = (static_cast<UINT>(p + 1) < count && names[p + 1]) ? names[p + 1] : L"";
        const TYPEDESC* type = &e.tdesc;
        if (type->vt == VT_PTR) {
            param.byRef = true;
            type = type->lptdesc;
        }
        param.type = ResolveType(face, *type);
        param.optional = (e.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0;
        param.confined = ConfinementFor(cls.name, m.name, param.name);
        if (refs.size() <= static_cast<size_t>(p)) refs.resize(p + 1, false);
        if (param.byRef) refs[p] = true;
        m.inputs.push_back(param);
    }
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    return m;
}

// The functions of a class's default interface, in the view with the declared parameters.
void ReadDefaultInterface(ITypeInfo* coclass, const TYPEATTR* attr, ClassInfo& cls) {
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE href = 0;
        ITypeInfo* face = nullptr;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &href)) || FAILED(coclass->GetRefTypeInfo(href, &face)))
            continue;
        // A dual interface: its vtable view has the declared parameters.
        ITypeInfo* vtable = nullptr;
        HREFTYPE dual = 0;
        if (SUCCEEDED(face->GetRefTypeOfImplType(-1, &dual)) && SUCCEEDED(face->GetRefTypeInfo(dual, &vtable))) {
            face->Release();
            face = vtable;
        }
        TYPEATTR* faceAttr = nullptr;
        face->GetTypeAttr(&faceAttr);
        for (UINT f = 0; faceAttr && f < faceAttr->cFuncs; ++f) {
            FUNCDESC* desc = nullptr;
            if (FAILED(face->GetFuncDesc(f, &desc))) continue;
            Member m = ReadMember(face, desc, cls);
            face->ReleaseFuncDesc(desc);
            if (!Excluded(cls.name, m.name, m.kind)) cls.members.push_back(std::move(m));
        }
        if (faceAttr) face->ReleaseTypeAttr(faceAttr);
        face->Release();
    }
}

}  // namespace

std::wstring TypeLibraryPath() { return test::BinDir() + L"Tessary.tlb"; }

std::vector<ClassInfo> ReadTypeLibrary() {
    std::vector<ClassInfo> classes;
    ITypeLib* lib = nullptr;
    if (FAILED(LoadTypeLibEx(TypeLibraryPath().c_str(), REGKIND_NONE, &lib))) return classes;
    for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
        ITypeInfo* coclass = nullptr;
        if (FAILED(lib->GetTypeInfo(t, &coclass))) continue;
        TYPEATTR* attr = nullptr;
        coclass->GetTypeAttr(&attr);
        if (attr && attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE)) {
            ClassInfo cls;
            BSTR name = nullptr;
            coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            cls.name = name ? name : L"";
            SysFreeString(name);
            cls.clsid = attr->guid;
            ReadDefaultInterface(coclass, attr, cls);
            classes.push_back(std::move(cls));
        }
        if (attr) coclass->ReleaseTypeAttr(attr);
        coclass->Release();
    }
    lib->Release();
    return classes;
}

}  // namespace tessary::fuzz
