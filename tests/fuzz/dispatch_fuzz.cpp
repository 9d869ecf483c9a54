// Hostile calls through IDispatch::Invoke to every member of every creatable
// class that Tessary.tlb describes.
//
// The parent process splits the run into batches and starts this program
// again for each one (--child --seed S --first N --count K); a child makes
// calls N .. N+K-1 and announces each call's index in shared memory before
// making it, so a crash or a hang is pinned to one call. Every call is made
// from (seed, call index) alone, so any call can be replayed by itself
// (--child --seed S --first N --count 1), or together with the calls made
// before it on the same objects (objects are made afresh every kEpoch calls).
//
// Each call is checked: it returns within the time limit, the process
// survives, a failure is one IDispatch::Invoke may return and reports itself
// properly (a filled EXCEPINFO with DISP_E_EXCEPTION, the argument named for
// a type mismatch or a missing parameter), no error stays pending, the object
// still answers, and no argument passed by value changed. Each child also
// checks that kernel handles, GDI objects and windows end where they started
// after its first epoch, and that the dispatch objects it passed were all
// released.
//
//   dispatch_fuzz [--calls N] [--seed S] [--batch K] [--timeout-ms T]
//   dispatch_fuzz --child --seed S --first N --count K [--verbose] [--debugger]
// --crash-at N and --hang-at N make call N fault or stall, to see the
// harness report them.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/resource_census.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

// ---------------------------------------------------------------------------
// What the fuzzer leaves alone, and what it only calls with safe values.

// Members never called: they act on the desktop, on other processes, on the
// user's files or on shared system settings.
struct Exclusion {
    const wchar_t* cls;
    const wchar_t* member;
    INVOKEKIND kind;  // 0: every accessor
    const char* why;
};
const Exclusion kExclusions[] = {
    {L"xApplication", L"SendKey", INVOKEKIND(0), "types a key stroke into whatever window has the focus"},
    {L"xApplication", L"SendString", INVOKEKIND(0), "types key strokes into whatever window has the focus"},
    {L"xApplication", L"ShowMouse", INVOKEKIND(0), "shows or hides the desktop's mouse cursor"},
    {L"xApplication", L"MoveMe", INVOKEKIND(0), "starts a title-bar drag of any window handle"},
    {L"xApplication", L"AlwaysOnTop", INVOKEKIND(0), "pins or unpins any window handle"},
    {L"xApplication", L"ShellAdd", INVOKEKIND(0), "puts shortcuts into the user's Startup folder"},
    {L"xApplication", L"ShellRename", INVOKEKIND(0), "renames files on arbitrary paths"},
    {L"xApplication", L"ShellMove", INVOKEKIND(0), "moves files on arbitrary paths"},
    {L"xApplication", L"ShellCopy", INVOKEKIND(0), "copies files to arbitrary paths"},
    {L"xApplication", L"ShellDelete", INVOKEKIND(0), "deletes files on arbitrary paths (and may ask first)"},
    {L"xRegistry", L"CreateEXEAssociation", INVOKEKIND(0), "writes file associations below HKEY_CLASSES_ROOT"},
    {L"xMixer", L"Volume", INVOKE_PROPERTYPUT, "sets the system mixer's volume, shared with every program"},
    {L"xMixer", L"Mute", INVOKE_PROPERTYPUT, "mutes the system mixer, shared with every program"},
};

// Parameters that only ever receive values from a pool (in every wrapping:
// text, reference to text, reference to a variant holding text; never a value
// that converts to some other text), so that writes stay in scratch places
// that the run removes again. Besides these, the xRegistry object's ClassKey
// and SectionKey are set to HKEY_CURRENT_USER\Software\TessaryFuzz\... before
// every call, so that whatever earlier calls addressed, CreateKey, DeleteKey,
// DeleteValue and Value only ever touch the scratch key.
enum class Pool { RootName, ScratchKey, SettingsSection, IniSection, OutputFile, FalseOnly };
struct Confinement {
    const wchar_t* cls;
    const wchar_t* member;
    const wchar_t* param;
    Pool pool;
    const char* why;
};
const Confinement kConfinements[] = {
    {L"xRegistry", L"RegSysSet", L"sClass", Pool::RootName, "always \"HKCU\""},
    {L"xRegistry", L"RegSysSet", L"sSectKey", Pool::ScratchKey, "keys below HKCU\\Software\\TessaryFuzz"},
    {L"xRegistry", L"RegSet", L"sSectKey", Pool::SettingsSection, "sections below HKCU\\Software\\Halvex\\TessaryFuzz"},
    {L"xRegistry", L"RegWinIni", L"sSection", Pool::IniSection, "System.ini sections named TessaryFuzz..."},
    {L"xRegistry", L"StartWithWindows", L"bSet", Pool::FalseOnly, "False or omitted: reads the Run key, never writes it"},
    {L"xPrinter", L"StartDoc", L"sOutFile", Pool::OutputFile, "omitted, empty (the test printer) or files in a scratch folder"},
};

const wchar_t kScratchKey[] = L"Software\\TessaryFuzz";
const wchar_t kSettingsScratch[] = L"Software\\Halvex\\TessaryFuzz";
const wchar_t* const kIniSections[] = {L"TessaryFuzz", L"TessaryFuzz \x00FC\x00F1", L"TessaryFuzz x"};

// A member that must succeed with no arguments: asked after every failed call.
const wchar_t* ProbeMember(const std::wstring& cls) {
    if (cls == L"xRegistry") return L"ValueKey";
    if (cls == L"xPrinter") return L"Connected";
    if (cls == L"xApplication") return L"winOS";
    if (cls == L"xMixer") return L"bMix";
    return nullptr;
}

constexpr int64_t kEpoch = 250;        // calls between fresh objects
constexpr int kHandleTolerance = 4;    // kernel handles a child may end with above its start
constexpr int kGdiTolerance = 4;
constexpr int kWindowTolerance = 0;
constexpr DWORD kHangExit = 0xFA57DEAD;
constexpr DWORD kFindingsExit = 1;

// ---------------------------------------------------------------------------
// Random numbers

struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <class T, size_t N>
    const T& Pick(const T (&items)[N]) { return items[Below(N)]; }
};

uint64_t CallSeed(uint64_t seed, int64_t index) {
    Rng mix(seed ^ (static_cast<uint64_t>(index) * 0xD1B54A32D192ED03ull));
    mix.Next();
    return mix.Next();
}

// ---------------------------------------------------------------------------
// The type library's view of the classes

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

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += (c < 128 && c >= 32) ? static_cast<char>(c) : '?';
    return s;
}

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

bool Excluded(const std::wstring& cls, const std::wstring& member, INVOKEKIND kind) {
    for (const Exclusion& e : kExclusions)
        if (cls == e.cls && member == e.member && (e.kind == 0 || e.kind == kind)) return true;
    return false;
}

const Confinement* ConfinementFor(const std::wstring& cls, const std::wstring& member, const std::wstring& param) {
    for (const Confinement& c : kConfinements)
        if (cls == c.cls && member == c.member && param == c.param) return &c;
    return nullptr;
}

std::wstring TypeLibraryPath() { return BinDir() + L"Tessary.tlb"; }

// Every creatable class of the type library with the members of its default interface.
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
                    face->ReleaseFuncDesc(desc);
                    if (!Excluded(cls.name, m.name, m.kind)) cls.members.push_back(std::move(m));
                }
                if (faceAttr) face->ReleaseTypeAttr(faceAttr);
                face->Release();
            }
            classes.push_back(std::move(cls));
        }
        if (attr) coclass->ReleaseTypeAttr(attr);
        coclass->Release();
    }
    lib->Release();
    return classes;
}

// The object being called and a plain member of it: a dispatch argument
// whose value is asked for during the call calls in there again.
struct Reentry {
    IDispatch* object = nullptr;
    DISPID member = 0;
};
Reentry& CurrentReentry() {
    static Reentry reentry;
    return reentry;
}

// ---------------------------------------------------------------------------
// A dispatch object of the fuzzer's own, passed as an argument: its default
// value is some text or a number (the latter after calling back into the
// object being called), or asking for it fails. Its references are counted
// so that one kept by the library shows.

