// The inbox command end to end: the real binary against simulated modems.

#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

Json::Value ParseJson(const std::string& text)
{
    Json::Value value;
    std::string errors;
    EXPECT_TRUE(ParseDocument(text, value, errors)) << errors;
    return value;
}

struct Msg {
    const char* from;
    const char* storage;
    std::string text;
};

void ExpectMessages(const Json::Value& port, const std::vector<Msg>& expected)
{
    EXPECT_EQ(port["msgcount"].asUInt(), expected.size());
    if (expected.empty()) {
        EXPECT_FALSE(port.isMember("msgs"));
        return;
    }
    ASSERT_EQ(port["msgs"].size(), expected.size()) << port.toStyledString();
    for (Json::ArrayIndex i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const Json::Value& m = port["msgs"][i];
        EXPECT_EQ(m["from"].asString(), expected[i].from);
        EXPECT_EQ(m["storage"].asString(), expected[i].storage);
        EXPECT_EQ(m["text"].asString(), expected[i].text);
    }
}

// COM3 holds two SIM messages and, in modem memory, a two-part message stored
// out of order; COM8 has no SIM and is never visited.
const char* const kM35Config =
    u8R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
   "storage":{
    "SM":[{"index":1,"status":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"Meeting at 10:30"},
          {"index":2,"status":0,"from":"13700001111","time":"24-05-01 12:00:05","dcs":8,"text":"你好，今天下午三点开会。"}],
    "ME":[{"index":4,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":2},"text":"，请及时充值。"},
          {"index":3,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":1},"text":"尊敬的客户，您本月话费余额不足十元"}]}},
  {"com":8,"model":"M35","bauds":[9600]}]})";

TEST(InboxCommandE2E, ReadFormsThenReadClearDeletesWhatWasRead)
{
    ModemSim sim(kM35Config);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::vector<Msg> expected = {
        {"13912345678", "SIM", "Meeting at 10:30"},
        {"13700001111", "SIM", u8"你好，今天下午三点开会。"},
        {"10086", "DEV", u8"尊敬的客户，您本月话费余额不足十元，请及时充值。"},
    };

    const TellmarRun read = RunTellmar(sim, {"sms", "read"});
    EXPECT_EQ(read.document.getMemberNames(),
              (std::vector<std::string>{"check", "portcount", "ports", "seconds", "type",
                                        "unavailable"}));
    EXPECT_EQ(read.document["unavailable"][0]["name"].asString(), "COM8");
    EXPECT_EQ(read.document["unavailable"][0]["error"].asString(), "no SIM card");
    EXPECT_EQ(read.document["check"].asInt(), 1);
    EXPECT_EQ(read.document["portcount"].asInt(), 1);
    EXPECT_EQ(read.document["type"].asString(), "read");
    EXPECT_TRUE(read.document["seconds"].isInt());
    EXPECT_GE(read.document["seconds"].asInt(), 0);
    ASSERT_EQ(read.document["ports"].size(), 1u);
    const Json::Value& port = read.document["ports"][0];
    EXPECT_EQ(port.getMemberNames(), (std::vector<std::string>{"msgcount", "msgs", "name"}));
    EXPECT_EQ(port["name"].asString(), "COM3");
    ExpectMessages(port, expected);
    EXPECT_EQ(port["msgs"][0]["time"].asString(), "24-05-01 09:30:00");
    EXPECT_EQ(read.documentText.find("\n   \"check\" : 1,\n"), 1u) << "styled layout";
    EXPECT_TRUE(sim.Commands(8).size() > 0 && CommandsStartingWith(sim, 8, "AT+CPMS").empty())
        << "the modem without SIM is scanned but not visited";

    // Capitals are lower-cased, "s" forms are one line.
    const TellmarRun compact = RunTellmar(sim, {"SMS", "SREAD"});
    EXPECT_EQ(compact.documentText.rfind("{\"check\":1,\"portcount\":1,\"ports\":[{", 0), 0u)
        << compact.documentText;
    EXPECT_EQ(compact.documentText.find('\n'), compact.documentText.size() - 2);
    EXPECT_EQ(compact.document["type"].asString(), "sread");
    EXPECT_EQ(compact.document["ports"], read.document["ports"]);

    const TellmarRun readClear = RunTellmar(sim, {"sms", "readclear"});
    const Json::Value& cleared = readClear.document["ports"][0];
    EXPECT_EQ(cleared.getMemberNames(),
              (std::vector<std::string>{"clear", "msgcount", "msgs", "name"}));
    ExpectMessages(cleared, expected);
    EXPECT_TRUE(cleared["clear"].asBool());
    EXPECT_EQ(DeletedOn(sim, 3),
              (std::set<std::pair<std::string, int>>{{"SM", 1}, {"SM", 2}, {"ME", 3}, {"ME", 4}}));
    // One deletion per message read: a message that arrives after the
    // listing is never caught by a delete-all.
    EXPECT_EQ(CommandsStartingWith(sim, 3, "AT+CMGD=").size(), 4u);
    EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGD=0,4").empty());

    const TellmarRun after = RunTellmar(sim, {"sms", "read"});
    ExpectMessages(after.document["ports"][0], {});
}

// "YY-MM-DD hh:mm:ss" in UTC+8 (zone +32 quarters, the simulator's
// default), `ageSeconds` ago.
std::string BeijingStamp(int ageSeconds)
{
    const std::time_t t = std::time(nullptr) - ageSeconds + 8 * 3600;
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%y-%m-%d %H:%M:%S", &utc);
    return text;
}

// The first part of a two-part text on the SIM, stamped `ageSeconds` ago;
// the second part is held by the simulator until the test delivers it.
std::string LonePartConfig(int ageSeconds)
{
    return std::string(
               u8R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
   "storage":{"SM":[{"index":1,"status":0,"from":"+8613500000003","time":")") +
           BeijingStamp(ageSeconds) +
           u8R"(","dcs":8,"concat":{"ref":77,"total":2,"part":1},"text":"两部分的长短信：春眠不觉晓"}]},
   "arrivals":[{"from":"+8613500000003","time":")" +
           BeijingStamp(ageSeconds) +
           u8R"(","dcs":8,"concat":{"ref":77,"total":2,"part":2},"text":"，处处闻啼鸟。","storage":"SM","announce":false}]}]})";
}

