#include "frame/dispatch.h"

#include <memory>
#include <vector>

#include "frame/automation.h"
#include "frame/com_ptr.h"
#include "frame/errors.h"
#include "frame/module.h"
#include "frame/prepared_interface.h"
#include "frame/variant_convert.h"

namespace tessary {
namespace {

// One parameter on its way to the vtable.
struct Slot {
    explicit Slot(const PreparedParameter& declared) : parameter(declared) {}
    const PreparedParameter& parameter;  // its declared type and flags
    VARIANT* caller = nullptr;  // the caller's argument, null when omitted
    UINT callerIndex = 0;       // its index in rgvarg, for puArgErr
    bool passedThrough = false;  // the caller's own storage goes to the call
    SAFEARRAY* handedOut = nullptr;  // the array copy the member received
    bool guarded = false;            // handedOut is locked for the call
    Variant value;               // the typed temporary
    Variant coerced;             // what the member received, to tell whether it changed it
    VARIANT call;                // what DispCallFunc receives
};

// The slots of one call, with DispCallFunc's parallel arrays of argument
// types and pointers. Members have a handful of parameters: all of it lives
// on the stack, slots constructed only as far as the member declares.
class Slots {
public:
    explicit Slots(UINT capacity) {
        if (capacity > kInline) {
            slotsHeap_.reset(new unsigned char[capacity * sizeof(Slot)]);
            typesHeap_.reset(new VARTYPE[capacity]);
            valuesHeap_.reset(new VARIANTARG*[capacity]);
            slots_ = reinterpret_cast<Slot*>(slotsHeap_.get());
            types_ = typesHeap_.get();
            values_ = valuesHeap_.get();
        }
    }
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    ~Slots() {
        for (UINT i = 0; i < count_; ++i) slots_[i].~Slot();
    }
    Slot& Add(const PreparedParameter& parameter) {
        Slot* slot = new (&slots_[count_]) Slot(parameter);
        ++count_;
        VariantInit(&slot->call);
        return *slot;
    }
    Slot& operator[](UINT i) { return slots_[i]; }
    VARTYPE* types() { return types_; }
    VARIANTARG** values() { return values_; }

private:
    static constexpr UINT kInline = 8;
    alignas(Slot) unsigned char slotsInline_[kInline * sizeof(Slot)];
    VARTYPE typesInline_[kInline];
    VARIANTARG* valuesInline_[kInline];
    std::unique_ptr<unsigned char[]> slotsHeap_;
    std::unique_ptr<VARTYPE[]> typesHeap_;
    std::unique_ptr<VARIANTARG*[]> valuesHeap_;
    Slot* slots_ = reinterpret_cast<Slot*>(slotsInline_);
    VARTYPE* types_ = typesInline_;
    VARIANTARG** values_ = valuesInline_;
    UINT count_ = 0;
};

class InvokeFailure {
public:
    InvokeFailure(HRESULT hr, UINT arg = 0, long runtimeNumber = 0)
        : hr_(hr), arg_(arg), runtimeNumber_(runtimeNumber) {}
    HRESULT hr() const { return hr_; }
    UINT arg() const { return arg_; }
    long runtimeNumber() const { return runtimeNumber_; }  // when the failure is a run-time error

private:
    HRESULT hr_;
    UINT arg_;
    long runtimeNumber_;
};

// The array variable a by-reference argument refers to, if any.
SAFEARRAY* CallerArray(const VARIANT* argument) {
    const VARIANT* v = &Deref(*argument);
    if ((V_VT(v) & (VT_ARRAY | VT_BYREF)) == (VT_ARRAY | VT_BYREF)) return *V_ARRAYREF(v);
    if (V_VT(v) & VT_ARRAY) return V_ARRAY(v);
    return nullptr;
}

bool IsOmitted(const VARIANT* v) {
    return !v || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
}

SAFEARRAY* CopyArrayAs(SAFEARRAY* source, VARTYPE elementType) {
    if (!source) return nullptr;
    VARTYPE sourceType = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(source, &sourceType))) throw InvokeFailure(DISP_E_TYPEMISMATCH);
    SAFEARRAY* copy = nullptr;
    if (sourceType == elementType) {
        if (FAILED(SafeArrayCopy(source, &copy))) throw InvokeFailure(E_OUTOFMEMORY);
        return copy;
    }
    try {
        return ConvertArray(source, elementType);
    } catch (const RuntimeError&) {
        throw InvokeFailure(DISP_E_TYPEMISMATCH);
    }
}