class FakeDispatch final : public IDispatch {
public:
    FakeDispatch(int mode, std::wstring text) : mode_(mode), text_(std::move(text)) {}
    virtual ~FakeDispatch() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override {
        if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        switch (mode_) {
        case 0:
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
            }
            return S_OK;
        case 1:
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_I4;
                V_I4(result) = 42;
            }
            return S_OK;
        case 3: {
            // Calls back into the object that is converting this argument, then answers.
            const Reentry& r = CurrentReentry();
            if (r.object) {
                DISPPARAMS none = {nullptr, nullptr, 0, 0};
                VARIANT inner;
                VariantInit(&inner);
                r.object->Invoke(r.member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &inner, nullptr,
                                 nullptr);
                VariantClear(&inner);
            }
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = SysAllocString(L"12");
            }
            return S_OK;
        }
        case 2:
            if (exception) {
                ZeroMemory(exception, sizeof *exception);
                exception->scode = E_FAIL;
                exception->bstrDescription = SysAllocString(L"fake object refuses");
                exception->bstrSource = SysAllocString(L"TessaryFuzz");
            }
            return DISP_E_EXCEPTION;
        default:
            return E_UNEXPECTED;
        }
    }
    ULONG References() const { return refs_; }

private:
    ULONG refs_ = 1;
    int mode_;
    std::wstring text_;
};

// ---------------------------------------------------------------------------
// Hostile values

const std::wstring& Megabyte() {
    static const std::wstring text = [] {
        std::wstring t(512 * 1024, L'x');  // 1 MiB of UTF-16
        for (size_t i = 0; i < t.size(); i += 97) t[i] = static_cast<wchar_t>(L'A' + i % 26);
        return t;
    }();
    return text;
}

// Texts; the first entry stands for the null BSTR, the second for an odd byte length.
std::vector<std::wstring> TextPool() {
    using namespace std::string_literals;
    return {
        L"<null>"s, L"<odd>"s, L""s, L"0"s, L"1"s, L"-1"s, L"1.5"s, L"1,5"s, L"2.5"s, L"1e400"s, L"-1e-400"s,
        L"NaN"s, L"inf"s, L"&HFFFF"s, L"&H80000001"s, L"-2147483647"s, L"4294967295"s, L"32768"s, L"True"s,
        L"False"s, L"  7  "s, L"REG_SZ"s, L"REG_DWORD"s, L"REG_BINARY"s, L"REG_MULTI_SZ"s, L"HKCU"s, L"HKLM"s,
        L"HKCR"s, L"Get"s, L"get"s, L"Setup"s, L"setup"s, L"Arial"s, L"Courier New"s, std::wstring(31, L'F'),
        std::wstring(32, L'F'), std::wstring(33, L'F'), L"%TEMP%"s, L"%%"s, L"%s%n%x%p"s, L"\\"s, L"\\\\"s,
        L"C:\\"s, L"C:\\windows"s, L"C:\\windows\\win.ini"s, L"..\\.."s, L"\\\\?\\C:\\"s, L"NUL"s, L"*.*"s,
        L"a\0b"s, L"\0"s, L"a\0\0"s, L"one\0two\0\0"s, L"\0\0\0\0"s, L"a,b,,c"s, L",,,"s, L"   "s,
        L"\x00FCn\x00EFc\x00F6d\x00E9"s, L"\x65E5\x672C\x8A9E\x30C6\x30AD\x30B9\x30C8"s,
        L"\x0395\x03BB\x03BB\x03B7\x03BD\x03B9\x03BA\x03AC"s, L"\xD83D\xDE00"s, L"\xD800x"s, L"\xDC00"s,
        L"\xFFFF\xFFFE"s, L"\x202E" L"abc"s, L"\r\n\t"s, L"\x1B[0m"s, L"line\none"s, std::wstring(300, L'a'),
        L"C:\\" + std::wstring(260, L'p'), std::wstring(32767, L'w'), std::wstring(65536, L'\0'),
    };
}
const std::vector<std::wstring>& Texts() {
    static const std::vector<std::wstring> pool = TextPool();
    return pool;
}

// Everything one call's arguments own; freed after the checks.
class Arena {
public:
    ~Arena() { Free(); }
    void Free() {
        for (BSTR* b : bstrs_) SysFreeString(*b);
        for (VARIANT* v : variants_) VariantClear(v);
        for (auto& a : arrays_) {
            // A reference to an array hands it over: a callee may have replaced
            // (and freed) it. A locked one cannot be freed, so it stays ours.
            if (a.locked) {
                SafeArrayUnlock(a.original);
                if (*a.slot != a.original) SafeArrayDestroy(a.original);
            }
            if (*a.slot) SafeArrayDestroy(*a.slot);
        }
        bstrs_.clear();
        variants_.clear();
        arrays_.clear();
        storage_.clear();
    }
    template <class T>
    T* Cell(T value) {
        storage_.emplace_back(new Holder<T>(value));
        return &static_cast<Holder<T>*>(storage_.back().get())->value;
    }
    BSTR* BstrCell(BSTR b) {
        BSTR* cell = Cell<BSTR>(b);
        bstrs_.push_back(cell);
        return cell;
    }
    VARIANT* VariantCell() {
        VARIANT* v = Cell<VARIANT>(VARIANT{});
        VariantInit(v);
        variants_.push_back(v);
        return v;
    }
    // An array whose freeing this arena takes over; `slot` is where the
    // caller's reference to it lives (a by-value variant or a by-reference cell).
    void OwnArray(SAFEARRAY** slot, SAFEARRAY* original, bool locked) { arrays_.push_back({slot, original, locked}); }

private:
    struct Base {
        virtual ~Base() = default;
    };
    template <class T>
    struct Holder : Base {
        explicit Holder(T v) : value(v) {}
        T value;
    };
    struct OwnedArray {
        SAFEARRAY** slot;
        SAFEARRAY* original;
        bool locked;
    };
    std::vector<std::unique_ptr<Base>> storage_;
    std::vector<BSTR*> bstrs_;
    std::vector<VARIANT*> variants_;
    std::vector<OwnedArray> arrays_;
};

// Handle values of pictures and other GDI objects of the child, which
// integer arguments take now and then (as 32-bit values, the way picture
// handles travel).
std::vector<LONG>& HandleValues() {
    static std::vector<LONG> values;
    return values;
}

// The pictures behind those values: bitmaps of several formats and sizes,
// enhanced and old-style metafiles, and a few objects that are no pictures.
class Pictures {
public:
    Pictures() {
        const DWORD pixels[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x808080};
        Keep(CreateBitmap(3, 2, 1, 32, pixels));
        Keep(CreateBitmap(17, 5, 1, 1, nullptr));
        Keep(CreateBitmap(640, 480, 1, 32, nullptr));
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 33;
        info.bmiHeader.biHeight = -7;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        Keep(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        HDC emf = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
        if (emf) {
            Rectangle(emf, 0, 0, 100, 50);
            enhanced_.push_back(CloseEnhMetaFile(emf));
        }
        RECT frame = {0, 0, 0, 0};
        emf = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
        if (emf) enhanced_.push_back(CloseEnhMetaFile(emf));  // nothing drawn, no size
        HDC wmf = CreateMetaFileW(nullptr);
        if (wmf) {
            Rectangle(wmf, 0, 0, 100, 50);
            old_.push_back(CloseMetaFile(wmf));
        }
        Keep(CreatePen(PS_SOLID, 1, 0));
        Keep(CreateSolidBrush(0x123456));
        for (HENHMETAFILE h : enhanced_) HandleValues().push_back(HandleToLong(h));
        for (HMETAFILE h : old_) HandleValues().push_back(HandleToLong(h));
        // A handle freed again.
        HGDIOBJ gone = CreateBitmap(2, 2, 1, 32, nullptr);
        HandleValues().push_back(HandleToLong(gone));
        DeleteObject(gone);
    }
    ~Pictures() {
        for (HGDIOBJ o : objects_) DeleteObject(o);
        for (HENHMETAFILE h : enhanced_) DeleteEnhMetaFile(h);
        for (HMETAFILE h : old_) DeleteMetaFile(h);
        HandleValues().clear();
    }

private:
    void Keep(HGDIOBJ object) {
        if (!object) return;
        objects_.push_back(object);
        HandleValues().push_back(HandleToLong(object));
    }
    std::vector<HGDIOBJ> objects_;
    std::vector<HENHMETAFILE> enhanced_;
    std::vector<HMETAFILE> old_;
};

// What the call under way is, for the report of a crash.
std::string& CurrentCall() {
    static std::string text;
    return text;
}

class Generator {
public:
    Generator(Rng& rng, Arena& arena, std::vector<FakeDispatch*>& fakes, const std::wstring& scratch)
        : rng_(rng), arena_(arena), fakes_(fakes), scratch_(scratch) {}

