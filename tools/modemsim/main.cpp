// tellmar-modemsim: simulated SMS modems on pseudo-terminals (README.md).

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "event_log.h"
#include "pty_server.h"
#include "sim_config.h"
#include "sim_state.h"

namespace {

int gStopPipe[2] = {-1, -1};
// One byte per SIGUSR1: the next held arrival comes.
int gArrivePipe[2] = {-1, -1};

void OnStopSignal(int)
{
    char byte = 1;
    ssize_t ignored = write(gStopPipe[1], &byte, 1);
    (void)ignored;
}

void OnArriveSignal(int)
{
    char byte = 1;
    ssize_t ignored = write(gArrivePipe[1], &byte, 1);
    (void)ignored;
}

const char kUsage[] =
    "usage: tellmar-modemsim --config CFG.json --dir DIR [--log LOG.jsonl]\n"
    "                        [--state STATE.json] [--until-stdin-eof]\n";

const char kHelp[] =
    "Simulated SMS modems on pseudo-terminals, linked as DIR/COM<n>, for\n"
    "TELLMAR_SERIALCOMM=DIR tellmar ...\n"
    "\n"
    "  --config CFG.json   the ports and their modems (tellmar-modemsim(1))\n"
    "  --dir DIR           the folder of the COM<n> links; a folder of this\n"
    "                      user's that nobody else may change\n"
    "  --log LOG.jsonl     what the modems received (default DIR/modemsim-log.jsonl)\n"
    "  --state STATE.json  what the modems keep between runs\n"
    "                      (default DIR/modemsim-state.json)\n"
    "  --until-stdin-eof   also stop when standard input ends\n"
    "  --help              this text\n"
    "\n"
    "It prints READY once every link is in place and runs until SIGTERM,\n"
    "SIGINT or SIGHUP. SIGUSR1 delivers the next held arrival.\n";

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tellmar-modemsim: %s\n", message.c_str());
    return 2;
}

// Why the folder is no place for the links, the log and the state file;
// empty when it is one. The links say which device each COM name opens and
// the files are rewritten here, so nobody else may change the folder: it
// must be this user's and writable by nobody else, and every folder above it
// this user's or root's and writable by nobody else unless sticky (as /tmp).
// The program refuses a TELLMAR_SERIALCOMM folder by the same rule.
std::string UnsafeFolder(const std::string& dir)
{
    struct stat dirStat;
    if (lstat(dir.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)) {
        return dir + ": not a folder";
    }
    if (dirStat.st_uid != geteuid() || (dirStat.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return dir + ": not a folder of this user's that only this user may write";
    }
    char* real = realpath(dir.c_str(), nullptr);
    if (real == nullptr) {
        return dir + ": " + std::strerror(errno);
    }
    std::string path = real;
    std::free(real);
    while (path != "/") {
        const std::size_t slash = path.rfind('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            return path + ": " + std::strerror(errno);
        }
        if (st.st_uid != geteuid() && st.st_uid != 0) {
            return dir + ": the folder " + path + " above it belongs to another user";
        }
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
            return dir + ": the folder " + path + " above it can be written by other users";
        }
    }
    return std::string();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string configPath, dir, logPath, statePath;
    bool untilStdinEof = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string* target = arg == "--config"  ? &configPath
                              : arg == "--dir"   ? &dir
                              : arg == "--log"   ? &logPath
                              : arg == "--state" ? &statePath
                                                 : nullptr;
        if (target && i + 1 < argc) {
            *target = argv[++i];
        } else if (arg == "--until-stdin-eof") {
            untilStdinEof = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (configPath.empty() || dir.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (logPath.empty())
        logPath = dir + "/modemsim-log.jsonl";
    if (statePath.empty())
        statePath = dir + "/modemsim-state.json";

    std::ifstream configFile(configPath, std::ios::binary);
    if (!configFile)
        return Fail(configPath + ": " + std::strerror(errno));
    std::stringstream configText;
    configText << configFile.rdbuf();
    modemsim::SimConfig config;
    std::string error;
    if (!modemsim::ParseConfig(configText.str(), config, error))
        return Fail(error);

    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        return Fail(dir + ": " + std::strerror(errno));
    }
    // The links, the log and the state file are made and rewritten in this
    // folder: one that another user could change could turn them into links
    // to any file, and the program would not use it.
    const std::string unsafe = UnsafeFolder(dir);
    if (!unsafe.empty()) {
        return Fail(unsafe);
    }
    // Two descriptors per port; hundreds of ports need more than the
    // usual soft limit.
    rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    modemsim::EventLog log;
    if (!log.Open(logPath, error))
        return Fail(error);
    modemsim::SimState state;
    if (!state.Load(statePath, error))
        return Fail(error);

    if (pipe(gStopPipe) != 0 || pipe(gArrivePipe) != 0)
        return Fail(std::string("pipe: ") + std::strerror(errno));
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    action.sa_handler = OnArriveSignal;
    sigaction(SIGUSR1, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    {
        modemsim::PtyServer server;
        if (!server.Setup(config, dir, log, state, error))
            return Fail(error);
        std::fputs("READY\n", stdout);
        std::fflush(stdout);
        server.Run(gStopPipe[0], untilStdinEof, gArrivePipe[0]);
    }
    state.Save();
    return 0;
}
