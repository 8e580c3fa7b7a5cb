// Slow, dead and hostile modems end to end: the real binary against
// simulated modems with injected faults. Every run is bounded by the test's
// process time-out; the other modems of a run are served in full.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

std::vector<std::string> Texts(const Json::Value& port)
{
    std::vector<std::string> texts;
    for (const Json::Value& message : port["msgs"]) {
        texts.push_back(message["storage"].asString() + ":" + message["text"].asString());
    }
    return texts;
}

// Two messages on the SIM and two in modem memory.
const char* const kStorage = R"("storage":{
    "SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"sim one"},
          {"index":2,"from":"13912345679","time":"24-05-01 09:31:00","text":"sim two"}],
    "ME":[{"index":3,"from":"10086","time":"24-05-02 08:00:00","text":"dev one"},
          {"index":4,"from":"10086","time":"24-05-02 08:01:00","text":"dev two"}]})";

std::string Port(int com, const std::string& model, const std::string& faults, bool echo = true)
{
    return R"({"com":)" + std::to_string(com) + R"(,"model":")" + model + R"(","echo":)" +
           (echo ? "true" : "false") + R"(,"bauds":[115200],"iccid":"8986001234567890123)" +
           std::to_string(com % 10) + R"(","phonebook":[{"index":1,"number":"8000000000000)" +
           std::to_string(com % 10) + R"(","type":129,"name":"WMSN"}],)" + kStorage +
           R"(,"faults":{)" + faults + "}}";
}

const std::vector<std::string> kAllFour = {"SIM:sim one", "SIM:sim two", "DEV:dev one",
                                           "DEV:dev two"};

TEST(FaultScenariosE2E, ModemsAnsweringLateAreReadAndClearedExactly)
{
    // Every reply 400 ms after its command, on the PDU route (M35) and on the
    // CDMA route (MC323): four times the 100 ms after the last byte that
    // ends a read of the scan, and well inside the scan's 755 ms for a reply
    // that has not begun, so that a loaded machine does not push it out.
    // Without echo: an echo at once and the answer 400 ms later would leave
    // the modem unrecognised.
    ModemSim sim("{\"ports\":[" + Port(3, "M35", R"("delay_ms":400)", false) + "," +
                 Port(6, "MC323", R"("delay_ms":400)", false) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"sms", "sreadclear"});
    ASSERT_EQ(run.document["portcount"].asInt(), 2) << run.documentText;
    for (Json::ArrayIndex i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const Json::Value& port = run.document["ports"][i];
        EXPECT_EQ(port["msgcount"].asInt(), 4);
        EXPECT_EQ(Texts(port), kAllFour);
        EXPECT_TRUE(port["clear"].asBool());
        EXPECT_FALSE(port.isMember("error")) << port["error"].asString();
    }
    const std::set<std::pair<std::string, int>> all = {{"SM", 1}, {"SM", 2}, {"ME", 3}, {"ME", 4}};
    EXPECT_EQ(DeletedOn(sim, 3), all);
    EXPECT_EQ(DeletedOn(sim, 6), all);
}

// A dead modem is given up after its command's silence limit or deadline
// (10 s of silence, 20 s for a short command, 15 s + 0.5 s per stored
// message for a listing), whatever phase of the command it dies in, and the
// other modems are read in full. The run is bounded well below the minutes
// the old poll budgets took.
TEST(FaultScenariosE2E, DeadModemsInEveryPhaseEndTheirReadWithAnErrorAndTheOthersAreServed)
{
    const struct {
        int com;
        const char* model;
        const char* faults;
        const char* error;
    } modems[] = {
        {3, "M35", "", ""},
        {4, "M35", R"("vanish_in_reply":{"prefix":"AT+CMGL","bytes":60})",
         "Code:5   Input/output error"},
        // Silent from the first command after the scan on: the set-up.
        {5, "M35", R"("silent_from":"AT+CPMS")", "No answer within 10 s"},
        // Trickling a byte every 300 ms from the set-up, and at the listing.
        {6, "M35", R"("trickle":{"from":"AT+CPMS","every_ms":300})",
         "No complete answer within 20 s"},
        {7, "ME909s-821", R"("trickle":{"from":"AT+CMGL","every_ms":300})",
         "No complete answer within 16 s"},
        // Silent at the listing, at a single read and at a CDMA listing.
        {8, "MG301", R"("silent_from":"AT+CMGL")", "No answer within 10 s"},
        {9, "CLM920_NC5", R"("silent_from":"AT+CMGR")", "No answer within 10 s"},
        {10, "MC323", R"("silent_from":"AT^HCMGL")", "No answer within 10 s"},
    };
    std::string config = "{\"ports\":[";
    for (const auto& m : modems) {
        config += std::string(m.com == 3 ? "" : ",") + Port(m.com, m.model, m.faults);
    }
    ModemSim sim(config + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"sms", "sreadclear"}, 120);
    ASSERT_EQ(run.document["portcount"].asInt(), 8) << run.documentText;
    const Json::Value& ports = run.document["ports"];

    EXPECT_EQ(Texts(ports[0]), kAllFour);
    EXPECT_TRUE(ports[0]["clear"].asBool());
    EXPECT_FALSE(ports[0].isMember("error"));

    for (Json::ArrayIndex i = 1; i < ports.size(); ++i) {
        const auto& m = modems[i];
        SCOPED_TRACE(m.faults);
        const Json::Value& port = ports[i];
        EXPECT_EQ(port["name"].asString(), "COM" + std::to_string(m.com));
        EXPECT_EQ(port["error"].asString(), m.error);
        EXPECT_FALSE(port["clear"].asBool());
        EXPECT_TRUE(DeletedOn(sim, m.com).empty());
    }
    // A port that stopped answering is not asked again.
    EXPECT_EQ(CommandsStartingWith(sim, 5, "AT+CPMS").size(), 1u);
    EXPECT_EQ(CommandsStartingWith(sim, 6, "AT+CPMS").size(), 1u);
    EXPECT_EQ(CommandsStartingWith(sim, 8, "AT+CMGL").size(), 1u);
}

