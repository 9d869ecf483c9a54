// One call: its shape and arguments drawn from the call's seed, the Invoke,
// and the checks of what came back and of what the arguments became.
#include "fuzzer.h"

#include <cstdio>
#include <cstring>

#include "arena.h"
#include "describe.h"
#include "generator.h"
#include "rng.h"
#include "snapshot.h"
#include "support/test_support.h"

namespace tessary::fuzz {
namespace {

// A member that must succeed with no arguments: asked after every failed call.
const wchar_t* ProbeMember(const std::wstring& cls) {
    if (cls == L"xRegistry") return L"ValueKey";
    if (cls == L"xPrinter") return L"Connected";
    if (cls == L"xApplication") return L"winOS";
    if (cls == L"xMixer") return L"bMix";
    return nullptr;
}

bool AllowedFailure(HRESULT hr) {
    switch (hr) {
    case DISP_E_BADPARAMCOUNT: case DISP_E_BADVARTYPE: case DISP_E_EXCEPTION: case DISP_E_MEMBERNOTFOUND:
    case DISP_E_NONAMEDARGS: case DISP_E_OVERFLOW: case DISP_E_PARAMNOTFOUND: case DISP_E_TYPEMISMATCH:
    case DISP_E_UNKNOWNINTERFACE: case DISP_E_UNKNOWNLCID: case DISP_E_PARAMNOTOPTIONAL:
        return true;
    default:
        return false;
    }
}

// Whom a call goes to, and how: the member, the id and flags it is called
// with, the number of arguments, the named ones, and the parameter each
// rgvarg entry lands on (-1 for none).
struct Shape {
    size_t cls = 0;
    const Member* member = nullptr;
    DISPID id = 0;
    bool unknownId = false;
    WORD flags = 0;
    UINT inputs = 0;  // the member's parameters
    UINT count = 0;
    UINT named = 0;
    std::vector<DISPID> namedIds;
    std::vector<int> position;
};

Shape ChooseShape(const std::vector<ClassInfo>& classes, Rng& rng) {
    Shape s;
    s.cls = rng.Below(static_cast<uint32_t>(classes.size()));
    const ClassInfo& cls = classes[s.cls];
    const Member& m = cls.members[rng.Below(static_cast<uint32_t>(cls.members.size()))];
    s.member = &m;

    s.id = m.id;
    if (rng.Chance(3)) {
        static const DISPID ids[] = {0, -1, -4, -5, 1, 0x60030000, 0x68030000 + 0x40, 0x40030100, 0x7FFFFFFF};
        s.id = rng.Chance(50) ? rng.Pick(ids) : static_cast<DISPID>(rng.Next());
        for (MEMBERID known : cls.allIds)
            if (known == s.id) s.id = 0x5EEDF00D;  // never a real member with unconfined arguments
        s.unknownId = true;
    }
    WORD natural = m.kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                 : m.kind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF
                 : m.kind == INVOKE_PROPERTYGET ? (rng.Chance(50) ? DISPATCH_PROPERTYGET
                                                                  : DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                                                : (rng.Chance(50) ? DISPATCH_METHOD
                                                                  : DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    s.flags = natural;
    if (rng.Chance(12)) {
        static const WORD wrong[] = {0, DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                                     DISPATCH_PROPERTYPUTREF, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF,
                                     DISPATCH_METHOD | DISPATCH_PROPERTYPUT, 0x10, 0xFFFF, 0x8001};
        s.flags = rng.Pick(wrong);
    }
    const UINT inputs = static_cast<UINT>(m.inputs.size());
    s.inputs = inputs;
    UINT count = inputs;
    const uint32_t countRoll = rng.Below(100);
    if (countRoll < 8 && inputs > 0) count = rng.Below(inputs);
    else if (countRoll < 16) count = inputs + 1 + rng.Below(3);
    else if (countRoll < 19) count = 0;
    s.count = count;

    // Named arguments: the property put's value, or some of the others.
    const bool put = (s.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    UINT named = 0;
    if (count > 0 && put && rng.Chance(92)) {
        named = 1;
        s.namedIds.push_back(DISPID_PROPERTYPUT);
    } else if (count > 0 && rng.Chance(8)) {
        named = 1 + rng.Below(count);
        for (UINT i = 0; i < named; ++i) {
            const uint32_t r = rng.Below(10);
            if (r < 6 && inputs > 0) s.namedIds.push_back(static_cast<DISPID>(rng.Below(inputs)));
            else if (r < 7) s.namedIds.push_back(DISPID_PROPERTYPUT);
            else if (r < 8) s.namedIds.push_back(-7);
            else s.namedIds.push_back(static_cast<DISPID>(inputs + rng.Below(4)));
        }
    }
    s.named = named;

    s.position.assign(count, -1);
    for (UINT i = 0; i < named; ++i) {
        DISPID d = s.namedIds[i];
        s.position[i] = d == DISPID_PROPERTYPUT ? static_cast<int>(inputs) - 1
                      : (d >= 0 && static_cast<UINT>(d) < inputs) ? d : -1;
    }
    for (UINT p = 0; p < count - named; ++p) s.position[count - 1 - p] = static_cast<int>(p);
    return s;
}

// The value of each rgvarg entry, by the parameter it lands on.
std::vector<VARIANT> MakeArguments(const Shape& s, Rng& rng, Generator& gen) {
    std::vector<VARIANT> args(s.count);
    // Half the calls mostly pass what the parameters ask for, so that
    // members with many parameters get past the conversions too.
    const uint32_t plausible = rng.Chance(50) ? 90 : 40;
    for (UINT i = 0; i < s.count; ++i) {
        const int p = s.position[i];
        const Param* param =
            (p >= 0 && static_cast<UINT>(p) < s.inputs && !s.unknownId) ? &s.member->inputs[p] : nullptr;
        if (param && param->confined) {
            args[i] = gen.Confined(param->confined->pool);
        } else if (rng.Chance(plausible > 50 ? 1 : 4)) {
            VariantInit(&args[i]);
            V_VT(&args[i]) = VT_ERROR;
            V_ERROR(&args[i]) = DISP_E_PARAMNOTFOUND;  // "missing"
        } else if (param && rng.Chance(plausible)) {
            args[i] = gen.Plausible(param->type);
        } else {
            args[i] = gen.Any();
        }
    }
    // Confined parameters belong to members with one accessor only, so
    // wrong flags cannot land an unconfined value on one of them.
    return args;
}

// The registry object addresses a scratch key before every call.
void AddressScratchKey(IDispatch* object, Rng& rng) {
    static const wchar_t* const subkeys[] = {L"", L"\\a", L"\\b\\c d", L"\\\x00FC"};
    Variant root, section;
    V_VT(root.get()) = VT_I4;
    V_I4(root.get()) = static_cast<LONG>(0x80000001);  // HKEY_CURRENT_USER
    V_VT(section.get()) = VT_BSTR;
    V_BSTR(section.get()) = SysAllocString((std::wstring(kScratchKey) + rng.Pick(subkeys)).c_str());
    test::PutByName(object, L"ClassKey", root.get());
    test::PutByName(object, L"SectionKey", section.get());
    SetErrorInfo(0, nullptr);
}

// The failure is one Invoke may report, and reports itself properly.
void CheckReport(HRESULT hr, REFIID riid, EXCEPINFO& exception, bool withException, std::string* description,
                 Outcome& out) {
    if (FAILED(hr) && !AllowedFailure(hr))
        out.problems.push_back("returned " + Hex(static_cast<uint32_t>(hr)) + ", not a failure Invoke may report");
    if (!IsEqualIID(riid, IID_NULL) && hr != DISP_E_UNKNOWNINTERFACE)
        out.problems.push_back("a non-null riid was not refused with DISP_E_UNKNOWNINTERFACE");
    if (hr == DISP_E_EXCEPTION && withException) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        if (exception.scode == 0 && exception.wCode == 0)
            out.problems.push_back("DISP_E_EXCEPTION with neither scode nor wCode set");
        if (exception.scode != 0 && SUCCEEDED(exception.scode))
            out.problems.push_back("DISP_E_EXCEPTION with a success scode " + Hex(exception.scode));
        if (!exception.bstrDescription || !SysStringLen(exception.bstrDescription))
            out.problems.push_back("DISP_E_EXCEPTION without a description");
        if (!exception.bstrSource || !SysStringLen(exception.bstrSource))
            out.problems.push_back("DISP_E_EXCEPTION without a source");
        if (exception.bstrDescription) *description += " \"" + Narrow(exception.bstrDescription) + "\"";
    }
    if (hr != DISP_E_EXCEPTION && (exception.bstrDescription || exception.bstrSource || exception.bstrHelpFile))
        out.problems.push_back("EXCEPINFO filled (its texts then leak) without DISP_E_EXCEPTION");
}

bool IsMissing(const VARIANT& v) { return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND; }

// puArgErr names the argument at fault: for a type mismatch one that was
// passed; for a missing parameter the "missing" marker or the named
// argument that fits no parameter, when there is one.
void CheckArgError(HRESULT hr, UINT argError, UINT unset, const std::vector<VARIANT>& args, const Shape& s,
                   Outcome& out) {
    const UINT count = static_cast<UINT>(args.size());
    if (hr == DISP_E_TYPEMISMATCH) {
        if (argError == unset) out.problems.push_back("DISP_E_TYPEMISMATCH without puArgErr");
        else if (argError >= count) out.problems.push_back("DISP_E_TYPEMISMATCH names argument " + std::to_string(argError) + " of " + std::to_string(count));
        return;
    }
    // Entries the caller gave that no parameter can take, or that are markers for required parameters.
    std::vector<UINT> culprits;
    for (UINT i = 0; i < s.named; ++i)
        if (s.position[i] < 0) culprits.push_back(i);
    for (UINT i = 0; i < count; ++i) {
        const int p = s.position[i];
        if (p >= 0 && static_cast<UINT>(p) < s.inputs && !s.member->inputs[p].optional && IsMissing(args[i]))
            culprits.push_back(i);
    }
    if (culprits.empty()) return;  // a parameter left out altogether: no entry to name
    for (UINT c : culprits)
        if (c == argError) return;
    out.problems.push_back("DISP_E_PARAMNOTFOUND names argument " +
                           (argError == unset ? std::string("(unset)") : std::to_string(argError)) +
                           ", not the one at fault (" + std::to_string(culprits[0]) + ")");
}

// Arguments given by value, and every argument's own variant, are as they were.
void CheckArguments(const ClassInfo& cls, const Shape& s, const std::vector<VARIANT>& args,
                    const std::vector<Snapshot>& before, Outcome& out) {
    const std::vector<bool>& refs =
        cls.byRefPositions.count(s.id) ? cls.byRefPositions.at(s.id) : std::vector<bool>();
    for (UINT i = 0; i < s.count; ++i) {
        const Snapshot& snap = before[i];
        if (memcmp(&snap.shallow, &args[i], sizeof(VARIANT)) != 0) {
            out.problems.push_back("argument " + std::to_string(i) + " (a variant of the caller's) was overwritten");
            continue;
        }
        const int p = s.position[i];
        const bool mayChange = p >= 0 && static_cast<size_t>(p) < refs.size() && refs[p] &&
                               (V_VT(&args[i]) & VT_BYREF);
        if (snap.array && snap.array->cLocks != snap.locks && !mayChange)
            out.problems.push_back("argument " + std::to_string(i) + ": the array's lock count changed");
        if (mayChange) continue;
        const VARIANT* now = Follow(&args[i]);
        Variant current;
        VariantCopyInd(current.get(), const_cast<VARIANT*>(now));
        if (!SameValue(*snap.deep.get(), *current.get()))
            out.problems.push_back("argument " + std::to_string(i) + " passed by value was changed");
        if (snap.array && (snap.array->fFeatures != snap.features || snap.array->pvData != snap.data))
            out.problems.push_back("argument " + std::to_string(i) + ": the array's features or data moved");
    }
}

}  // namespace

std::string& CurrentCall() {
    static std::string text;
    return text;
}

Fuzzer::Fuzzer(std::vector<ClassInfo> classes, uint64_t seed, bool describeArguments)
    : classes_(std::move(classes)), seed_(seed), describeArguments_(describeArguments) {
    scratch_ = test::TempDir();
}

Fuzzer::~Fuzzer() { ReleaseObjects(); }

bool Fuzzer::MakeObjects() {
    ReleaseObjects();
    objects_.assign(classes_.size(), nullptr);
    for (size_t c = 0; c < classes_.size(); ++c) {
        HRESULT hr = CoCreateInstance(classes_[c].clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&objects_[c]));
        if (FAILED(hr)) {
            printf("cannot create %s: %s\n", Narrow(classes_[c].name).c_str(), Hex(hr).c_str());
            return false;
        }
    }
    return true;
}

void Fuzzer::ReleaseObjects() {
    for (IDispatch*& d : objects_)
        if (d) {
            d->Release();
            d = nullptr;
        }
}

int Fuzzer::ReleaseFakes(std::vector<std::string>& problems) {
    int leaked = 0;
    for (FakeDispatch* f : fakes_) {
        if (f->References() != 1) {
            ++leaked;
            problems.push_back("a dispatch argument still has " + std::to_string(f->References() - 1) +
                               " reference(s) held after its objects were released");
        }
        f->Release();
    }
    fakes_.clear();
    return leaked;
}

Outcome Fuzzer::Call(int64_t index, std::string* description) {
    Outcome out;
    Rng rng(CallSeed(seed_, index));
    Arena arena;
    Generator gen(rng, arena, fakes_, scratch_);

    Shape s = ChooseShape(classes_, rng);
    const ClassInfo& cls = classes_[s.cls];
    IDispatch* object = objects_[s.cls];
    const UINT count = s.count;
    std::vector<VARIANT> args = MakeArguments(s, rng, gen);

    std::vector<Snapshot> before(count);
    for (UINT i = 0; i < count; ++i) Take(before[i], args[i]);

    if (cls.name == L"xRegistry") AddressScratchKey(object, rng);

    DISPPARAMS params = {args.data(), s.namedIds.data(), count, s.named};
    DISPPARAMS* paramsPtr = &params;
    if (count == 0 && rng.Chance(3)) paramsPtr = nullptr;
    IID riid = IID_NULL;
    if (rng.Chance(1)) riid = IID_IDispatch;
    static const LCID lcids[] = {LOCALE_USER_DEFAULT, LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0x409, 0x407,
                                 0x411, 0};
    const LCID lcid = rng.Pick(lcids);
    Variant result;
    EXCEPINFO exception = {};
    const UINT kUnset = 0xDEADBEEF;
    UINT argError = kUnset;
    const bool withResult = !rng.Chance(5);
    const bool withException = !rng.Chance(5);
    const bool withArgError = !rng.Chance(5);

    char text[512];
    snprintf(text, sizeof text, "%s.%s%s id=%s flags=%s args=%u named=%u%s", Narrow(cls.name).c_str(),
             Narrow(s.member->name).c_str(), s.unknownId ? "(unknown id)" : "", Hex(static_cast<uint32_t>(s.id)).c_str(),
             FlagsText(s.flags).c_str(), count, s.named, IsEqualIID(riid, IID_NULL) ? "" : " riid=IDispatch");
    *description = text;

    CurrentCall() = *description;
    CurrentReentry() = {object, ProbeId(object, cls.name)};
    if (describeArguments_) {
        for (UINT i = 0; i < count; ++i)
            printf("  rgvarg[%u]%s: %s\n", i, i < s.named ? (" named " + std::to_string(s.namedIds[i])).c_str() : "",
                   Describe(args[i]).c_str());
        fflush(stdout);
    }
    SetErrorInfo(0, nullptr);
    const HRESULT hr = object->Invoke(s.id, riid, lcid, s.flags, paramsPtr, withResult ? result.get() : nullptr,
                                      withException ? &exception : nullptr, withArgError ? &argError : nullptr);
    CurrentReentry() = {};
    *description += " -> " + Hex(static_cast<uint32_t>(hr));

    CheckReport(hr, riid, exception, withException, description, out);
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && withArgError) {
        *description += " argErr=" + (argError == kUnset ? std::string("unset") : std::to_string(argError));
        CheckArgError(hr, argError, kUnset, args, s, out);
    }
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);

