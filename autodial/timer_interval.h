// What Dovetta takes from its command line: the delay before it writes and
// the mode it writes. Pure functions of the text, no platform state.
#pragma once
#include <string>

namespace dovetta {

// Timer1's design interval, kept when there is no command line.
constexpr long kDesignInterval = 30000;
// The delay when the command line yields no usable number.
constexpr long kFallbackInterval = 500;

// A form timer's Interval property: it accepts 0 to 65535 milliseconds and
// rejects anything else, keeping the value it had.
class TimerInterval {
public:
    explicit TimerInterval(long design) : value_(design) {}
    long value() const { return value_; }
    // Rounds `milliseconds` to the nearest integer, halves to even, and takes
    // it when in range. Returns whether it was taken.
    bool Assign(double milliseconds);

private:
    long value_;
};

// The timer interval that start-up computes for the program's command line:
// the leading number of seconds (see modGenApp::TextToNumber) in ms; a
// command line whose number is 0 falls back to the number before its first
// comma; anything below 1 ms becomes 500 ms. An out-of-range value keeps the
// design 30000 ms, and so does an empty command line.
long StartupInterval(const std::wstring& commandLine);

// Never-dial mode: the command line holds "off" or "never" anywhere, in any
// letter case ("coffee" counts).
bool WantsNeverDial(const std::wstring& commandLine);

// The program's own command line without the program name: what follows the
// (possibly quoted) first word, leading blanks removed.
std::wstring ProgramArguments(const std::wstring& fullCommandLine);

}  // namespace dovetta
