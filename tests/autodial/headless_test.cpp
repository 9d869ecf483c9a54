// Dovetta where no display is available (the headless Wine prefix): it
// cannot open its window, so it must say so and end instead of waiting
// forever for a timer of a window that does not exist.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

using namespace tessary::test;

namespace {

TEST(WithoutDisplay, EndsWithAReportAndWritesNothing) {
    const wchar_t settings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settings, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"EnableAutodial");
        RegDeleteValueW(key, L"NoNetAutodial");
        RegCloseKey(key);
    }
    // The case needs a session in which windows cannot be created at all.
    if (HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
        DestroyWindow(probe);
        GTEST_SKIP() << "windows can be created here: this prefix has a display";
    }

    MessageLog messages;
    std::wstring commandLine = L"\"" + BinDir() + L"Dovetta.exe\" never";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    ASSERT_TRUE(ended) << "Dovetta kept running without a window";
    EXPECT_EQ(1u, exitCode);
    auto shown = messages.Messages();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), shown[0].style);
    EXPECT_EQ(L"Halvex AutoDial", shown[0].caption);
    EXPECT_NE(std::wstring::npos, shown[0].text.find(L"window")) << testing::PrintToString(shown[0].text);

    DWORD data = 0, size = sizeof data;
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, settings, L"EnableAutodial", RRF_RT_ANY, nullptr,
                                          &data, &size));
}

}  // namespace
