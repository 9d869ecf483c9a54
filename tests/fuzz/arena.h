// Everything one call's arguments own: the cells that by-reference arguments
// point at, the strings and variants in them and the arrays handed over.
// Freed after the call's checks (or when the arena goes).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <vector>

namespace tessary::fuzz {

class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() { Free(); }
    void Free();

    // A cell holding `value`, alive until Free.
    template <class T>
    T* Cell(T value) {
        storage_.emplace_back(new Holder<T>(value));
        return &static_cast<Holder<T>*>(storage_.back().get())->value;
    }
    // A cell whose string is freed with the arena.
    BSTR* BstrCell(BSTR b);
    // An empty variant cleared with the arena.
    VARIANT* VariantCell();
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

}  // namespace tessary::fuzz
