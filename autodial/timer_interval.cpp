#include "timer_interval.h"

#include <windows.h>

#include <cmath>

#include "frame/rounding.h"
#include "mod_gen_app.h"

namespace dovetta {

namespace {

std::wstring LowerCase(std::wstring text) {
    // The platform's lower-casing, so that letters beyond ASCII fold as the
    // user's system folds them.
    if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

bool TimerInterval::Assign(double milliseconds) {
    if (!std::isfinite(milliseconds)) return false;
    // Halves to the even neighbour, whatever rounding mode the process runs in.
    double rounded = tessary::NearestEven(milliseconds);
    if (rounded < 0.0 || rounded > 65535.0) return false;
    value_ = static_cast<long>(rounded);
    return true;
}

long StartupInterval(const std::wstring& commandLine) {
    TimerInterval interval(kDesignInterval);
    if (!commandLine.empty()) {
        // A float times 1000 is exact in a double: the halves-to-even rounding
        // sees the true product, not one already rounded to float precision.
        interval.Assign(static_cast<double>(modGenApp::TextToNumber(commandLine)) * 1000.0);
        if (interval.value() == 0) {
            size_t comma = commandLine.find(L',');
            if (comma != std::wstring::npos)
                interval.Assign(static_cast<double>(modGenApp::TextToNumber(commandLine.substr(0, comma))) * 1000.0);
        }
    }
    if (interval.value() < 1) return kFallbackInterval;
    return interval.value();
}

bool WantsNeverDial(const std::wstring& commandLine) {
    std::wstring lower = LowerCase(commandLine);
    return lower.find(L"off") != std::wstring::npos || lower.find(L"never") != std::wstring::npos;
}

std::wstring ProgramArguments(const std::wstring& fullCommandLine) {
    // The program name ends after its closing quote when it starts with one,
    // otherwise at the first blank; then blanks (any control character or
    // space) are skipped. The rule of the C run-time's start-up code for
    // WinMain's command line.
    size_t i = 0;
    const size_t n = fullCommandLine.size();
    if (n > 0 && fullCommandLine[0] == L'"') {
        i = fullCommandLine.find(L'"', 1);
        i = i == std::wstring::npos ? n : i + 1;
    } else {
        while (i < n && fullCommandLine[i] > L' ') ++i;
    }
    while (i < n && fullCommandLine[i] <= L' ') ++i;
    return fullCommandLine.substr(i);
}

}  // namespace dovetta
