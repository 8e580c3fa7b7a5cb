#pragma once
// Time sources of the program.

#include <cstdint>
#include <ctime>
#include <string>

// The current time at UTC+8 (Beijing time) as "YYYY-MM-DD hh:mm:ss".
std::string NowText();

// NowText for a given calendar time (seconds since the epoch); used by NowText
// and by tests.
std::string FormatBeijingTime(std::time_t t);

// Milliseconds of a monotonic clock, for measuring durations (the scan's cost).
std::int64_t MonotonicMs();

// Whole seconds of the system (wall) clock.
std::int64_t WallSeconds();

// Sleeps the calling thread.
void SleepMs(int ms);
