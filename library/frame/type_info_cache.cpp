#include "frame/type_info_cache.h"

#include <atomic>

#include "frame/com_ptr.h"
#include "frame/handles.h"
#include "frame/module.h"
#include "frame/prepared_interface.h"

namespace tessary {
namespace {

// Objects of several single-threaded apartments may ask at the same moment.
// Filling happens under one lock; an entry is complete before the count that
// makes it visible is published, and entries stay until the DLL is unloaded,
// so looking one up needs no lock. The type library and type information
// objects are free-threaded, so handing them out is safe.
SRWLOCK gLock = SRWLOCK_INIT;
ITypeLib* gLibrary = nullptr;

struct Entry {
    IID iid;
    PreparedInterface* prepared;
};
// One entry per published interface; the table never needs to grow past it.
constexpr size_t kCapacity = 8;
Entry gEntries[kCapacity];
std::atomic<size_t> gCount{0};

PreparedInterface* Lookup(REFIID iid) {
    const size_t count = gCount.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (IsEqualIID(gEntries[i].iid, iid)) return gEntries[i].prepared;
    }
    return nullptr;
}

HRESULT LoadLibraryLocked() {
    if (gLibrary) return S_OK;
    return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &gLibrary);
}

// Prepares `iid` once; the lock is held.
HRESULT PrepareLocked(REFIID iid, PreparedInterface** out) {
    if ((*out = Lookup(iid))) return S_OK;  // another apartment was quicker
    HRESULT hr = LoadLibraryLocked();
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> found;
    hr = gLibrary->GetTypeInfoOfGuid(iid, found.put());
    if (FAILED(hr)) return hr;
    // A dual interface is found as its dispatch view; the vtable offsets that
    // DispCallFunc needs are those of the interface view behind it.
    ComPtr<ITypeInfo> vtableView;
    HREFTYPE reference = 0;
    if (SUCCEEDED(found->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
        SUCCEEDED(found->GetRefTypeInfo(reference, vtableView.put()))) {
        found = std::move(vtableView);
    }
    const size_t count = gCount.load(std::memory_order_relaxed);
    if (count == kCapacity) return E_UNEXPECTED;
    std::unique_ptr<PreparedInterface> prepared = PreparedInterface::Prepare(found.get());
    if (!prepared) return TYPE_E_ELEMENTNOTFOUND;
    gEntries[count] = {iid, prepared.release()};
    gCount.store(count + 1, std::memory_order_release);
    *out = gEntries[count].prepared;
    return S_OK;
}

PreparedInterface* Prepared(REFIID iid, HRESULT* hr) {
    *hr = S_OK;
    if (PreparedInterface* found = Lookup(iid)) return found;
    PreparedInterface* prepared = nullptr;
    try {
        ExclusiveLock lock(gLock);
        *hr = PrepareLocked(iid, &prepared);
    } catch (const std::bad_alloc&) {
        *hr = E_OUTOFMEMORY;
    }
    return prepared;
}

}  // namespace

HRESULT GetLibraryTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ExclusiveLock lock(gLock);
    HRESULT hr = LoadLibraryLocked();
    if (FAILED(hr)) return hr;
    gLibrary->AddRef();
    *out = gLibrary;
    return S_OK;
}

HRESULT GetInterfaceTypeInfo(REFIID iid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    PreparedInterface* prepared = Prepared(iid, &hr);
    if (!prepared) return hr;
    *out = prepared->typeInfo();
    (*out)->AddRef();
    return S_OK;
}

const PreparedInterface* GetPreparedInterface(REFIID iid) {
    HRESULT hr = S_OK;
    return Prepared(iid, &hr);
}

void ReleaseTypeInfoCache() {
    ExclusiveLock lock(gLock);
    const size_t count = gCount.exchange(0);
    for (size_t i = 0; i < count; ++i) delete gEntries[i].prepared;
    if (gLibrary) gLibrary->Release();
    gLibrary = nullptr;
}

}  // namespace tessary
