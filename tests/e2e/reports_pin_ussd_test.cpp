// Delivery reports, the SIM PIN and USSD end to end: the real binary against
// simulated modems.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

std::string Port(int com, const std::string& model, const std::string& extra = "")
{
    return "{\"com\":" + std::to_string(com) + ",\"model\":\"" + model +
           "\",\"bauds\":[9600],\"iccid\":\"8986001234567890123" + std::to_string(com % 10) + "\"" +
           extra + "}";
}

const char* const kCdmaPort =
    R"({"com":8,"model":"MC323","bauds":[115200],"iccid":"89860320245710000006",
        "phonebook":[{"index":1,"number":"802214417365093","type":129,"name":"WMSN"}]})";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Every command the simulator received, on all ports.
std::size_t AllCommands(const ModemSim& sim)
{
    return sim.Events("command").size();
}

// The references the simulator gave, in order, to the bodies sent on COM<com>,
// and whether each asked for a status report.
std::vector<int> ReferencesGiven(const ModemSim& sim, int com, bool& allAsked)
{
    std::vector<int> references;
    allAsked = true;
    for (const Json::Value& e : sim.Events("sms")) {
        if (e["com"].asInt() == com) {
            references.push_back(e["mr"].asInt());
            allAsked = allAsked && e["report"].asBool();
        }
    }
    return references;
}

// ---------------------------------------------------------------- reports

TEST(DeliveryReportsE2E, AThreePartTextAndItsReportsMatchedByReference)
{
    // COM3 keeps reports on the SIM, starting its references just below the
    // wrap; the Wavecom module keeps them in its status-report storage (SR).
    ModemSim sim("{\"ports\":[" +
                 Port(3, "M35", R"(,"status_reports":"store","report_tp_st":32,"mr":254)") + "," +
                 Port(4, "Q2406B", R"(,"status_reports":"store")") + "," +
                 Port(5, "ME909s-821", R"(,"status_reports":"store","report_tp_st":65)") + "," +
                 kCdmaPort + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    // 150 characters: three UCS-2 parts, with or without the send time the
    // program may append.
    std::string text;
    while (text.size() < 150) {
        text += "Delivery reports tell which part arrived. ";
    }
    text.resize(150);

    const TellmarRun run = RunTellmar(sim, {"--report", "3,4,5,8", "13800138000", text});
    const Json::Value& result = run.document["result"];
    ASSERT_EQ(result.size(), 4u) << run.documentText;
    std::map<int, std::vector<int>> sent;  // com -> references in the document
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const int com = 3 + i;
        EXPECT_EQ(result[i]["code"].asInt(), 0);
        EXPECT_EQ(
            result[i].getMemberNames(),
            (std::vector<std::string>{"code", "com", "message", "number", "references", "time"}));
        bool allAsked = false;
        const std::vector<int> given = ReferencesGiven(sim, com, allAsked);
        EXPECT_TRUE(allAsked) << "every part asks for its report";
        ASSERT_EQ(given.size(), 3u);
        for (const Json::Value& reference : result[i]["references"]) {
            sent[com].push_back(reference.asInt());
        }
        EXPECT_EQ(sent[com], given) << "each part's reference, in part order";
    }
    EXPECT_EQ(sent[3], (std::vector<int>{254, 255, 0}));
    // The CDMA model sends as before and has no references to give.
    EXPECT_EQ(result[3]["com"].asString(), "COM8");
    EXPECT_EQ(result[3]["code"].asInt(), 0);
    EXPECT_FALSE(result[3].isMember("references"));
    std::map<int, int> whole;  // com -> parts of each text that arrived whole
    for (const Json::Value& e : sim.Events("message")) {
        if (e["parts"].asInt() > 1) {
            whole[e["com"].asInt()] = e["parts"].asInt();
        }
    }
    EXPECT_EQ(whole, (std::map<int, int>{{3, 3}, {4, 3}, {5, 3}}));

    // The reports, read back through the inbox command, name the parts.
    const TellmarRun read = RunTellmar(sim, {"sms", "read", "3,4,5"});
    ASSERT_EQ(read.document["ports"].size(), 3u) << read.documentText;
    const struct {
        int com;
        const char* storage;
        int tpSt;
        const char* status;
    } expected[] = {
        {3, "SIM", 32, "pending"},
        {4, "SR", 0, "delivered"},
        {5, "SIM", 65, "failed"},
    };
    for (std::size_t p = 0; p < 3; ++p) {
        SCOPED_TRACE(expected[p].com);
        const Json::Value& port = read.document["ports"][static_cast<Json::ArrayIndex>(p)];
        EXPECT_EQ(port["name"].asString(), "COM" + std::to_string(expected[p].com));
        EXPECT_EQ(port["msgcount"].asInt(), 3);
        std::vector<int> reported;
        for (const Json::Value& m : port["msgs"]) {
            EXPECT_EQ(m["storage"].asString(), expected[p].storage);
            EXPECT_EQ(m["from"].asString(), "13800138000");
            EXPECT_FALSE(m["text"].asString().empty());
            EXPECT_EQ(m["time"].asString().size(), 17u);
            const Json::Value& report = m["report"];
            EXPECT_EQ(report.getMemberNames(),
                      (std::vector<std::string>{"discharged", "reference", "status", "tp_st"}));
            EXPECT_EQ(report["tp_st"].asInt(), expected[p].tpSt);
            EXPECT_EQ(report["status"].asString(), expected[p].status);
            EXPECT_TRUE(std::regex_match(report["discharged"].asString(),
                                         std::regex(R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d)")))
                << report["discharged"];
            reported.push_back(report["reference"].asInt());
        }
        EXPECT_EQ(reported, sent[expected[p].com]);
    }

    // Reading and clearing empties the status-report storage as well.
    const TellmarRun clear = RunTellmar(sim, {"sms", "sreadclear", "4"});
    EXPECT_EQ(clear.document["ports"][0]["msgcount"].asInt(), 3) << clear.documentText;
    EXPECT_EQ(DeletedOn(sim, 4),
              (std::set<std::pair<std::string, int>>{{"SR", 1}, {"SR", 2}, {"SR", 3}}));
    const TellmarRun after = RunTellmar(sim, {"sms", "sread", "4"});
    EXPECT_EQ(after.document["ports"][0]["msgcount"].asInt(), 0) << after.documentText;

    // -r is the short form; a one-part text has one reference.
    const TellmarRun shortForm = RunTellmar(sim, {"-r", "4", "13800138000", "one part"});
    ASSERT_EQ(shortForm.document["result"].size(), 1u) << shortForm.documentText;
    const Json::Value& one = shortForm.document["result"][0]["references"];
    ASSERT_EQ(one.size(), 1u) << shortForm.documentText;
    EXPECT_EQ(one[0].asInt(), 4) << "the Wavecom module's fourth reference";
}

// The send and inbox documents as the program wrote them before --report
// existed (recorded from that build on the same simulated modems), the send
// times and the seconds masked.
const char* const kRecordedSend =
    u8R"({
   "code" : 0,
   "message" : "param is ok",
   "result" : [
      {
         "code" : 0,
         "com" : "COM3",
         "message" : "Succeed",
         "number" : "13800138000",
         "time" : "<time>"
      },
      {
         "code" : 0,
         "com" : "COM4",
         "message" : "Succeed",
         "number" : "13800138000",
         "time" : "<time>"
      },
      {
         "code" : 4,
         "com" : "COM5",
         "error" : "no SIM card",
         "message" : "No SIM CARD In Device",
         "number" : "13800138000",
         "time" : "<time>"
      },
      {
         "code" : 0,
         "com" : "COM8",
         "message" : "Succeed",
         "number" : "13800138000",
         "time" : "<time>"
      }
   ]
}

)";

