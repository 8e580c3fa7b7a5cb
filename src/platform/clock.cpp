#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <thread>

std::string FormatBeijingTime(std::time_t t)
{
    // Beijing time has no daylight saving: UTC plus 8 hours, the date moving on
    // past midnight. The calendar date is computed here (days since the epoch
    // to proleptic Gregorian year, month, day) rather than by the C library,
    // whose thread-safe UTC breakdown differs between systems.
    const std::int64_t shifted = static_cast<std::int64_t>(t) + 8 * 3600;
    std::int64_t days = shifted / 86400;
    std::int64_t seconds = shifted % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    days += 719468;  // from 1970-01-01 to 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
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
