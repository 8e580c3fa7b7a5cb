// The simulator's new-message indications: AT+CNMI as the modules take or
// refuse it, +CMTI only once asked for, a module whose indications never
// come, and a full storage that the network fills again once there is room.

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "sim_line.h"
#include "support/modem_sim.h"

namespace {

const std::string kOk = "\r\nOK\r\n";
const std::string kRefused = "\r\n+CMS ERROR: 303\r\n";

TEST(SimulatorIndications, EachModuleTakesOrRefusesTheSettingsOfItsFamily)
{
    ModemSim sim(R"({"ports":[
        {"com":3,"model":"M35","echo":false,"iccid":"89860012345678901233"},
        {"com":4,"model":"ME909s-821","echo":false,"iccid":"89860012345678901234"},
        {"com":5,"model":"MG301","echo":false,"iccid":"89860012345678901235"},
        {"com":6,"model":"CLM920_NC5","echo":false,"iccid":"89860012345678901236"},
        {"com":7,"model":"MC323","echo":false,"esn":"80A1B2C3"},
        {"com":8,"model":"M35","echo":false,"iccid":"89860012345678901238",
         "cnmi_refused":["ds=2"]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const struct {
        int com;
        const char* start;                                   // AT+CNMI? before anything is set
        std::vector<std::pair<const char*, bool>> settings;  // command, taken
    } cases[] = {
        {3, "0,0,0,0,0", {{"2,1,0,2,0", true}, {"1,1,0,1,0", true}, {"4,1,0,0,0", false}}},
        {4, "0,0,0,0,0", {{"2,1,0,1,0", false}, {"1,1,0,1,0", true}, {"1,1,0,2,0", true}}},
        {5, "0,0,0,0,0", {{"2,1,0,2,0", false}, {"2,1,0,1,0", true}}},
        {6, "0,0,0,0,0", {{"2,1,0,2,0", false}, {"1,1,0,1,0", false}, {"1,1,0,2,0", true}}},
        {7, "1,1,0,2,0", {{"2,1,0,0,0", false}, {"1,1,0,0,0", true}}},
        {8, "0,0,0,0,0", {{"2,1,0,2,0", false}, {"2,1,0,1,0", true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.com);
        SimLine line;
        ASSERT_TRUE(line.Open(sim.PortPath(c.com), B9600));
        EXPECT_EQ(line.Command("AT+CMEE=1\r"), kOk);
        EXPECT_EQ(line.Command("AT+CNMI?\r"), "\r\n+CNMI: " + std::string(c.start) + "\r\n" + kOk);
        std::string last = c.start;
        for (const auto& [setting, taken] : c.settings) {
            SCOPED_TRACE(setting);
            EXPECT_EQ(line.Command("AT+CNMI=" + std::string(setting) + "\r"),
                      taken ? kOk : kRefused);
            last = taken ? setting : last;
        }
        EXPECT_EQ(line.Command("AT+CNMI?\r"), "\r\n+CNMI: " + last + "\r\n" + kOk)
            << "a refused setting changes nothing";
    }
}

TEST(SimulatorIndications, AnArrivalIsAnnouncedOnlyWhenAskedForAndTheModuleTells)
{
    const std::string arrival =
        R"("arrivals":[{"from":"10086","time":"24-01-02 03:05:00","text":"a"},
                                               {"from":"10086","time":"24-01-02 03:05:01","text":"b"}])";
    ModemSim sim(R"({"ports":[
        {"com":3,"model":"M35","echo":false,"iccid":"89860012345678901233",)" +
                 arrival + R"(},
        {"com":4,"model":"M35","echo":false,"iccid":"89860012345678901234",
         "faults":{"no_indications":true},)" +
                 arrival + "}]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine told;
    ASSERT_TRUE(told.Open(sim.PortPath(3), B9600));
    SimLine quiet;
    ASSERT_TRUE(quiet.Open(sim.PortPath(4), B9600));

    // Before AT+CNMI (<mt> 0 at start) nothing is said. Held arrivals come
    // in configuration order, one per request.
    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(sim.WaitForEvents("arrival", 1, 5000));
    EXPECT_EQ(told.ReadFor(300), "");
    EXPECT_EQ(told.Command("AT+CNMI=2,1,0,2,0\r"), kOk);
    EXPECT_EQ(quiet.Command("AT+CNMI=2,1,0,2,0\r"), kOk);
    ASSERT_TRUE(sim.DeliverHeldArrival());
    EXPECT_EQ(told.ReadUntil("\r\n", 5000), "\r\n+CMTI: \"SM\",2\r\n");
    for (std::size_t delivered = 3; delivered <= 4; ++delivered) {
        ASSERT_TRUE(sim.DeliverHeldArrival());
        ASSERT_TRUE(sim.WaitForEvents("arrival", delivered, 5000));
    }
    EXPECT_EQ(quiet.ReadFor(300), "") << "the module takes AT+CNMI and never tells";
    EXPECT_NE(quiet.Command("AT+CMGL=4\r").find("+CMGL: 2,"), std::string::npos);
}

TEST(SimulatorIndications, AFullStorageGetsItsMessageOnceADeletionMakesRoom)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901233",
        "cnmi":"2,1,0,0,0","capacity":{"SM":2,"ME":100},
        "storage":{"SM":[{"index":1,"from":"10086","time":"24-01-02 03:04:05","text":"one"},
                         {"index":2,"from":"10086","time":"24-01-02 03:04:06","text":"two"}]},
        "arrivals":[{"from":"10010","time":"24-01-02 03:05:00","text":"waits"}]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(sim.WaitForEvents("arrival", 1, 5000));
    EXPECT_EQ(sim.Events("arrival")[0]["dropped"].asString(), "storage full");
    EXPECT_EQ(line.ReadFor(300), "");

    // The indication follows the deletion's OK.
    std::string deleted = line.Command("AT+CMGD=2\r");
    if (deleted.find("+CMTI") == std::string::npos) {
        deleted += line.ReadUntil("\r\n", 5000);
    }
    EXPECT_EQ(deleted, kOk + "\r\n+CMTI: \"SM\",2\r\n");
    ASSERT_TRUE(sim.WaitForEvents("arrival", 2, 5000));
    const Json::Value again = sim.Events("arrival")[1];
    EXPECT_FALSE(again.isMember("dropped"));
    EXPECT_EQ(again["text"].asString(), "waits");
    EXPECT_EQ(line.Command("AT+CMGD=1\r"), kOk) << "nothing waits any more";
    EXPECT_EQ(line.ReadFor(300), "");
    EXPECT_EQ(sim.Events("arrival").size(), 2u);
}

}  // namespace
