// Ports that cannot be used say why: in the send results, in the inbox
// documents, on standard error. The codes and messages scripts know stay.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/port_faults.h"
#include "e2e/tellmar_run.h"

namespace {

// COM3 a complete M35, COM4 another that a program holds, COM5 nothing
// answers on, COM6 an M35 without SIM card, COM7 an M35 the user may not
// open. COM9 does not exist.
const char* const kPorts = R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901233",
   "storage":{"SM":[{"index":1,"from":"10086","time":"24-05-01 09:30:00","text":"kept"}]}},
  {"com":4,"model":"M35","bauds":[9600],"iccid":"89860012345678901234"},
  {"com":5,"model":"silent"},
  {"com":6,"model":"M35","bauds":[9600]},
  {"com":7,"model":"M35","bauds":[9600],"iccid":"89860012345678901237"}]})";

const char* const kNoSim = "No SIM CARD In Device";

struct Reason {
    const char* com;
    std::string error;
};

TEST(UnusablePortsE2E, SendResultsAndInboxDocumentsSayWhyAPortWasNotUsed)
{
    ModemSim sim(kPorts);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    HeldPort held(sim, 4);
    ASSERT_TRUE(held.Held());
    DeniedPort denied(sim, 7);
    ASSERT_EQ(denied.Problem(), "");
    const std::vector<Reason> reasons = {
        {"COM4", "Code:16   Device or resource busy"},
        {"COM5", "no answer"},
        {"COM6", "no SIM card"},
        {"COM7", "Code:13   Permission denied"},
    };

    const TellmarRun send =
        RunTellmarWith(denied.Launcher(), sim, {"3,4,5,6,7,9", "10086", "reasons"});
    const Json::Value& results = send.document["result"];
    ASSERT_EQ(results.size(), 6u) << send.documentText;
    EXPECT_EQ(results[0]["code"].asInt(), 0);
    EXPECT_FALSE(results[0].isMember("error"));
    std::vector<Reason> expected = reasons;
    expected.push_back({"COM9", "not found"});
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].com);
        const Json::Value& element = results[static_cast<Json::ArrayIndex>(i + 1)];
        EXPECT_EQ(element["com"].asString(), expected[i].com);
        EXPECT_EQ(element["code"].asInt(), 4);
        EXPECT_EQ(element["message"].asString(), kNoSim);
        EXPECT_EQ(element["error"].asString(), expected[i].error);
    }
    EXPECT_EQ(sim.Events("sms").size(), 1u);

    // A busy modem is no empty inbox: every port that could not be read is said.
    const TellmarRun read = RunTellmarWith(denied.Launcher(), sim, {"sms", "sread"});
    EXPECT_EQ(read.document["portcount"].asInt(), 1);
    EXPECT_EQ(read.document["ports"][0]["msgcount"].asInt(), 1);
    const Json::Value& unavailable = read.document["unavailable"];
    ASSERT_EQ(unavailable.size(), reasons.size()) << read.documentText;
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        SCOPED_TRACE(reasons[i].com);
        const Json::Value& port = unavailable[static_cast<Json::ArrayIndex>(i)];
        EXPECT_EQ(port.getMemberNames(), (std::vector<std::string>{"error", "name"}));
        EXPECT_EQ(port["name"].asString(), reasons[i].com);
        EXPECT_EQ(port["error"].asString(), reasons[i].error);
    }
    EXPECT_TRUE(CommandsStartingWith(sim, 4, "AT").empty()) << "the held port was never written";
    EXPECT_TRUE(CommandsStartingWith(sim, 7, "AT").empty()) << "nor the one the user may not open";

    // With every port usable there is no "unavailable" at all.
    ModemSim healthy(R"({"ports":[{"com":3,"model":"M35","iccid":"89860012345678901233"}]})");
    ASSERT_TRUE(healthy.Start()) << healthy.LastError();
    const TellmarRun clean = RunTellmar(healthy, {"sms", "read"});
    EXPECT_EQ(clean.document.getMemberNames(),
              (std::vector<std::string>{"check", "portcount", "ports", "seconds", "type"}));
}

// A TELLMAR_SERIALCOMM folder that is missing, no folder, or not to be read
// is said on standard error; the document is that of a machine without
// ports.
TEST(UnusablePortsE2E, APortFolderThatCannotBeListedIsSaid)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","iccid":"89860012345678901233"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string file = sim.Root() + "/a-file";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const struct {
        std::string folder;
        const char* why;
    } cases[] = {
        {sim.Root() + "/no-such-folder", "No such file or directory"},
        {file, "it is no folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const TellmarRun read =
            RunTellmar(sim, {"sms", "sread"}, 60, {{"TELLMAR_SERIALCOMM", c.folder}});
        EXPECT_EQ(read.document["portcount"].asInt(), 0);
        EXPECT_NE(
            read.process.err.find("TELLMAR_SERIALCOMM=" + c.folder + " is not used: " + c.why),
            std::string::npos)
            << read.process.err;
        const TellmarRun send =
            RunTellmar(sim, {"10086", "text"}, 60, {{"TELLMAR_SERIALCOMM", c.folder}});
        EXPECT_EQ(send.document["message"].asString(), "param is ok");
        EXPECT_NE(send.process.err.find(" is not used: "), std::string::npos);
    }
    EXPECT_TRUE(sim.Events("command").empty());
    ::unlink(file.c_str());
}

}  // namespace
