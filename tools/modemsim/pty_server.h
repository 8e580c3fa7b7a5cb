#pragma once
// The simulator's lines: one pseudo-terminal per configured port, linked as
// DIR/COM<n>, all served by one epoll loop that moves bytes between the
// programs on the ports and the simulated modules, keeping each module's
// reply timing.
//
// The server keeps each slave open itself, so the tty outlives the programs
// that use it, and with it the exclusive mode (TIOCEXCL) that a program
// killed before it could clear it leaves behind. A real device drops that
// mode on its last close; so does the server: whenever a program closes a
// slave it had open for writing (seen through inotify), the server looks
// whether any program still holds the slave and, if none does, clears it.

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "event_log.h"
#include "modem.h"
#include "sim_config.h"
#include "sim_state.h"

namespace modemsim {

class PtyServer {
public:
    PtyServer() = default;
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens every port and makes its link. False with a reason; what was
    // made is undone by the destructor.
    bool Setup(const SimConfig& config, const std::string& dir, EventLog& log, SimState& state,
               std::string& error);
    // Serves until `stopFd` is readable or, when `watchStdin`, standard
    // input ends. The configuration's timed arrivals come at their time
    // after the start of Run; each byte that `arriveFd` yields (-1: none)
    // delivers the next held one.
    void Run(int stopFd, bool watchStdin, int arriveFd = -1);

private:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point due;
        std::string bytes;
        bool hangUp = false;  // the line closes once these bytes are out
    };
    struct Line {
        int com = 0;
        PortConfig config;
        std::shared_ptr<ModuleMemory> memory;
        int master = -1;
        int slave = -1;  // held (read-only) so the master never sees a hang-up
        std::string slavePath;
        int watch = -1;  // inotify watch for the programs' closes of the slave
        std::string link;
        std::unique_ptr<Modem> modem;
        std::deque<Chunk> queue;
        Clock::time_point lastDue;
        bool blocked = false;         // the last write found the line full
        bool watchingOutput = false;  // the loop waits for room on it
        bool returning = false;       // unplugged, plugged in again at `returnAt`
        Clock::time_point returnAt;
    };

    // The rate the program set on the line (0 when unknown).
    int Baud(const Line& line) const;
    void Schedule(Line& line, Clock::time_point now);
    void Flush(Line& line, Clock::time_point now);
    // Makes the line's pseudo-terminal and its link. False with a reason.
    bool Open(Line& line, const std::string& dir, std::string& error);
    void Close(Line& line);
    // The module has vanished: the line closes and, with the fault's
    // "return_after_ms", is plugged in again later.
    void Unplug(Line& line, Clock::time_point now);
    // Plugs an unplugged line in again: a new pseudo-terminal at the same
    // link, a restarted module with the same memory. False when it cannot
    // be made (tried again later).
    bool Replug(Line& line, int epoll, std::size_t key);
    void OnSlaveClosed();
    // Clears the exclusive mode of a slave that no program holds any more.
    void ReleaseIfUnused(Line& line);

    // The arrivals of every port: timed ones by their time, held ones in
    // the configuration's order.
    struct PendingArrival {
        std::size_t line = 0;
        Arrival arrival;
    };
    void Deliver(const PendingArrival& pending, Clock::time_point now);

    std::vector<Line> m_lines;
    std::vector<PendingArrival> m_timed;
    std::deque<PendingArrival> m_held;
    int m_inotify = -1;
    std::string m_dir;
    EventLog* m_log = nullptr;
    SimState* m_state = nullptr;
};

}  // namespace modemsim