const char* const kRecordedRead =
    u8R"({
   "check" : 1,
   "portcount" : 3,
   "ports" : [
      {
         "msgcount" : 2,
         "msgs" : [
            {
               "from" : "13912345678",
               "storage" : "SIM",
               "text" : "Meeting at 10:30",
               "time" : "24-05-01 09:30:00"
            },
            {
               "from" : "10086",
               "storage" : "DEV",
               "text" : "尊敬的客户，您本月话费余额不足十元，请及时充值。",
               "time" : "24-05-02 08:00:00"
            }
         ],
         "name" : "COM3"
      },
      {
         "msgcount" : 0,
         "name" : "COM4"
      },
      {
         "msgcount" : 0,
         "name" : "COM8"
      }
   ],
   "seconds" : <s>,
   "type" : "read",
   "unavailable" : [
      {
         "error" : "no SIM card",
         "name" : "COM5"
      }
   ]
}

)";

const char* const kRecordedSread =
    u8R"({"check":1,"portcount":2,"ports":[{"msgcount":2,"msgs":[{"from":"13912345678","storage":"SIM","text":"Meeting at 10:30","time":"24-05-01 09:30:00"},{"from":"10086","storage":"DEV","text":"尊敬的客户，您本月话费余额不足十元，请及时充值。","time":"24-05-02 08:00:00"}],"name":"COM3"},{"msgcount":0,"name":"COM4"}],"seconds":<s>,"type":"sread"})"
    "\n\n";

