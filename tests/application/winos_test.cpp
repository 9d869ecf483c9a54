// winOS against the version Wine reports: the probe program is started once
// per Windows version set for it in Wine's per-program settings.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace tessary::test;

namespace {

const std::wstring kProbe = L"application_winos_probe.exe";

std::string RunProbe() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start = {sizeof start};
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = start.hStdError = write;
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + BinDir() + kProbe + L"\"";
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(write);
    // The probe's one line fits the pipe's buffer: wait for the probe to end,
    // then take what it wrote. Waiting for the pipe's end instead would hang
    // when a process the probe made Wine start (its desktop process) inherits
    // the write end and lives on.
    std::string output;
    if (started) {
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        char buffer[256];
        DWORD available = 0, n = 0;
        while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0)
            output.append(buffer, n);
    }
    CloseHandle(read);
    return output.substr(0, output.find_first_of("\r\n"));
}

TEST(WinOs, NamesTheVersionWineReports) {
    // "<winOS>|<winOS again>|<platform>.<major>.<minor>" as the probe prints it.
    struct Row { const wchar_t* setting; const char* expected; } rows[] = {
        {L"win95", "Win95|Win95|1.4.0"}, {L"win98", "Win98|Win98|1.4.10"},  {L"winme", "WinME|WinME|1.4.90"},
        {L"nt40", "WinNT|WinNT|2.4.0"},  {L"win2k", "Win2K|Win2K|2.5.0"},   {L"winxp", "WinXP|WinXP|2.5.1"},
        {L"vista", "WinNT|WinNT|2.6.0"}, {L"win7", "WinXP|WinXP|2.6.1"},
    };
    const std::wstring settings = L"Software\\Wine\\AppDefaults\\" + kProbe;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, settings.c_str(), &key));
    for (const Row& row : rows) {
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(row.setting),
                       static_cast<DWORD>((wcslen(row.setting) + 1) * sizeof(wchar_t)));
        EXPECT_EQ(row.expected, RunProbe()) << "Wine version " << row.setting;
    }
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, settings.c_str());
    EXPECT_EQ("WinXP|WinXP|2.6.1", RunProbe()) << "Wine's default";
}

}  // namespace
