#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <thread>

std::string FormatBeijingTime(std::time_t t)
{
    // Beijing time has no daylight saving: UTC plus 8 hours, the date moving on
    // past midnight.
    const std::time_t shifted = t + 8 * 3600;
    std::tm parts{};
    gmtime_r(&shifted, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string NowText()
{
    return FormatBeijingTime(std::time(nullptr));
}

std::int64_t MonotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t WallSeconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

void SleepMs(int ms)
{
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}
