#include "support/modem_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ModemSim::ModemSim(std::string configJson) : m_config(std::move(configJson)) {}

ModemSim::ModemSim(std::string configJson, std::string reuseRoot)
    : m_config(std::move(configJson)), m_root(std::move(reuseRoot)), m_ownsRoot(false)
{
    m_dir = m_root + "/ports";
}

ModemSim::~ModemSim()
{
    Stop();
    if (m_ownsRoot && !m_root.empty() && !std::getenv("TELLMAR_KEEP_SIM")) {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
}

std::string ModemSim::StatePath() const
{
    return m_root + "/modemsim-state.json";
}
std::string ModemSim::LogPath() const
{
    return m_root + "/modemsim-log.jsonl";
}
std::string ModemSim::PortPath(int com) const
{
    return m_dir + "/COM" + std::to_string(com);
}

bool ModemSim::Start()
{
    if (m_pid > 0)
        return true;
    m_error.clear();
    if (m_root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tellmar-sim-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            m_error = "mkdtemp: " + std::string(std::strerror(errno));
            return false;
        }
        m_root = pattern;
        m_dir = m_root + "/ports";
    }
    std::error_code ec;
    std::filesystem::create_directories(m_dir, ec);
    std::string configPath = m_root + "/config.json";
    std::string errPath = m_root + "/modemsim-stderr.txt";
    {
        std::ofstream config(configPath, std::ios::binary | std::ios::trunc);
        config << m_config;
        if (!config) {
            m_error = "cannot write " + configPath;
            return false;
        }
    }
    std::vector<std::string> argv = {
        TELLMAR_MODEMSIM, "--config", configPath, "--dir",     m_dir,
        "--log",          LogPath(),  "--state",  StatePath(), "--until-stdin-eof"};
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        m_error = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        m_error = "pipe: " + std::string(std::strerror(errno));
        close(in[0]);
        close(in[1]);
        return false;
    }
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (errFd >= 0)
            dup2(errFd, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (errFd >= 0)
        close(errFd);
    if (pid < 0) {
        m_error = "fork: " + std::string(std::strerror(errno));
        close(in[1]);
        close(out[0]);
        return false;
    }
    m_pid = pid;
    m_stdin = in[1];

    std::string said;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (said.find("READY\n") == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{out[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            m_error = "no READY from the simulator within 10 s";
            break;
        }
        char buffer[256];
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            m_error = "simulator ended before READY: " + ReadFile(errPath);
            break;
        }
        said.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (!m_error.empty()) {
        Stop();
        return false;
    }
    return true;
}

void ModemSim::Stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }
    if (m_stdin >= 0)
        close(m_stdin);
    m_stdin = -1;
}

bool ModemSim::DeliverHeldArrival() const
{
    return m_pid > 0 && kill(m_pid, SIGUSR1) == 0;
}

bool ModemSim::Restart(const std::string& configJson)
{
    Stop();
    if (!configJson.empty())
        m_config = configJson;
    return Start();
}

std::vector<Json::Value> ModemSim::Log() const
{
    std::vector<Json::Value> events;
    std::string text = ReadFile(LogPath());
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        Json::Value event;
        std::string errors;
        if (reader->parse(text.data() + start, text.data() + end, &event, &errors)) {
            events.push_back(event);
        }
    }
    return events;
}

std::vector<Json::Value> ModemSim::Events(const std::string& event) const
{
    std::vector<Json::Value> found;
    for (const Json::Value& e : Log()) {
        if (e["event"].asString() == event)
            found.push_back(e);
    }
    return found;
}

std::size_t ModemSim::EventsOn(const std::string& event, int com) const
{
    std::size_t count = 0;
    for (const Json::Value& e : Events(event)) {
        count += e["com"].asInt() == com ? 1 : 0;
    }
    return count;
}

std::vector<std::string> ModemSim::Commands(int com) const
{
    std::vector<std::string> commands;
    for (const Json::Value& e : Events("command")) {
        if (e["com"].asInt() == com)
            commands.push_back(e["text"].asString());
    }
    return commands;
}

bool ModemSim::WaitForEvents(const std::string& event, std::size_t count, int timeoutMs) const
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Events(event).size() >= count)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name)
{
    const char* old = std::getenv(name);
    m_hadValue = old != nullptr;
    if (old)
        m_oldValue = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_hadValue) {
        setenv(m_name.c_str(), m_oldValue.c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}
