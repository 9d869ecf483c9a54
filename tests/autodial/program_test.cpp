// Dovetta.exe started as a user starts it, in the Wine prefix bound to the
// display, with Tessary registered there. Each run first deletes the two
// autodial values, then reads what the program wrote and measures when its
// window appeared and how long it stayed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "support/test_support.h"

using namespace tessary::test;

namespace {

const wchar_t kSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// Control identifiers of the form (frmDovetta::kPanelId...).
constexpr int kPanelId = 101;
constexpr int kLabelId = 102;
constexpr int kImageId = 103;

void DeleteAutodialValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"EnableAutodial");
    RegDeleteValueW(key, L"NoNetAutodial");
    RegCloseKey(key);
}

// The value when it exists as a REG_DWORD; a value of another type is a failure.
std::optional<DWORD> ReadDword(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << name;
    EXPECT_EQ(4u, size) << name;
    return data;
}

struct Seconds {
    ULONGLONG start = GetTickCount64();
    double operator()() const { return (GetTickCount64() - start) / 1000.0; }
};

class Process {
public:
    explicit Process(const std::wstring& arguments, const std::wstring& program = BinDir() + L"Dovetta.exe") {
        std::wstring commandLine = L"\"" + program + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup = {sizeof startup};
        started_ = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info_) != 0;
    }
    ~Process() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    bool started() const { return started_; }
    bool Wait(DWORD ms) const { return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    // The program's form, shown or not.
    HWND Form() const {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, L"DovettaForm", nullptr))) {
            DWORD pid = 0;
            GetWindowThreadProcessId(found, &pid);
            if (pid == info_.dwProcessId) return found;
        }
        return nullptr;
    }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

HWND Control(HWND form, int id) {
    HWND panel = GetDlgItem(form, kPanelId);
    return id == kPanelId ? panel : GetDlgItem(panel, id);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

struct RunResult {
    DWORD exitCode = STILL_ACTIVE;
    double shownAt = -1;   // seconds from the start until the window was on screen
    double shownFor = -1;  // seconds it stayed there (until hidden or the program ended)
    double total = -1;
    std::wstring title;
    std::wstring label;  // Label1 while shown
};

// Starts Dovetta, watches its window every few milliseconds and waits for it
// to end. `whileShown` runs once, as soon as the window is seen on screen.
RunResult RunDovetta(const std::wstring& arguments, double limitSeconds,
                     const std::function<void(HWND)>& whileShown = nullptr,
                     const std::wstring& program = BinDir() + L"Dovetta.exe") {
    RunResult run;
    Seconds clock;
    Process process(arguments, program);
    EXPECT_TRUE(process.started());
    if (!process.started()) return run;
    bool acted = false;
    while (!process.Wait(5)) {
        if (clock() > limitSeconds) {
            ADD_FAILURE() << "Dovetta " << testing::PrintToString(arguments) << " still runs after " << limitSeconds << " s";
            return run;
        }
        HWND form = process.Form();
        bool visible = form && IsWindowVisible(form);
        if (visible && run.shownAt < 0) {
            run.shownAt = clock();
            run.title = TextOf(form);
        }
        if (visible) run.label = TextOf(Control(form, kLabelId));
        if (!visible && run.shownAt >= 0 && run.shownFor < 0) run.shownFor = clock() - run.shownAt;
        if (visible && whileShown && !acted) {
            acted = true;
            whileShown(form);
        }
    }
    run.total = clock();
    if (run.shownAt >= 0 && run.shownFor < 0) run.shownFor = run.total - run.shownAt;
    run.exitCode = process.ExitCode();
    return run;
}

// Tolerances: the delay is counted from CreateProcess, which includes the
// start of a Wine process; the machine may be busy with other builds.
constexpr double kEarly = 0.03;
constexpr double kLate = 1.5;
// How late the watch loop may notice that the window appeared (it looks
// every 5 ms, and looking through the other process's windows takes time).
constexpr double kPoll = 0.15;

class Program : public testing::Test {
protected:
    void SetUp() override { DeleteAutodialValues(); }
    void TearDown() override { DeleteAutodialValues(); }
    MessageLog messages_;  // Dovetta inherits TESSARY_MESSAGE_LOG: no box can block a run
};

struct ModeCase {
    const wchar_t* arguments;
    double delay;
    bool never;
    const char* name;
};
void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }

