// The send command end to end: the real binary against simulated modems.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"

namespace {

const char* const kParamCountError =
    "{\n   \"code\" : 3,\n   \"message\" : \"param count error\",\n   \"result\" : []\n}\n\n";

std::string M35(int com, const std::string& extra = "")
{
    return "{\"com\":" + std::to_string(com) +
           ",\"model\":\"M35\",\"bauds\":[9600],\"iccid\":\"8986001234567890123" +
           std::to_string(com % 10) + "\"" + extra + "}";
}

struct Element {
    const char* com;
    const char* number;
    int code;
    const char* message;
};

void ExpectResults(const Json::Value& document, const std::vector<Element>& expected)
{
    EXPECT_EQ(document["code"].asInt(), 0);
    EXPECT_EQ(document["message"].asString(), "param is ok");
    ASSERT_EQ(document["result"].size(), expected.size()) << document.toStyledString();
    for (Json::ArrayIndex i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const Json::Value& element = document["result"][i];
        EXPECT_EQ(element["com"].asString(), expected[i].com);
        EXPECT_EQ(element["number"].asString(), expected[i].number);
        EXPECT_EQ(element["code"].asInt(), expected[i].code);
        EXPECT_EQ(element["message"].asString(), expected[i].message);
        EXPECT_EQ(element["time"].asString().size(), 19u);
    }
}

// The whole texts the simulated network received, in order.
std::vector<std::pair<std::string, std::string>> Delivered(const ModemSim& sim)
{
    std::vector<std::pair<std::string, std::string>> delivered;
    for (const Json::Value& e : sim.Events("message")) {
        delivered.emplace_back(e["number"].asString(), e["text"].asString());
    }
    return delivered;
}

TEST(SendCommandE2E, NamedPortsWithAMissingOneAndTheServiceNumberRule)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    // Quotes around the whole text argument go (a caller that wraps the text).
    const TellmarRun run = RunTellmar(sim, {"3,7", "18300000000,10086", "\"hello\""});
    ExpectResults(run.document, {{"COM3", "18300000000", 0, "Succeed"},
                                 {"COM3", "10086", 0, "Succeed"},
                                 {"COM7", "18300000000", 4, "No SIM CARD In Device"},
                                 {"COM7", "10086", 4, "No SIM CARD In Device"}});
    const std::string time = run.document["result"][0]["time"].asString();
    EXPECT_EQ(Delivered(sim), (std::vector<std::pair<std::string, std::string>>{
                                  {"18300000000", "hello " + time}, {"10086", "hello"}}));
    EXPECT_EQ(run.documentText.substr(run.documentText.size() - 3), "}\n\n");

    // A 100-character Chinese text through every port: two concatenated parts.
    std::string chinese;
    for (int i = 0; i < 10; ++i) {
        chinese += u8"北京欢迎您来到长城看";
    }
    ASSERT_EQ(chinese.size(), 300u);  // 100 characters of 3 UTF-8 bytes
    const TellmarRun longRun = RunTellmar(sim, {"18300000000", chinese});
    ExpectResults(longRun.document, {{"COM3", "18300000000", 0, "Succeed"}});
    const std::vector<Json::Value> messages = sim.Events("message");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2]["parts"].asInt(), 2);
    EXPECT_EQ(messages[2]["text"].asString(),
              chinese + " " + longRun.document["result"][0]["time"].asString());
    const std::vector<Json::Value> parts = sim.Events("sms");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[2]["concat"]["part"].asInt(), 1);
    EXPECT_EQ(parts[3]["concat"]["part"].asInt(), 2);
    EXPECT_EQ(parts[2]["concat"]["total"].asInt(), 2);
    EXPECT_EQ(parts[2]["concat"]["ref"], parts[3]["concat"]["ref"]);
}

TEST(SendCommandE2E, QuotesInATextAreSentAsTyped)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const struct {
        const char* typed;
        const char* sent;
    } cases[] = {
        {"He said \"hi\" to me", "He said \"hi\" to me"},  // embedded
        {"Size 5\" screen", "Size 5\" screen"},            // unbalanced
        {"\"ab", "\"ab"},
        {"\"Enclosed, it is wrapped\"", "Enclosed, it is wrapped"},
        {"\"say \"hi\"\"", "say \"hi\""},  // only the enclosing pair goes
        {u8"他说\"你好\"", u8"他说\"你好\""},
    };
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        // To a service number, so that the text goes as it is.
        const TellmarRun run = RunTellmar(sim, {"3", "10086", c.typed});
        ExpectResults(run.document, {{"COM3", "10086", 0, "Succeed"}});
        expected.emplace_back("10086", c.sent);
    }
    EXPECT_EQ(Delivered(sim), expected);
}

