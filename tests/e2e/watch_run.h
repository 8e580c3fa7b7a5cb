#pragma once
// Runs `tellmar sms watch` against a simulator in the background: its
// stream into a file (or a pipe the test holds), its standard error into
// another file, and the lines read back as JSON. Every wait is bounded, so
// a test fails instead of hanging.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "support/modem_sim.h"

class WatchRun {
public:
    static constexpr int kBoundMs = 60000;

    // `pipe`: the stream goes into a pipe whose read end the test holds
    // (ClosePipe) instead of a file; `outPath`: into that file (a device
    // such as /dev/full) instead of one of the test's own.
    explicit WatchRun(bool pipe = false, std::string outPath = "")
        : m_pipe(pipe), m_outPath(std::move(outPath))
    {
        char dir[] = "/tmp/tellmar-watch-XXXXXX";
        m_dir = ::mkdtemp(dir) != nullptr ? dir : "/tmp";
    }
    ~WatchRun()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        if (m_readEnd >= 0) {
            ::close(m_readEnd);
        }
        if (m_outPath.empty()) {
            ::unlink(OutPath().c_str());
        }
        ::unlink(ErrPath().c_str());
        ::rmdir(m_dir.c_str());
    }
    WatchRun(const WatchRun&) = delete;
    WatchRun& operator=(const WatchRun&) = delete;

    std::string OutPath() const { return m_outPath.empty() ? m_dir + "/out.jsonl" : m_outPath; }
    std::string ErrPath() const { return m_dir + "/err.txt"; }

    // Starts the watch on the simulator's ports; `env` is set on top of
    // this process's environment (LC_ALL=C.UTF-8 unless given).
    bool Start(const ModemSim& sim, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env = {})
    {
        int fds[2] = {-1, -1};
        if (m_pipe && ::pipe(fds) != 0) {
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
            const int out =
                m_pipe ? fds[1] : ::open(OutPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(ErrPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(null, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            if (m_pipe) {
                ::close(fds[0]);
            }
            ::setenv("TELLMAR_SERIALCOMM", sim.Dir().c_str(), 1);
            ::setenv("LC_ALL", "C.UTF-8", 1);
            for (const auto& [name, value] : env) {
                ::setenv(name.c_str(), value.c_str(), 1);
            }
            std::vector<std::string> all = {"sms", "watch"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv = {const_cast<char*>(TELLMAR_BINARY)};
            for (std::string& arg : all) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (m_pipe) {
            ::close(fds[1]);
            m_readEnd = fds[0];
        }
        return m_pid > 0;
    }

    // The lines of the stream so far (a line not ended yet is left out);
    // a line that is no JSON object fails the test.
    std::vector<Json::Value> Lines()
    {
        if (m_pipe) {
            ReadPipe();
        } else {
            std::ifstream in(OutPath(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            m_text = text.str();
        }
        std::vector<Json::Value> lines;
        std::size_t start = 0;
        for (std::size_t end = m_text.find('\n'); end != std::string::npos;
             end = m_text.find('\n', start)) {
            const std::string line = m_text.substr(start, end - start);
            start = end + 1;
            Json::CharReaderBuilder builder;
            builder["failIfExtra"] = true;
            std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
            Json::Value value;
            std::string errors;
            EXPECT_TRUE(reader->parse(line.data(), line.data() + line.size(), &value, &errors) &&
                        value.isObject())
                << "a stream line is one JSON object: " << line << " " << errors;
            lines.push_back(value);
        }
        return lines;
    }

    // The lines of one type.
    std::vector<Json::Value> Lines(const std::string& type)
    {
        std::vector<Json::Value> found;
        for (const Json::Value& line : Lines()) {
            if (line["type"].asString() == type) {
                found.push_back(line);
            }
        }
        return found;
    }

    // Waits until `enough` holds for the lines; false after kBoundMs.
    bool WaitFor(const std::function<bool(const std::vector<Json::Value>&)>& enough,
                 int boundMs = kBoundMs)
    {
        for (const std::int64_t end = MonotonicMs() + boundMs; MonotonicMs() < end; SleepMs(50)) {
            if (enough(Lines())) {
                return true;
            }
        }
        return false;
    }

    // Waits until `count` lines of `type` have been written.
    bool WaitForLines(const std::string& type, std::size_t count, int boundMs = kBoundMs)
    {
        return WaitFor(
            [&](const std::vector<Json::Value>& lines) {
                std::size_t seen = 0;
                for (const Json::Value& line : lines) {
                    seen += line["type"].asString() == type ? 1 : 0;
                }
                return seen >= count;
            },
            boundMs);
    }

    // Sends `signal` and waits (kBoundMs at most) for the end: the wait
    // status, or -1 when it had to be killed; `ms` how long the end took.
    int Stop(int signal, std::int64_t* ms = nullptr)
    {
        const std::int64_t start = MonotonicMs();
        ::kill(m_pid, signal);
        return Wait(start, ms);
    }

    // Waits for the end without a signal.
    int Wait(std::int64_t start = MonotonicMs(), std::int64_t* ms = nullptr)
    {
        int status = 0;
        for (const std::int64_t end = MonotonicMs() + kBoundMs; MonotonicMs() < end; SleepMs(20)) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                if (ms != nullptr) {
                    *ms = MonotonicMs() - start;
                }
                return status;
            }
        }
        return -1;
    }

    // Closes the test's end of the pipe: the watch's standard output is then
    // a pipe without reader.
    void ClosePipe()
    {
        ReadPipe();
        ::close(m_readEnd);
        m_readEnd = -1;
    }

    std::string ErrorText() const
    {
        std::ifstream in(ErrPath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    void ReadPipe()
    {
        if (m_readEnd < 0) {
            return;
        }
        ::fcntl(m_readEnd, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_readEnd, buffer, sizeof buffer)) > 0;) {
            m_text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    bool m_pipe;
    std::string m_outPath;
    std::string m_dir;
    pid_t m_pid = -1;
    int m_readEnd = -1;
    std::string m_text;
};

// The messages of the stream by their text, each with how often it came.
inline std::map<std::string, int> TextsWritten(const std::vector<Json::Value>& lines)
{
    std::map<std::string, int> texts;
    for (const Json::Value& line : lines) {
        if (line["type"].asString() == "message") {
            ++texts[line["text"].asString()];
        }
    }
    return texts;
}
