#include "first_use.h"

#include <windows.h>
#include <mmsystem.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench_clock.h"
#include "create_object.h"
#include "frame/com_ptr.h"
#include "frame/handles.h"

namespace tessary::bench {
namespace {

// The value the script pair reads; each script ends with it as its exit code.
constexpr DWORD kScriptAnswer = 7;

std::wstring Self() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

// Runs `command` and returns what it printed; `seconds` is the process's wall
// time from its start to its end, `exitCode` its exit code. Empty when it
// could not be started.
std::string Run(std::wstring command, double* seconds = nullptr, DWORD* exitCode = nullptr) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueKernelHandle read, write;
    if (!CreatePipe(read.put(), write.put(), &inherit, 0)) return std::string();
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    const double start = Now();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return std::string();
    UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    write.reset();  // the child holds the only writing end: its end ends the reads
    std::string output;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(read.get(), buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(process.get(), 60000);
    if (seconds) *seconds = Now() - start;
    if (exitCode && !GetExitCodeProcess(process.get(), exitCode)) *exitCode = static_cast<DWORD>(-1);
    return output;
}

// The first object of a class in a fresh process, the library (or the
// platform's DLL) loaded on the way.
int Cold(const wchar_t* progId) {
    CoInitialize(nullptr);
    const double start = Now();
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) object = Create<IDispatch>(clsid);
    const double elapsed = Now() - start;
    if (!object) return 1;
    std::printf("%.1f\n", elapsed * 1e6);
    object.reset();
    CoUninitialize();
    return 0;
}

template <class Pointer>
Pointer Function(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Pointer>(GetProcAddress(module, name)) : nullptr;
}

// What creating an xMixer asks of the platform: the mixer count, then mixer
// device 0 opened. Returns what undoes it, or null when it failed.
std::function<void()> MixerWork() {
    HMODULE winmm = LoadLibraryW(L"winmm.dll");
    auto count = Function<decltype(&mixerGetNumDevs)>(winmm, "mixerGetNumDevs");
    auto open = Function<decltype(&mixerOpen)>(winmm, "mixerOpen");
    auto close = Function<decltype(&mixerClose)>(winmm, "mixerClose");
    if (!count || !open || !close) return nullptr;
    if (count() == 0) return [] {};  // no mixer: the class opens nothing either
    HMIXER mixer = nullptr;
    if (open(&mixer, 0, 0, 0, 0) != MMSYSERR_NOERROR) return nullptr;
    return [=] { close(mixer); };
}

// What creating an xPrinter and its PrintInit ask of the platform: the
// printers enumerated, the default printer's entry read, that printer's
// settings record read, a DC made from it; with the wide calls, as the
// library makes them.
std::function<void()> PrinterWork() {
    HMODULE spooler = LoadLibraryW(L"winspool.drv");
    auto enumerate = Function<decltype(&EnumPrintersW)>(spooler, "EnumPrintersW");
    auto open = Function<decltype(&OpenPrinterW)>(spooler, "OpenPrinterW");
    auto properties = Function<decltype(&DocumentPropertiesW)>(spooler, "DocumentPropertiesW");
    auto close = Function<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (!enumerate || !open || !properties || !close) return nullptr;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    enumerate(flags, nullptr, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return nullptr;
    std::vector<BYTE> printers(needed);
    if (!enumerate(flags, nullptr, 1, printers.data(), needed, &needed, &count) || count == 0) return nullptr;
    wchar_t entry[128] = {};
    GetProfileStringW(L"Windows", L"Device", L"", entry, 128);
    std::wstring name(entry);
    name = name.substr(0, name.find(L','));
    HANDLE printer = nullptr;
    if (!open(&name[0], &printer, nullptr)) return nullptr;
    LONG size = properties(nullptr, printer, &name[0], nullptr, nullptr, 0);
    std::vector<BYTE> record(size > 0 ? size : 1);
    LONG read = size > 0 ? properties(nullptr, printer, &name[0], reinterpret_cast<DEVMODEW*>(record.data()),
                                      nullptr, DM_OUT_BUFFER)
                         : -1;
    close(printer);
    if (read != IDOK) return nullptr;
    HDC dc = CreateDCW(L"", name.c_str(), L"", reinterpret_cast<DEVMODEW*>(record.data()));
    if (!dc) return nullptr;
    return [=] { DeleteDC(dc); };
}

int Raw(const wchar_t* what) {
    CoInitialize(nullptr);
    const double start = Now();
    std::function<void()> undo = std::wcscmp(what, L"mixer") == 0     ? MixerWork()
                                 : std::wcscmp(what, L"printer") == 0 ? PrinterWork()
                                                                      : nullptr;
    const double elapsed = Now() - start;
    if (!undo) return 1;
    std::printf("%.1f\n", elapsed * 1e6);
    undo();
    CoUninitialize();
    return 0;
}

// One side of a pair: the microseconds a child measured in itself, or
// (a script) the wall time of the whole process; negative when it failed.
struct Side {
    std::wstring command;
    bool wholeProcess;
};

double Measure(const Side& side) {
    double seconds = 0;
    DWORD exitCode = 0;
    std::string printed = Run(side.command, &seconds, &exitCode);
    if (side.wholeProcess) return exitCode == kScriptAnswer ? seconds * 1e6 : -1;
    if (exitCode != 0 || printed.empty()) return -1;
    return std::atof(printed.c_str());
}

struct FirstUsePair {
    const wchar_t* key;
    const char* name;
    Side ours;
    Side peer;
};

}  // namespace

int FirstUseChild(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--cold") == 0) return Cold(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"--raw") == 0) return Raw(argv[2]);
    return -1;
}

void ColdStarts(int rounds) {
    const std::wstring self = L"\"" + Self() + L"\"";
    for (int round = 1; round <= rounds; ++round) {
        for (const wchar_t* progId : {L"Scripting.Dictionary", L"Tessary.xRegistry", L"Tessary.xPrinter",
                                      L"Tessary.xApplication", L"Tessary.xMixer"}) {
            double microseconds = Measure({self + L" --cold " + progId, false});
            if (microseconds < 0) continue;
            std::printf("cold\t%ls\t%.1f\n", progId, microseconds);
        }
    }
}

void FirstUsePairs(int rounds, wchar_t** names, int count) {
    const std::wstring self = L"\"" + Self() + L"\"";
    // The scripts sit beside the program's sources; the caller names their folder.
    wchar_t scripts[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TESSARY_BENCH_SCRIPTS", scripts, MAX_PATH);
    const std::wstring cscript = L"cscript.exe //nologo \"" + std::wstring(scripts) + L"\\";
    const FirstUsePair pairs[] = {
        {L"registry", "first use: CreateObject xRegistry / Scripting.Dictionary",
         {self + L" --cold Tessary.xRegistry", false}, {self + L" --cold Scripting.Dictionary", false}},
        {L"application", "first use: CreateObject xApplication / Scripting.Dictionary",
         {self + L" --cold Tessary.xApplication", false}, {self + L" --cold Scripting.Dictionary", false}},
        {L"mixer", "first use: CreateObject xMixer / the mixer work by hand",
         {self + L" --cold Tessary.xMixer", false}, {self + L" --raw mixer", false}},
        {L"printer", "first use: CreateObject xPrinter / the printer work by hand",
         {self + L" --cold Tessary.xPrinter", false}, {self + L" --raw printer", false}},
        {L"script", "first use: cscript, one RegSysGet / one WScript.Shell.RegRead",
         {cscript + L"first_read_tessary.vbs\"", true}, {cscript + L"first_read_shell.vbs\"", true}},
    };
    // The value the scripts read and end with.
    HKEY key = nullptr;
    const DWORD answer = kScriptAnswer;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TessaryBench", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&answer), sizeof answer);
        RegCloseKey(key);
    }
    for (int round = 1; round <= rounds; ++round) {
        for (int i = 0; i < count; ++i) {
            for (const FirstUsePair& pair : pairs) {
                if (std::wcscmp(pair.key, names[i]) != 0) continue;
                // Which side goes first alternates, as in every pair.
                const Side* order[] = {&pair.ours, &pair.peer};
                if (round % 2 == 0) std::swap(order[0], order[1]);
                for (const Side* side : order) {
                    double microseconds = Measure(*side);
                    if (microseconds < 0) {
                        std::printf("note\t%s: a %s process failed\n", pair.name, side == &pair.ours ? "ours" : "peer");
                        continue;
                    }
                    Sample(pair.name, side == &pair.ours ? "ours" : "peer", microseconds / 1e6, 1);
                }
            }
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TessaryBench");
}

}  // namespace tessary::bench
