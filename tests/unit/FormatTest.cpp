#include "app/Format.h"

#include <gtest/gtest.h>

namespace {

TEST(Format, WindowsPrintfConventions) {
    EXPECT_EQ(format(L"%s: (%d) %s", std::wstring(L"Unable"), 5, "Access is denied."),
              L"Unable: (5) Access is denied.");
    EXPECT_EQ(format(L"%u", 0xC0000005u), L"3221225477");
    EXPECT_EQ(format(L"%d", -1), L"-1");
    EXPECT_EQ(format(L"%u", -1), L"4294967295");                 // 32 bits without a length
    EXPECT_EQ(format(L"%I64d", int64_t{-5000000000}), L"-5000000000");
    EXPECT_EQ(format(L"%I64u", uint64_t{18446744073709551615u}), L"18446744073709551615");
    EXPECT_EQ(format(L"%08X", 0x1A2Bu), L"00001A2B");
    EXPECT_EQ(format(L"%0lX", 0x80070005u), L"80070005");
    EXPECT_EQ(format(L"%I64X in %I64X", uint64_t{0x140001000}, uint64_t{0x140000000}), L"140001000 in 140000000");
    EXPECT_EQ(format(L"%x|%5d|%-4d|", 255, 42, 7), L"ff|   42|7   |");
    EXPECT_EQ(format(L"100%% of %s", L"x"), L"100% of x");
}

TEST(Format, MissingArgumentsFormatAsNothing) { EXPECT_EQ(format(L"a%sb%dc"), L"abc"); }

} // namespace