    BSTR Text(bool allowHuge = true) {
        if (allowHuge && rng_.Below(150) == 0) return Alloc(Megabyte());
        size_t i = rng_.Below(static_cast<uint32_t>(Texts().size()));
        if (i == 0) return nullptr;
        if (i == 1) return SysAllocStringByteLen("abc", 3);
        return Alloc(Texts()[i]);
    }

    // One argument (never VT_EMPTY by accident: the caller owns the variant's content).
    VARIANT Any(int depth = 0) {
        VARIANT v;
        VariantInit(&v);
        const uint32_t roll = rng_.Below(100);
        if (roll < 12 && depth < 2) return ByRefVariant(Any(depth + 1));
        if (roll < 30) return ByRef(Scalar(RandomScalarType()));
        if (roll < 42) return Array();
        return Scalar(RandomScalarType());
    }

    // A value of about the declared type, as a script or a compiled client passes it.
    VARIANT Plausible(VARTYPE declared) {
        VARIANT v;
        if (declared & VT_ARRAY) {
            v = Array(declared & ~VT_ARRAY);
        } else if (declared == VT_VARIANT || declared == VT_EMPTY) {
            v = Scalar(RandomScalarType());
        } else {
            v = Scalar(declared);
        }
        switch (rng_.Below(3)) {
        case 0: return v;
        case 1: return ByRef(v);
        default: return ByRefVariant(v);
        }
    }

    // A value from a confined parameter's pool.
    VARIANT Confined(Pool pool) {
        VARIANT v;
        VariantInit(&v);
        if (pool == Pool::FalseOnly) {
            switch (rng_.Below(5)) {
            case 0: V_VT(&v) = VT_BOOL; V_BOOL(&v) = VARIANT_FALSE; break;
            case 1: V_VT(&v) = VT_I4; V_I4(&v) = 0; break;
            case 2: V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L"False"); break;
            case 3: V_VT(&v) = VT_R8; V_R8(&v) = 0.0; break;
            default: V_VT(&v) = VT_ERROR; V_ERROR(&v) = DISP_E_PARAMNOTFOUND; return v;
            }
        } else {
            // Kinds that convert to no text at all are allowed too (but not
            // Nothing, which the platform converts to the empty text, nor a
            // byte array, whose bytes it takes for the text's).
            switch (rng_.Below(14)) {
            case 0: V_VT(&v) = VT_NULL; return v;
            case 1: return Array(rng_.Chance(50) ? VT_I4 : VT_VARIANT);
            default: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Alloc(PoolText(pool)); break;
            }
        }
        switch (rng_.Below(3)) {
        case 0: return v;
        case 1: return ByRef(v);
        default: return ByRefVariant(v);
        }
    }

private:
    static BSTR Alloc(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

    std::wstring PoolText(Pool pool) {
        const std::wstring key = kScratchKey;
        switch (pool) {
        case Pool::RootName: return L"HKCU";
        case Pool::ScratchKey: {
            const std::wstring subs[] = {L"", L"\\a", L"\\b\\c d", L"\\\x00FCn\x00EF\\\x65E5\x672C", L"\\" + std::wstring(200, L'k'),
                                         L"\\\\double", L"\\trailing\\", L"\\nul\0inside"};
            return key + rng_.Pick(subs);
        }
        case Pool::SettingsSection: {
            const std::wstring subs[] = {L"", L"\\a", L"\\\x00FC", L"\\" + std::wstring(100, L's'), L"\\x\\y\\z"};
            return L"TessaryFuzz" + rng_.Pick(subs);
        }
        case Pool::IniSection: return rng_.Pick(kIniSections);
        case Pool::OutputFile: {
            const std::wstring files[] = {L"", scratch_ + L"out.ps", scratch_ + L"\x00FC \x00F1.ps",
                                          scratch_ + L"missing\\x.ps", scratch_ + std::wstring(200, L'o') + L".ps",
                                          scratch_};
            return rng_.Pick(files);
        }
        default: return L"";
        }
    }

    VARTYPE RandomScalarType() {
        static const VARTYPE types[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,  VT_R4,   VT_R8,  VT_CY,   VT_DATE,
                                        VT_BSTR,  VT_BSTR, VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_UI1, VT_I1,
                                        VT_UI2,   VT_UI4,  VT_I8,   VT_UI8, VT_INT,  VT_UINT, VT_DECIMAL, VT_UNKNOWN};
        return rng_.Pick(types);
    }

    double Double() {
        static const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -1.5, 1.0, -1.0, 255.5, 32767.5, 32768.0,
                                        2147483647.0, 2147483647.5, 2147483648.0, -2147483648.0, -2147483649.0,
                                        4294967296.0, 1e15, 1e300, -1e300, 1e-300, 4.9e-324, 1e308 * 10,
                                        -1e308 * 10, std::numeric_limits<double>::quiet_NaN(),
                                        -std::numeric_limits<double>::quiet_NaN(),
                                        std::numeric_limits<double>::signaling_NaN(), 25.4, 1440.0, 0.0001};
        if (rng_.Chance(20)) return static_cast<double>(static_cast<int64_t>(rng_.Next())) / (1 + rng_.Below(1000));
        return rng_.Pick(values);
    }

    int64_t Integer() {
        static const int64_t values[] = {0, 1, -1, 2, 7, 13, 255, 256, 32767, 32768, -32768, -32769, 65535, 65536,
                                         0x7FFFFFFF, -0x7FFFFFFF - 1, 0x80000001, 0xFFFFFFFF, 0x100000000,
                                         INT64_MAX, INT64_MIN, 1440, 0x8000, 100, 101, 1000, -2147483647,
                                         -2147483646, 0x80000003, 0x80000004};
        if (rng_.Chance(25)) return static_cast<int64_t>(rng_.Next()) >> rng_.Below(64);
        if (rng_.Chance(10) && !HandleValues().empty())
            return HandleValues()[rng_.Below(static_cast<uint32_t>(HandleValues().size()))];
        return rng_.Pick(values);
    }

