#pragma once
// The JSON Lines log that tests read while the simulator runs: one object
// per line, each written with a single write(2) so a reader never sees half
// a line followed by another.

#include <json/json.h>

#include <memory>
#include <string>

namespace modemsim {

class EventLog {
public:
    EventLog() = default;
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Creates or truncates the file, readable and writable by its owner
    // only (mode 0600). False with errno's text in `error`.
    bool Open(const std::string& path, std::string& error);
    // Writes one event; no-op before Open.
    void Write(const Json::Value& event);

private:
    int m_fd = -1;
    // One writer for every line: a scan of hundreds of ports logs thousands.
    std::unique_ptr<Json::StreamWriter> m_writer;
};

}  // namespace modemsim
