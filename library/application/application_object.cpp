// The automation face of xApplication: converts the interface's types and
// swallows every failure (each member returns a neutral result and leaves no
// error pending); the behaviour lives in the plain functions it calls.
#include "application/application_object.h"

#include <string>
#include <vector>

#include "Tessary.h"
#include "application/folders.h"
#include "application/keystrokes.h"
#include "application/shell_operations.h"
#include "application/string_cleanup.h"
#include "application/window_control.h"
#include "frame/automation.h"
#include "frame/com_object.h"
#include "frame/errors.h"
#include "frame/type_attributes.h"

namespace tessary {
namespace {

std::wstring TextOf(const BSTR* slot) { return slot ? ToWide(*slot) : std::wstring(); }

HWND WindowOf(const LONG* handle) {
    // Window handles are 32-bit significant: sign-extended, the value is the handle.
    return handle ? static_cast<HWND>(LongToHandle(*handle)) : nullptr;
}

// Runs `body` (returning text) and stores its text, or the empty text when it failed.
template <class Body>
HRESULT TextResult(BSTR* result, Body&& body) {
    if (!result) return E_POINTER;
    *result = nullptr;
    std::wstring text;
    HRESULT hr = Swallowing([&] { text = body(); });
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));  // null is the empty text too
    return hr;
}

// Runs `body` (returning bool) and stores it as a Boolean, False when it failed.
template <class Body>
HRESULT BooleanResult(VARIANT_BOOL* result, Body&& body) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Swallowing([&] { *result = ToVariantBool(body()); });
}

// The neutral result of a member, from its declared result type: the empty
// text, False, or Empty.
void NeutralResult(DISPID member, VARIANT* result) {
    ComPtr<ITypeInfo> info;
    if (FAILED(GetInterfaceTypeInfo(IID__xApplication, info.put()))) return;
    WORD count = 0;
    {
        TypeAttr attr(info.get());
        if (!attr) return;
        count = attr->cFuncs;
    }
    VARTYPE type = VT_EMPTY;
    for (WORD i = 0; i < count && type == VT_EMPTY; ++i) {
        FuncDesc desc(info.get(), i);
        if (desc && desc->memid == member && desc->cParams > 0) {
            const ELEMDESC& last = desc->lprgelemdescParam[desc->cParams - 1];
            if ((last.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) && last.tdesc.vt == VT_PTR)
                type = last.tdesc.lptdesc->vt;
        }
    }
    VariantClear(result);
    if (type == VT_BSTR) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(L"");
    } else if (type == VT_BOOL) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_FALSE;
    }
}

constexpr DISPID kShellDeleteId = 0x60030014;

// ShellDelete reads its array and never replaces it, so a script's array
// variable goes to it as a value: the frame refuses to pass a fixed-size
// array (VBScript's "Dim a(2)") by reference, as a member could replace it.
// `storage` holds the copied argument list; the caller's values are shared,
// not owned.
DISPPARAMS NamesByValue(const DISPPARAMS& params, std::vector<VARIANT>& storage) {
    const UINT namesPosition = 2;
    if (params.cNamedArgs != 0 || params.cArgs <= namesPosition) return params;
    storage.assign(params.rgvarg, params.rgvarg + params.cArgs);
    VARIANT& names = storage[params.cArgs - 1 - namesPosition];
    const VARIANT* value = &Deref(names);
    if ((V_VT(value) & (VT_ARRAY | VT_BYREF)) == (VT_ARRAY | VT_BYREF)) {
        VARTYPE type = V_VT(value) & ~VT_BYREF;
        SAFEARRAY* array = *V_ARRAYREF(value);
        V_VT(&names) = type;
        V_ARRAY(&names) = array;
    } else if (V_VT(value) & VT_ARRAY) {
        names = *value;
    }
    DISPPARAMS copy = params;
    copy.rgvarg = storage.data();
    return copy;
}

class ApplicationObject final : public DispatchObject<_xApplication> {
public:
    ApplicationObject() : keys_(SystemKeyboard()) { ZeroMemory(&version_, sizeof version_); }