// Sends to modems that die at each step of a send: the service-centre
// query, the prompt of a part, the network's answer to a body.
TEST(FaultScenariosE2E, DeadModemsInEveryPhaseOfASendFailWithAReason)
{
    const struct {
        int com;
        const char* faults;
        const char* message;
    } modems[] = {
        {3, "", "Succeed"},
        {4, R"("silent_from":"AT+CSCA")", "No answer within 10 s"},
        {5, R"("silent_from":"AT+CMGS")", "No answer within 10 s"},
        {6, R"("trickle":{"from":"AT+CMGF","every_ms":300})", "No complete answer within 20 s"},
    };
    std::string config = "{\"ports\":[";
    for (const auto& m : modems) {
        config += std::string(m.com == 3 ? "" : ",") + Port(m.com, "M35", m.faults);
    }
    ModemSim sim(config + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"13800138000", "hello"}, 120);
    const Json::Value& results = run.document["result"];
    ASSERT_EQ(results.size(), 4u) << run.documentText;
    for (Json::ArrayIndex i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(modems[i].faults);
        EXPECT_EQ(results[i]["message"].asString(), modems[i].message);
        EXPECT_EQ(results[i]["code"].asInt(), i == 0 ? 0 : 1);
    }
    ASSERT_EQ(sim.Events("sms").size(), 1u);
    EXPECT_EQ(sim.Events("sms")[0]["com"].asInt(), 3);
}

// The network answers a body within the modules' documented maximum of
// 120 s; a modem silent after the body is given up then, not after the
// 13 minutes of the old budget. The healthy modem's send is not held up by it
// beyond that.
TEST(FaultScenariosE2E, ABodyTheNetworkNeverAnswersIsGivenUpAtTheModulesMaximum)
{
    ModemSim sim("{\"ports\":[" + Port(3, "M35", "") + "," +
                 Port(4, "M35", R"("body_delay_ms":600000)") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"13800138000", "hello"}, 240);
    const Json::Value& results = run.document["result"];
    ASSERT_EQ(results.size(), 2u) << run.documentText;
    EXPECT_EQ(results[0]["message"].asString(), "Succeed");
    EXPECT_EQ(results[1]["code"].asInt(), 1);
    EXPECT_EQ(results[1]["message"].asString(), "No answer within 120 s");
}

std::vector<Json::Value> PhoneBookWrites(const ModemSim& sim, int com)
{
    std::vector<Json::Value> writes;
    for (const Json::Value& e : sim.Events("phonebook")) {
        if (e["com"].asInt() == com) {
            writes.push_back(e);
        }
    }
    return writes;
}

TEST(FaultScenariosE2E, TheScanNeverOverwritesAContactInTheCdmaPhoneBook)
{
    // COM6: the phone-book select answers ERROR; COM7: the read of entry 1
    // answers 200 ms late; both hold a contact in entry 1. COM8 answers late
    // too but its phone book is empty: it gets the serial-number entry.
    const std::string contact = R"("phonebook":[{"index":1,"number":"13800138000","name":"Mum"}])";
    const std::string slowRead =
        R"("faults":{"delay_commands":[{"prefix":"AT^CPBR","delay_ms":200}]})";
    ModemSim sim(R"({"ports":[
        {"com":6,"model":"MC323","iccid":"89860320245710000006",)" +
                 contact +
                 R"(,"faults":{"error_commands":["AT+CPBS"]}},
        {"com":7,"model":"MC323","iccid":"89860320245710000007",)" +
                 contact + "," + slowRead + R"(},
        {"com":8,"model":"MC323","iccid":"89860320245710000008",)" +
                 slowRead + "}]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun first = RunTellmar(sim, {"sms", "sread"});
    EXPECT_EQ(first.document["portcount"].asInt(), 0) << "no serial number yet";
    EXPECT_TRUE(PhoneBookWrites(sim, 6).empty());
    EXPECT_TRUE(PhoneBookWrites(sim, 7).empty());
    const std::vector<Json::Value> written = PhoneBookWrites(sim, 8);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0]["name"].asString(), "WMSN");
    EXPECT_EQ(written[0]["index"].asInt(), 1);

    // The next scan reads the number back; the contacts are still there.
    const TellmarRun second = RunTellmar(sim, {"sms", "sread"});
    ASSERT_EQ(second.document["portcount"].asInt(), 1) << second.documentText;
    EXPECT_EQ(second.document["ports"][0]["name"].asString(), "COM8");
    EXPECT_EQ(PhoneBookWrites(sim, 8).size(), 1u);
    for (int com : {6, 7}) {
        SCOPED_TRACE(com);
        EXPECT_TRUE(PhoneBookWrites(sim, com).empty());
    }
}

}  // namespace
