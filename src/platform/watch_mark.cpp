// What both backends of the watch mark share: its text and the reason a send
// gives for a port a watch holds.

#include <string>

#include "platform/watch_mark.h"
#include "platform/watch_mark_text.h"

namespace {

const char kHead[] = "tellmar watch\npid=";
const char kStore[] = "\nstore=";

}  // namespace

std::string WatchName(const WATCH_HOLDER_t& holder)
{
    std::string name = "tellmar sms watch";
    if (holder.nPid > 0) {
        name += " (pid " + std::to_string(holder.nPid) + ")";
    }
    return name;
}

std::string WatchHolderText(const WATCH_HOLDER_t& holder)
{
    return "held by " + WatchName(holder);
}

std::string WatchMarkText(std::int64_t pid, const std::string& store)
{
    return kHead + std::to_string(pid) + kStore + store;
}

bool ParseWatchMarkText(const std::string& text, WATCH_HOLDER_t& holder)
{
    if (text.compare(0, sizeof kHead - 1, kHead) != 0) {
        return false;
    }
    const std::size_t digits = sizeof kHead - 1;
    const std::size_t end = text.find(kStore, digits);
    if (end == std::string::npos || end == digits || end - digits > 18) {
        return false;
    }
    std::int64_t pid = 0;
    for (std::size_t i = digits; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        pid = pid * 10 + (text[i] - '0');
    }
    if (pid <= 0) {
        return false;
    }
    holder.nPid = pid;
    holder.strStore = text.substr(end + sizeof kStore - 1);
    return true;
}