    // Script clients' arguments are converted to the declared types before a
    // member runs; one that cannot be (Null, an array or object for a text,
    // a number out of range) gets the member's neutral result as well, so
    // that no member ever fails in the caller's face. The members themselves
    // never fail, so every such failure is one of the arguments.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        std::vector<VARIANT> storage;
        DISPPARAMS byValue;
        if (member == kShellDeleteId && params) {
            try {
                byValue = NamesByValue(*params, storage);
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            params = &byValue;
        }
        HRESULT hr = DispatchObject<_xApplication>::Invoke(member, iid, locale, flags, params, result, exception,
                                                           argError);
        if (hr != DISP_E_TYPEMISMATCH && hr != DISP_E_OVERFLOW && hr != DISP_E_EXCEPTION) return hr;
        if (exception) {
            SysFreeString(exception->bstrSource);
            SysFreeString(exception->bstrDescription);
            SysFreeString(exception->bstrHelpFile);
            *exception = EXCEPINFO{};
        }
        if (result) NeutralResult(member, result);
        ClearPendingError();
        return S_OK;
    }

    // Keyboard and windows
    HRESULT STDMETHODCALLTYPE SendKey(BSTR KeyValue) override {
        return Swallowing([&] { keys_.SendKey(ToWide(KeyValue)); });
    }
    HRESULT STDMETHODCALLTYPE SendString(BSTR TextString) override {
        return Swallowing([&] { keys_.SendString(ToWide(TextString)); });
    }
    HRESULT STDMETHODCALLTYPE ShowMouse(VARIANT_BOOL* bShow) override {
        // Only True shows; any other value, 1 included, hides.
        return Swallowing([&] {
            if (bShow) tessary::ShowMouse(*bShow == VARIANT_TRUE);
        });
    }
    HRESULT STDMETHODCALLTYPE MoveMe(LONG* frmHwnd) override {
        return Swallowing([&] {
            if (frmHwnd) tessary::MoveMe(WindowOf(frmHwnd));
        });
    }
    HRESULT STDMETHODCALLTYPE AlwaysOnTop(LONG* frmHwnd, VARIANT_BOOL* bOnTop, VARIANT* result) override {
        if (!result) return E_POINTER;
        VariantInit(result);
        return Swallowing([&] {
            bool done = tessary::AlwaysOnTop(WindowOf(frmHwnd), bOnTop && *bOnTop == VARIANT_TRUE);
            // The outcome, not the state asked for: True after any successful call.
            if (bOnTop) *bOnTop = ToVariantBool(done);
        });
    }
    HRESULT STDMETHODCALLTYPE get_winOS(BSTR* result) override {
        return TextResult(result, [&] { return QueryWindowsName(version_); });
    }

