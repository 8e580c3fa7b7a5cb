#pragma once
// Runs the real tellmar binary against a simulator and reads its document.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/modem_sim.h"
#include "support/process.h"

struct TellmarRun {
    ProcessResult process;
    std::string documentText;  // stdout, which must be the document and nothing else
    Json::Value document;
};

// Parses stdout as one JSON document; whatever else the program has to say
// (the scan's mode-switch lines, warnings) belongs on stderr.
inline bool ParseDocument(const std::string& text, Json::Value& document, std::string& errors)
{
    Json::CharReaderBuilder builder;
    builder["strictRoot"] = true;
    builder["failIfExtra"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    return reader->parse(text.data(), text.data() + text.size(), &document, &errors);
}

// The run's locale is C.UTF-8; `env` adds variables to its environment or
// replaces them (LC_ALL included). `launcher` is the program and arguments
// that start tellmar, when it is not started directly (setpriv ...).
inline TellmarRun RunTellmarWith(const std::vector<std::string>& launcher, const ModemSim& sim,
                                 const std::vector<std::string>& args, int timeoutSec = 300,
                                 std::vector<std::pair<std::string, std::string>> env = {})
{
    std::vector<std::string> argv = launcher;
    argv.push_back(TELLMAR_BINARY);
    argv.insert(argv.end(), args.begin(), args.end());
    for (const auto& setting : {std::pair<std::string, std::string>{"LC_ALL", "C.UTF-8"},
                                {"TELLMAR_SERIALCOMM", sim.Dir()}}) {
        const std::string& name = setting.first;
        if (std::none_of(env.begin(), env.end(), [&](const auto& e) { return e.first == name; })) {
            env.push_back(setting);
        }
    }
    TellmarRun run;
    run.process = RunProcess(argv, env, "", timeoutSec);
    EXPECT_FALSE(run.process.timedOut);
    EXPECT_EQ(run.process.exitCode, 0);
    run.documentText = run.process.out;
    const std::string& text = run.documentText;
    std::string errors;
    EXPECT_EQ(text.compare(0, 1, "{"), 0) << "stdout begins with the document: " << text;
    EXPECT_TRUE(ParseDocument(text, run.document, errors)) << errors << "\n" << text;
    // Characters beyond ASCII are escaped only outside a UTF-8 locale;
    // controls (C0, DEL, C1) always are.
    const bool utf8 = std::any_of(env.begin(), env.end(), [](const auto& e) {
        return e.first == "LC_ALL" && e.second.find("UTF-8") != std::string::npos;
    });
    std::smatch escape;
    if (utf8 && std::regex_search(text, escape, std::regex(R"(\\u(?!00[01]|007f|008|009))"))) {
        ADD_FAILURE() << "an escaped character in a UTF-8 document: " << escape.str() << "\n"
                      << text;
    }
    if (!utf8) {
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }))
            << "the document is ASCII: " << text;
    }
    return run;
}

inline TellmarRun RunTellmar(const ModemSim& sim, const std::vector<std::string>& args,
                             int timeoutSec = 300,
                             std::vector<std::pair<std::string, std::string>> env = {})
{
    return RunTellmarWith({}, sim, args, timeoutSec, std::move(env));
}

// Every command received on COM<com> that starts with `prefix`.
inline std::vector<std::string> CommandsStartingWith(const ModemSim& sim, int com,
                                                     const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& command : sim.Commands(com)) {
        if (command.rfind(prefix, 0) == 0) {
            found.push_back(command);
        }
    }
    return found;
}

// The (storage, index) pairs the simulator deleted on COM<com>.
inline std::set<std::pair<std::string, int>> DeletedOn(const ModemSim& sim, int com)
{
    std::set<std::pair<std::string, int>> deleted;
    for (const Json::Value& e : sim.Events("delete")) {
        if (e["com"].asInt() == com) {
            deleted.emplace(e["storage"].asString(), e["index"].asInt());
        }
    }
    return deleted;
}

// Starts tellmar on the simulator's ports in the background, its standard
// input and error on /dev/null and its standard output into `outPath`; the
// caller waits for it.
inline pid_t StartTellmar(const ModemSim& sim, const std::vector<std::string>& args,
                          const std::string& outPath = "/dev/null")
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(null, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::setenv("TELLMAR_SERIALCOMM", sim.Dir().c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(TELLMAR_BINARY)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}
