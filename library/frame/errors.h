// Run-time errors and the four ways a member reports them.
//
// Inside the library a failure is a RuntimeError (number, description and
// source). Each member's entry point picks its failure style:
//   Raising     - the error reaches the caller as an automation exception;
//   Swallowing  - nothing reaches the caller and no error stays pending;
//   Showing     - the error is shown through the message sink with the
//                 member's prefix, then the member returns normally;
//   pass-through - a Raising member whose body lets run-time errors
//                 (9, 5, 6, 11, 13) escape with the run-time's own texts.
#pragma once
#include <windows.h>
#include <new>
#include <string>
#include <utility>

namespace tessary {

// Run-time error numbers with the automation run-time's texts.
enum RuntimeErrorNumber : long {
    kInvalidArgument = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kDivisionByZero = 11,
    kTypeMismatch = 13,
    kInvalidUseOfNull = 94,
    kInternalError = 51,
    // A system function the library reaches through a DLL loaded on first use.
    kErrorLoadingDll = 48,
    kFileNotFound = 53,
    kDllEntryPointNotFound = 453,
};

// The library's name: the caption of its message boxes and the source of
// run-time errors it passes on.
extern const wchar_t kApplicationTitle[];

struct RuntimeError {
    long number;
    std::wstring description;
    std::wstring source;

    // A run-time error with the run-time's standard description.
    static RuntimeError Standard(long number);
    // A library error: its own number, description and source.
    RuntimeError(long number, std::wstring description, std::wstring source = kApplicationTitle);

    // The failure code that carries this error across the interface: the
    // number itself when it already is one (negative), else a FACILITY_CONTROL
    // code so that clients of the run-time see the plain number again.
    HRESULT ToHresult() const;
};

// The run-time's description of a standard number; "Application-defined or
// object-defined error" for any other.
std::wstring StandardDescription(long number);

[[noreturn]] void ThrowRuntime(long number);

// Sets the thread's error object and returns the failure code to return.
HRESULT RaiseToCaller(const RuntimeError& error);
// Leaves no error pending on the thread.
void ClearPendingError();

// The text a Showing member puts in its message box:
// prefix, number, ". ", description.
std::wstring ShownErrorText(const std::wstring& prefix, const RuntimeError& error);
// Shows a run-time error the way printer members do: exclamation icon,
// the library's title as caption.
void ShowRuntimeError(const std::wstring& prefix, const RuntimeError& error);

template <class Body>
HRESULT Raising(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return S_OK;
    } catch (const RuntimeError& e) {
        return RaiseToCaller(e);
    } catch (const std::bad_alloc&) {
        return RaiseToCaller(RuntimeError::Standard(kOutOfMemory));
    } catch (...) {
        return RaiseToCaller(RuntimeError::Standard(kInternalError));
    }
}

template <class Body>
HRESULT Swallowing(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
    ClearPendingError();
    return S_OK;
}

template <class Body>
HRESULT Showing(const wchar_t* prefix, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const RuntimeError& e) {
        ShowRuntimeError(prefix, e);
    } catch (const std::bad_alloc&) {
        ShowRuntimeError(prefix, RuntimeError::Standard(kOutOfMemory));
    } catch (...) {
        ShowRuntimeError(prefix, RuntimeError::Standard(kInternalError));
    }
    ClearPendingError();
    return S_OK;
}

// Runs one step of a skip-and-continue sequence: a failing step is abandoned
// at the point of failure and the sequence goes on.
template <class Step>
void SkipOnError(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
    } catch (...) {
    }
}

}  // namespace tessary