TEST(SendCommandE2E, TheFullWidthCommaSeparatesAndComNamesArePorts)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "," + M35(4) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    // As the help writes the lists, and as the port table names the ports.
    const TellmarRun run = RunTellmar(sim, {u8"COM3，com4", u8"18300000000，10086", "lists"});
    ExpectResults(run.document, {{"COM3", "18300000000", 0, "Succeed"},
                                 {"COM3", "10086", 0, "Succeed"},
                                 {"COM4", "18300000000", 0, "Succeed"},
                                 {"COM4", "10086", 0, "Succeed"}});
    ASSERT_TRUE(sim.WaitForEvents("message", 4, 5000));

    // Every other rule stays: no other full-width form, no other prefix.
    const struct {
        std::vector<std::string> args;
        int code;
    } refused[] = {
        {{u8"COM3、COM4", "10086", "x"}, 1},
        {{"PORT3", "10086", "x"}, 1},
        {{"COM03", "10086", "x"}, 1},  // as 03: no port of that name
        {{"3", u8"18300000000；10086", "x"}, 2},
        {{"3", u8"１８３００００００００", "x"}, 2},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const TellmarRun bad = RunTellmar(sim, c.args);
        EXPECT_EQ(bad.document["code"].asInt(), c.code);
    }
    EXPECT_EQ(sim.Events("message").size(), 4u);
}

TEST(SendCommandE2E, ArgumentErrorsAndWhenThePortsAreScanned)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    // Wrong argument counts and unknown sub-commands touch no port.
    const std::vector<std::vector<std::string>> countErrors = {
        {"HELP"},
        {"-V"},
        {"sms"},
        {"3", "18300000000", "text", "extra"},
        {"3", "4", "5", "6", "7"}};
    for (const auto& args : countErrors) {
        SCOPED_TRACE(args[0] + " and " + std::to_string(args.size() - 1) + " more");
        const TellmarRun run = RunTellmar(sim, args);
        EXPECT_EQ(run.process.out, kParamCountError);
    }
    // An unknown word keeps its document and says which words there are.
    const TellmarRun unknown = RunTellmar(sim, {"sms", "foo"});
    EXPECT_EQ(unknown.document.getMemberNames(),
              (std::vector<std::string>{"check", "message", "seconds", "type"}));
    EXPECT_EQ(unknown.document["check"].asInt(), 0);
    EXPECT_EQ(unknown.document["type"].asString(), "foo");
    EXPECT_EQ(unknown.document["message"].asString(),
              "unknown word \"foo\"; the words are read, clear, readclear, sread, sclear, "
              "sreadclear, watch");
    EXPECT_EQ(unknown.documentText.rfind("{\n   \"check\" : 0,\n   \"message\" : ", 0), 0u);
    EXPECT_TRUE(sim.Commands(3).empty()) << "no scan for any of these";

    // Bad numbers and ports are found after a full scan.
    const struct {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        {{"3", "183 0000", "text"}, 2, "phone number error"},
        {{"help", "x"}, 2, "phone number error"},
        {{"18300000000,+861830+0000000", "text"}, 2, "phone number error"},
        {{"COMX3", "18300000000", "text"}, 1, "com port error"},
        {{"7,8", "18300000000", "text"}, 1, "com port error"},
    };
    std::size_t commandsBefore = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const TellmarRun run = RunTellmar(sim, c.args);
        EXPECT_EQ(run.document["code"].asInt(), c.code);
        EXPECT_EQ(run.document["message"].asString(), c.message);
        EXPECT_TRUE(run.document["result"].isArray() && run.document["result"].empty());
        const std::size_t commands = sim.Commands(3).size();
        EXPECT_GT(commands, commandsBefore) << "scanned first";
        commandsBefore = commands;
    }
    EXPECT_TRUE(sim.Events("sms").empty());

    // An empty text sends the default one (to a service number: without the time).
    const TellmarRun empty = RunTellmar(sim, {"3", "10086", ""});
    ExpectResults(empty.document, {{"COM3", "10086", 0, "Succeed"}});
    EXPECT_EQ(Delivered(sim), (std::vector<std::pair<std::string, std::string>>{
                                  {"10086", u8" 北京Corvel短信为您服务 "}}));
}

