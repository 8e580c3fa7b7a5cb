// The AT trace end to end: TELLMAR_TRACE set for a send and an inbox read
// against simulated modems, and a trace file that cannot be written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

// The bytes of a trace text read back ("\r" -> CR, "\x1A" -> Ctrl-Z, ...).
std::string Unescape(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            bytes += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            bytes += '\r';
        } else if (c == 'n') {
            bytes += '\n';
        } else if (c == 't') {
            bytes += '\t';
        } else if (c == 'x' && i + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

struct TraceLine {
    long ms;
    std::string port;
    char direction;
    std::string bytes;  // unescaped; the failure text for '!'
};

struct Trace {
    std::vector<TraceLine> lines;
    int starts = 0;  // "# trace started" notes
};

Trace ReadTrace(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    Trace trace;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TraceLine t;
        std::string direction;
        fields >> t.ms >> t.port;
        if (t.port == "#") {
            trace.starts += line.find(" # trace started ") != std::string::npos;
            continue;
        }
        fields >> direction;
        EXPECT_EQ(direction.size(), 1u) << line;
        t.direction = direction[0];
        const std::size_t text = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
        t.bytes = Unescape(line.substr(text + 1));
        trace.lines.push_back(t);
    }
    return trace;
}

const char* const kConfig =
    u8R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
   "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"Meeting at 10:30"}]}},
  {"com":6,"model":"MC323","bauds":[115200],"iccid":"89860320245710000006",
   "phonebook":[{"index":1,"number":"802214417365093","type":129,"name":"WMSN"}],
   "storage":{"SM":[{"index":1,"from":"18912345678","time":"24-05-03 07:15:00","dcs":8,"text":"天气预报：明天晴"}]}},
  {"com":7,"model":"silent"}]})";

TEST(AtTraceE2E, ASendAndAnInboxReadShowEveryCommandAndReplyOfEveryPort)
{
    ModemSim sim(kConfig);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string path = sim.Root() + "/trace.txt";

    const TellmarRun send =
        RunTellmar(sim, {"3,6", "13800138000", u8"你好 trace"}, 300, {{"TELLMAR_TRACE", path}});
    ASSERT_EQ(send.document["result"].size(), 2u) << send.documentText;
    EXPECT_EQ(send.document["result"][0]["code"].asInt(), 0);
    EXPECT_EQ(send.document["result"][1]["code"].asInt(), 0);
    const TellmarRun read = RunTellmar(sim, {"sms", "read"}, 300, {{"TELLMAR_TRACE", path}});
    ASSERT_EQ(read.document["portcount"].asInt(), 2) << read.documentText;
    EXPECT_EQ(send.process.err + read.process.err, "");

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const Trace trace = ReadTrace(path);
    EXPECT_EQ(trace.starts, 2) << "the second run appends";

    std::map<std::string, std::string> written;  // every byte written, per port
    std::map<std::string, std::string> replies;  // every byte read, per port
    long previous = 0;
    for (const TraceLine& line : trace.lines) {
        EXPECT_GE(line.ms, previous) << "time order";
        previous = line.ms;
        if (line.direction == '>') {
            written[line.port] += line.bytes;
        } else if (line.direction == '<') {
            replies[line.port] += line.bytes;
        } else {
            ADD_FAILURE() << "no port failed here: " << line.port << " " << line.bytes;
        }
    }

    // Each command the modems received is in the trace, in the order they
    // received it, as the program wrote it.
    for (int com : {3, 6}) {
        SCOPED_TRACE(com);
        const std::string port = "COM" + std::to_string(com);
        const std::vector<std::string> commands = sim.Commands(com);
        ASSERT_FALSE(commands.empty());
        std::size_t at = 0;
        for (const std::string& command : commands) {
            const std::size_t found = written[port].find(command, at);
            ASSERT_NE(found, std::string::npos) << command << " not in the trace after " << at;
            at = found + command.size();
        }
    }
    // The probes of the scan, the send and the read, with their replies.
    const struct {
        const char* port;
        const char* command;
        const char* reply;
    } exchanges[] = {
        {"COM3", "ATI\r", "Quectel"},
        {"COM3", "AT+CMGS=", "\r\n> "},
        {"COM3", "\x1A", "+CMGS: "},
        {"COM3", "AT+CMGL=", "+CMGL: 1,"},
        {"COM6", "AT^HCMGS=\"13800138000\"\r", "^HCMGSS:"},
        {"COM6", "AT^HCMGR=1", "^HCMGR:18912345678,"},
    };
    for (const auto& e : exchanges) {
        EXPECT_NE(written[e.port].find(e.command), std::string::npos) << e.port << " " << e.command;
        EXPECT_NE(replies[e.port].find(e.reply), std::string::npos) << e.port << " " << e.reply;
    }
    // The silent port was probed and never answered.
    EXPECT_EQ(written["COM7"].substr(0, 3), "AT\r");
    EXPECT_EQ(replies.count("COM7"), 0u);
}

TEST(AtTraceE2E, ATraceThatCannotBeWrittenIsReportedOnceAndChangesNothingElse)
{
    ModemSim sim(kConfig);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string folder = sim.Root() + "/folder";
    std::filesystem::create_directory(folder);

    const TellmarRun plain = RunTellmar(sim, {"sms", "sread"});
    const TellmarRun traced = RunTellmar(sim, {"sms", "sread"}, 300, {{"TELLMAR_TRACE", folder}});
    EXPECT_EQ(plain.process.err, "");
    EXPECT_EQ(traced.process.err,
              "tellmar: TELLMAR_TRACE=" + folder + " Is a directory; no AT trace is written\n");
    // The same document but for the seconds it took.
    Json::Value a = plain.document;
    Json::Value b = traced.document;
    a.removeMember("seconds");
    b.removeMember("seconds");
    EXPECT_EQ(a, b);

    // A disk that fills up during the run: a file size limit fails the
    // writes as ENOSPC would (with SIGXFSZ ignored, as a full disk sends none).
    const std::string path = sim.Root() + "/full.txt";
    const ProcessResult full = RunProcess(
        {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2; exec \"$0\" \"$@\"", TELLMAR_BINARY, "3",
         "13800138000", "hello"},
        {{"LC_ALL", "C.UTF-8"}, {"TELLMAR_SERIALCOMM", sim.Dir()}, {"TELLMAR_TRACE", path}}, "",
        300);
    EXPECT_EQ(full.exitCode, 0);
    EXPECT_EQ(full.err.find("tellmar: TELLMAR_TRACE=" + path + " cannot be written: "), 0u)
        << full.err;
    EXPECT_EQ(std::count(full.err.begin(), full.err.end(), '\n'), 1) << full.err;
    EXPECT_NE(full.out.find("\"message\" : \"Succeed\""), std::string::npos) << full.out;
    EXPECT_GT(std::filesystem::file_size(path), 0u);
}

}  // namespace
