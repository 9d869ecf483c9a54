// The parent process: the batches in children, and the report of the run.
#include "parent.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "census.h"
#include "describe.h"
#include "replay.h"
#include "support/test_support.h"
#include "type_model.h"

namespace tessary::fuzz {
namespace {

constexpr int kSkipped = 77;  // what CTest counts as skipped

struct Totals {
    int64_t calls = 0;
    int crashes = 0, hangs = 0, findings = 0, leaks = 0, failedChildren = 0, escapes = 0;
};

// Lists the classes and the members called; 0 when every class can be made
// here, kSkipped when one is not registered, 1 when there is nothing to call.
int CheckClasses() {
    test::ComApartment com;
    std::vector<ClassInfo> classes = ReadTypeLibrary();
    if (classes.empty()) {
        printf("cannot read %s\n", Narrow(TypeLibraryPath()).c_str());
        return 1;
    }
    int members = 0;
    for (const ClassInfo& c : classes) {
        printf("%s: %zu members called (%zu in the type library)\n", Narrow(c.name).c_str(), c.members.size(),
               c.allIds.size());
        members += static_cast<int>(c.members.size());
        // A class that cannot be made here is no test at all.
        IDispatch* object = nullptr;
        if (FAILED(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&object)))) {
            printf("skipped: %s is not registered in this prefix\n", Narrow(c.name).c_str());
            return kSkipped;
        }
        object->Release();
    }
    return members == 0 ? 1 : 0;
}

// Runs calls [first, first + count) in one child; returns the index after the
// last call it got through (a crashed or hung call is counted as made).
int64_t RunBatch(const Options& options, const std::string& exe, int64_t first, int64_t count, Totals& totals) {
    char name[64];
    snprintf(name, sizeof name, "Local\\TessaryFuzz-%lu", GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Progress), name);
    auto* progress = static_cast<Progress*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Progress)));
    ZeroMemory(progress, sizeof *progress);
    progress->current = -1;

    char command[1024];
    snprintf(command, sizeof command,
             "\"%s\" --child --seed %llu --first %lld --count %lld --timeout-ms %lu --progress %s --crash-at %lld "
             "--hang-at %lld",
             exe.c_str(), static_cast<unsigned long long>(options.seed), static_cast<long long>(first),
             static_cast<long long>(count), options.timeoutMs, name, static_cast<long long>(options.crashAt),
             static_cast<long long>(options.hangAt));
    STARTUPINFOA start = {sizeof start};
    PROCESS_INFORMATION process = {};
    fflush(stdout);
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
        printf("cannot start a child: %lu\n", GetLastError());
        ++totals.failedChildren;
        UnmapViewOfFile(progress);
        CloseHandle(mapping);
        return first + count;
    }
    // The child's own watchdog ends a hung call; this one covers a child that
    // cannot even do that.
    LONG64 lastSeen = -2, lastDone = -1;
    ULONGLONG since = GetTickCount64();
    bool killed = false;
    while (WaitForSingleObject(process.hProcess, 500) == WAIT_TIMEOUT) {
        if (progress->current != lastSeen || progress->completed != lastDone) {
            lastSeen = progress->current;
            lastDone = progress->completed;
            since = GetTickCount64();
        } else if (GetTickCount64() - since > options.timeoutMs + 20000ull) {
            TerminateProcess(process.hProcess, kHangExit);
            WaitForSingleObject(process.hProcess, INFINITE);
            killed = true;
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int64_t next = first + count;
    const LONG64 at = progress->current >= 0 ? progress->current : first + progress->completed;
    totals.findings += progress->problems - progress->leaks;
    totals.leaks += progress->leaks;
    if (code == 0 || code == kFindingsExit) {
        totals.calls += count;
    } else if (code == kHangExit || killed) {
        ++totals.hangs;
        if (killed) {
            printf("HANG seed=%llu batch=%lld call=%lld: the child stopped answering; killed\n",
                   static_cast<unsigned long long>(options.seed), static_cast<long long>(first),
                   static_cast<long long>(at));
            PrintReplay(options.seed, at);
        }
        totals.calls += at - first + 1;
        next = at + 1;
    } else if (code == kCannotStartExit) {
        ++totals.failedChildren;
        printf("child for batch %lld could not start its work (exit code 2)\n", static_cast<long long>(first));
    } else {
        ++totals.crashes;
        if (!progress->exceptionCode) {
            printf("CRASH seed=%llu batch=%lld call=%lld: the child ended with %s\n",
                   static_cast<unsigned long long>(options.seed), static_cast<long long>(first),
                   static_cast<long long>(at), Hex(code).c_str());
            PrintReplay(options.seed, at);
        }
        totals.calls += at - first + 1;
        next = at + 1;
    }
    UnmapViewOfFile(progress);
    CloseHandle(mapping);
    return next;
}

// Whatever the calls wrote stayed in the scratch places: the keys around
// them and System.ini are as they were before the run. Returns the number
// of escapes (System.ini is put back).
int ReportEscapes(const std::vector<std::wstring>& surroundings, const std::string& systemIni) {
    int escapes = 0;
    const NameChanges changes = Compare(surroundings, Surroundings());
    for (const std::wstring& name : changes.made) {
        printf("ESCAPE: HKCU\\%s was made by the run\n", Narrow(name).c_str());
        ++escapes;
    }
    for (const std::wstring& name : changes.removed) {
        printf("ESCAPE: HKCU\\%s was removed by the run\n", Narrow(name).c_str());
        ++escapes;
    }
    if (PutBackSystemIni(systemIni)) ++escapes;
    return escapes;
}

}  // namespace

int RunParent(const Options& options, int64_t calls, int64_t batch) {
    if (const int classes = CheckClasses()) return classes;
    const ScratchPlaces scratch;
    const std::vector<std::wstring> surroundings = Surroundings();
    const std::string systemIni = ReadSystemIni();
    const std::string exe = ExePath();
    const ULONGLONG started = GetTickCount64();
    Totals totals;
    printf("seed=%llu calls=%lld batch=%lld timeout=%lu ms\n", static_cast<unsigned long long>(options.seed),
           static_cast<long long>(calls), static_cast<long long>(batch), options.timeoutMs);
    fflush(stdout);
    for (int64_t first = 0; first < calls;) {
        const int64_t end = std::min(calls, (first / batch + 1) * batch);
        first = RunBatch(options, exe, first, end - first, totals);
    }
    scratch.Remove();
    const int escapes = ReportEscapes(surroundings, systemIni);
    totals.findings += escapes;
    totals.escapes = escapes;
    const double seconds = (GetTickCount64() - started) / 1000.0;
    printf("seed=%llu: %lld calls in %.1f s: %d crashes, %d hangs, %d calls with improper results, %d leaks, "
           "%d writes outside the scratch places%s\n",
           static_cast<unsigned long long>(options.seed), static_cast<long long>(totals.calls), seconds,
           totals.crashes, totals.hangs, totals.findings - totals.escapes, totals.leaks, totals.escapes,
           totals.failedChildren ? ", children that failed to run" : "");
    const bool clean = totals.crashes == 0 && totals.hangs == 0 && totals.findings == 0 && totals.leaks == 0 &&
                       totals.failedChildren == 0;
    return clean ? 0 : 1;
}

}  // namespace tessary::fuzz
