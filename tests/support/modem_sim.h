#pragma once
// The modem simulator (tellmar-modemsim) as a test fixture: starts it on a
// configuration, tells where its ports are, and reads back what it logged.
//
//   ModemSim sim(R"({"ports":[{"com":3,"model":"M35","iccid":"8986..."}]})");
//   ASSERT_TRUE(sim.Start());
//   ScopedEnv ports("TELLMAR_SERIALCOMM", sim.Dir());
//   ... run the program ...
//   EXPECT_EQ(sim.Events("sms").size(), 1u);
//
// Log lines are written before the reply they belong to goes out, so once a
// program has seen a reply, the events of that command are in the log.

#include <json/json.h>

#include <cstddef>
#include <string>
#include <vector>

class ModemSim {
public:
    // `configJson`: the configuration document (tools/modemsim/README.md).
    explicit ModemSim(std::string configJson);
    // Runs on the files of an earlier simulator: `reuseRoot` is its Root().
    // The folder is left in place when this object goes.
    ModemSim(std::string configJson, std::string reuseRoot);
    ~ModemSim();
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    // Makes the folders, starts the simulator and waits (10 s at most) for
    // its READY line. False, with the reason in LastError(), otherwise.
    bool Start();
    // SIGTERM and wait (SIGKILL after 5 s). The folders and the state file
    // stay, so Start() (or Restart()) runs on the same state.
    void Stop();
    // Delivers the next held arrival of the configuration (SIGUSR1); false
    // when the simulator does not run.
    bool DeliverHeldArrival() const;
    // Stop(), then Start() on the same state, with a new configuration if
    // one is given. The log starts afresh.
    bool Restart(const std::string& configJson = "");

    // The folder with the COM<n> links: the value for TELLMAR_SERIALCOMM.
    const std::string& Dir() const { return m_dir; }
    // The folder that holds Dir(), the configuration, the log and the state.
    const std::string& Root() const { return m_root; }
    std::string StatePath() const;
    std::string LogPath() const;
    // The device link of one port, e.g. Dir() + "/COM3".
    std::string PortPath(int com) const;
    const std::string& LastError() const { return m_error; }

    // Every log line so far (a line still being written is left out).
    std::vector<Json::Value> Log() const;
    // The lines whose "event" is `event`.
    std::vector<Json::Value> Events(const std::string& event) const;
    // How many lines of `event` were logged on COM<com>.
    std::size_t EventsOn(const std::string& event, int com) const;
    // The command texts received on COM<com>, as the program wrote them.
    std::vector<std::string> Commands(int com) const;
    // Polls the log until it holds `count` lines of `event` or `timeoutMs`
    // passed; returns whether it got there. For events that follow a reply
    // (such as a CDMA send confirmation), not for timing checks.
    bool WaitForEvents(const std::string& event, std::size_t count, int timeoutMs) const;

private:
    std::string m_config;
    std::string m_root;
    std::string m_dir;
    std::string m_error;
    bool m_ownsRoot = true;
    int m_pid = -1;
    int m_stdin = -1;  // closing it stops the simulator if this process dies
};

// Sets an environment variable for the scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_oldValue;
};
