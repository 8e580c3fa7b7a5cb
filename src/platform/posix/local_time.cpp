#include "platform/local_time.h"

#include "platform/local_time_format.h"

std::string LocalTimeText(std::time_t t)
{
    std::tm local{};
    std::tm utc{};
    if (::localtime_r(&t, &local) == nullptr || ::gmtime_r(&t, &utc) == nullptr) {
        return std::string();
    }
    return FormatLocalTime(local, utc);
}