TEST(SendCommandE2E, RetryRuleAndDeviceMajorOrder)
{
    ModemSim sim("{\"ports\":[" +
                 M35(3, ",\"faults\":{\"cms_error_bodies\":3,\"cms_error_code\":500}") + "," +
                 "{\"com\":4,\"model\":\"ME909s-821\",\"iccid\":\"89860115881034567890\","
                 "\"faults\":{\"cms_error_bodies\":1,\"cms_error_code\":330}}]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun run = RunTellmar(sim, {"18300000000,18500000000", "retry"});
    ExpectResults(run.document, {{"COM3", "18300000000", 1, "+CMS ERROR: 500"},
                                 {"COM3", "18500000000", 0, "Succeed"},
                                 {"COM4", "18300000000", 1, "+CMS ERROR: 330"},
                                 {"COM4", "18500000000", 0, "Succeed"}});
    // 500 is a network error worth three attempts; 330 is not.
    EXPECT_EQ(CommandsStartingWith(sim, 3, "AT+CMGS=").size(), 4u);
    EXPECT_EQ(CommandsStartingWith(sim, 4, "AT+CMGS=").size(), 2u);
    EXPECT_EQ(Delivered(sim).size(), 2u);
}

TEST(SendCommandE2E, ARetryResendsOnlyThePartTheNetworkRefused)
{
    // 180 Chinese characters and the send time: three parts. COM3 refuses
    // the second body once with a retryable error, COM4 every time.
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += u8"短信重发测试";
    }
    ModemSim sim(
        "{\"ports\":[" +
        M35(3, ",\"faults\":{\"cms_error_body_numbers\":[2],\"cms_error_code\":500}") + "," +
        M35(4, ",\"faults\":{\"cms_error_body_numbers\":[2,3,4],\"cms_error_code\":500}") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"3,4", "18300000000", text});
    ExpectResults(run.document, {{"COM3", "18300000000", 0, "Succeed"},
                                 {"COM4", "18300000000", 1, "+CMS ERROR: 500"}});

    std::vector<std::string> com3;
    std::vector<std::string> com4;
    for (const Json::Value& e : sim.Events("sms")) {
        const Json::Value& c = e["concat"];
        (e["com"].asInt() == 3 ? com3 : com4)
            .push_back(std::to_string(c["ref"].asInt()) + "/" + std::to_string(c["part"].asInt()) +
                       "/" + std::to_string(c["total"].asInt()));
    }
    // Each part billed once, all under one reference.
    ASSERT_EQ(com3.size(), 3u);
    const std::string ref = com3[0].substr(0, com3[0].find('/'));
    EXPECT_EQ(com3, (std::vector<std::string>{ref + "/1/3", ref + "/2/3", ref + "/3/3"}));
    // Part 2 never got through: part 1 stays the only one, nothing after it.
    ASSERT_EQ(com4.size(), 1u);
    EXPECT_EQ(com4[0].substr(com4[0].find('/')), "/1/3");
    // The recipient of COM3 gets the whole text once; COM4's gets nothing whole.
    const auto delivered = Delivered(sim);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].second.rfind(text, 0), 0u);
    EXPECT_EQ(CommandsStartingWith(sim, 4, "AT+CMGS=").size(), 4u)
        << "part 1, then part 2 three times";
}

TEST(SendCommandE2E, ClmAndCdmaRoutes)
{
    ModemSim sim(R"({"ports":[
        {"com":4,"model":"CLM920_NC5","bauds":[115200],"iccid":"89860318760203456789"},
        {"com":6,"model":"MC323","bauds":[115200],"iccid":"89860320245710000006"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun run = RunTellmar(sim, {"4,6", "18300000000", u8"你好, hello"});
    ExpectResults(run.document,
                  {{"COM4", "18300000000", 0, "Succeed"}, {"COM6", "18300000000", 0, "Succeed"}});
    ASSERT_TRUE(sim.WaitForEvents("message", 2, 5000));
    for (const Json::Value& e : sim.Events("message")) {
        SCOPED_TRACE(e["com"].asInt());
        EXPECT_EQ(e["number"].asString(), "18300000000");
        const std::string time =
            run.document["result"][e["com"].asInt() == 4 ? 0 : 1]["time"].asString();
        EXPECT_EQ(e["text"].asString(), u8"你好, hello " + time);
    }
    EXPECT_EQ(CommandsStartingWith(sim, 6, "AT^HCMGS=").size(), 1u);
    EXPECT_TRUE(CommandsStartingWith(sim, 6, "AT+CMGS").empty());
}

// A modem that another program left in the UCS2 (or HEX) character set
// quotes its service centre in that set: the number is read in it, and when
// it cannot be read the PDU leaves the centre to the modem, so the send
// works either way.
TEST(SendCommandE2E, AModemLeftInAnotherCharacterSetStillSends)
{
    ModemSim sim("{\"ports\":[" + M35(3, R"(,"charset":"UCS2")") + "," +
                 M35(4, R"(,"charset":"HEX")") + "," +
                 M35(5, R"(,"charset":"UCS2","faults":{"error_commands":["AT+CSCS?"]})") + "," +
                 M35(6) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = RunTellmar(sim, {"13800138000", "hello"});
    ExpectResults(run.document, {{"COM3", "13800138000", 0, "Succeed"},
                                 {"COM4", "13800138000", 0, "Succeed"},
                                 {"COM5", "13800138000", 0, "Succeed"},
                                 {"COM6", "13800138000", 0, "Succeed"}});
    const std::map<int, std::string> expected = {
        {3, "+8613800100500"}, {4, "+8613800100500"}, {5, ""}, {6, "+8613800100500"}};
    std::map<int, std::string> centres;
    for (const Json::Value& sms : sim.Events("sms")) {
        centres[sms["com"].asInt()] = sms["sca"].asString();
    }
    EXPECT_EQ(centres, expected);
    // Only the modems that quoted the number in a set of their own were asked.
    EXPECT_EQ(CommandsStartingWith(sim, 3, "AT+CSCS").size(), 1u);
    EXPECT_EQ(CommandsStartingWith(sim, 6, "AT+CSCS").size(), 0u);
}

}  // namespace