TEST(InboxCommandE2E, AYoungLonePartWaitsForTheRestAndAnOldOneIsWrittenAsIncomplete)
{
    {
        ModemSim sim(LonePartConfig(0));
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        const TellmarRun read = RunTellmar(sim, {"sms", "read"});
        const Json::Value& shown = read.document["ports"][0]["msgs"][0];
        EXPECT_EQ(shown["text"].asString(), u8"两部分的长短信：春眠不觉晓");
        EXPECT_EQ(shown["missing"], ParseJson("[2]"));
        EXPECT_FALSE(shown.isMember("held")) << "read deletes nothing";

        // Young: shown as incomplete, left on the SIM for its second part.
        const TellmarRun first = RunTellmar(sim, {"sms", "sreadclear"});
        const Json::Value& port = first.document["ports"][0];
        ASSERT_EQ(port["msgcount"].asInt(), 1) << first.documentText;
        EXPECT_EQ(port["msgs"][0]["missing"], ParseJson("[2]"));
        EXPECT_TRUE(port["msgs"][0]["held"].asBool());
        EXPECT_TRUE(port["clear"].asBool()) << "nothing that was to go failed";
        EXPECT_TRUE(DeletedOn(sim, 3).empty());
        EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGD").empty());

        // The second part comes: one whole message, both parts deleted.
        ASSERT_TRUE(sim.DeliverHeldArrival());
        ASSERT_TRUE(sim.WaitForEvents("arrival", 1, 5000));
        const TellmarRun second = RunTellmar(sim, {"sms", "readclear"});
        const Json::Value& whole = second.document["ports"][0];
        ASSERT_EQ(whole["msgcount"].asInt(), 1) << second.documentText;
        EXPECT_EQ(whole["msgs"][0].getMemberNames(),
                  (std::vector<std::string>{"from", "storage", "text", "time"}));
        EXPECT_EQ(whole["msgs"][0]["text"].asString(),
                  u8"两部分的长短信：春眠不觉晓，处处闻啼鸟。");
        EXPECT_TRUE(whole["clear"].asBool());
        EXPECT_EQ(DeletedOn(sim, 3), (std::set<std::pair<std::string, int>>{{"SM", 1}, {"SM", 2}}));
    }
    {
        // Eleven minutes old: the rest is taken as lost, the part is
        // written with what is missing and deleted.
        ModemSim sim(LonePartConfig(11 * 60));
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        const TellmarRun run = RunTellmar(sim, {"sms", "readclear"});
        const Json::Value& port = run.document["ports"][0];
        ASSERT_EQ(port["msgcount"].asInt(), 1) << run.documentText;
        EXPECT_EQ(port["msgs"][0]["missing"], ParseJson("[2]"));
        EXPECT_FALSE(port["msgs"][0].isMember("held"));
        EXPECT_TRUE(port["clear"].asBool());
        EXPECT_EQ(DeletedOn(sim, 3), (std::set<std::pair<std::string, int>>{{"SM", 1}}));
    }
}

