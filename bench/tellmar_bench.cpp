// One run of the program's commands against the simulator, each in the
// default pacing (a reply ends on its final line) and in the quiet-line
// mode (TELLMAR_PACING=quiet, every read waits for a quiet line), side by
// side with their ratio:
//
//   build/bench/tellmar_bench [BUILD_DIR]
//
// Every command is timed from its start to its end (the document printed),
// scan included, as a user or a script sees it; the scans also show the peak
// memory of the program. The simulated modems answer every command at once
// and a message body after 200 ms, as a network would. Where a command has a
// target, the last column says whether this run met it.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct RUN_t {
    double seconds = 0;
    long peakKib = 0;  // the program's peak resident memory
    int status = -1;
    std::string out;
};

std::string g_build;
std::string g_work;

// In a child: `fd` becomes the file at `path`.
void Redirect(int fd, const char* path, int flags)
{
    const int file = ::open(path, flags, 0600);
    if (file >= 0) {
        ::dup2(file, fd);
        ::close(file);
    }
}

// Runs a program to its end with its output in a file; wall time and peak
// memory from wait4.
RUN_t RunProgram(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env)
{
    RUN_t run;
    const std::string outPath = g_work + "/out.txt";
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        Redirect(STDIN_FILENO, "/dev/null", O_RDONLY);
        Redirect(STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
        Redirect(STDERR_FILENO, "/dev/null", O_WRONLY);
        for (const auto& [name, value] : env) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKib = usage.ru_maxrss;
    run.status = status;
    std::ifstream in(outPath);
    std::stringstream text;
    text << in.rdbuf();
    run.out = text.str();
    return run;
}

// The simulator on a configuration, for as long as this object lives.
class CSimulator {
public:
    explicit CSimulator(const std::string& config)
    {
        m_dir = g_work + "/ports";
        std::filesystem::remove_all(m_dir);
        const std::string configPath = g_work + "/config.json";
        std::ofstream(configPath) << config;
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            Redirect(STDERR_FILENO, "/dev/null", O_WRONLY);
            const std::string simulator = g_build + "/tools/modemsim/tellmar-modemsim";
            ::execl(simulator.c_str(), simulator.c_str(), "--config", configPath.c_str(), "--dir",
                    m_dir.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char buffer[64];
        std::string said;
        ssize_t n = 0;
        while (said.find("READY") == std::string::npos &&
               (n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        m_ready = said.find("READY") != std::string::npos;
    }
    ~CSimulator()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CSimulator(const CSimulator&) = delete;
    CSimulator& operator=(const CSimulator&) = delete;

    bool Ready() const { return m_ready; }

    RUN_t Tellmar(const std::vector<std::string>& args, bool quietLine) const
    {
        std::vector<std::string> argv = {g_build + "/src/main/tellmar"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {{"TELLMAR_SERIALCOMM", m_dir},
                                 {"TELLMAR_PACING", quietLine ? "quiet" : ""},
                                 {"LC_ALL", "C.UTF-8"}});
    }

private:
    std::string m_dir;
    pid_t m_pid = -1;
    bool m_ready = false;
};

// An M35 on COM<com> with a SIM card; `extra` adds keys.
std::string Modem(int com, const std::string& extra = "")
{
    char iccid[32];
    std::snprintf(iccid, sizeof iccid, "89860012345678%06d", com);
    return "{\"com\":" + std::to_string(com) +
           ",\"model\":\"M35\",\"bauds\":[115200],\"iccid\":\"" + iccid +
           "\",\"faults\":{\"body_delay_ms\":200}" + extra + "}";
}

std::string Config(int modems, const std::string& extra = "")
{
    std::string config = "{\"ports\":[";
    for (int com = 1; com <= modems; ++com) {
        config += (com > 1 ? "," : "") + Modem(com, extra);
    }
    return config + "]}";
}

// 30 stored messages: 24 single ones and two texts of three parts each.
std::string ThirtyMessages()
{
    std::string storage = ",\"storage\":{\"SM\":[";
    int index = 1;
    for (; index <= 24; ++index) {
        storage += (index > 1 ? "," : "") + std::string("{\"index\":") + std::to_string(index) +
                   ",\"from\":\"1391234" + std::to_string(1000 + index) +
                   "\",\"time\":\"24-05-01 09:30:00\",\"text\":\"Stored message number " +
                   std::to_string(index) + "\"}";
    }
    for (int ref : {21, 22}) {
        for (int part = 1; part <= 3; ++part, ++index) {
            storage += ",{\"index\":" + std::to_string(index) +
                       ",\"from\":\"10086\",\"time\":\"24-05-02 08:00:00\",\"dcs\":8,"
                       "\"concat\":{\"ref\":" +
                       std::to_string(ref) + ",\"total\":3,\"part\":" + std::to_string(part) +
                       "},\"text\":\"\\u5c0a\\u656c\\u7684\\u5ba2\\u6237\"}";
        }
    }
    return storage + "]}";
}

std::string Numbers(int count)
{
    std::string numbers;
    for (int i = 0; i < count; ++i) {
        numbers += (i > 0 ? "," : "") + std::to_string(13800138000LL + i);
    }
    return numbers;
}

std::string Ports(int count)
{
    std::string ports;
    for (int com = 1; com <= count; ++com) {
        ports += (com > 1 ? "," : "") + std::to_string(com);
    }
    return ports;
}

// 200 Chinese characters (UTF-8 on the command line): three parts.
std::string ChineseText()
{
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += "\xe4\xbd\xa0\xe5\xa5\xbd\xe4\xb8\x96\xe7\x95\x8c";  // 你好世界
    }
    return text;
}

std::string MachineText()
{
    std::string cpu = "unknown CPU";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname name{};
    ::uname(&name);
    return cpu + ", " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " +
           name.sysname + " " + name.release;
}

struct ROW_t {
    std::string what;
    double fast;
    double quiet;
    std::string unit;
    std::string target;  // empty: none
    bool met;
};

std::vector<ROW_t> g_rows;

void Print(const ROW_t& row)
{
    const double ratio = row.fast > 0 ? row.quiet / row.fast : 0;
    std::printf("| %-44s | %9.2f %-3s | %9.2f %-3s | %6.1f | %-22s |\n", row.what.c_str(), row.fast,
                row.unit.c_str(), row.quiet, row.unit.c_str(), ratio,
                row.target.empty() ? "" : (row.target + (row.met ? ": met" : ": MISSED")).c_str());
    std::fflush(stdout);
}

void Add(ROW_t row)
{
    Print(row);
    g_rows.push_back(row);
}

bool Succeeded(const RUN_t& run, const char* what)
{
    if (!WIFEXITED(run.status) || WEXITSTATUS(run.status) != 0) {
        std::fprintf(stderr, "%s: the program failed (status %d)\n", what, run.status);
        return false;
    }
    return true;
}

// Both modes of one command on one simulator.
void Compare(const CSimulator& sim, const std::string& what, const std::vector<std::string>& args,
             const std::string& expect, double targetSeconds, RUN_t* fastRun = nullptr,
             RUN_t* quietRun = nullptr)
{
    const RUN_t fast = sim.Tellmar(args, false);
    const RUN_t quiet = sim.Tellmar(args, true);
    Succeeded(fast, what.c_str());
    Succeeded(quiet, what.c_str());
    for (const RUN_t* run : {&fast, &quiet}) {
        if (!expect.empty() && run->out.find(expect) == std::string::npos) {
            std::fprintf(stderr, "%s: the output lacks %s:\n%s\n", what.c_str(), expect.c_str(),
                         run->out.c_str());
        }
    }
    char target[40] = "";
    if (targetSeconds > 0) {
        std::snprintf(target, sizeof target, "<= %.1f s", targetSeconds);
    }
    Add({what + " (wall)", fast.seconds, quiet.seconds, "s", target,
         targetSeconds <= 0 || fast.seconds <= targetSeconds});
    if (fastRun != nullptr) {
        *fastRun = fast;
    }
    if (quietRun != nullptr) {
        *quietRun = quiet;
    }
}

void Scan(int modems, RUN_t& fast, RUN_t& quiet)
{
    CSimulator sim(Config(modems));
    if (!sim.Ready()) {
        std::fprintf(stderr, "the simulator did not start for %d modems\n", modems);
        return;
    }
    const std::string what =
        "scan of " + std::to_string(modems) + " modem" + (modems > 1 ? "s" : "");
    Compare(sim, what, {}, "COM" + std::to_string(modems) + " ", modems == 1 ? 0.3 : 0, &fast,
            &quiet);
    Add({what + " (peak memory)", fast.peakKib / 1024.0, quiet.peakKib / 1024.0, "MiB", "", true});
}

}  // namespace

int main(int argc, char** argv)
{
    g_build = argc > 1 ? argv[1] : "build";
    char pattern[] = "/tmp/tellmar-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    g_work = pattern;
    for (const char* program : {"/src/main/tellmar", "/tools/modemsim/tellmar-modemsim"}) {
        if (::access((g_build + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "missing %s%s (build the tellmar and tellmar-modemsim targets)\n",
                         g_build.c_str(), program);
            return 1;
        }
    }

    std::printf("One run on %s\n\n", MachineText().c_str());
    std::printf("| %-44s | %13s | %13s | %6s | %-22s |\n", "command (simulated modems)", "default",
                "quiet-line", "ratio", "target (default)");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(15, '-').c_str(),
                std::string(15, '-').c_str(), std::string(8, '-').c_str(),
                std::string(24, '-').c_str());

    RUN_t scanOne, scanOneQuiet, scan32, scan32Quiet, scan256, scan256Quiet;
    Scan(1, scanOne, scanOneQuiet);
    Scan(32, scan32, scan32Quiet);
    Scan(256, scan256, scan256Quiet);
    {
        CSimulator sim(Config(1));
        Compare(sim, "send one short text", {"1", "13800138000", "hello"},
                "\"message\" : \"Succeed\"", 1.0);
        Compare(sim, "send a 3-part Chinese text", {"1", "13800138000", ChineseText()},
                "\"message\" : \"Succeed\"", 1.5);
    }
    RUN_t twentyOne, twentyOneQuiet;
    {
        CSimulator sim(Config(1));
        Compare(sim, "20 numbers through 1 modem", {"1", Numbers(20), "hello"}, "", 0, &twentyOne,
                &twentyOneQuiet);
    }
    RUN_t twentyEight, twentyEightQuiet;
    {
        CSimulator sim(Config(8));
        Compare(sim, "20 numbers through each of 8 modems", {Ports(8), Numbers(20), "hello"}, "", 0,
                &twentyEight, &twentyEightQuiet);
    }
    {
        CSimulator sim(Config(1, ThirtyMessages()));
        Compare(sim, "sms read, 30 messages", {"sms", "read"}, "\"msgcount\" : 26", 1.5);
    }

    std::printf("\nRatios between commands:\n");
    const auto ratio = [](const char* what, double a, double b, double target) {
        std::printf("  %-46s %5.2f   %5.2f   target <= %.1f (default): %s\n", what, a, b, target,
                    a <= target ? "met" : "MISSED");
    };
    std::printf("  %-46s %5s   %5s\n", "", "dflt", "quiet");
    ratio("scan of 256 modems / scan of 1", scan256.seconds / scanOne.seconds,
          scan256Quiet.seconds / scanOneQuiet.seconds, 1.2);
    ratio("20 numbers x 8 modems / 20 numbers x 1 modem", twentyEight.seconds / twentyOne.seconds,
          twentyEightQuiet.seconds / twentyOneQuiet.seconds, 1.3);
    std::filesystem::remove_all(g_work);
    return 0;
}
