// The shell commands that replay a call.
#include "replay.h"

#include <windows.h>

#include <cstdio>

#include "batch.h"

namespace tessary::fuzz {
namespace {

// The command that runs this program from the shell: the build tree's
// wine-run with the program's Unix path.
std::string ShellCommand() {
    std::string exe = ExePath();
    if (exe.size() > 2 && (exe[0] == 'Z' || exe[0] == 'z') && exe[1] == ':') {
        exe = exe.substr(2);
        for (char& c : exe)
            if (c == '\\') c = '/';
        const size_t bin = exe.rfind("/bin/");
        if (bin != std::string::npos) return exe.substr(0, bin) + "/wine-run " + exe;
    }
    return "wine " + exe;
}

}  // namespace

std::string ExePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

void PrintReplay(uint64_t seed, int64_t call) {
    const int64_t epochStart = call - call % kEpoch;
    printf("  replay alone:        %s --child --seed %llu --first %lld --count 1\n", ShellCommand().c_str(),
           static_cast<unsigned long long>(seed), static_cast<long long>(call));
    printf("  replay with context: %s --child --seed %llu --first %lld --count %lld\n", ShellCommand().c_str(),
           static_cast<unsigned long long>(seed), static_cast<long long>(epochStart),
           static_cast<long long>(call - epochStart + 1));
    fflush(stdout);
}

}  // namespace tessary::fuzz
