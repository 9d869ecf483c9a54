#include "frame/errors.h"

#include <oleauto.h>

#include "frame/com_ptr.h"
#include "frame/message_sink.h"

namespace tessary {

const wchar_t kApplicationTitle[] = L"Tessary";

std::wstring StandardDescription(long number) {
    switch (number) {
    case kInvalidArgument: return L"Invalid procedure call or argument";
    case kOverflow: return L"Overflow";
    case kOutOfMemory: return L"Out of memory";
    case kSubscriptOutOfRange: return L"Subscript out of range";
    case 10: return L"This array is fixed or temporarily locked";
    case kDivisionByZero: return L"Division by zero";
    case kTypeMismatch: return L"Type mismatch";
    case kInternalError: return L"Internal error";
    case kInvalidUseOfNull: return L"Invalid use of Null";
    case kErrorLoadingDll: return L"Error in loading DLL";
    case kFileNotFound: return L"File not found";
    case kDllEntryPointNotFound: return L"Specified DLL function not found";
    default: return L"Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(long n, std::wstring d, std::wstring s)
    : number(n), description(std::move(d)), source(std::move(s)) {}

RuntimeError RuntimeError::Standard(long number) {
    return RuntimeError(number, StandardDescription(number));
}

HRESULT RuntimeError::ToHresult() const {
    if (number < 0) return static_cast<HRESULT>(number);
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number & 0xFFFF);
}

void ThrowRuntime(long number) { throw RuntimeError::Standard(number); }

HRESULT RaiseToCaller(const RuntimeError& error) {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetSource(const_cast<LPOLESTR>(error.source.c_str()));
        create->SetDescription(const_cast<LPOLESTR>(error.description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
            SetErrorInfo(0, info.get());
    }
    return error.ToHresult();
}

void ClearPendingError() { SetErrorInfo(0, nullptr); }

std::wstring ShownErrorText(const std::wstring& prefix, const RuntimeError& error) {
    return prefix + std::to_wstring(error.number) + L". " + error.description;
}

void ShowRuntimeError(const std::wstring& prefix, const RuntimeError& error) {
    ShowMessage(ShownErrorText(prefix, error), MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
}

}  // namespace tessary
