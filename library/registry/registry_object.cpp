// The automation face of xRegistry: converts the interface's types and picks
// each member's failure style; the behaviour lives in RegistryKey and the
// one-call helpers.
#include "registry/registry_object.h"

#include "Tessary.h"
#include "frame/automation.h"
#include "frame/com_object.h"
#include "frame/errors.h"
#include "registry/registry_helpers.h"
#include "registry/registry_key.h"
#include "registry/startup_association.h"

namespace tessary {
namespace {

// The names replace the caller's array: one that is fixed in size or locked
// cannot be replaced, and stays as it was.
void RefuseFixedArray(const SAFEARRAY* names) {
    if (IsFixedOrLocked(names)) ThrowRuntime(kArrayFixedOrLocked);
}

// Fills a caller's [in, out] array with names at indexes 1..count; no names
// leave it erased.
void StoreNames(SAFEARRAY** slot, long* count, const std::vector<std::wstring>& names) {
    SafeArray fresh;
    if (!names.empty()) {
        SAFEARRAYBOUND bound = {static_cast<ULONG>(names.size()), 1};
        fresh.reset(SafeArrayCreate(VT_BSTR, 1, &bound));
        if (!fresh.get()) ThrowRuntime(kOutOfMemory);
        for (size_t i = 0; i < names.size(); ++i) {
            LONG index = static_cast<LONG>(i + 1);
            Bstr name(names[i]);
            if (FAILED(SafeArrayPutElement(fresh.get(), &index, name.get()))) ThrowRuntime(kOutOfMemory);
        }
    }
    SafeArray old(*slot);  // the caller's previous array, destroyed once replaced
    *slot = fresh.release();
    *count = static_cast<long>(names.size());
}

class RegistryObject final : public DispatchObject<_xRegistry> {
public:
    // Key and value operations
    HRESULT STDMETHODCALLTYPE get_KeyExists(VARIANT_BOOL* result) override {
        return Raising([&] { *result = ToVariantBool(reg_.KeyExists()); });
    }
    HRESULT STDMETHODCALLTYPE CreateKey(VARIANT_BOOL* result) override {
        return Raising([&] { *result = ToVariantBool(reg_.CreateKey()); });
    }
    HRESULT STDMETHODCALLTYPE DeleteKey(VARIANT_BOOL* result) override {
        return Raising([&] { *result = ToVariantBool(reg_.DeleteKey()); });
    }
    HRESULT STDMETHODCALLTYPE DeleteValue(VARIANT_BOOL* result) override {
        return Raising([&] { *result = ToVariantBool(reg_.DeleteValue()); });
    }
    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* result) override {
        return Raising([&] { reg_.ReadValue(result); });
    }
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override {
        return Raising([&] { reg_.WriteValue(value); });
    }
    HRESULT STDMETHODCALLTYPE EnumerateValues(SAFEARRAY** names, LONG* count, VARIANT_BOOL* result) override {
        return Raising([&] {
            RefuseFixedArray(*names);
            StoreNames(names, count, {});
            StoreNames(names, count, reg_.EnumerateValues());
            *result = VARIANT_TRUE;
        });
    }
    HRESULT STDMETHODCALLTYPE EnumerateSections(SAFEARRAY** names, LONG* count, VARIANT_BOOL* result) override {
        return Raising([&] {
            RefuseFixedArray(*names);
            try {
                StoreNames(names, count, {});
                StoreNames(names, count, reg_.EnumerateSections());
            } catch (const RuntimeError& e) {
                throw RuntimeError(kRegistryEnumError, e.description, RegistryErrorSource());
            } catch (const std::bad_alloc&) {
                throw RuntimeError(kRegistryEnumError, StandardDescription(kOutOfMemory), RegistryErrorSource());
            }
            *result = VARIANT_TRUE;
        });
    }
    HRESULT STDMETHODCALLTYPE CreateEXEAssociation(BSTR exePath, BSTR className, BSTR classDescription,
                                                   BSTR association, LONG iconIndex) override {
        return Raising([&] {
            CreateExeAssociation(reg_, ToWide(exePath), ToWide(className), ToWide(classDescription),
                                 ToWide(association), iconIndex);
        });
    }

