#include "sim_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace modemsim {
namespace {

// The modules trust what they read back, so every level of the document is
// checked here: a hand-edited file must not stop a port half-way.
bool EveryMember(const Json::Value& object, bool (*valid)(const Json::Value&))
{
    if (!object.isObject())
        return false;
    for (const Json::Value& member : object) {
        if (!valid(member))
            return false;
    }
    return true;
}

bool IsEntry(const Json::Value& entry)
{
    return entry.isObject() && (entry["number"].isNull() || entry["number"].isString()) &&
           (entry["type"].isNull() || entry["type"].isInt()) &&
           (entry["name"].isNull() || entry["name"].isString());
}

bool IsBook(const Json::Value& book)
{
    return EveryMember(book, IsEntry);
}

bool IsPort(const Json::Value& port)
{
    return port.isObject() &&
           (port["phonebook"].isNull() || EveryMember(port["phonebook"], IsBook));
}

}  // namespace

bool SimState::Load(const std::string& path, std::string& error)
{
    m_path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return true;
    std::stringstream text;
    text << in.rdbuf();
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string content = text.str();
    std::string parseErrors;
    Json::Value root;
    if (!reader->parse(content.data(), content.data() + content.size(), &root, &parseErrors) ||
        !root.isObject() || !(root["ports"].isNull() || EveryMember(root["ports"], IsPort))) {
        error = path + " is not a state file: " + parseErrors;
        return false;
    }
    m_root = root;
    return true;
}

Json::Value& SimState::Port(int com)
{
    Json::Value& port = m_root["ports"][std::to_string(com)];
    if (port.isNull())
        port = Json::Value(Json::objectValue);
    return port;
}

bool SimState::HasPort(int com) const
{
    return m_root.isMember("ports") && m_root["ports"].isMember(std::to_string(com));
}

void SimState::Save() const
{
    if (m_path.empty())
        return;
    std::string temp = m_path + ".tmp";
    Json::StreamWriterBuilder builder;
    builder["indentation"] = " ";
    const std::string text = Json::writeString(builder, m_root) + "\n";
    // The phone books are the owner's alone, as the log is.
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    bool written = fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (close(fd) == 0 && written)
        std::rename(temp.c_str(), m_path.c_str());
}

}  // namespace modemsim
