// Hostile calls through IDispatch::Invoke to every member of every creatable
// class that Tessary.tlb describes.
//
// The parent process splits the run into batches and starts this program
// again for each one (--child --seed S --first N --count K); a child makes
// calls N .. N+K-1 and announces each call's index in shared memory before
// making it, so a crash or a hang is pinned to one call. Every call is made
// from (seed, call index) alone, so any call can be replayed by itself
// (--child --seed S --first N --count 1), or together with the calls made
// before it on the same objects (objects are made afresh every kEpoch calls).
//
//   dispatch_fuzz [--calls N] [--seed S] [--batch K] [--timeout-ms T]
//   dispatch_fuzz --child --seed S --first N --count K [--verbose] [--debugger]
// --crash-at N and --hang-at N make call N fault or stall, to see the
// harness report them.
//
// The pieces: type_model (the classes and members Tessary.tlb describes),
// confinement (what is never called, or only with safe values), generator
// (the argument values), fuzzer (one call and its checks), census (the
// machine state a run must leave alone), child and parent (the batches).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch.h"
#include "child.h"
#include "parent.h"

int main(int argc, char** argv) {
    using namespace tessary::fuzz;
    Options options;
    bool child = false;
    int64_t calls = 20000, batch = 2000, first = 0, count = 1;
    const char* progressName = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
        if (a == "--child") child = true;
        else if (a == "--verbose") options.describeArguments = true;
        else if (a == "--debugger") options.debugger = true;
        else if (a == "--crash-at") options.crashAt = strtoll(next(), nullptr, 0);
        else if (a == "--hang-at") options.hangAt = strtoll(next(), nullptr, 0);
        else if (a == "--seed") options.seed = strtoull(next(), nullptr, 0);
        else if (a == "--calls") calls = strtoll(next(), nullptr, 0);
        else if (a == "--batch") batch = strtoll(next(), nullptr, 0);
        else if (a == "--first") first = strtoll(next(), nullptr, 0);
        else if (a == "--count") count = strtoll(next(), nullptr, 0);
        else if (a == "--timeout-ms") options.timeoutMs = strtoul(next(), nullptr, 0);
        else if (a == "--progress") progressName = next();
        else {
            printf("unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (batch < kEpoch) batch = kEpoch;
    batch -= batch % kEpoch;
    setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
    if (child) return RunChild(options, first, count, progressName);
    return RunParent(options, calls, batch);
}
