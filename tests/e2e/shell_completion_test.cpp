// The bash completion: its words are the program's words, and the ports it
// offers are those the program would scan.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "support/process.h"

namespace {

// What the completion offers for the line `line` (completed at its end),
// with `env` as bash's environment.
std::vector<std::string> Complete(const std::string& line,
                                  const std::vector<std::pair<std::string, std::string>>& env = {})
{
    const std::string script =
        "source \"$1\" || exit 3\n"
        "COMP_LINE=$2\n"
        "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
        "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
        "while [[ ${COMP_WORDS[0]} == *=* ]]; do COMP_WORDS=(\"${COMP_WORDS[@]:1}\"); done\n"
        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
        "_tellmar\n"
        "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    const ProcessResult r = RunProcess(
        {"/bin/bash", "--norc", "-c", script, "bash", TELLMAR_BASH_COMPLETION, line}, env, "", 30);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t end = r.out.find('\n'); end != std::string::npos;
         end = r.out.find('\n', start)) {
        if (end > start) {
            words.push_back(r.out.substr(start, end - start));
        }
        start = end + 1;
    }
    std::sort(words.begin(), words.end());
    return words;
}

using Words = std::vector<std::string>;

TEST(ShellCompletion, TheCommandsAndInboxWordsAreThoseTheProgramTakes)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","iccid":"89860012345678901233",
                              "ussd":[{"code":"#","text":"ok"}]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const Words commands = Complete("tellmar ");
    EXPECT_EQ(commands, (Words{"--report", "-r", "help", "pin", "ports", "sms", "sports", "ussd",
                               "version"}));
    EXPECT_EQ(Complete("tellmar sp"), (Words{"sports"}));
    EXPECT_EQ(Complete("tellmar -"), (Words{"--report", "-r"}));

    // The inbox words: exactly those the program names for an unknown one.
    const TellmarRun unknown = RunTellmar(sim, {"sms", "?"});
    const std::string message = unknown.document["message"].asString();
    const std::string listed = message.substr(message.find("the words are ") + 14);
    Words programWords;
    for (std::size_t start = 0; start <= listed.size();) {
        const std::size_t end = std::min(listed.find(", ", start), listed.size());
        programWords.push_back(listed.substr(start, end - start));
        start = end + 2;
    }
    std::sort(programWords.begin(), programWords.end());
    EXPECT_EQ(Complete("tellmar sms "), programWords);
    EXPECT_EQ(Complete("tellmar sms r"), (Words{"read", "readclear"}));
    EXPECT_EQ(Complete("tellmar SMS SRE"), (Words{"sread", "sreadclear"}));

    // Every other command word is one the program takes: an unknown word
    // in its place would end in the parameter-count or phone-number error
    // that these arguments cannot give once the word is known.
    const struct {
        const char* word;
        std::vector<std::string> args;
        const char* output;  // a part of what it prints
    } taken[] = {
        {"help", {}, ""},
        {"version", {}, ""},
        {"ports", {}, "\"portcount\" : 1"},
        {"sports", {}, "{\"portcount\":1"},
        {"pin", {"3", "12"}, "\"pin error\""},
        {"ussd", {"3", "#"}, "\"reply\""},
        {"--report", {"3", "13800138000", "hi"}, "\"references\" : [ 1 ]"},
        {"-r", {"3", "13800138000", "hi"}, "\"references\" : [ 2 ]"},
    };
    Words tested;
    for (const auto& t : taken) {
        SCOPED_TRACE(t.word);
        tested.push_back(t.word);
        std::vector<std::string> argv = {TELLMAR_BINARY, t.word};
        argv.insert(argv.end(), t.args.begin(), t.args.end());
        const ProcessResult r = RunProcess(argv, {{"TELLMAR_SERIALCOMM", sim.Dir()}}, "", 60);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.find("param count error"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(t.output), std::string::npos) << r.out;
    }
    tested.push_back("sms");
    std::sort(tested.begin(), tested.end());
    EXPECT_EQ(tested, commands);
}

TEST(ShellCompletion, PortsAreThoseOfThePortFolderSetInFrontOrInTheEnvironment)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35"},{"com":12,"model":"silent"},
                              {"com":31,"model":"silent"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::vector<std::pair<std::string, std::string>> env = {
        {"TELLMAR_SERIALCOMM", sim.Dir()}};

    EXPECT_EQ(Complete("tellmar sms read ", env), (Words{"12", "3", "31"}));
    // The last item of a list.
    EXPECT_EQ(Complete("tellmar sms read 3,1", env), (Words{"3,12"}));
    // The ports of a send.
    EXPECT_EQ(Complete("tellmar 3", env), (Words{"3", "31"}));
    // Set on the line, the folder wins over the environment's.
    EXPECT_EQ(Complete("TELLMAR_SERIALCOMM=" + sim.Dir() + " tellmar sms sread ",
                       {{"TELLMAR_SERIALCOMM", "/nonexistent"}}),
              (Words{"12", "3", "31"}));
    EXPECT_EQ(Complete("LC_ALL=C TELLMAR_SERIALCOMM=" + sim.Dir() + " tellmar sms read 1"),
              (Words{"12"}));
    // The ports of the pin and ussd commands and of a send with its option.
    EXPECT_EQ(Complete("tellmar pin ", env), (Words{"12", "3", "31"}));
    EXPECT_EQ(Complete("tellmar USSD 3,3", env), (Words{"3,3", "3,31"}));
    EXPECT_EQ(Complete("tellmar --report 1", env), (Words{"12"}));
    EXPECT_EQ(Complete("tellmar -r 3", env), (Words{"3", "31"}));
    // Numbers, texts, a PIN and a code are not completed.
    EXPECT_EQ(Complete("tellmar 3 ", env), Words{});
    EXPECT_EQ(Complete("tellmar pin 3 ", env), Words{});
    EXPECT_EQ(Complete("tellmar -r 3 1", env), Words{});
}

}  // namespace