    VARIANT Scalar(VARTYPE type) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = type;
        switch (type) {
        case VT_EMPTY: case VT_NULL: break;
        case VT_I2: V_I2(&v) = static_cast<SHORT>(Integer()); break;
        case VT_I4: case VT_INT: V_I4(&v) = static_cast<LONG>(Integer()); break;
        case VT_UI4: case VT_UINT: V_UI4(&v) = static_cast<ULONG>(Integer()); break;
        case VT_R4: V_R4(&v) = static_cast<float>(Double()); break;
        case VT_R8: V_R8(&v) = Double(); break;
        case VT_DATE: V_DATE(&v) = Double(); break;
        case VT_CY: V_CY(&v).int64 = Integer(); break;
        case VT_BSTR: V_BSTR(&v) = Text(); break;
        case VT_BOOL: {
            static const SHORT values[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 0x1234, -2};
            V_BOOL(&v) = rng_.Pick(values);
            break;
        }
        case VT_UI1: V_UI1(&v) = static_cast<BYTE>(Integer()); break;
        case VT_I1: V_I1(&v) = static_cast<CHAR>(Integer()); break;
        case VT_UI2: V_UI2(&v) = static_cast<USHORT>(Integer()); break;
        case VT_I8: V_I8(&v) = Integer(); break;
        case VT_UI8: V_UI8(&v) = static_cast<ULONGLONG>(Integer()); break;
        case VT_ERROR: {
            static const SCODE values[] = {DISP_E_PARAMNOTFOUND, DISP_E_PARAMNOTFOUND, E_FAIL, 0, DISP_E_TYPEMISMATCH};
            V_ERROR(&v) = rng_.Pick(values);
            break;
        }
        case VT_DECIMAL: {
            DECIMAL d = {};
            d.scale = static_cast<BYTE>(rng_.Chance(10) ? 29 + rng_.Below(200) : rng_.Below(29));  // beyond 28 is invalid
            d.sign = rng_.Chance(50) ? DECIMAL_NEG : 0;
            d.Hi32 = rng_.Chance(30) ? static_cast<ULONG>(rng_.Next()) : 0;
            d.Lo64 = rng_.Chance(30) ? rng_.Next() : static_cast<ULONGLONG>(rng_.Below(100000));
            V_DECIMAL(&v) = d;
            V_VT(&v) = VT_DECIMAL;  // the DECIMAL's first field is the variant's type
            break;
        }
        case VT_DISPATCH: case VT_UNKNOWN: {
            if (rng_.Chance(55)) {
                V_DISPATCH(&v) = nullptr;  // Nothing
            } else {
                auto* fake = new FakeDispatch(static_cast<int>(rng_.Below(5)), Texts()[2 + rng_.Below(40)]);
                fakes_.push_back(fake);  // the fuzzer's own reference, released after the epoch
                fake->AddRef();          // the argument's reference
                V_DISPATCH(&v) = fake;
            }
            break;
        }
        default: V_VT(&v) = VT_EMPTY; break;
        }
        return v;
    }

    // A reference to a cell holding the value (the arena keeps the cell).
    VARIANT ByRef(VARIANT value) {
        VARIANT v;
        VariantInit(&v);
        const VARTYPE type = V_VT(&value);
        if (type & VT_BYREF) return value;  // already a reference
        if (type == VT_EMPTY || type == VT_NULL || type == VT_DECIMAL) return ByRefVariant(value);
        if (type & VT_ARRAY) {
            SAFEARRAY** cell = arena_.Cell<SAFEARRAY*>(V_ARRAY(&value));
            arena_.OwnArray(cell, V_ARRAY(&value), false);
            V_VT(&v) = VT_BYREF | type;
            V_ARRAYREF(&v) = cell;
            return v;
        }
        V_VT(&v) = VT_BYREF | type;
        switch (type) {
        case VT_BSTR: V_BSTRREF(&v) = arena_.BstrCell(V_BSTR(&value)); break;
        case VT_DISPATCH: case VT_UNKNOWN: {
            // The cell's reference is released with the arena's variants.
            VARIANT* holder = arena_.VariantCell();
            *holder = value;
            V_DISPATCHREF(&v) = &V_DISPATCH(holder);
            break;
        }
        default: {
            // Scalars: a cell of 8 bytes, copied from the union.
            auto* cell = arena_.Cell<ULONGLONG>(0);
            memcpy(cell, &V_UI1(&value), sizeof(ULONGLONG));
            V_BYREF(&v) = cell;
            break;
        }
        }
        return v;
    }

    VARIANT ByRefVariant(VARIANT value) {
        VARIANT* target = arena_.VariantCell();
        *target = value;
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&v) = target;
        return v;
    }

    VARIANT Array(VARTYPE element = VT_EMPTY) {
        static const VARTYPE elements[] = {VT_I2, VT_I4, VT_R8, VT_BSTR, VT_VARIANT, VT_UI1, VT_BOOL,
                                           VT_R4, VT_CY,  VT_DATE, VT_I1, VT_DISPATCH, VT_VARIANT, VT_BSTR};
        if (element == VT_EMPTY) element = rng_.Pick(elements);
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_ARRAY | element;
        const uint32_t shape = rng_.Below(10);
        if (shape == 0) {  // an array variable never dimensioned
            V_ARRAY(&v) = nullptr;
            return v;
        }
        SAFEARRAYBOUND bounds[2];
        static const LONG lower[] = {0, 0, 1, -3, 0x7FFFFFF0, -0x7FFFFFFF};
        bounds[0].lLbound = rng_.Pick(lower);
        bounds[1].lLbound = rng_.Pick(lower);
        UINT dims = 1;
        if (shape == 1) {
            bounds[0].cElements = 0;  // empty
        } else if (shape == 2) {
            dims = 2;
            bounds[0].cElements = 1 + rng_.Below(3);
            bounds[1].cElements = 1 + rng_.Below(3);
        } else if (shape == 3 && element == VT_UI1) {
            bounds[0].cElements = 65536;  // a large byte array
        } else {
            bounds[0].cElements = rng_.Below(6);
        }
        SAFEARRAY* a = SafeArrayCreate(element, dims, bounds);
        if (!a) {
            V_VT(&v) = VT_EMPTY;
            return v;
        }
        ULONG count = 1;
        for (UINT d = 0; d < dims; ++d) count *= bounds[d].cElements;
        void* data = nullptr;
        if (count && SUCCEEDED(SafeArrayAccessData(a, &data))) {
            for (ULONG i = 0; i < count && count < 1000; ++i) {
                char* cell = static_cast<char*>(data) + i * a->cbElements;
                if (element == VT_VARIANT) {
                    VARIANT item = Scalar(RandomScalarType());
                    if (V_VT(&item) == VT_BSTR && SysStringLen(V_BSTR(&item)) > 40000) {
                        SysFreeString(V_BSTR(&item));
                        V_BSTR(&item) = SysAllocString(L"long");
                    }
                    *reinterpret_cast<VARIANT*>(cell) = item;
                } else if (element == VT_BSTR) {
                    *reinterpret_cast<BSTR*>(cell) = Text(false);
                } else if (element == VT_DISPATCH) {
                    *reinterpret_cast<IDispatch**>(cell) = nullptr;
                } else {
                    VARIANT item = Scalar(element);
                    memcpy(cell, &V_UI1(&item), a->cbElements);
                }
            }
            SafeArrayUnaccessData(a);
        }
        const uint32_t feature = rng_.Below(8);
        bool locked = false;
        if (feature == 0) a->fFeatures |= FADF_FIXEDSIZE;
        if (feature == 1) locked = SUCCEEDED(SafeArrayLock(a));
        V_ARRAY(&v) = a;
        if (locked) {
            // A locked array cannot be freed with the variant: the arena unlocks and frees it.
            SAFEARRAY** cell = arena_.Cell<SAFEARRAY*>(a);
            arena_.OwnArray(cell, a, true);
            V_VT(&v) = VT_BYREF | VT_ARRAY | element;
            V_ARRAYREF(&v) = cell;
        }
        return v;
    }

    Rng& rng_;
    Arena& arena_;
    std::vector<FakeDispatch*>& fakes_;
    std::wstring scratch_;
};

// ---------------------------------------------------------------------------
// Deep copies and comparisons of arguments

bool SameArray(SAFEARRAY* a, SAFEARRAY* b);

bool SameValue(const VARIANT& a, const VARIANT& b) {
    if (V_VT(&a) != V_VT(&b)) return false;
    const VARTYPE vt = V_VT(&a);
    if (vt & VT_BYREF) return V_BYREF(&a) == V_BYREF(&b);
    if (vt & VT_ARRAY) return SameArray(V_ARRAY(&a), V_ARRAY(&b));
    switch (vt) {
    case VT_BSTR: {
        BSTR x = V_BSTR(&a), y = V_BSTR(&b);
        if (!x || !y) return x == y;
        UINT n = SysStringByteLen(x);
        return n == SysStringByteLen(y) && memcmp(x, y, n) == 0;
    }
    case VT_DISPATCH: case VT_UNKNOWN: return V_UNKNOWN(&a) == V_UNKNOWN(&b);
    case VT_DECIMAL: return memcmp(&V_DECIMAL(&a), &V_DECIMAL(&b), sizeof(DECIMAL)) == 0;
    default: return memcmp(&V_UI8(&a), &V_UI8(&b), sizeof(ULONGLONG)) == 0;
    }
}

bool SameArray(SAFEARRAY* a, SAFEARRAY* b) {
    if (!a || !b) return a == b;
    if (a->cDims != b->cDims || a->cbElements != b->cbElements) return false;
    ULONG count = 1;
    for (USHORT d = 0; d < a->cDims; ++d) {
        if (a->rgsabound[d].cElements != b->rgsabound[d].cElements ||
            a->rgsabound[d].lLbound != b->rgsabound[d].lLbound)
            return false;
        count *= a->rgsabound[d].cElements;
    }
    VARTYPE ta = VT_EMPTY, tb = VT_EMPTY;
    SafeArrayGetVartype(a, &ta);
    SafeArrayGetVartype(b, &tb);
    if (ta != tb) return false;
    if (count == 0) return true;
    const char* pa = static_cast<const char*>(a->pvData);
    const char* pb = static_cast<const char*>(b->pvData);
    if (!pa || !pb) return pa == pb;
    for (ULONG i = 0; i < count; ++i) {
        const char* ea = pa + i * a->cbElements;
        const char* eb = pb + i * b->cbElements;
        if (ta == VT_VARIANT) {
            if (!SameValue(*reinterpret_cast<const VARIANT*>(ea), *reinterpret_cast<const VARIANT*>(eb))) return false;
        } else if (ta == VT_BSTR) {
            VARIANT x, y;
            V_VT(&x) = V_VT(&y) = VT_BSTR;
            V_BSTR(&x) = *reinterpret_cast<const BSTR*>(ea);
            V_BSTR(&y) = *reinterpret_cast<const BSTR*>(eb);
            if (!SameValue(x, y)) return false;
        } else if (ta == VT_DISPATCH || ta == VT_UNKNOWN) {
            if (*reinterpret_cast<void* const*>(ea) != *reinterpret_cast<void* const*>(eb)) return false;
        } else if (memcmp(ea, eb, a->cbElements) != 0) {
            return false;
        }
    }
    return true;
}

