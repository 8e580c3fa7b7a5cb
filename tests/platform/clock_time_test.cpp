// Beijing time texts and the clocks.

#include <gtest/gtest.h>

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
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(FormatBeijingTime(row.utc), row.expected);
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
