// The start-up delay and the mode taken from the command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "timer_interval.h"

using namespace dovetta;

namespace {

std::wstring Decimal() {
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator;
}
std::wstring Num(const std::wstring& whole, const std::wstring& fraction) { return whole + Decimal() + fraction; }

TEST(TimerInterval, RoundsHalvesToEvenAndRejectsOutOfRange) {
    TimerInterval t(30000);
    EXPECT_TRUE(t.Assign(2.5));
    EXPECT_EQ(2, t.value());
    EXPECT_TRUE(t.Assign(3.5));
    EXPECT_EQ(4, t.value());
    EXPECT_TRUE(t.Assign(65534.5));
    EXPECT_EQ(65534, t.value());
    EXPECT_TRUE(t.Assign(-0.4));  // rounds to 0, which is in range
    EXPECT_EQ(0, t.value());

    t = TimerInterval(30000);
    EXPECT_FALSE(t.Assign(65535.5));  // 65536
    EXPECT_FALSE(t.Assign(-0.6));
    EXPECT_FALSE(t.Assign(100000.0));
    EXPECT_FALSE(t.Assign(1e300));
    EXPECT_FALSE(t.Assign(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(t.Assign(std::nan("")));
    EXPECT_EQ(30000, t.value());  // every rejection kept the old value
    EXPECT_TRUE(t.Assign(65535.0));
    EXPECT_EQ(65535, t.value());
}

struct IntervalCase {
    const wchar_t* commandLine;
    long expected;
};

TEST(StartupInterval, FromTheCommandLine) {
    const IntervalCase cases[] = {
        {L"", 30000},        // the design interval
        {L"2", 2000},
        {L"5 never", 5000},
        {L"never", 500},     // no leading number
        {L"NEVER", 500},
        {L"coffee", 500},
        {L"0", 500},         // 0, no comma: below 1 ms
        {L"100", 30000},     // 100000 ms is rejected, the design value stays
        {L"65", 65000},
        {L"66", 30000},
        {L"-1", 30000},      // negative: rejected too
        {L"True", 1000},
        {L"False", 500},
        {L"true", 500},      // not the word True: no number
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, StartupInterval(c.commandLine)) << "\"" << c.commandLine << "\"";
}

TEST(StartupInterval, FractionsOfASecond) {
    EXPECT_EQ(500, StartupInterval(Num(L"0", L"5") + L" never"));
    EXPECT_EQ(65535, StartupInterval(Num(L"65", L"535")));
    EXPECT_EQ(30000, StartupInterval(Num(L"65", L"536")));
    EXPECT_EQ(2, StartupInterval(Num(L"0", L"0015")));
    // Exact halves (these fractions are exact in binary): to the even neighbour.
    EXPECT_EQ(62, StartupInterval(Num(L"0", L"0625")));
    EXPECT_EQ(188, StartupInterval(Num(L"0", L"1875")));
    // Below half a millisecond rounds to 0, which falls back to 500.
    EXPECT_EQ(500, StartupInterval(Num(L"0", L"0004")));
}

TEST(StartupInterval, CommaRuleWhenTheWholeTextGivesZero) {
    // The whole text reads as 1e-8 s (a comma is either the thousands or the
    // decimal separator, the value is tiny in both), which rounds to 0 ms:
    // the part before the first comma decides.
    EXPECT_EQ(1000, StartupInterval(L"1,0e-9"));
    // The part before the comma is 0 as well: the fallback.
    EXPECT_EQ(500, StartupInterval(L"0,0e-9"));
    // A comma but a usable number: the rule does not apply.
    EXPECT_EQ(2000, StartupInterval(L"2,never"));
}

TEST(WantsNeverDial, OffOrNeverAnywhereInAnyCase) {
    EXPECT_TRUE(WantsNeverDial(L"never"));
    EXPECT_TRUE(WantsNeverDial(L"NEVER"));
    EXPECT_TRUE(WantsNeverDial(L"NeVeR"));
    EXPECT_TRUE(WantsNeverDial(L"off"));
    EXPECT_TRUE(WantsNeverDial(L"coffee"));
    EXPECT_TRUE(WantsNeverDial(L"5 OFF"));
    EXPECT_TRUE(WantsNeverDial(L"0.5 nevermore"));
    EXPECT_FALSE(WantsNeverDial(L""));
    EXPECT_FALSE(WantsNeverDial(L"2"));
    EXPECT_FALSE(WantsNeverDial(L"of f"));
    EXPECT_FALSE(WantsNeverDial(L"neve r"));
    EXPECT_FALSE(WantsNeverDial(L"on"));
}

TEST(ProgramArguments, TheProgramNameIsCutOff) {
    EXPECT_EQ(L"", ProgramArguments(L"Dovetta.exe"));
    EXPECT_EQ(L"2 never", ProgramArguments(L"Dovetta.exe 2 never"));
    EXPECT_EQ(L"never", ProgramArguments(L"\"C:\\Program Files\\Halvex\\Dovetta.exe\"   never"));
    EXPECT_EQ(L"", ProgramArguments(L"\"C:\\a b\\Dovetta.exe\""));
    EXPECT_EQ(L"off ", ProgramArguments(L"C:\\Dovetta.exe\toff "));
    EXPECT_EQ(L"", ProgramArguments(L"\"unterminated quote never"));
    EXPECT_EQ(L"", ProgramArguments(L""));
}

}  // namespace