// What one argument looked like before the call: the variant itself, and
// for a reference, what it referred to (deep).
struct Snapshot {
    VARIANT shallow;       // the rgvarg entry, bit for bit
    Variant deep;          // the value, references followed
    SAFEARRAY* array = nullptr;  // the caller's array, if any
    USHORT features = 0;
    ULONG locks = 0;
    void* data = nullptr;
};

const VARIANT* Follow(const VARIANT* v) {
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

void Take(Snapshot& s, const VARIANT& arg) {
    s.shallow = arg;
    const VARIANT* target = Follow(&arg);
    if (V_VT(target) & VT_ARRAY) {
        s.array = (V_VT(target) & VT_BYREF) ? *V_ARRAYREF(target) : V_ARRAY(target);
        if (s.array) {
            s.features = s.array->fFeatures;
            s.locks = s.array->cLocks;
            s.data = s.array->pvData;
        }
    }
    VariantCopyInd(s.deep.get(), const_cast<VARIANT*>(target));
}

bool g_verbose = false;
bool g_debugger = false;
int64_t g_crashAt = -1, g_hangAt = -1;

std::string Hex(uint32_t v) {
    char b[16];
    snprintf(b, sizeof b, "0x%08X", v);
    return b;
}

// A short description of an argument, for replays.
std::string Describe(const VARIANT& v, int depth = 0) {
    const VARTYPE vt = V_VT(&v);
    std::string s = Hex(vt).substr(6);
    char b[96];
    if (vt == (VT_BYREF | VT_VARIANT)) return "ref(" + (depth < 4 && V_VARIANTREF(&v) ? Describe(*V_VARIANTREF(&v), depth + 1) : "?") + ")";
    if (vt & VT_ARRAY) {
        SAFEARRAY* a = (vt & VT_BYREF) ? *V_ARRAYREF(&v) : V_ARRAY(&v);
        if (!a) return "vt" + Hex(vt) + " array(null)";
        snprintf(b, sizeof b, "vt%s array dims=%u n0=%lu lb0=%ld features=%s locks=%lu", Hex(vt).c_str(),
                 a->cDims, a->rgsabound[0].cElements, a->rgsabound[0].lLbound, Hex(a->fFeatures).c_str(), a->cLocks);
        return b;
    }
    const bool ref = (vt & VT_BYREF) != 0;
    const void* p = ref ? V_BYREF(&v) : &V_UI1(&v);
    switch (vt & ~VT_BYREF) {
    case VT_BSTR: {
        BSTR t = ref ? *V_BSTRREF(&v) : V_BSTR(&v);
        if (!t) return std::string(ref ? "ref " : "") + "bstr(null)";
        snprintf(b, sizeof b, "%sbstr(len=%u \"", ref ? "ref " : "", SysStringByteLen(t));
        return b + Narrow(std::wstring(t, std::min<UINT>(SysStringLen(t), 40))) + "\")";
    }
    case VT_DECIMAL: return "decimal";
    default:
        snprintf(b, sizeof b, "vt%s %016llX", Hex(vt).c_str(), *static_cast<const unsigned long long*>(p));
        return b;
    }
}

// ---------------------------------------------------------------------------
// One call

struct Objects {
    std::vector<IDispatch*> byClass;
    ~Objects() { Release(); }
    void Release() {
        for (IDispatch*& d : byClass)
            if (d) {
                d->Release();
                d = nullptr;
            }
    }
};

struct Outcome {
    std::vector<std::string> problems;
};


std::string FlagsText(WORD flags) {
    std::string s;
    if (flags & DISPATCH_METHOD) s += "M";
    if (flags & DISPATCH_PROPERTYGET) s += "G";
    if (flags & DISPATCH_PROPERTYPUT) s += "P";
    if (flags & DISPATCH_PROPERTYPUTREF) s += "R";
    if (flags & ~0xF) s += "+" + Hex(flags);
    return s.empty() ? "0" : s;
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

class Fuzzer {
public:
    Fuzzer(std::vector<ClassInfo> classes, uint64_t seed) : classes_(std::move(classes)), seed_(seed) {
        scratch_ = TempDir();
    }

    const std::vector<ClassInfo>& classes() const { return classes_; }

    bool MakeObjects() {
        objects_.Release();
        objects_.byClass.assign(classes_.size(), nullptr);
        for (size_t c = 0; c < classes_.size(); ++c) {
            HRESULT hr = CoCreateInstance(classes_[c].clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                          reinterpret_cast<void**>(&objects_.byClass[c]));
            if (FAILED(hr)) {
                printf("cannot create %s: %s\n", Narrow(classes_[c].name).c_str(), Hex(hr).c_str());
                return false;
            }
        }
        return true;
    }
    void ReleaseObjects() { objects_.Release(); }

    // Releases the fuzzer's own dispatch objects; any the library still holds is a leak.
    int ReleaseFakes(std::vector<std::string>& problems) {
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

    // Makes call `index`; returns the problems found (empty when it behaved).
    Outcome Call(int64_t index, std::string* description) {
        Outcome out;
        Rng rng(CallSeed(seed_, index));
        Arena arena;
        Generator gen(rng, arena, fakes_, scratch_);

        const size_t c = rng.Below(static_cast<uint32_t>(classes_.size()));
        const ClassInfo& cls = classes_[c];
        IDispatch* object = objects_.byClass[c];
        const Member& m = cls.members[rng.Below(static_cast<uint32_t>(cls.members.size()))];

        // The call's shape.
        DISPID id = m.id;
        bool unknownId = false;
        if (rng.Chance(3)) {
            static const DISPID ids[] = {0, -1, -4, -5, 1, 0x60030000, 0x68030000 + 0x40, 0x40030100, 0x7FFFFFFF};
            id = rng.Chance(50) ? rng.Pick(ids) : static_cast<DISPID>(rng.Next());
            for (MEMBERID known : cls.allIds)
                if (known == id) id = 0x5EEDF00D;  // never a real member with unconfined arguments
            unknownId = true;
        }
        WORD natural = m.kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                     : m.kind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF
                     : m.kind == INVOKE_PROPERTYGET ? (rng.Chance(50) ? DISPATCH_PROPERTYGET
                                                                      : DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                                                    : (rng.Chance(50) ? DISPATCH_METHOD
                                                                      : DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        WORD flags = natural;
        if (rng.Chance(12)) {
            static const WORD wrong[] = {0, DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                                         DISPATCH_PROPERTYPUTREF, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF,
                                         DISPATCH_METHOD | DISPATCH_PROPERTYPUT, 0x10, 0xFFFF, 0x8001};
            flags = rng.Pick(wrong);
        }
        const UINT inputs = static_cast<UINT>(m.inputs.size());
        UINT count = inputs;
        const uint32_t countRoll = rng.Below(100);
        if (countRoll < 8 && inputs > 0) count = rng.Below(inputs);
        else if (countRoll < 16) count = inputs + 1 + rng.Below(3);
        else if (countRoll < 19) count = 0;

        // Named arguments: the property put's value, or some of the others.
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        UINT named = 0;
        std::vector<DISPID> namedIds;
        if (count > 0 && put && rng.Chance(92)) {
            named = 1;
            namedIds.push_back(DISPID_PROPERTYPUT);
        } else if (count > 0 && rng.Chance(8)) {
            named = 1 + rng.Below(count);
            for (UINT i = 0; i < named; ++i) {
                const uint32_t r = rng.Below(10);
                if (r < 6 && inputs > 0) namedIds.push_back(static_cast<DISPID>(rng.Below(inputs)));
                else if (r < 7) namedIds.push_back(DISPID_PROPERTYPUT);
                else if (r < 8) namedIds.push_back(-7);
                else namedIds.push_back(static_cast<DISPID>(inputs + rng.Below(4)));
            }
        }

        // The parameter each rgvarg entry lands on (or none), and its value.
        std::vector<VARIANT> args(count);
        std::vector<int> position(count, -1);
        for (UINT i = 0; i < named; ++i) {
            DISPID d = namedIds[i];
            position[i] = d == DISPID_PROPERTYPUT ? static_cast<int>(inputs) - 1
                        : (d >= 0 && static_cast<UINT>(d) < inputs) ? d : -1;
        }
        for (UINT p = 0; p < count - named; ++p) position[count - 1 - p] = static_cast<int>(p);
        // Half the calls mostly pass what the parameters ask for, so that
        // members with many parameters get past the conversions too.
        const uint32_t plausible = rng.Chance(50) ? 90 : 40;
        for (UINT i = 0; i < count; ++i) {
            const int p = position[i];
            const Param* param = (p >= 0 && static_cast<UINT>(p) < inputs && !unknownId) ? &m.inputs[p] : nullptr;
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

        std::vector<Snapshot> before(count);
        for (UINT i = 0; i < count; ++i) Take(before[i], args[i]);

        if (cls.name == L"xRegistry") AddressScratchKey(object, rng);

        DISPPARAMS params = {args.data(), namedIds.data(), count, named};
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
                 Narrow(m.name).c_str(), unknownId ? "(unknown id)" : "", Hex(static_cast<uint32_t>(id)).c_str(),
                 FlagsText(flags).c_str(), count, named, IsEqualIID(riid, IID_NULL) ? "" : " riid=IDispatch");
        *description = text;

        CurrentCall() = *description;
        CurrentReentry() = {object, ProbeId(object, cls.name)};
        if (g_verbose) {
            for (UINT i = 0; i < count; ++i)
                printf("  rgvarg[%u]%s: %s\n", i, i < named ? (" named " + std::to_string(namedIds[i])).c_str() : "",
                       Describe(args[i]).c_str());
            fflush(stdout);
        }
        SetErrorInfo(0, nullptr);
        const HRESULT hr = object->Invoke(id, riid, lcid, flags, paramsPtr, withResult ? result.get() : nullptr,
                                          withException ? &exception : nullptr, withArgError ? &argError : nullptr);
        CurrentReentry() = {};
        *description += " -> " + Hex(static_cast<uint32_t>(hr));

        // The failure is one Invoke may report, and reports itself properly.
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
        if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && withArgError) {
            *description += " argErr=" + (argError == kUnset ? std::string("unset") : std::to_string(argError));
            CheckArgError(hr, argError, kUnset, args, position, m, inputs, named, out);
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

        // Arguments given by value, and every argument's own variant, are as they were.
        const std::vector<bool>& refs = cls.byRefPositions.count(id) ? cls.byRefPositions.at(id) : std::vector<bool>();
        for (UINT i = 0; i < count; ++i) {
            const Snapshot& s = before[i];
            if (memcmp(&s.shallow, &args[i], sizeof(VARIANT)) != 0) {
                out.problems.push_back("argument " + std::to_string(i) + " (a variant of the caller's) was overwritten");
                continue;
            }
            const int p = position[i];
            const bool mayChange = p >= 0 && static_cast<size_t>(p) < refs.size() && refs[p] &&
                                   (V_VT(&args[i]) & VT_BYREF);
            if (s.array && s.array->cLocks != s.locks && !mayChange)
                out.problems.push_back("argument " + std::to_string(i) + ": the array's lock count changed");
            if (mayChange) continue;
            const VARIANT* now = Follow(&args[i]);
            Variant current;
            VariantCopyInd(current.get(), const_cast<VARIANT*>(now));
            if (!SameValue(*s.deep.get(), *current.get()))
                out.problems.push_back("argument " + std::to_string(i) + " passed by value was changed");
            if (s.array && (s.array->fFeatures != s.features || s.array->pvData != s.data))
                out.problems.push_back("argument " + std::to_string(i) + ": the array's features or data moved");
        }

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
    DISPID ProbeId(IDispatch* object, const std::wstring& cls) {
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
    HRESULT Probe(IDispatch* object, const std::wstring& cls) {
        if (!ProbeMember(cls)) return S_OK;
        const DISPID id = ProbeId(object, cls);
        HRESULT hr = S_OK;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        Variant value;
        EXCEPINFO e = {};
        hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(), &e, nullptr);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrHelpFile);
        return hr;
    }

private:
    // The registry object addresses a scratch key before every call.
    void AddressScratchKey(IDispatch* object, Rng& rng) {
        static const wchar_t* const subkeys[] = {L"", L"\\a", L"\\b\\c d", L"\\\x00FC"};
        Variant root, section;
        V_VT(root.get()) = VT_I4;
        V_I4(root.get()) = static_cast<LONG>(0x80000001);  // HKEY_CURRENT_USER
        V_VT(section.get()) = VT_BSTR;
        V_BSTR(section.get()) = SysAllocString((std::wstring(kScratchKey) + rng.Pick(subkeys)).c_str());
        PutByName(object, L"ClassKey", root.get());
        PutByName(object, L"SectionKey", section.get());
        SetErrorInfo(0, nullptr);
    }

    static bool IsMissing(const VARIANT& v) {
        const VARIANT* t = &v;
        return V_VT(t) == VT_ERROR && V_ERROR(t) == DISP_E_PARAMNOTFOUND;
    }

    // puArgErr names the argument at fault: for a type mismatch one that was
    // passed; for a missing parameter the "missing" marker or the named
    // argument that fits no parameter, when there is one.
    void CheckArgError(HRESULT hr, UINT argError, UINT unset, const std::vector<VARIANT>& args,
                       const std::vector<int>& position, const Member& m, UINT inputs, UINT named,
                       Outcome& out) {
        const UINT count = static_cast<UINT>(args.size());
        if (hr == DISP_E_TYPEMISMATCH) {
            if (argError == unset) out.problems.push_back("DISP_E_TYPEMISMATCH without puArgErr");
            else if (argError >= count) out.problems.push_back("DISP_E_TYPEMISMATCH names argument " + std::to_string(argError) + " of " + std::to_string(count));
            return;
        }
        // Entries the caller gave that no parameter can take, or that are markers for required parameters.
        std::vector<UINT> culprits;
        for (UINT i = 0; i < named; ++i)
            if (position[i] < 0) culprits.push_back(i);
        for (UINT i = 0; i < count; ++i) {
            const int p = position[i];
            if (p >= 0 && static_cast<UINT>(p) < inputs && !m.inputs[p].optional && IsMissing(args[i]))
                culprits.push_back(i);
        }
        if (culprits.empty()) return;  // a parameter left out altogether: no entry to name
        for (UINT c : culprits)
            if (c == argError) return;
        out.problems.push_back("DISP_E_PARAMNOTFOUND names argument " +
                               (argError == unset ? std::string("(unset)") : std::to_string(argError)) +
                               ", not the one at fault (" + std::to_string(culprits[0]) + ")");
    }

    std::vector<ClassInfo> classes_;
    uint64_t seed_;
    std::wstring scratch_;
    Objects objects_;
    std::vector<FakeDispatch*> fakes_;
    std::map<std::wstring, DISPID> probeIds_;
};

// ---------------------------------------------------------------------------
// Scratch places

void RemoveScratch() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsScratch);
    for (const wchar_t* section : kIniSections) WritePrivateProfileStringW(section, nullptr, nullptr, L"System.ini");
}

// Removes HKCU\Software\Halvex when the run made it and left it empty.
void RemoveSettingsRootIfMade(bool existedBefore) {
    if (existedBefore) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Halvex", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Halvex");
}

bool KeyExists(const wchar_t* path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The names of the subkeys and values of a few keys the calls must leave
// alone, and the text of System.ini: taken before and after a run.
const wchar_t* const kSurroundingKeys[] = {L"", L"Software", L"Software\\Halvex",
                                           L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"};

std::vector<std::wstring> Surroundings() {
    std::vector<std::wstring> names;
    for (const wchar_t* path : kSurroundingKeys) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        wchar_t name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384;
            if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            const std::wstring full = std::wstring(path) + L"\\" + std::wstring(name, length);
            // The scratch keys themselves, and the settings area they may make.
            if (full == L"Software\\TessaryFuzz" || full == L"Software\\Halvex" ||
                full == L"Software\\Halvex\\TessaryFuzz")
                continue;
            names.push_back(full);
        }
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384;
            if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(std::wstring(path) + L" value " + std::wstring(name, length));
        }
        RegCloseKey(key);
    }
    return names;
}

// The numbers of subkeys and values and the last write time of the same
// keys: a cheap look that tells when Surroundings is worth taking again.
std::vector<uint64_t> Fingerprint() {
    std::vector<uint64_t> print;
    for (const wchar_t* path : kSurroundingKeys) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            print.push_back(~0ull);
            continue;
        }
        DWORD subkeys = 0, values = 0;
        FILETIME written = {};
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, &written);
        RegCloseKey(key);
        print.push_back((static_cast<uint64_t>(subkeys) << 32) | values);
        print.push_back((static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    }
    return print;
}

