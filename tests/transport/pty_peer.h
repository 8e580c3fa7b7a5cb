#pragma once
// A pseudo-terminal standing in for a modem: the program under test opens the
// slave through a COM<n> link in a temporary TELLMAR_SERIALCOMM directory,
// the test talks on the master. A scripted peer thread answers commands with
// reply pieces and gaps; a flood mode never stops sending.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/modem_sim.h"

namespace ptytest {

// A directory below the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tellmar-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// One exchange of a script: wait until `expect` has been received (counted
// from the end of the previous step's match; empty: do not wait), then send
// each piece after its delay.
struct PIECE_t {
    int delayMs;
    std::string bytes;
};
struct STEP_t {
    std::string expect;
    std::vector<PIECE_t> pieces;
};

class PtyPeer {
public:
    // Opens the pseudo-terminal and links it as COM<comNumber>.
    explicit PtyPeer(int comNumber = 3)
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            return;
        }
        // The slave stays open here, as the simulator keeps it: the master then
        // never sees a hang-up when the program closes its side.
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_slaveName = name;
        m_link = m_dir.Path() + "/COM" + std::to_string(comNumber);
        m_linked = ::symlink(name, m_link.c_str()) == 0;
        m_env = std::make_unique<ScopedEnv>("TELLMAR_SERIALCOMM", m_dir.Path());
    }
    ~PtyPeer()
    {
        Stop();
        CloseMaster();
        if (m_slave >= 0) {
            ::close(m_slave);
        }
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ready() const { return m_master >= 0 && m_linked; }
    const std::string& Dir() const { return m_dir.Path(); }
    const std::string& SlaveName() const { return m_slaveName; }
    int SlaveFd() const { return m_slave; }

    // Writes to the program's side at once.
    void Send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size() && m_master >= 0) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd pfd{m_master, POLLOUT, 0};
                if (::poll(&pfd, 1, 1000) <= 0) {
                    return;
                }
            }
        }
    }

    // Collects what the program wrote, for `ms` milliseconds (outside a script).
    std::string ReceiveFor(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        std::string got;
        while (std::chrono::steady_clock::now() < end) {
            PumpInto(got, 10);
        }
        return got;
    }

    // Runs the steps on a thread; everything received is kept for Received().
    void RunScript(std::vector<STEP_t> steps)
    {
        m_thread = std::thread([this, steps = std::move(steps)] { ScriptLoop(steps); });
    }

    // Sends `pattern` again and again until Stop().
    void Flood(std::string pattern)
    {
        m_thread = std::thread([this, pattern = std::move(pattern)] {
            while (!m_stop) {
                pollfd pfd{m_master, POLLOUT, 0};
                if (::poll(&pfd, 1, 20) > 0) {
                    ssize_t ignored = ::write(m_master, pattern.data(), pattern.size());
                    (void)ignored;
                }
                Drain();
            }
        });
    }

    // Closes the master after `delayMs` on a thread: the device vanishes.
    void VanishAfter(int delayMs)
    {
        m_thread = std::thread([this, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            CloseMaster();
        });
    }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // Everything the program wrote while a script ran (call after Stop, or
    // while it runs for a snapshot).
    std::string Received()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

    // Waits (up to `timeoutMs`) until the script has run all its steps.
    bool WaitScriptDone(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return m_scriptDone; });
    }

    void CloseMaster()
    {
        std::lock_guard<std::mutex> lock(m_masterMutex);
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    void PumpInto(std::string& out, int waitMs)
    {
        pollfd pfd{m_master, POLLIN, 0};
        if (m_master < 0 || ::poll(&pfd, 1, waitMs) <= 0) {
            if (m_master < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            }
            return;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }

    void Drain()
    {
        std::string got;
        PumpInto(got, 0);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received += got;
    }

    void ScriptLoop(const std::vector<STEP_t>& steps)
    {
        std::size_t searchFrom = 0;
        for (const STEP_t& step : steps) {
            if (!step.expect.empty()) {
                for (;;) {
                    if (m_stop) {
                        return;
                    }
                    std::string got;
                    PumpInto(got, 10);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_received += got;
                    const std::size_t at = m_received.find(step.expect, searchFrom);
                    if (at != std::string::npos) {
                        searchFrom = at + step.expect.size();
                        break;
                    }
                }
            }
            for (const PIECE_t& piece : step.pieces) {
                const auto end =
                    std::chrono::steady_clock::now() + std::chrono::milliseconds(piece.delayMs);
                while (!m_stop && std::chrono::steady_clock::now() < end) {
                    std::string got;
                    PumpInto(got, 5);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_received += got;
                }
                Send(piece.bytes);
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_scriptDone = true;
        }
        m_done.notify_all();
        while (!m_stop) {
            Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Drain();
    }

    TempDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    std::string m_slaveName;
    std::string m_link;
    bool m_linked = false;
    std::unique_ptr<ScopedEnv> m_env;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::mutex m_masterMutex;
    std::condition_variable m_done;
    bool m_scriptDone = false;
    std::string m_received;
};

}  // namespace ptytest