class ProgramModes : public Program, public testing::WithParamInterface<ModeCase> {};

TEST_P(ProgramModes, WritesTheModeAfterTheDelayShowsItAndEnds) {
    const ModeCase& c = GetParam();
    RunResult run = RunDovetta(c.arguments, c.delay + 10);
    std::printf("Dovetta %ls: shown after %.3f s for %.3f s, ended after %.3f s\n", c.arguments, run.shownAt,
                run.shownFor, run.total);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(std::optional<DWORD>(c.never ? 0 : 1), ReadDword(L"EnableAutodial"));
    EXPECT_EQ(std::optional<DWORD>(c.never ? 1 : 0), ReadDword(L"NoNetAutodial"));
    EXPECT_EQ(c.never ? L"Never Dial Set" : L"Dial Default Set", run.label);
    EXPECT_EQ(L"Dovetta", run.title);
    EXPECT_GE(run.shownAt, c.delay - kEarly);
    EXPECT_LE(run.shownAt, c.delay + kLate);
    EXPECT_GE(run.shownFor, 1.5 - kPoll);
    EXPECT_LE(run.shownFor, 1.5 + kLate);
    EXPECT_TRUE(messages_.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ProgramModes,
                         testing::Values(ModeCase{L"2", 2.0, false, "Seconds2"},
                                         ModeCase{L"never", 0.5, true, "never"},
                                         ModeCase{L"NEVER", 0.5, true, "NEVER"},
                                         ModeCase{L"coffee", 0.5, true, "coffee"},
                                         ModeCase{L"0", 0.5, false, "Seconds0"},
                                         ModeCase{L"True", 1.0, false, "True"}),
                         [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// The one 30-second run: no command line. While it waits, a second copy
// (which would write the never-dial mode at once) must end without writing.
TEST_F(Program, NoCommandLineWaitsThirtySecondsAndASecondCopyEndsAtOnce) {
    Seconds clock;
    Process first(L"");
    ASSERT_TRUE(first.started());
    // Let the first copy get past its start-up (its form exists, hidden).
    while (!first.Form() && clock() < 10) Sleep(20);
    ASSERT_TRUE(first.Form());
    EXPECT_FALSE(IsWindowVisible(first.Form()));

    Seconds second;
    Process copy(L"never");
    ASSERT_TRUE(copy.started());
    ASSERT_TRUE(copy.Wait(5000));
    const double copyLived = second();
    EXPECT_EQ(0u, copy.ExitCode());
    // A copy that went on would write after 0.5 s and then stay 1.5 s on
    // screen: having ended without a write proves it stopped at the start.
    EXPECT_LT(copyLived, 1.9) << "the second copy should end at once";
    EXPECT_FALSE(ReadDword(L"EnableAutodial").has_value());
    EXPECT_FALSE(ReadDword(L"NoNetAutodial").has_value());

    // The first copy writes the default mode after 30 s.
    double shownAt = -1;
    std::wstring label;
    while (!first.Wait(10) && clock() < 45) {
        HWND form = first.Form();
        if (form && IsWindowVisible(form)) {
            if (shownAt < 0) shownAt = clock();
            label = TextOf(Control(form, kLabelId));
        }
    }
    ASSERT_TRUE(first.Wait(0)) << "still running after 45 s";
    std::printf("second copy ended after %.3f s; first shown after %.3f s, ended after %.3f s\n", copyLived,
                shownAt, clock());
    EXPECT_EQ(0u, first.ExitCode());
    EXPECT_GE(shownAt, 30.0 - kEarly);
    EXPECT_LE(shownAt, 30.0 + kLate);
    EXPECT_EQ(L"Dial Default Set", label);
    EXPECT_EQ(std::optional<DWORD>(1), ReadDword(L"EnableAutodial"));
    EXPECT_EQ(std::optional<DWORD>(0), ReadDword(L"NoNetAutodial"));
    EXPECT_TRUE(messages_.Messages().empty());
}

// 100 s is beyond the timer's range: the design 30 s stay. Watch it for a few
// seconds (the fallback would have ticked after 0.5 s), then close it: a
// program closed while it waits writes nothing.
TEST_F(Program, OutOfRangeDelayKeepsWaiting) {
    Seconds clock;
    Process process(L"100");
    ASSERT_TRUE(process.started());
    while (!process.Form() && clock() < 10) Sleep(20);
    ASSERT_TRUE(process.Form());
    EXPECT_FALSE(process.Wait(3000));
    EXPECT_FALSE(IsWindowVisible(process.Form()));
    EXPECT_FALSE(ReadDword(L"EnableAutodial").has_value());
    PostMessageW(process.Form(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(process.Wait(5000));
    EXPECT_EQ(0u, process.ExitCode());
    EXPECT_FALSE(ReadDword(L"EnableAutodial").has_value());
    EXPECT_FALSE(ReadDword(L"NoNetAutodial").has_value());
}

class ProgramClicks : public Program, public testing::WithParamInterface<int> {};

TEST_P(ProgramClicks, AClickClosesTheWindowAtOnce) {
    double clickedAt = -1;
    Seconds clock;
    RunResult run = RunDovetta(L"never", 10, [&](HWND form) {
        HWND target = Control(form, GetParam());
        ASSERT_TRUE(target);
        clickedAt = clock();
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    });
    ASSERT_GE(clickedAt, 0) << "the window never showed";
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_LT(run.total - clickedAt, 0.8) << "the window should close before its 1.5 s are up";
    // The values were written before the window showed.
    EXPECT_EQ(std::optional<DWORD>(0), ReadDword(L"EnableAutodial"));
    EXPECT_EQ(std::optional<DWORD>(1), ReadDword(L"NoNetAutodial"));
}

INSTANTIATE_TEST_SUITE_P(Controls, ProgramClicks, testing::Values(kLabelId, kImageId, kPanelId),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == kLabelId ? "Label1" : info.param == kImageId ? "Image1" : "SSPanel1";
                         });

// Without the component the program reports the failure and ends without
// writing. A copy of the program under its own name runs with Wine's loader
// told to refuse Tessary.dll (a per-program setting, so nothing else in the
// prefix is touched and a test that dies halfway leaves no harm behind).
TEST_F(Program, MissingComponentIsReportedAndNothingWritten) {
    const wchar_t copyName[] = L"DovettaWithoutTessary.exe";
    const std::wstring copy = TempDir() + copyName;
    ASSERT_TRUE(CopyFileW((BinDir() + L"Dovetta.exe").c_str(), copy.c_str(), FALSE));
    const std::wstring overrides = std::wstring(L"Software\\Wine\\AppDefaults\\") + copyName + L"\\DllOverrides";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, L"tessary", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));  // disabled
    RegCloseKey(key);

    RunResult run = RunDovetta(L"never", 10, nullptr, copy);
    DeleteFileW(copy.c_str());

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_LT(run.shownAt, 0) << "the window should never show";
    EXPECT_LT(run.total, 3.0);
    auto shown = messages_.Messages();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), shown[0].style);
    EXPECT_EQ(L"Halvex AutoDial", shown[0].caption);
    EXPECT_EQ(L"Run-time error '429':", shown[0].text.substr(0, 21));
    EXPECT_FALSE(ReadDword(L"EnableAutodial").has_value());
    EXPECT_FALSE(ReadDword(L"NoNetAutodial").has_value());
}

}  // namespace
