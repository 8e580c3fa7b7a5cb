#include "platform/local_time_format.h"

#include <cstdio>
#include <cstdlib>

std::string FormatLocalTime(const std::tm& local, const std::tm& utc)
{
    // The two breakdowns differ by less than a day; a change of year counts
    // as one day either way.
    int dayShift = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) {
        dayShift = local.tm_year > utc.tm_year ? 1 : -1;
    }
    const int offsetMinutes =
        dayShift * 24 * 60 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    const int magnitude = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}
