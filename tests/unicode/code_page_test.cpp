// The run is in the code page it was started for: without the Unix locale
// that gives it, Wine falls back to 1252 and the 932 run would test nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

TEST(CodePage, IsTheOneTheRunWasStartedFor) {
    const char* wanted = std::getenv("TESSARY_CODEPAGE");
    ASSERT_NE(nullptr, wanted) << "run through the CODEPAGES registration";
    EXPECT_EQ(static_cast<UINT>(std::atoi(wanted)), GetACP());
}
