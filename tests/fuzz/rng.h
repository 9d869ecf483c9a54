// The fuzzer's random numbers: a small generator (splitmix64) and the seed
// of one call, made from the run's seed and the call's index alone, so that
// any call can be made again by itself.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tessary::fuzz {

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

inline uint64_t CallSeed(uint64_t seed, int64_t index) {
    Rng mix(seed ^ (static_cast<uint64_t>(index) * 0xD1B54A32D192ED03ull));
    mix.Next();
    return mix.Next();
}

}  // namespace tessary::fuzz
