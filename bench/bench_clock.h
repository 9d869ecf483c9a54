// The benchmark's clock and its one output line per measurement.
#pragma once
#include <windows.h>

#include <cstdio>

namespace tessary::bench {

// Seconds on the performance counter.
inline double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// "sample<TAB>pair<TAB>ours|peer<TAB>microseconds per call"
inline void Sample(const char* pair, const char* side, double seconds, int calls) {
    std::printf("sample\t%s\t%s\t%.3f\n", pair, side, seconds * 1e6 / calls);
    std::fflush(stdout);
}

}  // namespace tessary::bench
