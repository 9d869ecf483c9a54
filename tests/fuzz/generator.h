// Hostile argument values: texts (null, odd byte lengths, embedded NULs,
// 1 MiB), numbers at every edge, every variant type, references, arrays of
// several shapes and the fuzzer's own dispatch objects; values of about a
// parameter's declared type; and the pools of confined parameters. Every
// value is drawn from the call's Rng, so that the call's seed makes it again.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "arena.h"
#include "confinement.h"
#include "fake_dispatch.h"
#include "rng.h"

namespace tessary::fuzz {

class Generator {
public:
    // Cells go to `arena`; dispatch objects made go to `fakes` (one reference
    // each, the fuzzer's own); output files go below `scratch`.
    Generator(Rng& rng, Arena& arena, std::vector<FakeDispatch*>& fakes, const std::wstring& scratch)
        : rng_(rng), arena_(arena), fakes_(fakes), scratch_(scratch) {}

    // Some text; the caller owns it.
    BSTR Text(bool allowHuge = true);
    // One argument (never VT_EMPTY by accident: the caller owns the variant's content).
    VARIANT Any(int depth = 0);
    // A value of about the declared type, as a script or a compiled client passes it.
    VARIANT Plausible(VARTYPE declared);
    // A value from a confined parameter's pool.
    VARIANT Confined(Pool pool);

private:
    std::wstring PoolText(Pool pool);
    VARTYPE RandomScalarType();
    double Double();
    int64_t Integer();
    VARIANT Scalar(VARTYPE type);
    VARIANT ByRef(VARIANT value);
    VARIANT ByRefVariant(VARIANT value);
    VARIANT Array(VARTYPE element = VT_EMPTY);

    Rng& rng_;
    Arena& arena_;
    std::vector<FakeDispatch*>& fakes_;
    std::wstring scratch_;
};

}  // namespace tessary::fuzz