// Fills slot.value from the caller's argument (or from `fallback` when omitted).
void Coerce(Slot& slot, const VARIANT* argument) {
    const VARIANT* source = &Deref(*argument);
    VARTYPE vt = V_VT(source);
    if (slot.parameter.type == VT_VARIANT) {
        if (FAILED(VariantCopyInd(slot.value.get(), const_cast<VARIANT*>(source))))
            throw InvokeFailure(DISP_E_TYPEMISMATCH);
        return;
    }
    if (slot.parameter.type & VT_ARRAY) {
        VARTYPE element = slot.parameter.type & ~VT_ARRAY;
        SAFEARRAY* array = nullptr;
        if (vt & VT_ARRAY) {
            array = (vt & VT_BYREF) ? *V_ARRAYREF(source) : V_ARRAY(source);
        } else if (vt != VT_EMPTY && !(vt == VT_ERROR && V_ERROR(source) == DISP_E_PARAMNOTFOUND)) {
            throw InvokeFailure(DISP_E_TYPEMISMATCH);
        }
        V_VT(slot.value.get()) = slot.parameter.type;
        V_ARRAY(slot.value.get()) = CopyArrayAs(array, element);
        return;
    }
    HRESULT hr = VariantChangeTypeEx(slot.value.get(), const_cast<VARIANT*>(source), LOCALE_USER_DEFAULT,
                                     VARIANT_ALPHABOOL, slot.parameter.type);
    if (hr == DISP_E_OVERFLOW && slot.parameter.acceptsUnsigned && slot.parameter.type == VT_I4) {
        hr = VariantChangeTypeEx(slot.value.get(), const_cast<VARIANT*>(source), LOCALE_USER_DEFAULT, 0, VT_UI4);
        if (SUCCEEDED(hr)) V_VT(slot.value.get()) = VT_I4;  // same 32 bits, read as signed
    }
    // Null has no value of any type: the run-time calls that "Invalid use of Null".
    if (FAILED(hr) && vt == VT_NULL) throw InvokeFailure(DISP_E_EXCEPTION, 0, kInvalidUseOfNull);
    if (FAILED(hr)) throw InvokeFailure(hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH);
}

// Whether a member left a by-reference temporary exactly as it received it.
// Arrays and references count as changed: their elements may have changed in place.
bool SameValue(const VARIANT& before, const VARIANT& after) {
    if (V_VT(&before) != V_VT(&after)) return false;
    switch (V_VT(&before)) {
    case VT_EMPTY: case VT_NULL: return true;
    case VT_I1: case VT_UI1: return V_UI1(&before) == V_UI1(&after);
    case VT_I2: case VT_UI2: case VT_BOOL: return V_UI2(&before) == V_UI2(&after);
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR:
        return V_UI4(&before) == V_UI4(&after);
    case VT_R4: return memcmp(&V_R4(&before), &V_R4(&after), sizeof(float)) == 0;
    case VT_R8: case VT_DATE: case VT_CY: case VT_I8: case VT_UI8:
        return memcmp(&V_R8(&before), &V_R8(&after), 8) == 0;
    case VT_BSTR: {
        BSTR a = V_BSTR(&before), b = V_BSTR(&after);
        UINT bytes = SysStringByteLen(a);
        return bytes == SysStringByteLen(b) && (bytes == 0 || memcmp(a, b, bytes) == 0);
    }
    case VT_DISPATCH: case VT_UNKNOWN: return V_UNKNOWN(&before) == V_UNKNOWN(&after);
    default: return false;
    }
}

// Copies a member's array into a caller's fixed-size array of the same shape.
void CopyIntoFixed(SAFEARRAY* fixed, SAFEARRAY* value) {
    VARTYPE fixedType = VT_EMPTY;
    if (!value || FAILED(SafeArrayGetVartype(fixed, &fixedType))) return;
    UINT dims = SafeArrayGetDim(fixed);
    if (dims != SafeArrayGetDim(value)) return;
    for (UINT d = 0; d < dims; ++d) {
        if (fixed->rgsabound[d].cElements != value->rgsabound[d].cElements ||
            fixed->rgsabound[d].lLbound != value->rgsabound[d].lLbound)
            return;
    }
    try {
        SafeArray converted(ConvertArray(value, fixedType));
        // Wine's SafeArrayCopyData also copies the source's features onto the
        // target, which would take "fixed" away from the caller's array.
        const USHORT features = fixed->fFeatures;
        SafeArrayCopyData(converted.get(), fixed);
        fixed->fFeatures = features;
    } catch (...) {
    }
}