    // Nothing pending, and the object still answers.
    IErrorInfo* pending = nullptr;
    if (GetErrorInfo(0, &pending) == S_OK && pending) {
        BSTR d = nullptr;
        pending->GetDescription(&d);
        out.problems.push_back("an error stays pending after the call: \"" + Narrow(d ? d : L"") + "\"");
        SysFreeString(d);
        pending->Release();
    }
    if (FAILED(hr)) {
        HRESULT probe = Probe(object, cls.name);
        if (probe != S_OK)
            out.problems.push_back("the next plain call failed with " + Hex(static_cast<uint32_t>(probe)));
    }

    CheckArguments(cls, s, args, before, out);

    // The result is a well-formed variant.
    if (SUCCEEDED(hr) && withResult) {
        Variant copy;
        if (FAILED(VariantCopy(copy.get(), result.get())))
            out.problems.push_back("the result (type " + Hex(V_VT(result.get())) + ") cannot be copied");
    }

    for (VARIANT& a : args) {
        // By-value contents are the caller's to free; references point into the arena.
        if (!(V_VT(&a) & VT_BYREF)) VariantClear(&a);
    }
    return out;
}

// The id of the class's probe member (0 when it has none).
DISPID Fuzzer::ProbeId(IDispatch* object, const std::wstring& cls) {
    auto known = probeIds_.find(cls);
    if (known != probeIds_.end()) return known->second;
    DISPID id = 0;
    const wchar_t* name = ProbeMember(cls);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (name && FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) id = 0;
    probeIds_[cls] = id;
    return id;
}

// Known-good plain call on the class's probe member.
HRESULT Fuzzer::Probe(IDispatch* object, const std::wstring& cls) {
    if (!ProbeMember(cls)) return S_OK;
    const DISPID id = ProbeId(object, cls);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Variant value;
    EXCEPINFO e = {};
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(), &e, nullptr);
    SysFreeString(e.bstrDescription);
    SysFreeString(e.bstrSource);
    SysFreeString(e.bstrHelpFile);
    return hr;
}

}  // namespace tessary::fuzz