std::wstring SystemIniPath() {
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\System.ini";
}

std::string ReadWhole(const std::wstring& path) {
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

void WriteWhole(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// ---------------------------------------------------------------------------
// The child: one batch of calls

struct Progress {
    volatile LONG64 current;  // the call under way; -1 between calls
    volatile LONG64 startedAt;  // tick count when it started
    volatile LONG64 completed;
    volatile LONG problems;
    volatile LONG exceptionCode;
    volatile LONG hung;
    volatile LONG leaks;
};

Progress* g_progress = nullptr;
DWORD g_timeoutMs = 10000;
uint64_t g_seed = 0;

std::string ExePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

// The command that runs this program from the shell: the build tree's
// wine-run with the program's Unix path.
std::string ShellCommand() {
    std::string exe = ExePath();
    if (exe.size() > 2 && (exe[0] == 'Z' || exe[0] == 'z') && exe[1] == ':') {
        exe = exe.substr(2);
        for (char& c : exe)
            if (c == '\\') c = '/';
        const size_t bin = exe.rfind("/bin/");
        if (bin != std::string::npos) return exe.substr(0, bin) + "/wine-run " + exe;
    }
    return "wine " + exe;
}

void PrintReplay(int64_t call) {
    const int64_t epochStart = call - call % kEpoch;
    printf("  replay alone:        %s --child --seed %llu --first %lld --count 1\n", ShellCommand().c_str(),
           static_cast<unsigned long long>(g_seed), static_cast<long long>(call));
    printf("  replay with context: %s --child --seed %llu --first %lld --count %lld\n", ShellCommand().c_str(),
           static_cast<unsigned long long>(g_seed), static_cast<long long>(epochStart),
           static_cast<long long>(call - epochStart + 1));
    fflush(stdout);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    const LONG64 call = g_progress->current;
    g_progress->exceptionCode = static_cast<LONG>(info->ExceptionRecord->ExceptionCode);
    printf("CRASH seed=%llu call=%lld %s: exception %s at %p\n", static_cast<unsigned long long>(g_seed),
           static_cast<long long>(call), CurrentCall().c_str(), Hex(info->ExceptionRecord->ExceptionCode).c_str(),
           info->ExceptionRecord->ExceptionAddress);
    PrintReplay(call);
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI Watchdog(void*) {
    for (;;) {
        Sleep(50);
        const LONG64 call = g_progress->current;
        if (call < 0) continue;
        if (GetTickCount64() - static_cast<ULONGLONG>(g_progress->startedAt) > g_timeoutMs && g_progress->current == call) {
            g_progress->hung = 1;
            printf("HANG seed=%llu call=%lld %s: no return within %lu ms\n", static_cast<unsigned long long>(g_seed),
                   static_cast<long long>(call), CurrentCall().c_str(), g_timeoutMs);
            PrintReplay(call);
            TerminateProcess(GetCurrentProcess(), kHangExit);
        }
    }
}

struct Census {
    long handles, gdi, windows;
};
Census Count() { return {LiveKernelHandles(), LiveGdiObjects(), LiveThreadWindows()}; }

int RunChild(int64_t first, int64_t count, const char* progressName, bool verbose) {
    static Progress local = {-1, 0, 0, 0, 0, 0, 0};
    g_progress = &local;
    if (progressName) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, progressName);
        if (mapping) g_progress = static_cast<Progress*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Progress)));
        if (!g_progress) g_progress = &local;
    }
    g_progress->current = -1;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // With --debugger a crash goes to the system's debugger instead (Wine's prints a backtrace).
    if (!g_debugger) SetUnhandledExceptionFilter(OnCrash);

    ComApartment com;
    // Every message box the library would show is written to a file instead.
    const std::wstring messages = TempDir() + L"messages.log";
    SetEnvironmentVariableW(L"TESSARY_MESSAGE_LOG", messages.c_str());

    std::vector<ClassInfo> classes = ReadTypeLibrary();
    if (classes.empty()) {
        printf("cannot read %s\n", Narrow(TypeLibraryPath()).c_str());
        return 2;
    }
    Pictures pictures;
    const bool halvexExisted = KeyExists(L"Software\\Halvex");
    std::vector<std::wstring> surroundings = Surroundings();
    std::vector<uint64_t> fingerprint = Fingerprint();
    Fuzzer fuzzer(std::move(classes), g_seed);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    int problems = 0;
    int printed = 0;
    std::vector<std::string> leakProblems;
    Census start = {}, end = {};
    bool measured = false;
    const int64_t last = first + count;
    for (int64_t call = first; call < last; ++call) {
        if (call == first || call % kEpoch == 0) {
            if (call != first) {
                fuzzer.ReleaseObjects();
                problems += fuzzer.ReleaseFakes(leakProblems);
                // The census starts after the first epoch: caches are full by then.
                if (!measured && call - first >= kEpoch / 2) {
                    start = Count();
                    measured = true;
                }
            }
            if (!fuzzer.MakeObjects()) return 2;
        }
        CurrentCall() = "(before the call is made)";
        g_progress->startedAt = static_cast<LONG64>(GetTickCount64());
        g_progress->current = call;
        // Checks of the harness itself: a call that faults, or never returns.
        if (call == g_crashAt) *static_cast<volatile int*>(nullptr) = 0;
        if (call == g_hangAt) Sleep(INFINITE);
        std::string description;
        Outcome outcome = fuzzer.Call(call, &description);
        g_progress->current = -1;
        // A registry call that touched the keys around the scratch ones is pinned here.
        if (description.compare(0, 10, "xRegistry.") == 0 && Fingerprint() != fingerprint) {
            fingerprint = Fingerprint();
            std::vector<std::wstring> now = Surroundings();
            if (now != surroundings) {
                for (const std::wstring& name : now)
                    if (std::find(surroundings.begin(), surroundings.end(), name) == surroundings.end())
                        outcome.problems.push_back("wrote outside its scratch places: made HKCU\\" + Narrow(name));
                for (const std::wstring& name : surroundings)
                    if (std::find(now.begin(), now.end(), name) == now.end())
                        outcome.problems.push_back("wrote outside its scratch places: removed HKCU\\" + Narrow(name));
                surroundings = std::move(now);
            }
        }
        g_progress->completed = call - first + 1;
        if (verbose) printf("call=%lld %s\n", static_cast<long long>(call), description.c_str());
        if (!outcome.problems.empty()) {
            ++problems;
            g_progress->problems = problems;
            if (printed++ < 40) {
                printf("FINDING seed=%llu batch=%lld call=%lld %s\n", static_cast<unsigned long long>(g_seed),
                       static_cast<long long>(first), static_cast<long long>(call), description.c_str());
                for (const std::string& p : outcome.problems) printf("  problem: %s\n", p.c_str());
                PrintReplay(call);
            }
        }
    }
    fuzzer.ReleaseObjects();
    problems += fuzzer.ReleaseFakes(leakProblems);
    for (const std::string& p : leakProblems) printf("LEAK seed=%llu batch=%lld: %s\n", static_cast<unsigned long long>(g_seed), static_cast<long long>(first), p.c_str());
    if (measured) {
        end = Count();
        printf("census batch=%lld: kernel handles %ld -> %ld, GDI objects %ld -> %ld, windows %ld -> %ld\n",
               static_cast<long long>(first), start.handles, end.handles, start.gdi, end.gdi, start.windows,
               end.windows);
        if (end.handles > start.handles + kHandleTolerance || (start.gdi >= 0 && end.gdi > start.gdi + kGdiTolerance) ||
            end.windows > start.windows + kWindowTolerance) {
            printf("LEAK seed=%llu batch=%lld: resources grew over calls %lld..%lld\n",
                   static_cast<unsigned long long>(g_seed), static_cast<long long>(first),
                   static_cast<long long>(first + kEpoch), static_cast<long long>(last - 1));
            g_progress->leaks = 1;
            ++problems;
        }
    }
    g_progress->problems = problems;
    RemoveScratch();
    RemoveSettingsRootIfMade(halvexExisted);
    fflush(stdout);
    return problems ? static_cast<int>(kFindingsExit) : 0;
}