// Writes a by-reference temporary back into the caller's variable. Returns a
// run-time error number when the write-back is refused (0 when done).
long WriteBack(Slot& slot) {
    if (!slot.parameter.byRef || slot.passedThrough || IsOmitted(slot.caller)) return 0;
    VARIANT* caller = slot.caller;
    if (!(V_VT(caller) & VT_BYREF)) return 0;  // a literal: nothing to write into
    // A value the member left alone keeps the caller's own type and value
    // (converting it back could round 1.5 to 2).
    if (SameValue(*slot.coerced.get(), *slot.value.get())) return 0;

    // A fixed-size array keeps its place: its elements take the member's
    // changes, and a member that replaced the array meets the run-time's error.
    if (slot.parameter.type & VT_ARRAY) {
        SAFEARRAY* callerArray = CallerArray(caller);
        if (IsFixedOrLocked(callerArray)) {
            if (V_ARRAY(slot.value.get()) != slot.handedOut) return kArrayFixedOrLocked;
            CopyIntoFixed(callerArray, V_ARRAY(slot.value.get()));
            return 0;
        }
    }

    // Arrays go to variant-holding callers as arrays of variants.
    Variant shaped;
    const VARIANT* value = slot.value.get();
    const VARTYPE declared = slot.parameter.type;
    if ((declared & VT_ARRAY) && declared != (VT_ARRAY | VT_VARIANT) && V_ARRAY(slot.value.get())) {
        try {
            V_VT(shaped.get()) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(shaped.get()) = ConvertArray(V_ARRAY(slot.value.get()), VT_VARIANT);
            value = shaped.get();
        } catch (...) {
            return 0;
        }
    }

    if (V_VT(caller) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* target = const_cast<VARIANT*>(&Deref(*caller));
        if (V_VT(target) == (VT_BYREF | VT_ARRAY | VT_VARIANT) && (V_VT(value) & VT_ARRAY)) {
            // A script variable declared as a dynamic array: replace the array itself.
            SAFEARRAY* copy = nullptr;
            if (V_ARRAY(value) && FAILED(SafeArrayCopy(V_ARRAY(value), &copy))) return 0;
            SafeArray old(*V_ARRAYREF(target));
            *V_ARRAYREF(target) = copy;
            return 0;
        }
        VariantClear(target);
        VariantCopy(target, const_cast<VARIANT*>(value));
        return 0;
    }
    if (V_VT(caller) == (VT_BYREF | VT_ARRAY | VT_VARIANT) && (V_VT(value) & VT_ARRAY)) {
        SAFEARRAY* copy = nullptr;
        if (V_ARRAY(value) && FAILED(SafeArrayCopy(V_ARRAY(value), &copy))) return 0;
        SafeArray old(*V_ARRAYREF(caller));
        *V_ARRAYREF(caller) = copy;
        return 0;
    }
    // A typed reference of another type than declared: convert back to it.
    VARTYPE callerType = V_VT(caller) & ~VT_BYREF;
    if (callerType & VT_ARRAY) return 0;
    Variant converted;
    if (FAILED(VariantChangeTypeEx(converted.get(), const_cast<VARIANT*>(value), LOCALE_USER_DEFAULT,
                                   VARIANT_ALPHABOOL, callerType)))
        return 0;
    switch (callerType) {
    case VT_BSTR:
        SysFreeString(*V_BSTRREF(caller));
        *V_BSTRREF(caller) = V_BSTR(converted.get());
        V_VT(converted.get()) = VT_EMPTY;
        break;
    case VT_I1: case VT_UI1: *V_UI1REF(caller) = V_UI1(converted.get()); break;
    case VT_I2: case VT_UI2: case VT_BOOL: *V_I2REF(caller) = V_I2(converted.get()); break;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4:
        *V_I4REF(caller) = V_I4(converted.get());
        break;
    case VT_R8: case VT_DATE: case VT_CY: case VT_I8: case VT_UI8:
        *V_R8REF(caller) = V_R8(converted.get());
        break;
    default:
        break;
    }
    return 0;
}

