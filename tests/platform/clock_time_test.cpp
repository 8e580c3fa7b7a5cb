// Beijing time texts and the clocks.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <regex>

#include "platform/clock.h"

namespace {

TEST(BeijingTime, IsUtcPlusEightWithTheDateMovingOn)
{
    const struct {
        std::time_t utc;
        const char* expected;
        const char* why;
    } rows[] = {
        {0, "1970-01-01 08:00:00", "epoch"},
        {1577824200, "2020-01-01 04:30:00", "20:30 UTC on 31 December is next year"},
        {1577824200 - 16201, "2019-12-31 23:59:59", "last second before midnight"},
        {1709136000, "2024-02-29 00:00:00", "leap day starts at 16:00 UTC"},
        {1709136000 - 1, "2024-02-28 23:59:59", "day before the leap day"},
        {951782400, "2000-02-29 08:00:00", "2000 is a leap year (divisible by 400)"},
        {4107542400, "2100-03-01 08:00:00", "2100 is not (divisible by 100)"},
        {-28801, "1969-12-31 23:59:59", "before the epoch"},
        {2147483647, "2038-01-19 11:14:07", "last second of 32-bit time"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(FormatBeijingTime(row.utc), row.expected);
    }
}

// The calendar arithmetic against the C library's UTC breakdown, a day and
// some seconds apart over three centuries.
TEST(BeijingTime, AgreesWithTheCLibraryOverCenturies)
{
    for (std::int64_t t = -2208988800LL; t < 7258118400LL; t += 86400 * 7 + 3599) {
        const std::time_t shifted = static_cast<std::time_t>(t + 8 * 3600);
        std::tm parts{};
        ASSERT_NE(gmtime_r(&shifted, &parts), nullptr);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d",
                      parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                      parts.tm_min, parts.tm_sec);
        ASSERT_EQ(FormatBeijingTime(static_cast<std::time_t>(t)), expected) << t;
    }
}

TEST(BeijingTime, NowTextHasTheFixedForm)
{
    const std::string text = NowText();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << text;
}

TEST(Clocks, MonotonicClockCountsTheSleep)
{
    const std::int64_t before = MonotonicMs();
    SleepMs(30);
    EXPECT_GE(MonotonicMs() - before, 30);
    EXPECT_GT(WallSeconds(), 1577824200);
}

}  // namespace
