#include "event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

namespace modemsim {

EventLog::~EventLog()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool EventLog::Open(const std::string& path, std::string& error)
{
    // The log holds the numbers and texts of the messages: for its owner
    // alone, also when an earlier run left it readable.
    m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (m_fd < 0 || fchmod(m_fd, 0600) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void EventLog::Write(const Json::Value& event)
{
    if (m_fd < 0)
        return;
    if (!m_writer) {
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "";
        builder["emitUTF8"] = true;
        m_writer.reset(builder.newStreamWriter());
    }
    std::ostringstream text;
    m_writer->write(event, &text);
    std::string line = text.str() + "\n";
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = write(m_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace modemsim
