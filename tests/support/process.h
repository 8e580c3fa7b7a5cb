#pragma once
// Runs a program to its end for a test: the given text on its standard
// input (then closed), standard output and error captured.

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    int exitCode;  // the exit status; 128 + n when killed by signal n; -1 when it did not start
    std::string out;
    std::string err;
    bool timedOut = false;  // killed because `timeoutSec` passed
    long maxRssKb = 0;      // the most memory the program had resident at once
};

// `argv[0]` is the program path. `env` entries are set (or replaced) in a
// copy of this process's environment. The program is killed (SIGKILL) once
// `timeoutSec` seconds have passed.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& stdinText, int timeoutSec);
