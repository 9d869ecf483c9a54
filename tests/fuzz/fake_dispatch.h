// A dispatch object of the fuzzer's own, passed as an argument: its default
// value is some text or a number (the latter after calling back into the
// object being called), or asking for it fails. Its references are counted
// so that one kept by the library shows.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace tessary::fuzz {

// The object being called and a plain member of it: a dispatch argument
// whose value is asked for during the call calls in there again. Set by the
// caller around each call; empty between calls.
struct Reentry {
    IDispatch* object = nullptr;
    DISPID member = 0;
};
Reentry& CurrentReentry();

class FakeDispatch final : public IDispatch {
public:
    // What asking for the default value does.
    enum Mode { kText = 0, kNumber = 1, kRefuse = 2, kReenter = 3 };  // others: E_UNEXPECTED
    // Made with one reference: the maker's.
    FakeDispatch(int mode, std::wstring text) : mode_(mode), text_(std::move(text)) {}
    virtual ~FakeDispatch() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override;

    ULONG References() const { return refs_; }

private:
    ULONG refs_ = 1;
    int mode_;
    std::wstring text_;
};

}  // namespace tessary::fuzz