std::string Masked(const std::string& document)
{
    const std::regex sendTime(R"re(("time" : )"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d")re");
    const std::string text = std::regex_replace(document, sendTime, "$1\"<time>\"");
    return std::regex_replace(text, std::regex(R"(("seconds" ?: ?)\d+)"), "$1<s>");
}

TEST(DeliveryReportsE2E, WithoutReportTheDocumentsAreAsBefore)
{
    // Modems that would keep reports, and one with a status-report storage:
    // without --report nothing asks for one, and an empty SR adds nothing.
    ModemSim sim("{\"ports\":[" +
                 Port(3, "M35",
                      u8R"(,"status_reports":"store","storage":{
          "SM":[{"index":1,"status":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"Meeting at 10:30"}],
          "ME":[{"index":4,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,"concat":{"ref":21,"total":2,"part":2},"text":"，请及时充值。"},
                {"index":3,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,"concat":{"ref":21,"total":2,"part":1},"text":"尊敬的客户，您本月话费余额不足十元"}]})") +
                 "," + Port(4, "Q2406B", R"(,"status_reports":"store")") +
                 R"(,{"com":5,"model":"M35","bauds":[9600]},)" + kCdmaPort + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string text =
        "The quick brown fox jumps over the lazy dog near the river bank, then runs back across "
        "the field to the old farm house where the farmer waits with some food.";

    const TellmarRun send = RunTellmar(sim, {"3,4,5,8", "13800138000", text});
    EXPECT_EQ(Masked(send.documentText), kRecordedSend);
    ASSERT_EQ(sim.Events("sms").size(), 9u) << "three parts each on COM3, COM4 and COM8";
    for (const Json::Value& e : sim.Events("sms")) {
        EXPECT_FALSE(e.isMember("report")) << e;
    }
    EXPECT_TRUE(sim.Events("status_report").empty());

    EXPECT_EQ(Masked(RunTellmar(sim, {"sms", "read"}).documentText), kRecordedRead);
    EXPECT_EQ(Masked(RunTellmar(sim, {"sms", "sread", "3,4"}).documentText), kRecordedSread);
}

// ---------------------------------------------------------------- PIN