    // Folders, drives and paths
    HRESULT STDMETHODCALLTYPE get_FolderSpecial(LONG* CSIDL, BSTR* result) override {
        return TextResult(result, [&] { return CSIDL ? tessary::FolderSpecial(*CSIDL) : std::wstring(); });
    }
    HRESULT STDMETHODCALLTYPE get_DrivesAvailable(BSTR* result) override {
        return TextResult(result, [] { return tessary::DrivesAvailable(); });
    }
    HRESULT STDMETHODCALLTYPE get_FolderSystem(BSTR* result) override {
        return TextResult(result, [] { return tessary::FolderSystem(); });
    }
    HRESULT STDMETHODCALLTYPE get_FolderTemp(BSTR* result) override {
        return TextResult(result, [] { return tessary::FolderTemp(); });
    }
    HRESULT STDMETHODCALLTYPE get_FolderWindows(BSTR* result) override {
        return TextResult(result, [] { return tessary::FolderWindows(); });
    }
    HRESULT STDMETHODCALLTYPE get_ShortName(BSTR* sFileName, BSTR* result) override {
        return TextResult(result, [&] { return tessary::ShortName(TextOf(sFileName)); });
    }
    HRESULT STDMETHODCALLTYPE get_PathName(BSTR* sPath, VARIANT_BOOL* bPath, BSTR* result) override {
        // Any non-zero bPath, 1 included, selects the folder part.
        return TextResult(result, [&] { return tessary::PathName(TextOf(sPath), bPath && *bPath != 0); });
    }
    HRESULT STDMETHODCALLTYPE get_FileOrDirExists(BSTR sFile, BSTR sFolder, VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] { return tessary::FileOrDirExists(ToWide(sFile), ToWide(sFolder)); });
    }

    // String clean-up
    HRESULT STDMETHODCALLTYPE StripTerminator(BSTR strString, BSTR* result) override {
        return TextResult(result, [&] { return tessary::StripTerminator(ToWide(strString)); });
    }
    HRESULT STDMETHODCALLTYPE StripNulls(BSTR* startStrg, BSTR* result) override {
        return TextResult(result, [&] {
            std::wstring list = TextOf(startStrg);
            std::wstring item = tessary::StripNulls(list);
            if (startStrg) AssignBstr(startStrg, list);
            return item;
        });
    }
    HRESULT STDMETHODCALLTYPE StripItem(BSTR* startStrg, BSTR* parser, BSTR* result) override {
        return TextResult(result, [&] {
            std::wstring list = TextOf(startStrg);
            std::wstring item = tessary::StripItem(list, TextOf(parser));
            if (startStrg) AssignBstr(startStrg, list);
            return item;
        });
    }
    HRESULT STDMETHODCALLTYPE StripBlanks(BSTR* sStrg, BSTR* result) override {
        return TextResult(result, [&] {
            std::wstring text = TextOf(sStrg);
            tessary::StripBlanks(text);
            if (sStrg) AssignBstr(sStrg, text);
            return text;
        });
    }

    // Shell file operations
    HRESULT STDMETHODCALLTYPE ShellRename(LONG* frmHwnd, BSTR* sFileFrom, BSTR* sFileTo,
                                          VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] {
            return RunShellRequest(WindowOf(frmHwnd), RenameRequest(TextOf(sFileFrom), TextOf(sFileTo)));
        });
    }
    HRESULT STDMETHODCALLTYPE ShellMove(LONG* frmHwnd, BSTR* sSource, BSTR* sDestination,
                                        VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] {
            return RunShellRequest(WindowOf(frmHwnd), MoveRequest(TextOf(sSource), TextOf(sDestination)));
        });
    }
    HRESULT STDMETHODCALLTYPE ShellCopy(LONG* frmHwnd, BSTR* sSource, BSTR* sDestination,
                                        VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] {
            return RunShellRequest(WindowOf(frmHwnd), CopyRequest(TextOf(sSource), TextOf(sDestination)));
        });
    }
    HRESULT STDMETHODCALLTYPE ShellDelete(LONG* frmHwnd, VARIANT_BOOL* bonf, SAFEARRAY** vntFileName,
                                          VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] {
            return tessary::ShellDelete(WindowOf(frmHwnd), vntFileName ? *vntFileName : nullptr,
                                        bonf && *bonf == VARIANT_TRUE);
        });
    }
    HRESULT STDMETHODCALLTYPE ShellAdd(LONG* frmHwnd, BSTR* sFile, BSTR* /*sFileTo: accepted, not used*/,
                                       VARIANT_BOOL* result) override {
        return BooleanResult(result, [&] {
            return tessary::ShellAdd(WindowOf(frmHwnd), TextOf(sFile), [this](long csidl) {
                return FolderSpecialOfThisObject(csidl);
            });
        });
    }

private:
    // FolderSpecial asked through the object's own interface, as a client would.
    std::wstring FolderSpecialOfThisObject(long csidl) {
        _xApplication* self = this;
        LONG id = csidl;
        Bstr path;
        if (FAILED(self->get_FolderSpecial(&id, path.put()))) return std::wstring();
        return ToWide(path.get());
    }

    KeyStrokes keys_;
    OSVERSIONINFOA version_;  // kept between winOS queries; zero until the first
};

}  // namespace

HRESULT CreateApplicationObject(REFIID iid, void** out) {
    return DispatchObject<_xApplication>::CreateInstance<ApplicationObject>(iid, out);
}

}  // namespace tessary