TEST(InboxCommandE2E, NamedPortsOnly)
{
    ModemSim sim(R"({"ports":[
      {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901233",
       "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"three"}]}},
      {"com":4,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
       "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"four"}]}},
      {"com":5,"model":"M35","bauds":[9600]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    // Clearing one modem leaves the others as they are.
    const TellmarRun clear = RunTellmar(sim, {"sms", "sclear", "3"});
    ASSERT_EQ(clear.document["ports"].size(), 1u) << clear.documentText;
    EXPECT_EQ(clear.document["ports"][0]["name"].asString(), "COM3");
    EXPECT_TRUE(clear.document["ports"][0]["clear"].asBool());
    EXPECT_FALSE(CommandsStartingWith(sim, 3, "AT+CMGD=0,4").empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 4, "AT+CMGD").empty());
    EXPECT_FALSE(clear.document.isMember("unavailable"));

    // Items as in every port list, each port once; a port without a modem to
    // read, and one that does not exist, are said.
    const TellmarRun read = RunTellmar(sim, {"sms", "read", u8"COM4，5", "9 4"});
    EXPECT_EQ(read.document["check"].asInt(), 1);
    EXPECT_EQ(read.document["portcount"].asInt(), 1);
    ASSERT_EQ(read.document["ports"].size(), 1u) << read.documentText;
    ExpectMessages(read.document["ports"][0], {{"13912345678", "SIM", "four"}});
    const Json::Value& unavailable = read.document["unavailable"];
    ASSERT_EQ(unavailable.size(), 2u);
    EXPECT_EQ(unavailable[0]["name"].asString(), "COM5");
    EXPECT_EQ(unavailable[0]["error"].asString(), "no SIM card");
    EXPECT_EQ(unavailable[1]["name"].asString(), "COM9");
    EXPECT_EQ(unavailable[1]["error"].asString(), "not found");

    // Named ports that name none are refused before any scan: an empty
    // list must never become every port.
    const std::size_t scanned = sim.Commands(3).size();
    for (const char* list : {"x", "", "COMX3", ","}) {
        SCOPED_TRACE(list);
        const TellmarRun refused = RunTellmar(sim, {"sms", "sreadclear", list});
        EXPECT_EQ(refused.document.getMemberNames(),
                  (std::vector<std::string>{"check", "message", "seconds", "type"}));
        EXPECT_EQ(refused.document["check"].asInt(), 0);
        EXPECT_EQ(refused.document["message"].asString().rfind("com port error: ", 0), 0u);
    }
    EXPECT_EQ(sim.Commands(3).size(), scanned);
}

TEST(InboxCommandE2E, ClmReadClearKeepsAStorageThatWasNotReadWhole)
{
    // The single read of SIM index 2 fails: the SIM keeps both its messages.
    ModemSim sim(
        u8R"({"ports":[
      {"com":4,"model":"CLM920_NC5","bauds":[115200],"iccid":"89860318760203456789",
       "faults":{"error_commands":[{"prefix":"AT+CMGR=2","reply":"+CMS ERROR: 321"}]},
       "storage":{
        "SM":[{"index":1,"from":"13800000001","time":"24-04-30 18:45:12","text":"sim one"},
              {"index":2,"from":"13800000002","time":"24-04-30 18:46:00","text":"sim two"}],
        "ME":[{"index":5,"from":"13800138000","time":"24-04-30 18:47:00","dcs":8,"text":"设备里的短信"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun readClear = RunTellmar(sim, {"sms", "readclear"});
    ASSERT_EQ(readClear.document["portcount"].asInt(), 1);
    const Json::Value& port = readClear.document["ports"][0];
    EXPECT_EQ(port["name"].asString(), "COM4");
    ExpectMessages(port,
                   {{"13800000001", "SIM", "sim one"}, {"13800138000", "DEV", u8"设备里的短信"}});
    EXPECT_FALSE(port["clear"].asBool()) << "the SIM was not read whole";
    EXPECT_EQ(port["error"].asString(), "SIM: read in part");
    EXPECT_EQ(DeletedOn(sim, 4), (std::set<std::pair<std::string, int>>{{"ME", 5}}));
    EXPECT_FALSE(CommandsStartingWith(sim, 4, "AT+CMGD=?").empty()) << "the CLM920 listing route";
    EXPECT_FALSE(CommandsStartingWith(sim, 4, "AT+CMGR=1").empty());

    const TellmarRun after = RunTellmar(sim, {"sms", "sread"});
    ExpectMessages(after.document["ports"][0], {{"13800000001", "SIM", "sim one"}});
}

TEST(InboxCommandE2E, CdmaAndUnknownModelsThenClearEmptiesBothStorages)
{
    ModemSim sim(
        u8R"({"ports":[
      {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
       "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"on sim"}],
                  "ME":[{"index":1,"from":"13912345679","time":"24-05-01 09:31:00","text":"in memory"}]}},
      {"com":6,"model":"MC323","bauds":[115200],"iccid":"89860320245710000006",
       "phonebook":[{"index":1,"number":"80000000000006","type":129,"name":"WMSN"}],
       "storage":{"SM":[{"index":1,"from":"18912345678","time":"24-05-03 07:15:00","dcs":8,
                          "text":"天气预报：明天晴"}]}},
      {"com":9,"model":"unknown","bauds":[9600],"iccid":"89860000000000000009"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun read = RunTellmar(sim, {"sms", "read"});
    ASSERT_EQ(read.document["portcount"].asInt(), 3) << read.documentText;
    const Json::Value& ports = read.document["ports"];
    EXPECT_EQ(ports[0]["name"].asString(), "COM3");
    ExpectMessages(ports[0],
                   {{"13912345678", "SIM", "on sim"}, {"13912345679", "DEV", "in memory"}});
    EXPECT_EQ(ports[1]["name"].asString(), "COM6");
    ExpectMessages(ports[1], {{"18912345678", "SIM", u8"天气预报：明天晴"}});
    EXPECT_FALSE(CommandsStartingWith(sim, 6, "AT^HCMGR=").empty()) << "the CDMA reading route";
    EXPECT_EQ(ports[2]["name"].asString(), "COM9");
    ExpectMessages(ports[2], {});

    const TellmarRun clear = RunTellmar(sim, {"sms", "clear"});
    EXPECT_EQ(clear.document["type"].asString(), "clear");
    ASSERT_EQ(clear.document["ports"].size(), 3u);
    for (Json::ArrayIndex i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(clear.document["ports"][i].getMemberNames(),
                  (std::vector<std::string>{"clear", "name"}));
    }
    EXPECT_TRUE(clear.document["ports"][0]["clear"].asBool());
    EXPECT_TRUE(clear.document["ports"][1]["clear"].asBool());
    EXPECT_FALSE(clear.document["ports"][2]["clear"].asBool()) << "no driver for an unknown model";
    // Each storage is selected before it is emptied, modem memory first
    // (the M35 offers no storage of status reports).
    std::vector<std::string> clearing;
    for (const std::string& c : sim.Commands(3)) {
        if ((c.rfind("AT+CPMS=", 0) == 0 && c != "AT+CPMS=?") || c.rfind("AT+CMGD=", 0) == 0) {
            clearing.push_back(c);
        }
    }
    ASSERT_GE(clearing.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(clearing.end() - 4, clearing.end()),
              (std::vector<std::string>{"AT+CPMS=\"ME\"", "AT+CMGD=0,4", "AT+CPMS=\"SM\"",
                                        "AT+CMGD=0,4"}));

    const TellmarRun after = RunTellmar(sim, {"sms", "sread"});
    ASSERT_EQ(after.document["ports"].size(), 3u);
    ExpectMessages(after.document["ports"][0], {});
    ExpectMessages(after.document["ports"][1], {});
}

// A listing whose header the program cannot read is no empty inbox: the
// port says which line it did not understand, and nothing is deleted.
TEST(InboxCommandE2E, AListingLineNotUnderstoodIsNeverAnEmptyInbox)
{
    const std::string pdu =
        "0891683108100005F00405810180F60000421020304050000DC2303BEC1E97413199AB0603";
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
        "storage":{"SM":[{"index":1,"from":"10086","time":"24-05-01 09:30:00","text":"kept"}]},
        "faults":{"error_commands":[{"prefix":"AT+CMGL","reply":"CMGL 1,1,,28\r\n)" +
                 pdu + R"(\r\n\r\nOK"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"sms", "readclear"});
    ASSERT_EQ(run.document["portcount"].asInt(), 1) << run.documentText;
    const Json::Value& port = run.document["ports"][0];
    EXPECT_EQ(port["msgcount"].asInt(), 0);
    EXPECT_EQ(port["error"].asString(),
              "DEV: read in part (not understood: CMGL 1,1,,28); SIM: read in part (not "
              "understood: CMGL 1,1,,28)");
    EXPECT_FALSE(port["clear"].asBool());
    EXPECT_TRUE(DeletedOn(sim, 3).empty());
}

}  // namespace