TEST(SimPinE2E, ALockedSimIsNamedAndAWrongPinIsSentOnceAndNeverShown)
{
    // COM3 and COM4 wait for their PIN (the Wavecom state line has no OK),
    // COM5 is blocked and waits for its PUK, COM6 is ready.
    ModemSim sim("{\"ports\":[" + Port(3, "M35", R"(,"pin":"1234")") + "," +
                 Port(4, "Q2406B", R"(,"pin":"4321")") + "," +
                 Port(5, "ME909s-821", R"(,"pin":"1234","pin_attempts":0)") + "," + Port(6, "M35") +
                 "," + kCdmaPort + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun ports = RunTellmar(sim, {"ports"});
    std::map<std::string, std::string> state;
    for (const Json::Value& p : ports.document["ports"]) {
        state[p["com"].asString()] = p["state"].asString();
    }
    EXPECT_EQ(state, (std::map<std::string, std::string>{{"COM3", "SIM PIN"},
                                                         {"COM4", "SIM PIN"},
                                                         {"COM5", "SIM PUK"},
                                                         {"COM6", "usable"},
                                                         {"COM8", "usable"}}))
        << ports.documentText;

    // A locked SIM gets a code of its own and nothing is sent through it.
    const TellmarRun send = RunTellmar(sim, {"3,4,5,6", "13800138000", "hello"});
    const Json::Value& result = send.document["result"];
    ASSERT_EQ(result.size(), 4u) << send.documentText;
    const struct {
        int code;
        const char* message;
    } sendCodes[] = {
        {8, "SIM PIN required"}, {8, "SIM PIN required"}, {9, "SIM PUK required"}, {0, "Succeed"}};
    for (Json::ArrayIndex i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(result[i]["code"].asInt(), sendCodes[i].code);
        EXPECT_EQ(result[i]["message"].asString(), sendCodes[i].message);
    }
    ASSERT_EQ(sim.Events("sms").size(), 1u);
    EXPECT_EQ(sim.Events("sms")[0]["com"].asInt(), 6);

    const TellmarRun read = RunTellmar(sim, {"sms", "read", "3,5,6"});
    EXPECT_EQ(read.document["portcount"].asInt(), 1) << read.documentText;
    EXPECT_EQ(read.document["unavailable"][0]["name"].asString(), "COM3");
    EXPECT_EQ(read.document["unavailable"][0]["error"].asString(), "SIM PIN required");
    EXPECT_EQ(read.document["unavailable"][1]["name"].asString(), "COM5");
    EXPECT_EQ(read.document["unavailable"][1]["error"].asString(), "SIM PUK required");

    // Arguments that are wrong write nothing to any port.
    const std::size_t before = AllCommands(sim);
    const struct {
        std::vector<std::string> args;
        const char* document;
    } refused[] = {
        {{"pin", "3", "123"}, "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n"},
        {{"pin", "3", "123456789"}, "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n"},
        {{"pin", "3", "12a4"}, "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n"},
        {{"pin", "3", u8"１２３４"}, "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n"},
        {{"pin", "3", ""}, "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n"},
        {{"pin", "3"}, "{\n   \"code\" : 3,\n   \"message\" : \"param count error\",\n"},
        {{"pin", "3", "1234", "5678"},
         "{\n   \"code\" : 3,\n   \"message\" : \"param count error\",\n"},
        {{"PIN", "x", "1234"}, "{\n   \"code\" : 1,\n   \"message\" : \"com port error\",\n"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.args.back());
        const TellmarRun run = RunTellmar(sim, r.args);
        EXPECT_EQ(run.documentText, std::string(r.document) + "   \"result\" : []\n}\n\n");
    }
    EXPECT_EQ(AllCommands(sim), before);

    // A wrong PIN: written once to each SIM that waits for one, never to the
    // blocked SIM, the ready one or the CDMA modem; the attempts left follow.
    const std::string trace = sim.Root() + "/trace.txt";
    const TellmarRun wrong =
        RunTellmar(sim, {"pin", "3,4,5,6,8", "9573"}, 300, {{"TELLMAR_TRACE", trace}});
    const Json::Value& pin = wrong.document["result"];
    ASSERT_EQ(pin.size(), 5u) << wrong.documentText;
    const struct {
        const char* com;
        int code;
        const char* message;
        int attempts;  // -1: none reported
    } pinResults[] = {
        {"COM3", 1, "+CME ERROR: 16", 2},    {"COM4", 1, "+CME ERROR: 16", 2},
        {"COM5", 9, "SIM PUK required", -1}, {"COM6", 10, "No PIN required", -1},
        {"COM8", 10, "No PIN required", -1},
    };
    for (Json::ArrayIndex i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pin[i]["com"].asString(), pinResults[i].com);
        EXPECT_EQ(pin[i]["code"].asInt(), pinResults[i].code);
        EXPECT_EQ(pin[i]["message"].asString(), pinResults[i].message);
        if (pinResults[i].attempts >= 0) {
            EXPECT_EQ(pin[i]["attempts"].asInt(), pinResults[i].attempts);
        } else {
            EXPECT_FALSE(pin[i].isMember("attempts"));
        }
    }
    for (int com : {3, 4}) {
        EXPECT_EQ(CommandsStartingWith(sim, com, "AT+CPIN=").size(), 1u) << com;
    }
    for (int com : {5, 6, 8}) {
        EXPECT_TRUE(CommandsStartingWith(sim, com, "AT+CPIN=").empty()) << com;
    }
    std::ifstream in(trace, std::ios::binary);
    const std::string traced((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_TRUE(Contains(traced, "COM3 > AT+CPIN=****")) << traced;
    EXPECT_TRUE(Contains(traced, "COM4 > AT+CPIN=****")) << traced;
    for (const std::string& shown : {traced, wrong.process.out, wrong.process.err}) {
        EXPECT_FALSE(Contains(shown, "9573")) << shown;
    }

    // The right PIN unlocks; a second run finds nothing to enter and sends
    // nothing; the SIM then sends.
    const TellmarRun right = RunTellmar(sim, {"pin", "3", "1234"});
    EXPECT_EQ(right.document["result"][0]["code"].asInt(), 0) << right.documentText;
    EXPECT_EQ(right.document["result"][0]["message"].asString(), "Succeed");
    const TellmarRun again = RunTellmar(sim, {"pin", "3", "1234"});
    EXPECT_EQ(again.document["result"][0]["code"].asInt(), 10) << again.documentText;
    EXPECT_EQ(CommandsStartingWith(sim, 3, "AT+CPIN=").size(), 2u);
    const TellmarRun unlocked = RunTellmar(sim, {"3", "13800138000", "unlocked"});
    EXPECT_EQ(unlocked.document["result"][0]["code"].asInt(), 0) << unlocked.documentText;
}

// ---------------------------------------------------------------- USSD

TEST(UssdE2E, EveryReplyFormAndASessionThatAsksForMore)
{
    const std::string balance = R"(,"ussd":[{"code":"*100#","text":)";
    ModemSim sim(
        "{\"ports\":[" +
        // Plain text in the modem's character set, ASCII and UCS-2.
        Port(3, "M35", balance + R"("Balance: 12.50 CNY","form":"plain"}])") + "," +
        Port(4, "M35", balance + u8R"("余额 5.00 元","form":"plain"}],"charset":"UCS2")") + "," +
        // Packed septets whose last seven spare bits are a CR that must go.
        Port(5, "ME909s-821", balance + R"("Balance: 12 CNY","form":"packed"}])") + "," +
        // UCS-2 by the DCS, after the OK (as Wavecom answers).
        Port(6, "Q2406B", balance + u8R"("余额5.00元，有效期至2025-12-31","form":"ucs2"}])") + "," +
        // A session that asks for more.
        Port(7, "MG301", balance + R"("1 Balance 2 Number","form":"packed","status":1}])") + "," +
        kCdmaPort + "," +
        // OK first from a module that usually answers at once, and late.
        Port(9, "M35", balance + R"("Late, but here","ok_first":true,"delay_ms":1500}])") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun run = RunTellmar(sim, {"ussd", "3,4,5,6,7,8,9", "*100#"});
    const Json::Value& result = run.document["result"];
    ASSERT_EQ(result.size(), 7u) << run.documentText;
    const struct {
        const char* com;
        int code;
        const char* reply;  // nullptr: no reply
        bool more;
    } expected[] = {
        {"COM3", 0, "Balance: 12.50 CNY", false},
        {"COM4", 0, u8"余额 5.00 元", false},
        {"COM5", 0, "Balance: 12 CNY", false},
        {"COM6", 0, u8"余额5.00元，有效期至2025-12-31", false},
        {"COM7", 0, "1 Balance 2 Number", true},
        {"COM8", 11, nullptr, false},
        {"COM9", 0, "Late, but here", false},
    };
    for (Json::ArrayIndex i = 0; i < 7; ++i) {
        SCOPED_TRACE(expected[i].com);
        EXPECT_EQ(result[i]["com"].asString(), expected[i].com);
        EXPECT_EQ(result[i]["code"].asInt(), expected[i].code);
        if (expected[i].reply != nullptr) {
            EXPECT_EQ(result[i]["message"].asString(), "Succeed");
            EXPECT_EQ(result[i]["reply"].asString(), expected[i].reply);
            EXPECT_EQ(result[i]["more"].asBool(), expected[i].more);
        } else {
            EXPECT_EQ(result[i]["message"].asString(), "USSD not supported by the CDMA model");
            EXPECT_FALSE(result[i].isMember("reply"));
        }
    }
    for (int com : {3, 4, 5, 6, 7, 9}) {
        SCOPED_TRACE(com);
        EXPECT_EQ(CommandsStartingWith(sim, com, "AT+CUSD=1,"),
                  std::vector<std::string>{"AT+CUSD=1,\"*100#\",15"});
    }
    EXPECT_TRUE(CommandsStartingWith(sim, 8, "AT+CUSD").empty());
    // Only the session that asked for more is closed, after its answer.
    EXPECT_EQ(sim.Events("ussd_end").size(), 1u);
    EXPECT_EQ(sim.Commands(7).back(), "AT+CUSD=2");

    // A code the network does not know is a failure with its reason.
    const TellmarRun unknown = RunTellmar(sim, {"ussd", "3", "*999#"});
    EXPECT_EQ(unknown.document["result"][0]["code"].asInt(), 1) << unknown.documentText;
    EXPECT_FALSE(unknown.document["result"][0].isMember("reply"));

    // Codes that are not 1 to 160 of 0-9 * # + write nothing to any port.
    const std::size_t before = AllCommands(sim);
    const std::string ussdError =
        "{\n   \"code\" : 5,\n   \"message\" : \"ussd code error\",\n   \"result\" : []\n}\n\n";
    for (const std::string& code :
         {std::string(), std::string(161, '1'), std::string("*100#\""), std::string("*1 0#"),
          std::string("AT"), std::string(u8"＊100＃")}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(RunTellmar(sim, {"ussd", "3", code}).documentText, ussdError);
    }
    EXPECT_EQ(AllCommands(sim), before);
    const TellmarRun longest = RunTellmar(sim, {"ussd", "3", std::string(160, '+')});
    EXPECT_EQ(longest.document["result"][0]["com"].asString(), "COM3") << longest.documentText;
    EXPECT_EQ(CommandsStartingWith(sim, 3, "AT+CUSD=1,\"++++").size(), 1u);
}

}  // namespace
