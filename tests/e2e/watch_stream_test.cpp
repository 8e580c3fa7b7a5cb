// `tellmar sms watch` end to end against the simulator: messages that
// arrive announced or not are each written once, whole, and then deleted;
// unreadable entries are written once per run and stay; indications are
// asked for as each module takes them; a stop signal ends the watch with
// status 0.

#include <gtest/gtest.h>
#include <json/json.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

// A PDU whose user-data length says more than it holds (the vector
// "7-bit, national originator" with its last octets cut): unreadable.
const char* const kCutPdu =
    "0891683108100005F0040B813119325476F80000123040506070000FC8329BFD0699E5EF";

std::size_t CommandsOn(const ModemSim& sim, int com, const std::string& prefix)
{
    return CommandsStartingWith(sim, com, prefix).size();
}

TEST(WatchE2E, ArrivalsAnnouncedOrNotAreWrittenOnceThenDeletedAndUnreadableOnesOncePerRun)
{
    ModemSim sim(std::string(R"({"ports":[
      {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
       "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"at start"},
                        {"index":5,"pdu":")") +
                 kCutPdu + R"("}]},
       "arrivals":[{"after_ms":1500,"from":"10086","time":"24-05-01 09:31:00","text":"announced"},
                   {"after_ms":1500,"from":"10087","time":"24-05-01 09:32:00","text":"unannounced",
                    "storage":"ME","announce":false}]},
      {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
       "cnmi_refused":["mode=2","ds=2"],
       "arrivals":[{"after_ms":1500,"from":"10088","time":"24-05-01 09:33:00","dcs":8,"text":"模块退而求其次"}]},
      {"com":5,"model":"M35","bauds":[115200],"iccid":"89860012345678901235",
       "faults":{"no_indications":true},
       "arrivals":[{"after_ms":1500,"from":"10089","time":"24-05-01 09:34:00","text":"never told"}]},
      {"com":6,"model":"MC323","bauds":[115200],"iccid":"89860320245710000006",
       "phonebook":[{"index":1,"number":"802214417365093","type":129,"name":"WMSN"}],
       "arrivals":[{"after_ms":1500,"from":"18912345678","time":"24-05-03 07:15:00","dcs":8,"text":"天气预报：明天晴"}]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));

    const std::vector<std::string> texts = {"at start",       "announced",  "unannounced",
                                            "模块退而求其次", "never told", "天气预报：明天晴"};
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return TextsWritten(lines).size() == texts.size();
    })) << watch.ErrorText();
    // Two more sweeps of every storage on COM3 after that: nothing is
    // written again.
    const std::size_t listed = CommandsOn(sim, 3, "AT+CMGL");
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return CommandsOn(sim, 3, "AT+CMGL") >= listed + 4;
    }));
    std::int64_t ms = 0;
    const int status = watch.Stop(SIGTERM, &ms);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << watch.ErrorText();

    const std::vector<Json::Value> lines = watch.Lines();
    std::map<std::string, int> once;
    for (const std::string& text : texts) {
        once[text] = 1;
    }
    EXPECT_EQ(TextsWritten(lines), once);

    std::set<std::string> ready;
    for (const Json::Value& line : watch.Lines("port")) {
        EXPECT_EQ(line["state"].asString(), "ready") << line;
        ready.insert(line["com"].asString());
    }
    EXPECT_EQ(ready, (std::set<std::string>{"COM3", "COM4", "COM5", "COM6"}));

    // A message line: the inbox documents' fields and what the stream adds.
    for (const Json::Value& line : watch.Lines("message")) {
        SCOPED_TRACE(line.toStyledString());
        EXPECT_EQ(line["parts"].asInt(), 1);
        EXPECT_TRUE(std::regex_match(line["received"].asString(),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));
        EXPECT_FALSE(line.isMember("missing"));
        if (line["text"].asString() == "at start") {
            EXPECT_EQ(line["com"].asString(), "COM3");
            EXPECT_EQ(line["storage"].asString(), "SIM");
            EXPECT_EQ(line["from"].asString(), "13912345678");
            EXPECT_EQ(line["time"].asString(), "24-05-01 09:30:00");
            EXPECT_EQ(line["sim"].asString(), "89860012345678901233");
        }
        if (line["text"].asString() == "unannounced") {
            EXPECT_EQ(line["storage"].asString(), "DEV");
        }
    }

    // The unreadable entry: once, and kept on the modem.
    const std::vector<Json::Value> unreadable = watch.Lines("unreadable");
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0]["com"].asString(), "COM3");
    EXPECT_EQ(unreadable[0]["storage"].asString(), "SIM");
    EXPECT_EQ(unreadable[0]["index"].asInt(), 5);
    EXPECT_EQ(unreadable[0]["pdu"].asString(), kCutPdu);

    // Everything written was deleted, once, and only that (an arrival may
    // take the index a deleted message left).
    std::map<int, std::multiset<std::string>> deletions;
    for (const Json::Value& e : sim.Events("delete")) {
        deletions[e["com"].asInt()].insert(e["storage"].asString() + e["index"].asString());
    }
    EXPECT_EQ(deletions[3].count("SM5"), 0u) << "the unreadable entry stays";
    EXPECT_EQ(deletions[3].count("ME1"), 1u);
    EXPECT_EQ(deletions[3].size(), 3u);
    for (const int com : {4, 5, 6}) {
        EXPECT_EQ(deletions[com].size(), 1u) << com;
    }

    // Indications asked for as each module takes them: COM4 refuses
    // <mode> 2 and <ds> 2 and ends on the first setting it takes.
    EXPECT_EQ(CommandsStartingWith(sim, 4, "AT+CNMI"),
              (std::vector<std::string>{"AT+CNMI=2,1,0,2,0", "AT+CNMI=1,1,0,2,0",
                                        "AT+CNMI=2,1,0,1,0", "AT+CNMI=1,1,0,1,0"}));
    EXPECT_EQ(CommandsStartingWith(sim, 6, "AT+CNMI"),
              (std::vector<std::string>{"AT+CNMI=1,1,0,0,0"}));
}

TEST(WatchE2E, ABadPortListIsRefusedBeforeAnythingIsScanned)
{
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {"COM3x"}));
    const int status = watch.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(watch.ErrorText().find("is no list of ports"), std::string::npos)
        << watch.ErrorText();
    EXPECT_TRUE(watch.Lines().empty());
    EXPECT_TRUE(sim.Commands(3).empty());
}

}  // namespace
