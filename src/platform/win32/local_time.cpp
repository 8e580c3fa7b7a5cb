#include "platform/local_time.h"

#include "platform/local_time_format.h"

std::string LocalTimeText(std::time_t t)
{
    std::tm local{};
    std::tm utc{};
    if (localtime_s(&local, &t) != 0 || gmtime_s(&utc, &t) != 0) {
        return std::string();
    }
    return FormatLocalTime(local, utc);
}
