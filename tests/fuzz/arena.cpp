// Freeing a call's argument cells, strings, variants and arrays; an array
// passed by reference may have been replaced by the callee.
#include "arena.h"

namespace tessary::fuzz {

void Arena::Free() {
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

BSTR* Arena::BstrCell(BSTR b) {
    BSTR* cell = Cell<BSTR>(b);
    bstrs_.push_back(cell);
    return cell;
}

VARIANT* Arena::VariantCell() {
    VARIANT* v = Cell<VARIANT>(VARIANT{});
    VariantInit(v);
    variants_.push_back(v);
    return v;
}

}  // namespace tessary::fuzz