    // One-call members
    HRESULT STDMETHODCALLTYPE RegGet(BSTR* section, BSTR* name, VARIANT* fallback, BSTR* result) override {
        std::wstring text;
        HRESULT hr = Swallowing([&] { text = tessary::RegGet(reg_, ToWide(*section), ToWide(*name), *fallback); });
        return SetText(result, text, hr);
    }
    HRESULT STDMETHODCALLTYPE RegSet(BSTR* section, BSTR* name, VARIANT* value, VARIANT* result) override {
        VariantInit(result);
        return Swallowing([&] { tessary::RegSet(reg_, ToWide(*section), ToWide(*name), value); });
    }
    HRESULT STDMETHODCALLTYPE StartWithWindows(BSTR* folder, BSTR* exe, VARIANT_BOOL* set,
                                               VARIANT_BOOL* result) override {
        *result = VARIANT_FALSE;
        return Swallowing([&] {
            bool on = set && *set != VARIANT_FALSE;
            *result = ToVariantBool(tessary::StartWithWindows(reg_, ToWide(*folder), ToWide(*exe), on));
        });
    }
    HRESULT STDMETHODCALLTYPE RegSysGet(BSTR* root, BSTR* path, BSTR* name, BSTR* type, VARIANT* result) override {
        VariantInit(result);
        V_VT(result) = VT_I4;
        V_I4(result) = 0;
        return Swallowing([&] {
            Variant value;
            tessary::RegSysGet(reg_, ToWide(*root), ToWide(*path), ToWide(*name), ToWide(*type), value.get());
            VariantClear(result);
            value.MoveTo(result);
        });
    }
    HRESULT STDMETHODCALLTYPE RegSysSet(BSTR* root, BSTR* path, BSTR* name, VARIANT* value, BSTR* type,
                                        VARIANT* result) override {
        VariantInit(result);
        return Swallowing([&] {
            tessary::RegSysSet(reg_, ToWide(*root), ToWide(*path), ToWide(*name), *value, ToWide(*type));
        });
    }
    HRESULT STDMETHODCALLTYPE RegWinIni(BSTR* section, BSTR* key, BSTR* value, BSTR* action,
                                        VARIANT* result) override {
        VariantInit(result);
        return Swallowing([&] {
            tessary::RegWinIni(ToWide(*section), ToWide(*key), ToWide(*value), ToWide(*action), result);
        });
    }

    // Addressing properties
    HRESULT STDMETHODCALLTYPE get_ValueType(ERegistryValueTypes* result) override {
        *result = reg_.valueType;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ValueType(ERegistryValueTypes type) override {
        reg_.valueType = type;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ClassKey(ERegistryClassConstants* result) override {
        *result = reg_.classKey;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ClassKey(ERegistryClassConstants root) override {
        reg_.classKey = root;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SectionKey(BSTR* result) override {
        return Raising([&] { *result = AllocBstr(reg_.sectionKey); });
    }
    HRESULT STDMETHODCALLTYPE put_SectionKey(BSTR section) override {
        return Raising([&] { reg_.sectionKey = ToWide(section); });
    }
    HRESULT STDMETHODCALLTYPE get_ValueKey(BSTR* result) override {
        return Raising([&] { *result = AllocBstr(reg_.valueKey); });
    }
    HRESULT STDMETHODCALLTYPE put_ValueKey(BSTR name) override {
        return Raising([&] { reg_.valueKey = ToWide(name); });
    }
    HRESULT STDMETHODCALLTYPE get_Default(VARIANT* result) override {
        VariantInit(result);
        return Raising([&] {
            if (FAILED(VariantCopy(result, reg_.defaultValue.get()))) ThrowRuntime(kOutOfMemory);
        });
    }
    HRESULT STDMETHODCALLTYPE put_Default(VARIANT value) override {
        return Raising([&] {
            Variant copy;
            if (FAILED(VariantCopyInd(copy.get(), &value))) ThrowRuntime(kOutOfMemory);
            reg_.defaultValue.Reset();
            copy.MoveTo(reg_.defaultValue.get());
        });
    }

private:
    static HRESULT SetText(BSTR* result, const std::wstring& text, HRESULT hr) {
        *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return hr;
    }

    RegistryKey reg_;
};

}  // namespace

HRESULT CreateRegistryObject(REFIID iid, void** out) {
    return DispatchObject<_xRegistry>::CreateInstance<RegistryObject>(iid, out);
}

}  // namespace tessary
