#pragma once
// The machine's local time, for records that say when something happened
// here (rather than the network's or Beijing time).

#include <ctime>
#include <string>

// "YYYY-MM-DDThh:mm:ss+hh:mm": the local time of `t` with its offset from
// UTC (ISO 8601), as the system's time zone gives it.
std::string LocalTimeText(std::time_t t);
