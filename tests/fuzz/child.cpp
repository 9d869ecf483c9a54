// One batch of calls in a child process, with its crash handler, its
// watchdog and the checks that span the batch.
#include "child.h"

#include <cstdio>
#include <string>
#include <vector>

#include "census.h"
#include "describe.h"
#include "fuzzer.h"
#include "pictures.h"
#include "replay.h"
#include "support/test_support.h"
#include "type_model.h"

namespace tessary::fuzz {
namespace {

constexpr int kHandleTolerance = 4;  // kernel handles a child may end with above its start
constexpr int kGdiTolerance = 4;
constexpr int kWindowTolerance = 0;

// What the crash handler and the watchdog report from: they run where no
// argument of ours reaches them.
struct Watch {
    Progress* progress = nullptr;
    uint64_t seed = 0;
    DWORD timeoutMs = 0;
};
Watch g_watch;

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    const LONG64 call = g_watch.progress->current;
    g_watch.progress->exceptionCode = static_cast<LONG>(info->ExceptionRecord->ExceptionCode);
    printf("CRASH seed=%llu call=%lld %s: exception %s at %p\n", static_cast<unsigned long long>(g_watch.seed),
           static_cast<long long>(call), CurrentCall().c_str(), Hex(info->ExceptionRecord->ExceptionCode).c_str(),
           info->ExceptionRecord->ExceptionAddress);
    PrintReplay(g_watch.seed, call);
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI Watchdog(void*) {
    Progress* const progress = g_watch.progress;
    for (;;) {
        Sleep(50);
        const LONG64 call = progress->current;
        if (call < 0) continue;
        if (GetTickCount64() - static_cast<ULONGLONG>(progress->startedAt) > g_watch.timeoutMs &&
            progress->current == call) {
            progress->hung = 1;
            printf("HANG seed=%llu call=%lld %s: no return within %lu ms\n",
                   static_cast<unsigned long long>(g_watch.seed), static_cast<long long>(call),
                   CurrentCall().c_str(), g_watch.timeoutMs);
            PrintReplay(g_watch.seed, call);
            TerminateProcess(GetCurrentProcess(), kHangExit);
        }
    }
}

// The parent's progress record, or `local` when there is none.
Progress* OpenProgress(const char* name, Progress* local) {
    if (!name) return local;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    Progress* shared = nullptr;
    if (mapping) shared = static_cast<Progress*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Progress)));
    return shared ? shared : local;
}

// The keys around the scratch ones, looked at again after each registry
// call that may have touched them, so that a write outside is pinned to it.
class RegistryWatch {
public:
    RegistryWatch() : names_(Surroundings()), print_(Fingerprint()) {}
    void Check(Outcome& outcome) {
        if (Fingerprint() == print_) return;
        print_ = Fingerprint();
        std::vector<std::wstring> now = Surroundings();
        if (now == names_) return;
        const NameChanges changes = Compare(names_, now);
        for (const std::wstring& name : changes.made)
            outcome.problems.push_back("wrote outside its scratch places: made HKCU\\" + Narrow(name));
        for (const std::wstring& name : changes.removed)
            outcome.problems.push_back("wrote outside its scratch places: removed HKCU\\" + Narrow(name));
        names_ = std::move(now);
    }

private:
    std::vector<std::wstring> names_;
    std::vector<uint64_t> print_;
};

}  // namespace

int RunChild(const Options& options, int64_t first, int64_t count, const char* progressName) {
    static Progress local = {-1, 0, 0, 0, 0, 0, 0};
    Progress* const progress = OpenProgress(progressName, &local);
    g_watch = {progress, options.seed, options.timeoutMs};
    progress->current = -1;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // With --debugger a crash goes to the system's debugger instead (Wine's prints a backtrace).
    if (!options.debugger) SetUnhandledExceptionFilter(OnCrash);
    // A replay from the shell shows every call.
    const bool printCalls = options.describeArguments || !progressName;

    test::ComApartment com;
    // Every message box the library would show is written to a file instead.
    const std::wstring messages = test::TempDir() + L"messages.log";
    SetEnvironmentVariableW(L"TESSARY_MESSAGE_LOG", messages.c_str());

    std::vector<ClassInfo> classes = ReadTypeLibrary();
    if (classes.empty()) {
        printf("cannot read %s\n", Narrow(TypeLibraryPath()).c_str());
        return kCannotStartExit;
    }
    Pictures pictures;
    const ScratchPlaces scratch;
    RegistryWatch registry;
    Fuzzer fuzzer(std::move(classes), options.seed, options.describeArguments);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    int problems = 0;
    int printed = 0;
    std::vector<std::string> leakProblems;
    ResourceCount start = {}, end = {};
    bool measured = false;
    const int64_t last = first + count;
    for (int64_t call = first; call < last; ++call) {
        if (call == first || call % kEpoch == 0) {
            if (call != first) {
                fuzzer.ReleaseObjects();
                problems += fuzzer.ReleaseFakes(leakProblems);
                // The census starts after the first epoch: caches are full by then.
                if (!measured && call - first >= kEpoch / 2) {
                    start = CountResources();
                    measured = true;
                }
            }
            if (!fuzzer.MakeObjects()) return kCannotStartExit;
        }
        CurrentCall() = "(before the call is made)";
        progress->startedAt = static_cast<LONG64>(GetTickCount64());
        progress->current = call;
        // Checks of the harness itself: a call that faults, or never returns.
        if (call == options.crashAt) *static_cast<volatile int*>(nullptr) = 0;
        if (call == options.hangAt) Sleep(INFINITE);
        std::string description;
        Outcome outcome = fuzzer.Call(call, &description);
        progress->current = -1;
        if (description.compare(0, 10, "xRegistry.") == 0) registry.Check(outcome);
        progress->completed = call - first + 1;
        if (printCalls) printf("call=%lld %s\n", static_cast<long long>(call), description.c_str());
        if (!outcome.problems.empty()) {
            ++problems;
            progress->problems = problems;
            if (printed++ < 40) {
                printf("FINDING seed=%llu batch=%lld call=%lld %s\n", static_cast<unsigned long long>(options.seed),
                       static_cast<long long>(first), static_cast<long long>(call), description.c_str());
                for (const std::string& p : outcome.problems) printf("  problem: %s\n", p.c_str());
                PrintReplay(options.seed, call);
            }
        }
    }
    fuzzer.ReleaseObjects();
    problems += fuzzer.ReleaseFakes(leakProblems);
    for (const std::string& p : leakProblems)
        printf("LEAK seed=%llu batch=%lld: %s\n", static_cast<unsigned long long>(options.seed),
               static_cast<long long>(first), p.c_str());
    if (measured) {
        end = CountResources();
        printf("census batch=%lld: kernel handles %ld -> %ld, GDI objects %ld -> %ld, windows %ld -> %ld\n",
               static_cast<long long>(first), start.handles, end.handles, start.gdi, end.gdi, start.windows,
               end.windows);
        if (end.handles > start.handles + kHandleTolerance || (start.gdi >= 0 && end.gdi > start.gdi + kGdiTolerance) ||
            end.windows > start.windows + kWindowTolerance) {
            printf("LEAK seed=%llu batch=%lld: resources grew over calls %lld..%lld\n",
                   static_cast<unsigned long long>(options.seed), static_cast<long long>(first),
                   static_cast<long long>(first + kEpoch), static_cast<long long>(last - 1));
            progress->leaks = 1;
            ++problems;
        }
    }
    progress->problems = problems;
    scratch.Remove();
    fflush(stdout);
    return problems ? static_cast<int>(kFindingsExit) : 0;
}

}  // namespace tessary::fuzz