void FillException(EXCEPINFO* exception, HRESULT hr) {
    if (!exception) return;
    ZeroMemory(exception, sizeof(*exception));
    exception->scode = hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, error.put()) == S_OK && error) {
        error->GetSource(&exception->bstrSource);
        error->GetDescription(&exception->bstrDescription);
        error->GetHelpFile(&exception->bstrHelpFile);
        error->GetHelpContext(&exception->dwHelpContext);
    }
}

}  // namespace

SAFEARRAY* ConvertArray(SAFEARRAY* source, VARTYPE elementType) {
    if (!source) return nullptr;
    VARTYPE sourceType = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(source, &sourceType))) ThrowRuntime(kTypeMismatch);
    UINT dims = SafeArrayGetDim(source);
    if (dims == 0) ThrowRuntime(kTypeMismatch);
    // rgsabound is stored last dimension first; SafeArrayCreate wants the same order.
    std::vector<SAFEARRAYBOUND> bounds(source->rgsabound, source->rgsabound + dims);
    SafeArray target(SafeArrayCreate(elementType, dims, bounds.data()));
    if (!target.get()) ThrowRuntime(kOutOfMemory);

    ULONG count = 1;
    for (const SAFEARRAYBOUND& b : bounds) count *= b.cElements;
    if (count == 0) return target.release();

    void* from = nullptr;
    void* to = nullptr;
    if (FAILED(SafeArrayAccessData(source, &from))) ThrowRuntime(kTypeMismatch);
    if (FAILED(SafeArrayAccessData(target.get(), &to))) {
        SafeArrayUnaccessData(source);
        ThrowRuntime(kOutOfMemory);
    }
    HRESULT failure = S_OK;
    const char* in = static_cast<const char*>(from);
    char* out = static_cast<char*>(to);
    for (ULONG i = 0; i < count && SUCCEEDED(failure); ++i) {
        // Build a by-reference view of the source element, convert into a
        // temporary, then move the converted value into the target element.
        VARIANT view;
        VariantInit(&view);
        if (sourceType == VT_VARIANT) {
            V_VT(&view) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&view) = reinterpret_cast<VARIANT*>(const_cast<char*>(in + i * source->cbElements));
        } else {
            V_VT(&view) = VT_BYREF | sourceType;
            V_BYREF(&view) = const_cast<char*>(in + i * source->cbElements);
        }
        Variant converted;
        if (elementType == VT_VARIANT) {
            failure = VariantCopyInd(converted.get(), &view);
            if (SUCCEEDED(failure)) converted.MoveTo(reinterpret_cast<VARIANT*>(out + i * target.get()->cbElements));
            continue;
        }
        Variant plain;
        failure = VariantCopyInd(plain.get(), &view);
        if (SUCCEEDED(failure))
            failure = VariantChangeTypeEx(converted.get(), plain.get(), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL,
                                          elementType);
        if (SUCCEEDED(failure)) {
            char* slot = out + i * target.get()->cbElements;
            if (elementType == VT_BSTR) {
                *reinterpret_cast<BSTR*>(slot) = V_BSTR(converted.get());
                V_VT(converted.get()) = VT_EMPTY;
            } else {
                memcpy(slot, &V_UI1(converted.get()), target.get()->cbElements);
            }
        }
    }
    SafeArrayUnaccessData(target.get());
    SafeArrayUnaccessData(source);
    if (FAILED(failure)) ThrowRuntime(failure == E_OUTOFMEMORY ? kOutOfMemory : kTypeMismatch);
    return target.release();
}

namespace {

// Whether a value of the declared type needs no conversion and can be handed
// to the member as it stands: plain values whose bits are the value itself
// and texts (a by-value text is only read).
bool PassesAsIs(VARTYPE declared, const VARIANT& source) {
    if (V_VT(&source) != declared) return false;
    switch (declared) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_BOOL: case VT_I4: case VT_UI4:
    case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: case VT_R8: case VT_DATE: case VT_CY:
    case VT_I8: case VT_UI8: case VT_BSTR:
        return true;
    default:
        return false;
    }
}

// The caller's variable behind a by-reference variant, when the member can
// work in it directly: it holds the declared type itself (no conversion, so
// nothing to write back), or any plain value for a declared variant.
VARIANT* CallerStorage(VARTYPE declared, VARIANT* argument) {
    if (V_VT(argument) != (VT_BYREF | VT_VARIANT)) return nullptr;
    VARIANT* target = const_cast<VARIANT*>(&Deref(*argument));
    const VARTYPE held = V_VT(target);
    if (held & (VT_BYREF | VT_ARRAY)) return nullptr;
    if (declared == VT_VARIANT) return target;
    return PassesAsIs(declared, *target) ? target : nullptr;
}

