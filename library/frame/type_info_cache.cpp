#include "frame/type_info_cache.h"

#include "frame/com_ptr.h"
#include "frame/handles.h"
#include "frame/module.h"

namespace tessary {
namespace {

// Objects of several single-threaded apartments may ask at the same moment:
// every read and fill happens under one lock. The type library and type
// information objects are free-threaded, so handing them out is safe.
SRWLOCK gLock = SRWLOCK_INIT;
ITypeLib* gLibrary = nullptr;

struct Entry {
    IID iid;
    ITypeInfo* info;
};
// One entry per published interface; the table never needs to grow past it.
Entry gEntries[8];
size_t gCount = 0;

// The prepared information of `iid` (AddRef'd), or null; the lock is held.
ITypeInfo* CachedLocked(REFIID iid) {
    for (size_t i = 0; i < gCount; ++i) {
        if (IsEqualIID(gEntries[i].iid, iid)) {
            gEntries[i].info->AddRef();
            return gEntries[i].info;
        }
    }
    return nullptr;
}

HRESULT LoadLibraryLocked() {
    if (gLibrary) return S_OK;
    return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &gLibrary);
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
    // Every call through IDispatch asks: the common case, an interface already
    // prepared, only reads and takes the lock shared.
    AcquireSRWLockShared(&gLock);
    *out = CachedLocked(iid);
    ReleaseSRWLockShared(&gLock);
    if (*out) return S_OK;

    ExclusiveLock lock(gLock);
    if ((*out = CachedLocked(iid))) return S_OK;  // another apartment was quicker
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
    if (gCount < sizeof gEntries / sizeof gEntries[0]) {
        found->AddRef();
        gEntries[gCount++] = {iid, found.get()};
    }
    *out = found.release();
    return S_OK;
}

void ReleaseTypeInfoCache() {
    ExclusiveLock lock(gLock);
    for (size_t i = 0; i < gCount; ++i) gEntries[i].info->Release();
    gCount = 0;
    if (gLibrary) gLibrary->Release();
    gLibrary = nullptr;
}

}  // namespace tessary
