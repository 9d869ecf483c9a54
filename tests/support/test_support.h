// Helpers shared by the C++ tests: loading Tessary.dll, creating its objects
// through the vtable or by program id, calling through IDispatch as a script
// host would, and reading the record of messages the library showed.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "frame/automation.h"
#include "frame/com_ptr.h"

namespace tessary::test {

// The folder of the running test program (build/bin, beside Tessary.dll).
std::wstring BinDir();
std::wstring TempDir();  // a fresh folder below the Windows temp folder, per process

// COM initialised for the lifetime of the object (single-threaded apartment).
class ComApartment {
public:
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
};

// Tessary.dll loaded by path, without registration.
class LoadedLibrary {
public:
    LoadedLibrary();
    ~LoadedLibrary();
    HMODULE get() const { return module_; }
    HRESULT GetClassObject(const CLSID& clsid, REFIID iid, void** out) const;
    HRESULT CanUnloadNow() const;

    // Creates one object through the library's class factory.
    template <class Interface>
    ComPtr<Interface> Create(const CLSID& clsid) const {
        ComPtr<IClassFactory> factory;
        ComPtr<Interface> object;
        if (SUCCEEDED(GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
            factory->CreateInstance(nullptr, __uuidof(Interface), reinterpret_cast<void**>(object.put()));
        return object;
    }

private:
    HMODULE module_ = nullptr;
};

// Creates a registered class by program id, as a late-binding client does.
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId);

// A call through IDispatch::Invoke. Arguments are given in call order.
struct DispatchResult {
    HRESULT hr = S_OK;
    Variant value;
    EXCEPINFO exception = {};
    DispatchResult() = default;
    DispatchResult(DispatchResult&& other) noexcept;
    DispatchResult& operator=(DispatchResult&&) = delete;
    ~DispatchResult();
    long ErrorNumber() const;  // the number a VBScript client would see
    std::wstring Description() const;
    std::wstring Source() const;
};
DispatchResult CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT*> args);
DispatchResult PutByName(IDispatch* object, const wchar_t* name, VARIANT* value);

// Variant makers for tests; the caller owns the result.
void SetText(VARIANT* v, const std::wstring& text);
void SetLong(VARIANT* v, long value);
void SetShort(VARIANT* v, short value);
void SetBool(VARIANT* v, bool value);
void SetDouble(VARIANT* v, double value);
// A VT_BYREF|VT_VARIANT reference to `target`, as a script host passes a variable.
VARIANT RefTo(VARIANT* target);

// Records every message box of the library while alive (TESSARY_MESSAGE_LOG).
struct RecordedMessage {
    UINT style;
    std::wstring caption;
    std::wstring text;
};
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    std::vector<RecordedMessage> Messages() const;
    void Clear() const;

private:
    std::wstring path_;
};

// Handles and GDI objects of this process, for leak checks.
DWORD GdiObjectCount();
DWORD KernelHandleCount();

}  // namespace tessary::test