// ---------------------------------------------------------------------------
// The parent: batches in child processes

struct Totals {
    int64_t calls = 0;
    int crashes = 0, hangs = 0, findings = 0, leaks = 0, failedChildren = 0, escapes = 0;
};

// Runs calls [first, first + count) in one child; returns the index after the
// last call it got through (a crashed or hung call is counted as made).
int64_t RunBatch(const std::string& exe, int64_t first, int64_t count, Totals& totals, DWORD timeoutMs) {
    char name[64];
    snprintf(name, sizeof name, "Local\\TessaryFuzz-%lu", GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Progress), name);
    auto* progress = static_cast<Progress*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Progress)));
    ZeroMemory(progress, sizeof *progress);
    progress->current = -1;

    char command[1024];
    snprintf(command, sizeof command,
             "\"%s\" --child --seed %llu --first %lld --count %lld --timeout-ms %lu --progress %s --crash-at %lld "
             "--hang-at %lld",
             exe.c_str(), static_cast<unsigned long long>(g_seed), static_cast<long long>(first),
             static_cast<long long>(count), timeoutMs, name, static_cast<long long>(g_crashAt),
             static_cast<long long>(g_hangAt));
    STARTUPINFOA start = {sizeof start};
    PROCESS_INFORMATION process = {};
    fflush(stdout);
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
        printf("cannot start a child: %lu\n", GetLastError());
        ++totals.failedChildren;
        UnmapViewOfFile(progress);
        CloseHandle(mapping);
        return first + count;
    }
    // The child's own watchdog ends a hung call; this one covers a child that
    // cannot even do that.
    LONG64 lastSeen = -2, lastDone = -1;
    ULONGLONG since = GetTickCount64();
    bool killed = false;
    while (WaitForSingleObject(process.hProcess, 500) == WAIT_TIMEOUT) {
        if (progress->current != lastSeen || progress->completed != lastDone) {
            lastSeen = progress->current;
            lastDone = progress->completed;
            since = GetTickCount64();
        } else if (GetTickCount64() - since > timeoutMs + 20000ull) {
            TerminateProcess(process.hProcess, kHangExit);
            WaitForSingleObject(process.hProcess, INFINITE);
            killed = true;
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int64_t next = first + count;
    const LONG64 at = progress->current >= 0 ? progress->current : first + progress->completed;
    totals.findings += progress->problems - progress->leaks;
    totals.leaks += progress->leaks;
    if (code == 0 || code == kFindingsExit) {
        totals.calls += count;
    } else if (code == kHangExit || killed) {
        ++totals.hangs;
        if (killed) {
            printf("HANG seed=%llu batch=%lld call=%lld: the child stopped answering; killed\n",
                   static_cast<unsigned long long>(g_seed), static_cast<long long>(first), static_cast<long long>(at));
            PrintReplay(at);
        }
        totals.calls += at - first + 1;
        next = at + 1;
    } else if (code == 2) {
        ++totals.failedChildren;
        printf("child for batch %lld could not start its work (exit code 2)\n", static_cast<long long>(first));
    } else {
        ++totals.crashes;
        if (!progress->exceptionCode) {
            printf("CRASH seed=%llu batch=%lld call=%lld: the child ended with %s\n",
                   static_cast<unsigned long long>(g_seed), static_cast<long long>(first), static_cast<long long>(at),
                   Hex(code).c_str());
            PrintReplay(at);
        }
        totals.calls += at - first + 1;
        next = at + 1;
    }
    UnmapViewOfFile(progress);
    CloseHandle(mapping);
    return next;
}

int RunParent(int64_t calls, int64_t batch, DWORD timeoutMs) {
    {
        ComApartment com;
        std::vector<ClassInfo> classes = ReadTypeLibrary();
        if (classes.empty()) {
            printf("cannot read %s\n", Narrow(TypeLibraryPath()).c_str());
            return 1;
        }
        int members = 0;
        for (const ClassInfo& c : classes) {
            printf("%s: %zu members called (%zu in the type library)\n", Narrow(c.name).c_str(), c.members.size(),
                   c.allIds.size());
            members += static_cast<int>(c.members.size());
            // A class that cannot be made here is no test at all.
            IDispatch* object = nullptr;
            if (FAILED(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&object)))) {
                printf("skipped: %s is not registered in this prefix\n", Narrow(c.name).c_str());
                return 77;
            }
            object->Release();
        }
        if (members == 0) return 1;
    }
    const bool halvexExisted = KeyExists(L"Software\\Halvex");
    const std::vector<std::wstring> surroundings = Surroundings();
    const std::string systemIni = ReadWhole(SystemIniPath());
    const std::string exe = ExePath();
    const ULONGLONG started = GetTickCount64();
    Totals totals;
    printf("seed=%llu calls=%lld batch=%lld timeout=%lu ms\n", static_cast<unsigned long long>(g_seed),
           static_cast<long long>(calls), static_cast<long long>(batch), timeoutMs);
    fflush(stdout);
    for (int64_t first = 0; first < calls;) {
        const int64_t end = std::min(calls, (first / batch + 1) * batch);
        first = RunBatch(exe, first, end - first, totals, timeoutMs);
    }
    RemoveScratch();
    RemoveSettingsRootIfMade(halvexExisted);
    // Whatever the calls wrote stayed in the scratch places.
    int escapes = 0;
    const std::vector<std::wstring> after = Surroundings();
    for (const std::wstring& name : after)
        if (std::find(surroundings.begin(), surroundings.end(), name) == surroundings.end()) {
            printf("ESCAPE: HKCU\\%s was made by the run\n", Narrow(name).c_str());
            ++escapes;
        }
    for (const std::wstring& name : surroundings)
        if (std::find(after.begin(), after.end(), name) == after.end()) {
            printf("ESCAPE: HKCU\\%s was removed by the run\n", Narrow(name).c_str());
            ++escapes;
        }
    const std::string systemIniAfter = ReadWhole(SystemIniPath());
    if (systemIniAfter != systemIni) {
        printf("ESCAPE: System.ini changed outside the scratch sections; put back as it was\n");
        auto lines = [](const std::string& text) {
            std::vector<std::string> out;
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos) end = text.size();
                out.push_back(text.substr(start, std::min<size_t>(end - start, 120)));
                start = end + 1;
            }
            return out;
        };
        const std::vector<std::string> was = lines(systemIni), is = lines(systemIniAfter);
        int shown = 0;
        for (const std::string& line : is)
            if (std::find(was.begin(), was.end(), line) == was.end() && shown++ < 10)
                printf("  added:   %s\n", Narrow(std::wstring(line.begin(), line.end())).c_str());
        for (const std::string& line : was)
            if (std::find(is.begin(), is.end(), line) == is.end() && shown++ < 20)
                printf("  removed: %s\n", Narrow(std::wstring(line.begin(), line.end())).c_str());
        WriteWhole(SystemIniPath(), systemIni);
        ++escapes;
    }
    totals.findings += escapes;
    totals.escapes = escapes;
    const double seconds = (GetTickCount64() - started) / 1000.0;
    printf("seed=%llu: %lld calls in %.1f s: %d crashes, %d hangs, %d calls with improper results, %d leaks, "
           "%d writes outside the scratch places%s\n",
           static_cast<unsigned long long>(g_seed), static_cast<long long>(totals.calls), seconds, totals.crashes,
           totals.hangs, totals.findings - totals.escapes, totals.leaks, totals.escapes,
           totals.failedChildren ? ", children that failed to run" : "");
    const bool clean = totals.crashes == 0 && totals.hangs == 0 && totals.findings == 0 && totals.leaks == 0 &&
                       totals.failedChildren == 0;
    return clean ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    bool child = false, verbose = false;
    int64_t calls = 20000, batch = 2000, first = 0, count = 1;
    const char* progressName = nullptr;
    g_seed = 20261207;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
        if (a == "--child") child = true;
        else if (a == "--verbose") verbose = true;
        else if (a == "--debugger") g_debugger = true;
        else if (a == "--crash-at") g_crashAt = strtoll(next(), nullptr, 0);
        else if (a == "--hang-at") g_hangAt = strtoll(next(), nullptr, 0);
        else if (a == "--seed") g_seed = strtoull(next(), nullptr, 0);
        else if (a == "--calls") calls = strtoll(next(), nullptr, 0);
        else if (a == "--batch") batch = strtoll(next(), nullptr, 0);
        else if (a == "--first") first = strtoll(next(), nullptr, 0);
        else if (a == "--count") count = strtoll(next(), nullptr, 0);
        else if (a == "--timeout-ms") g_timeoutMs = strtoul(next(), nullptr, 0);
        else if (a == "--progress") progressName = next();
        else {
            printf("unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (batch < kEpoch) batch = kEpoch;
    batch -= batch % kEpoch;
    setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
    g_verbose = verbose;
    if (child) return RunChild(first, count, progressName, verbose || !progressName);
    return RunParent(calls, batch, g_timeoutMs);
}
