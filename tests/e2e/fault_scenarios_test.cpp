// Slow, dead and hostile modems end to end: the real binary against
// simulated modems with injected faults. Every run is bounded by the test's
// process time-out; the other modems of a run are served in full.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "platform/clock.h"

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
    // Every reply 650 ms after its command, on the PDU route (M35) and on the
    // CDMA route (MC323). Without echo: the scan's reads end 100 ms after
    // the last byte, so an echo at once and the answer 650 ms later would
    // leave the modem unrecognised.
    ModemSim sim("{\"ports\":[" + Port(3, "M35", R"("delay_ms":650)", false) + "," +
                 Port(6, "MC323", R"("delay_ms":650)", false) + "]}");
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

TEST(FaultScenariosE2E, DeadModemsEndTheirReadWithAnErrorAndTheOthersAreServed)
{
    // COM3 answers; COM4 vanishes in the middle of its first listing; COM5
    // falls silent after the scan; COM7 then sends one byte every 300 ms for
    // ever.
    ModemSim sim("{\"ports\":[" + Port(3, "M35", "") + "," +
                 Port(4, "M35", R"("vanish_in_reply":{"prefix":"AT+CMGL","bytes":60})") + "," +
                 Port(5, "M35", R"("silent_from":"AT+CPMS")") + "," +
                 Port(7, "M35", R"("trickle":{"from":"AT+CPMS","every_ms":300})") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"sms", "sreadclear"}, 400);
    ASSERT_EQ(run.document["portcount"].asInt(), 4) << run.documentText;
    const Json::Value& ports = run.document["ports"];

    EXPECT_EQ(Texts(ports[0]), kAllFour);
    EXPECT_TRUE(ports[0]["clear"].asBool());
    EXPECT_FALSE(ports[0].isMember("error"));

    const struct {
        const char* name;
        const char* error;
    } failed[] = {
        {"COM4", "Code:5   Input/output error"},
        {"COM5", "No answer within 46 s"},
        {"COM7", "No answer within 46 s"},
    };
    for (Json::ArrayIndex i = 1; i < 4; ++i) {
        SCOPED_TRACE(failed[i - 1].name);
        const Json::Value& port = ports[i];
        EXPECT_EQ(port["name"].asString(), failed[i - 1].name);
        EXPECT_EQ(port["error"].asString(), failed[i - 1].error);
        EXPECT_EQ(port["msgcount"].asInt(), 0);
        EXPECT_FALSE(port["clear"].asBool());
        EXPECT_TRUE(DeletedOn(sim, port["name"].asString()[3] - '0').empty());
    }
    // A port that stopped answering is not asked again.
    EXPECT_EQ(CommandsStartingWith(sim, 5, "AT+CPMS").size(), 1u);
    EXPECT_EQ(CommandsStartingWith(sim, 7, "AT+CPMS").size(), 1u);
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

// Ctrl-C while several devices are worked at once: the program ends at
// once, every worker with it.
TEST(FaultScenariosE2E, CtrlCEndsAParallelSendAtOnce)
{
    ModemSim sim("{\"ports\":[" + Port(3, "M35", R"("silent_from":"AT+CPMS")") + "," +
                 Port(4, "M35", R"("silent_from":"AT+CPMS")") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const pid_t pid = StartTellmar(sim, {"3,4", "18300000000", "hello"});
    ASSERT_GT(pid, 0);
    // Both workers are waiting for their modem's answer.
    const std::int64_t end = MonotonicMs() + 60000;
    while (MonotonicMs() < end && (CommandsStartingWith(sim, 3, "AT+CPMS").empty() ||
                                   CommandsStartingWith(sim, 4, "AT+CPMS").empty())) {
        SleepMs(20);
    }
    ASSERT_FALSE(CommandsStartingWith(sim, 4, "AT+CPMS").empty()) << "both devices at once";
    ASSERT_FALSE(CommandsStartingWith(sim, 3, "AT+CPMS").empty());
    ::kill(pid, SIGINT);
    // The answer deadline is 46 s; the signal must not wait for it.
    int status = 0;
    pid_t ended = 0;
    for (int waited = 0; waited < 20000 && ended == 0; waited += 20) {
        ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == 0) {
            SleepMs(20);
        }
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the program went on after Ctrl-C";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
}

}  // namespace