// Points the call at a variable of the declared type, by reference.
void ReferTo(Slot& slot, VARIANT* storage) {
    if (slot.parameter.type == VT_VARIANT) {
        V_VT(&slot.call) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&slot.call) = storage;
    } else {
        V_VT(&slot.call) = VT_BYREF | slot.parameter.type;
        V_BYREF(&slot.call) = &V_UI1(storage);
    }
}

// Prepares one input slot from the caller's argument (slot.caller, null when omitted).
void Fill(Slot& slot) {
    const PreparedParameter& parameter = slot.parameter;
    VARIANT* argument = slot.caller;
    if (IsOmitted(argument)) {
        if (parameter.hasDefault) {
            Coerce(slot, parameter.defaultValue.get());
        } else if (parameter.optionalVariant) {
            V_VT(slot.value.get()) = VT_ERROR;
            V_ERROR(slot.value.get()) = DISP_E_PARAMNOTFOUND;
        } else {
            throw InvokeFailure(DISP_E_PARAMNOTFOUND, slot.callerIndex);
        }
        return;
    }
    if (parameter.byRef) {
        if (V_VT(argument) == (VT_BYREF | parameter.type) &&
            !((parameter.type & VT_ARRAY) && IsFixedOrLocked(*V_ARRAYREF(argument)))) {
            // Already a reference of the declared type: the caller's storage is used.
            slot.passedThrough = true;
            slot.call = *argument;
            return;
        }
        if (VARIANT* storage = CallerStorage(parameter.type, argument)) {
            slot.passedThrough = true;
            ReferTo(slot, storage);
            return;
        }
    } else if (parameter.type != VT_VARIANT && PassesAsIs(parameter.type, Deref(*argument))) {
        slot.call = Deref(*argument);  // a view of the caller's value; nothing is owned
        return;
    }
    try {
        Coerce(slot, argument);
    } catch (const InvokeFailure& failure) {
        throw InvokeFailure(failure.hr(), slot.callerIndex, failure.runtimeNumber());
    }
    if (parameter.type & VT_ARRAY) {
        slot.handedOut = V_ARRAY(slot.value.get());
    } else if (parameter.byRef && (V_VT(argument) & VT_BYREF)) {
        VariantCopy(slot.coerced.get(), slot.value.get());
    }
}

// Points the call at the slot's typed temporary.
void Aim(Slot& slot) {
    if (slot.parameter.byRef) {
        ReferTo(slot, slot.value.get());
    } else {
        slot.call = *slot.value.get();  // a shallow view; the slot keeps ownership
    }
}

