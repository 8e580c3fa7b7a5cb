// One modem that answers on two ports (a USB modem's modem and PC UI ports)
// is one modem: used once by every command over every port, as named when
// its ports are named.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

// COM3 and COM4 are one M35 (the same IMEI, SIM and storages); COM5 is
// another modem.
const char* const kPorts = R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901233",
   "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"first"},
                    {"index":2,"from":"13912345679","time":"24-05-01 09:31:00","text":"second"}],
              "ME":[{"index":3,"from":"10086","time":"24-05-02 08:00:00","text":"third"}]}},
  {"com":4,"same_modem_as":3,"bauds":[115200]},
  {"com":5,"model":"ME909s-821","iccid":"89860115881034567805",
   "storage":{"SM":[{"index":1,"from":"13800138000","time":"24-05-03 10:00:00","text":"other"}]}}]})";

std::vector<std::string> Names(const Json::Value& ports, const char* key)
{
    std::vector<std::string> names;
    for (const Json::Value& port : ports) {
        names.push_back(port[key].asString());
    }
    return names;
}

std::multiset<int> MessagePorts(const ModemSim& sim)
{
    std::multiset<int> ports;
    for (const Json::Value& e : sim.Events("message")) {
        ports.insert(e["com"].asInt());
    }
    return ports;
}

TEST(OneModemTwoPortsE2E, CommandsOverEveryPortUseItOnceThroughTheLowerPort)
{
    ModemSim sim(kPorts);
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    // The ports document shows the second port as the same modem.
    const TellmarRun ports = RunTellmar(sim, {"sports"});
    ASSERT_EQ(ports.document["ports"].size(), 3u);
    const Json::Value& second = ports.document["ports"][1];
    EXPECT_EQ(second["com"].asString(), "COM4");
    EXPECT_EQ(second["state"].asString(), "same modem");
    EXPECT_EQ(second["samemodem"].asString(), "COM3");
    EXPECT_EQ(second["imei"], ports.document["ports"][0]["imei"]);
    EXPECT_EQ(ports.document["ports"][0]["state"].asString(), "usable");

    // A send goes out once per modem: the recipient gets it once.
    const TellmarRun send = RunTellmar(sim, {"13800138000", "once"});
    EXPECT_EQ(Names(send.document["result"], "com"), (std::vector<std::string>{"COM3", "COM5"}));
    ASSERT_TRUE(sim.WaitForEvents("message", 2, 5000));
    EXPECT_EQ(MessagePorts(sim), (std::multiset<int>{3, 5}));
    EXPECT_TRUE(CommandsStartingWith(sim, 4, "AT+CMGS").empty());

    // Each message is listed once.
    const TellmarRun read = RunTellmar(sim, {"sms", "sread"});
    EXPECT_EQ(Names(read.document["ports"], "name"), (std::vector<std::string>{"COM3", "COM5"}));
    EXPECT_EQ(read.document["ports"][0]["msgcount"].asInt(), 3);
    EXPECT_FALSE(read.document.isMember("unavailable")) << "the second port is not unavailable";

    // readclear deletes through one port only, exactly what it read.
    const TellmarRun readClear = RunTellmar(sim, {"sms", "readclear"});
    EXPECT_EQ(Names(readClear.document["ports"], "name"),
              (std::vector<std::string>{"COM3", "COM5"}));
    EXPECT_TRUE(readClear.document["ports"][0]["clear"].asBool());
    EXPECT_EQ(DeletedOn(sim, 3),
              (std::set<std::pair<std::string, int>>{{"SM", 1}, {"SM", 2}, {"ME", 3}}));
    EXPECT_TRUE(DeletedOn(sim, 4).empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 4, "AT+CMGD").empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 4, "AT+CMGL").empty());
}

TEST(OneModemTwoPortsE2E, NamedPortsAreUsedAsNamedWithANote)
{
    ModemSim sim(kPorts);
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun send = RunTellmar(sim, {"3,4", "10086", "twice"});
    EXPECT_EQ(Names(send.document["result"], "com"), (std::vector<std::string>{"COM3", "COM4"}));
    ASSERT_TRUE(sim.WaitForEvents("message", 2, 5000));
    EXPECT_EQ(MessagePorts(sim), (std::multiset<int>{3, 4}));
    EXPECT_NE(send.process.err.find("COM3, COM4 are one modem (IMEI 866000000000003)"),
              std::string::npos)
        << send.process.err;

    // The second port alone is the modem's: its messages, through it.
    const TellmarRun read = RunTellmar(sim, {"sms", "read", "COM4"});
    EXPECT_EQ(Names(read.document["ports"], "name"), (std::vector<std::string>{"COM4"}));
    EXPECT_EQ(read.document["ports"][0]["msgcount"].asInt(), 3);
    EXPECT_EQ(read.process.err.find("one modem"), std::string::npos) << "one port, no note";
    EXPECT_FALSE(CommandsStartingWith(sim, 4, "AT+CMGL").empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGL").empty());
}

}  // namespace