HRESULT Invoke(void* instance, const PreparedInterface& prepared, DISPID member, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    const PreparedMember* found = prepared.Find(member, flags);
    if (!found) return DISP_E_MEMBERNOTFOUND;
    const PreparedMember& desc = *found;
    const UINT declared = desc.declared;
    const UINT inputs = desc.inputs;

    Slots slots(declared);
    for (UINT p = 0; p < declared; ++p) slots.Add(desc.parameters[p]);

    UINT named = params->cNamedArgs;
    if (named > params->cArgs) return DISP_E_BADPARAMCOUNT;
    UINT positional = params->cArgs - named;
    for (UINT i = 0; i < named; ++i) {
        DISPID id = params->rgdispidNamedArgs[i];
        UINT index = (id == DISPID_PROPERTYPUT) ? inputs - 1 : static_cast<UINT>(id);
        if (inputs == 0 || id < DISPID_PROPERTYPUT || index >= inputs) {
            if (argError) *argError = i;
            return DISP_E_PARAMNOTFOUND;
        }
        slots[index].caller = &params->rgvarg[i];
        slots[index].callerIndex = i;
    }
    UINT positionalLimit = (named > 0 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) ? inputs - 1 : inputs;
    if (positional > positionalLimit) return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < positional; ++p) {
        slots[p].caller = &params->rgvarg[params->cArgs - 1 - p];
        slots[p].callerIndex = params->cArgs - 1 - p;
    }

    // A required argument that is missing is reported the same way whatever
    // the other arguments hold: before any of them is converted. puArgErr
    // names the caller's "missing" marker for a required parameter where it
    // gave one (also one that another entry for the same parameter
    // overrode); a parameter left out altogether has no entry, and its
    // place is given instead.
    for (UINT i = 0; i < params->cArgs; ++i) {
        if (!IsOmitted(&params->rgvarg[i])) continue;
        UINT p = params->cArgs - 1 - i;
        if (i < named) p = params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT ? inputs - 1 : params->rgdispidNamedArgs[i];
        if (p < inputs && !desc.parameters[p].MayBeOmitted()) {
            if (argError) *argError = i;
            return DISP_E_PARAMNOTFOUND;
        }
    }
    for (UINT p = 0; p < inputs; ++p) {
        if (IsOmitted(slots[p].caller) && !desc.parameters[p].MayBeOmitted()) {
            if (argError) *argError = p;
            return DISP_E_PARAMNOTFOUND;
        }
    }

    try {
        for (UINT p = 0; p < declared; ++p) {
            Slot& slot = slots[p];
            if (slot.parameter.type == VT_EMPTY) throw InvokeFailure(DISP_E_TYPEMISMATCH, 0);
            if (p < inputs) {
                Fill(slot);
                if (slot.passedThrough || V_VT(&slot.call) != VT_EMPTY) continue;
            } else if (slot.parameter.type != VT_VARIANT) {
                V_VT(slot.value.get()) = slot.parameter.type;  // [retval]: zero of the declared type
            }
            Aim(slot);
        }
    } catch (const InvokeFailure& failure) {
        if (argError) *argError = failure.arg();
        if (failure.runtimeNumber() != 0) {
            RaiseToCaller(RuntimeError::Standard(failure.runtimeNumber()));
            FillException(exception, RuntimeError::Standard(failure.runtimeNumber()).ToHresult());
            SetErrorInfo(0, nullptr);
        }
        return failure.hr();
    }

    VARTYPE* types = slots.types();
    VARIANTARG** values = slots.values();
    for (UINT p = 0; p < declared; ++p) {
        Slot& slot = slots[p];
        // By-value variants travel whole on the stack; everything else by its own type.
        if (!slot.parameter.byRef && slot.parameter.type == VT_VARIANT) {
            types[p] = VT_VARIANT;
            values[p] = slot.value.get();
        } else {
            types[p] = V_VT(&slot.call);
            values[p] = &slot.call;
        }
    }

    VARIANT returned;
    VariantInit(&returned);
    V_VT(&returned) = VT_ERROR;
    // The copy of a fixed-size or locked caller array stays locked for the
    // call: a member that replaces it cannot free it, so its address cannot
    // come back for the replacement and the replacement is always seen.
    for (UINT p = 0; p < inputs; ++p) {
        Slot& slot = slots[p];
        if (slot.handedOut && slot.parameter.byRef && !IsOmitted(slot.caller) &&
            IsFixedOrLocked(CallerArray(slot.caller)) &&
            SUCCEEDED(SafeArrayLock(slot.handedOut)))
            slot.guarded = true;
    }
    SetErrorInfo(0, nullptr);
    HRESULT hr = DispCallFunc(instance, desc.vtableOffset, CC_STDCALL, VT_ERROR, declared, types, values,
                              &returned);
    for (UINT p = 0; p < inputs; ++p) {
        Slot& slot = slots[p];
        if (!slot.guarded) continue;
        SafeArrayUnlock(slot.handedOut);
        // Replaced: the member's attempt to free the locked copy failed.
        if (V_ARRAY(slot.value.get()) != slot.handedOut) SafeArrayDestroy(slot.handedOut);
    }
    if (FAILED(hr)) return hr;
    HRESULT callResult = V_ERROR(&returned);

    long writeBackError = 0;
    for (UINT p = 0; p < inputs; ++p) {
        long refused = WriteBack(slots[p]);
        if (refused && !writeBackError) writeBackError = refused;
    }
    if (SUCCEEDED(callResult) && writeBackError) callResult = RaiseToCaller(RuntimeError::Standard(writeBackError));

    if (FAILED(callResult)) {
        FillException(exception, callResult);
        SetErrorInfo(0, nullptr);
        return DISP_E_EXCEPTION;
    }
    if (desc.hasRetval && result) {
        VariantClear(result);
        slots[declared - 1].value.MoveTo(result);
    }
    return S_OK;
}

}  // namespace

HRESULT InvokeThroughTypeInfo(void* instance, const PreparedInterface& prepared, DISPID member, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError) noexcept {
    // Nothing thrown on the way (an allocation that failed) may cross the interface.
    try {
        return Invoke(instance, prepared, member, flags, params, result, exception, argError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace tessary
