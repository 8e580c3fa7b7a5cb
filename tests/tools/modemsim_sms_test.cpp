// Messages through the simulator: the PDUs it builds and serves must equal
// those of an independent library, and the SMS-SUBMIT PDUs it reads must
// come out as the number and text that library put in.

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim_line.h"
#include "support/fixture_text.h"
#include "support/modem_sim.h"

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<Json::Value> LoadVectors()
{
    std::ifstream in(TestDataPath("modemsim/pdus.json"));
    Json::Value root;
    in >> root;
    std::vector<Json::Value> vectors;
    for (const Json::Value& v : root["vectors"])
        vectors.push_back(v);
    return vectors;
}

int HexByte(const std::string& hex, std::size_t octet)
{
    return std::stoi(hex.substr(octet * 2, 2), nullptr, 16);
}

// The configuration form of a vector: its number gets a "+" when the PDU
// gives the number as international.
Json::Value MessageFor(const Json::Value& v, int index)
{
    const std::string pdu = v["pdu"].asString();
    bool submit = v["kind"].asString() == "submit";
    std::size_t address = 1 + HexByte(pdu, 0) + 1 + (submit ? 1 : 0);
    bool international = HexByte(pdu, address + 1) == 0x91;
    Json::Value m;
    m["index"] = index;
    m["status"] = submit ? 2 : 1;
    m[submit ? "to" : "from"] = (international ? "+" : "") + v["number"].asString();
    if (!submit)
        m["time"] = v["time"];
    m["dcs"] = v["dcs"];
    m["tz"] = 0;
    m["text"] = v.isMember("part_text_utf8") ? v["part_text_utf8"] : v["text_utf8"];
    if (v.isMember("concat"))
        m["concat"] = v["concat"];
    return m;
}

std::string Config(const Json::Value& port)
{
    Json::Value root;
    root["ports"].append(port);
    return Json::writeString(Json::StreamWriterBuilder(), root);
}

Json::Value Port(int com, const char* model)
{
    Json::Value port;
    port["com"] = com;
    port["model"] = model;
    port["iccid"] = "89860012345678901234";
    port["echo"] = false;
    return port;
}

// "+CMGL: i,s,,len" / PDU line pairs of a listing.
struct Listed {
    int index;
    int status;
    int length;
    std::string pdu;
};

std::vector<Listed> ParseListing(const std::string& reply)
{
    std::vector<Listed> listed;
    std::istringstream lines(reply);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("+CMGL: ", 0) != 0)
            continue;
        Listed entry{};
        std::sscanf(line.c_str(), "+CMGL: %d,%d,,%d", &entry.index, &entry.status, &entry.length);
        std::getline(lines, entry.pdu);
        if (!entry.pdu.empty() && entry.pdu.back() == '\r')
            entry.pdu.pop_back();
        listed.push_back(entry);
    }
    return listed;
}

TEST(SimulatorMessages, BuiltPdusEqualTheKnownGoodOnes)
{
    std::vector<Json::Value> vectors = LoadVectors();
    ASSERT_FALSE(vectors.empty());
    Json::Value port = Port(3, "M35");
    port["sca"] = "+8613800100500";
    for (std::size_t i = 0; i < vectors.size(); ++i) {
        port["storage"]["SM"].append(MessageFor(vectors[i], static_cast<int>(i) + 1));
    }
    ModemSim sim(Config(port));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    std::vector<Listed> listed = ParseListing(line.Command("AT+CMGL=4\r\n"));
    ASSERT_EQ(listed.size(), vectors.size());
    for (std::size_t i = 0; i < vectors.size(); ++i) {
        SCOPED_TRACE(vectors[i]["name"].asString());
        const std::string pdu = vectors[i]["pdu"].asString();
        EXPECT_EQ(listed[i].index, static_cast<int>(i) + 1);
        EXPECT_EQ(listed[i].pdu, pdu);
        EXPECT_EQ(listed[i].length, static_cast<int>(pdu.size() / 2) - 1 - HexByte(pdu, 0));
    }
}

// An SMS-SUBMIT made from a deliver vector's user data, so a concatenated
// send can be checked against the library's part texts.
std::string SubmitFromDeliver(const std::string& deliver)
{
    std::size_t oa = 1 + HexByte(deliver, 0) + 1;
    std::size_t digits = HexByte(deliver, oa);
    std::size_t afterOa = oa + 2 + (digits + 1) / 2;
    std::string address = deliver.substr(oa * 2, (afterOa - oa) * 2);
    std::string userData = deliver.substr((afterOa + 2 + 7) * 2);  // PID, DCS, time stamp
    return "00"
           "51"
           "00" +
           address +
           "00"
           "08"
           "00" +
           userData;
}

std::string Send(SimLine& line, const std::string& pdu, int length)
{
    std::string prompt = line.Command("AT+CMGS=" + std::to_string(length) + "\r");
    if (!Has(prompt, "> "))
        return prompt;
    return line.Command(pdu + "\x1A");
}

int TpduLength(const std::string& pdu)
{
    return static_cast<int>(pdu.size() / 2) - 1 - HexByte(pdu, 0);
}

TEST(SimulatorMessages, SubmitBodiesAreReadAsTheLibraryWroteThem)
{
    ModemSim sim(Config(Port(3, "M35")));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Command("AT+CMEE=1\r");
    std::vector<Json::Value> submits;
    for (const Json::Value& v : LoadVectors()) {
        if (v["kind"].asString() == "submit")
            submits.push_back(v);
    }
    ASSERT_EQ(submits.size(), 2u);
    for (std::size_t i = 0; i < submits.size(); ++i) {
        const Json::Value& v = submits[i];
        SCOPED_TRACE(v["name"].asString());
        const std::string pdu = v["pdu"].asString();
        std::string reply = Send(line, pdu, TpduLength(pdu));
        EXPECT_TRUE(Has(reply, "\r\n+CMGS: " + std::to_string(i + 1) + "\r\n\r\nOK\r\n")) << reply;
        std::vector<Json::Value> sms = sim.Events("sms");
        ASSERT_EQ(sms.size(), i + 1);
        EXPECT_EQ(sms[i]["number"].asString(), v["number"].asString());
        EXPECT_EQ(sms[i]["text"].asString(), v["text_utf8"].asString());
        EXPECT_EQ(sms[i]["dcs"].asInt(), v["dcs"].asInt());
        std::vector<Json::Value> messages = sim.Events("message");
        ASSERT_EQ(messages.size(), i + 1);
        EXPECT_EQ(messages[i]["text"].asString(), v["text_utf8"].asString());
        EXPECT_EQ(messages[i]["parts"].asInt(), 1);
    }
    EXPECT_EQ(sim.Events("sms")[0]["toa"].asInt(), 145);
    EXPECT_EQ(sim.Events("sms")[1]["toa"].asInt(), 129);
}

TEST(SimulatorMessages, BadBodiesAreRefusedWith304)
{
    const std::string good = "0891683108100005F011000B813108108300F0000800084E2D658777ED4FE1";
    struct Case {
        const char* name;
        std::string pdu;
        int length;
    };
    const Case cases[] = {
        {"length one short", good, TpduLength(good) - 1},
        {"length one long", good, TpduLength(good) + 1},
        {"not hex", good.substr(0, good.size() - 2) + "G1", TpduLength(good)},
        {"odd digit count", good + "0", TpduLength(good)},
        {"deliver instead of submit",
         "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C", 27},
        {"user-data length beyond the octets",
         "0891683108100005F011000B813108108300F0000800094E2D658777ED4FE1", TpduLength(good)},
        {"header longer than the user data",
         "0891683108100005F051000B813108108300F00008000807050003A702014E2D", 22},
    };
    ModemSim sim(Config(Port(3, "M35")));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Command("AT+CMEE=1\r");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Send(line, c.pdu, c.length), "\r\n+CMS ERROR: 304\r\n");
    }
    EXPECT_TRUE(sim.Events("sms").empty());
    EXPECT_EQ(sim.Events("sms_rejected").size(), std::size(cases));
    // The modem is back in command mode after every refusal.
    EXPECT_EQ(Send(line, good, TpduLength(good)), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
}

TEST(SimulatorMessages, ConcatenatedPartsAreJoinedWhateverTheirOrder)
{
    std::vector<Json::Value> parts;
    std::string whole;
    for (const Json::Value& v : LoadVectors()) {
        if (v.isMember("concat")) {
            parts.push_back(v);
            whole += v["part_text_utf8"].asString();
        }
    }
    ASSERT_EQ(parts.size(), 3u);
    ModemSim sim(Config(Port(3, "ME909s-821")));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B115200));
    for (int part : {3, 1, 2}) {
        std::string pdu = SubmitFromDeliver(parts[part - 1]["pdu"].asString());
        ASSERT_TRUE(Has(Send(line, pdu, TpduLength(pdu)), "OK\r\n"));
        if (part != 2) {
            EXPECT_TRUE(sim.Events("message").empty());
        }
    }
    std::vector<Json::Value> sms = sim.Events("sms");
    ASSERT_EQ(sms.size(), 3u);
    EXPECT_EQ(sms[0]["concat"]["part"].asInt(), 3);
    EXPECT_EQ(sms[0]["concat"]["ref"].asInt(), 0xA7);
    EXPECT_EQ(sms[0]["text"].asString(), parts[2]["part_text_utf8"].asString());
    std::vector<Json::Value> messages = sim.Events("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["text"].asString(), whole);
    EXPECT_EQ(messages[0]["parts"].asInt(), 3);
    EXPECT_EQ(messages[0]["number"].asString(), "13700001111");
}

class StorageTest : public ::testing::Test {
protected:
    void StartWith(const char* model)
    {
        Json::Value port = Port(3, model);
        const char* storageJson = R"({
          "SM": [{"index": 2, "status": 0, "from": "13912345678", "time": "24-05-01 09:30:00", "text": "sim two"},
                 {"index": 5, "status": 1, "from": "13912345678", "time": "24-05-01 09:31:00", "text": "sim five"}],
          "ME": [{"index": 1, "status": 1, "from": "10086", "time": "24-05-02 08:00:00", "text": "me one", "dcs": 8}]})";
        std::istringstream(storageJson) >> port["storage"];
        sim = std::make_unique<ModemSim>(Config(port));
        ASSERT_TRUE(sim->Start()) << sim->LastError();
        ASSERT_TRUE(line.Open(sim->PortPath(3), B9600));
        line.Command("AT+CMEE=1\r");
    }

    std::unique_ptr<ModemSim> sim;
    SimLine line;
};

TEST_F(StorageTest, ListReadAndDeleteWorkOnTheSelectedStorage)
{
    StartWith("M35");
    EXPECT_EQ(line.Command("AT+CPMS=\"SM\"\r\n"), "\r\n+CPMS: 2,50,2,50,2,50\r\n\r\nOK\r\n");
    std::vector<Listed> sim1 = ParseListing(line.Command("AT+CMGL=4\r\n"));
    ASSERT_EQ(sim1.size(), 2u);
    EXPECT_EQ(sim1[0].index, 2);
    EXPECT_EQ(sim1[0].status, 0);
    // Listing turned the unread message read.
    EXPECT_EQ(ParseListing(line.Command("AT+CMGL=4\r\n"))[0].status, 1);
    EXPECT_TRUE(ParseListing(line.Command("AT+CMGL=0\r\n")).empty());

    std::string read = line.Command("AT+CMGR=5\r\n");
    EXPECT_TRUE(Has(read, "\r\n+CMGR: 1,," + std::to_string(sim1[1].length) + "\r\n" + sim1[1].pdu +
                              "\r\n\r\nOK\r\n"))
        << read;
    EXPECT_EQ(line.Command("AT+CMGR=3\r\n"), "\r\n+CMS ERROR: 321\r\n");

    EXPECT_EQ(line.Command("AT+CPMS=\"ME\"\r\n"), "\r\n+CPMS: 1,100,2,50,2,50\r\n\r\nOK\r\n");
    EXPECT_EQ(ParseListing(line.Command("AT+CMGL=4\r\n")).size(), 1u);
    EXPECT_EQ(line.Command("AT+CMGD=0,4\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CMGL=4\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("at + cpms?\r\n"),
              "\r\n+CPMS: \"ME\",0,100,\"SM\",2,50,\"SM\",2,50\r\n\r\nOK\r\n");

    line.Command("AT+CPMS=\"SM\"\r\n");
    EXPECT_EQ(line.Command("AT+CMGD=2\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(ParseListing(line.Command("AT+CMGL=4\r\n")).size(), 1u);
    std::vector<Json::Value> deleted = sim->Events("delete");
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_EQ(deleted[0]["storage"].asString(), "ME");
    EXPECT_EQ(deleted[0]["index"].asInt(), 1);
    EXPECT_EQ(deleted[1]["storage"].asString(), "SM");
    EXPECT_EQ(deleted[1]["index"].asInt(), 2);
    EXPECT_EQ(line.Command("AT+CPMS=\"XX\"\r\n"), "\r\n+CMS ERROR: 302\r\n");
}

TEST_F(StorageTest, ClmRouteListsIndexesThenReadsEachOne)
{
    StartWith("CLM920_NC5");
    EXPECT_EQ(line.Command("AT+ATVER=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CMGD=?\r\n"), "\r\n+CMGD: (2,5),(0-4)\r\n\r\nOK\r\n");
    for (int index : {2, 5}) {
        std::string reply = line.Command("AT+CMGR=" + std::to_string(index) + "\r\n");
        EXPECT_TRUE(Has(reply, "+CMGR: ")) << reply;
        EXPECT_TRUE(Has(reply, "0891683108100005F0")) << reply;
    }
    line.Command("AT+CMGD=0,4\r\n");
    EXPECT_EQ(line.Command("AT+CMGD=?\r\n"), "\r\n+CMGD: (),(0-4)\r\n\r\nOK\r\n");
}

// A phone that ends every PDU line with a quote; a stored PDU is served as
// it is, even when it is no PDU at all.
TEST(SimulatorMessages, PduLineSuffixAndRawPdusAsStored)
{
    Json::Value port = Port(3, "M35");
    port["faults"]["pdu_line_suffix"] = "\"";
    port["storage"]["SM"].append(Json::Value(Json::objectValue));
    port["storage"]["SM"][0]["index"] = 4;
    port["storage"]["SM"][0]["pdu"] = "0791ZZ";
    ModemSim sim(Config(port));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Command("AT+CMEE=1\r");
    const std::string listing = line.Command("AT+CMGL=4\r\n");
    EXPECT_TRUE(Has(listing, "+CMGL: 4,1,,") && Has(listing, "\r\n0791ZZ\"\r\n")) << listing;
    const std::string read = line.Command("AT+CMGR=4\r\n");
    EXPECT_TRUE(Has(read, "\r\n0791ZZ\"\r\n\r\nOK\r\n")) << read;
}

TEST(SimulatorMessages, WithoutSimTheStatusQueriesFail)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    const char* queries[] = {"AT+CCID\r", "AT+CSQ\r", "AT+COPS?\r", "AT+CSCA?\r", "AT+CPMS?\r"};
    for (const char* query : queries) {
        SCOPED_TRACE(query);
        EXPECT_EQ(line.Command(query), "\r\nERROR\r\n");
    }
    line.Command("AT+CMEE=1\r");
    for (const char* query : queries) {
        SCOPED_TRACE(query);
        EXPECT_EQ(line.Command(query), "\r\n+CME ERROR: 10\r\n");
    }
    EXPECT_EQ(line.Command("AT+CMGS=20\r"), "\r\n+CMS ERROR: 310\r\n");
}

TEST(SimulatorCdma, SendsRawUcs2AndConfirmsAfterTheOk)
{
    ModemSim sim(R"({"ports":[{"com":6,"model":"MC323","echo":false,"iccid":"89860320245710000006"},
                              {"com":7,"model":"MC323","echo":false,"iccid":"89860320245710000007",
                               "faults":{"hcmgsf":true}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(6), B115200));
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT^HSMSSS=0,0,6,0\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT^HCMGS=\"10086\"\r"), "\r\n> ");
    // "你好" then 00 1A; the 1A inside a character does not end the body.
    line.Send(std::string("\x4F\x60\x59\x7D\x4E\x1A\x00\x1A", 8));
    std::string reply = line.ReadUntil(":1\r\n", 3000);
    EXPECT_EQ(reply, "\r\nOK\r\n\r\n^HCMGSS:1\r\n");
    std::vector<Json::Value> sms = sim.Events("sms");
    ASSERT_EQ(sms.size(), 1u);
    EXPECT_EQ(sms[0]["number"].asString(), "10086");
    EXPECT_EQ(sms[0]["text"].asString(), u8"你好业");

    SimLine refused;
    ASSERT_TRUE(refused.Open(sim.PortPath(7), B115200));
    refused.Command("AT^HCMGS=\"10086\"\r");
    refused.Send(std::string("\x00\x61\x00\x1A", 4));
    reply = refused.ReadUntil(":96\r\n", 3000);
    EXPECT_EQ(reply, "\r\nOK\r\n\r\n^HCMGSF:96\r\n");
    EXPECT_EQ(sim.Events("sms").size(), 1u);
    EXPECT_EQ(sim.Events("sms_rejected").size(), 1u);
    EXPECT_EQ(refused.Command("AT+CMGS=20\r"), "\r\nERROR\r\n");
}

TEST(SimulatorCdma, ListsAndReadsStoredMessagesInBothFormats)
{
    ModemSim sim(
        u8R"({"ports":[{"com":6,"model":"MC323","echo":false,"iccid":"89860320245710000006",
      "storage":{"SM":[{"index":1,"status":0,"from":"18912345678","time":"24-05-03 07:15:00","text":"晴","dcs":8},
                       {"index":4,"status":1,"from":"10000","time":"24-12-31 23:59:58","text":"Hi"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(6), B115200));
    EXPECT_EQ(line.Command("AT^HCMGL=4\r\n"), "\r\n^HCMGL: 1,0\r\n^HCMGL: 4,1\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT^HCMGR=1\r\n"),
              std::string("\r\n^HCMGR:18912345678,2024,05,03,07,15,00,0,6,2,0,0,0,1\r\n"
                          "\x66\x74\x00\x1A\r\n\r\nOK\r\n",
                          68));
    EXPECT_EQ(
        line.Command("AT^HCMGR=4\r\n"),
        std::string(
            "\r\n^HCMGR:10000,2024,12,31,23,59,58,0,1,2,0,0,0,1\r\nHi\x00\x1A\r\n\r\nOK\r\n", 62));
    EXPECT_EQ(line.Command("AT^HCMGL=0\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT^HCMGR=2\r\n"), "\r\nERROR\r\n");
}

TEST(SimulatorMessages, TextModeAndAsciiCdmaBodiesAreTakenAsText)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"MG301","echo":false,"iccid":"89860012345678901234"},
                              {"com":6,"model":"MC323","echo":false,"iccid":"89860320245710000006"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine gsm;
    ASSERT_TRUE(gsm.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(gsm.Command("at+cmgf=1\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(gsm.Command("at+cmgs=\"+8613800138000\"\r\n"), "\r\n> ");
    EXPECT_EQ(gsm.Command("hello\x1A"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(gsm.Command("AT+CMGL=4\r\n"), "\r\nERROR\r\n");

    SimLine cdma;
    ASSERT_TRUE(cdma.Open(sim.PortPath(6), B115200));
    EXPECT_EQ(cdma.Command("AT^HSMSSS=0,0,1,0\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(cdma.Command("AT^HCMGS=\"10086\"\r"), "\r\n> ");
    cdma.Send("Hi\x1A");
    EXPECT_EQ(cdma.ReadUntil(":1\r\n", 3000), "\r\nOK\r\n\r\n^HCMGSS:1\r\n");

    std::vector<Json::Value> sms = sim.Events("sms");
    ASSERT_EQ(sms.size(), 2u);
    EXPECT_EQ(sms[0]["number"].asString(), "8613800138000");
    EXPECT_EQ(sms[0]["toa"].asInt(), 145);
    EXPECT_EQ(sms[0]["text"].asString(), "hello");
    EXPECT_EQ(sms[1]["text"].asString(), "Hi");
    EXPECT_EQ(sms[1]["dcs"].asInt(), 0);
}

// A module that writes its result lines without the blank, and one left in
// another character set: the service centre is quoted in the set.
TEST(SimulatorMessages, CompactResultLinesAndTheCharacterSet)
{
    ModemSim sim(R"({"ports":[
        {"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234","compact_results":true,
         "storage":{"SM":[{"index":2,"from":"10086","time":"24-01-02 03:04:05","text":"hi"}]}},
        {"com":4,"model":"M35","echo":false,"iccid":"89860012345678901234","charset":"UCS2"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine compact;
    ASSERT_TRUE(compact.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(compact.Command("AT+CSQ\r"), "\r\n+CSQ:23,99\r\n\r\nOK\r\n");
    EXPECT_EQ(compact.Command("AT+CPMS=\"SM\"\r"), "\r\n+CPMS:1,50,1,50,1,50\r\n\r\nOK\r\n");
    const std::string listing = compact.Command("AT+CMGL=4\r");
    EXPECT_EQ(listing.rfind("\r\n+CMGL:2,1,,", 0), 0u) << listing;
    EXPECT_EQ(compact.Command("AT+CMGR=9\r"), "\r\nERROR\r\n");
    compact.Command("AT+CMEE=1\r");
    EXPECT_EQ(compact.Command("AT+CMGR=9\r"), "\r\n+CMS ERROR:321\r\n");

    SimLine ucs2;
    ASSERT_TRUE(ucs2.Open(sim.PortPath(4), B9600));
    EXPECT_EQ(ucs2.Command("AT+CSCS?\r"), "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCA?\r"),
              "\r\n+CSCA: \"002B0038003600310033003800300030003100300030003500300030\",145\r\n"
              "\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCS=\"HEX\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCA?\r"),
              "\r\n+CSCA: \"2B38363133383030313030353030\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCS=\"GSM\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCA?\r"), "\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(ucs2.Command("AT+CSCS=\"KOI8\"\r"), "\r\nERROR\r\n");
}

}  // namespace

namespace {

// Messages that arrive while the simulator runs: at their time, or when the
// test asks; announced with +CMTI or not; a long message whose parts come
// apart; a storage that is full keeps nothing.
TEST(SimulatorMessages, ArrivalsByTheClockAndOnRequest)
{
    ModemSim sim(R"({"ports":[
        {"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234","cnmi":"2,1,0,0,0",
         "capacity":{"SM":2,"ME":100},
         "storage":{"SM":[{"index":1,"from":"10086","time":"24-01-02 03:04:05","text":"old"}]},
         "arrivals":[
           {"after_ms":400,"from":"13912345678","time":"24-01-02 03:05:00","text":"first"},
           {"after_ms":400,"storage":"ME","announce":false,"from":"10086",
            "time":"24-01-02 03:05:01","text":"quiet"},
           {"from":"13912345678","time":"24-01-02 03:06:00","text":"part one ",
            "concat":{"ref":7,"total":2,"part":1},"storage":"ME"},
           {"from":"13912345678","time":"24-01-02 03:09:00","text":"part two",
            "concat":{"ref":7,"total":2,"part":2},"storage":"ME","index":9},
           {"from":"10086","time":"24-01-02 03:10:00","text":"no room"}]},
        {"com":4,"model":"M35","echo":false,"iccid":"89860012345678901235","compact_results":true,
         "cnmi":"2,1,0,0,0",
         "arrivals":[{"after_ms":400,"from":"10086","time":"24-01-02 03:05:00","text":"c"}]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    SimLine compact;
    ASSERT_TRUE(compact.Open(sim.PortPath(4), B9600));
    EXPECT_EQ(line.Command("AT+CPMS=\"SM\",\"SM\",\"SM\"\r"),
              "\r\n+CPMS: 1,2,1,2,1,2\r\n\r\nOK\r\n");

    // Announced on its own port only, in the module's framing.
    EXPECT_EQ(line.ReadUntil("\r\n", 5000), "\r\n+CMTI: \"SM\",2\r\n");
    EXPECT_EQ(compact.ReadUntil("\r\n", 5000), "\r\n+CMTI:\"SM\",1\r\n");
    EXPECT_EQ(line.Command("AT+CPMS=\"ME\",\"ME\",\"ME\"\r"),
              "\r\n+CPMS: 1,100,1,100,1,100\r\n\r\nOK\r\n");
    ASSERT_TRUE(sim.WaitForEvents("arrival", 3, 5000));

    // Held ones come one per request, in order: the parts of one message
    // minutes apart as the test's clock has it, then one the full SIM
    // storage cannot take.
    ASSERT_TRUE(sim.DeliverHeldArrival());
    EXPECT_EQ(line.ReadUntil("\r\n", 5000), "\r\n+CMTI: \"ME\",2\r\n");
    EXPECT_EQ(line.ReadFor(300), "");
    ASSERT_TRUE(sim.DeliverHeldArrival());
    EXPECT_EQ(line.ReadUntil("\r\n", 5000), "\r\n+CMTI: \"ME\",9\r\n");
    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(sim.WaitForEvents("arrival", 6, 5000));
    EXPECT_EQ(line.ReadFor(300), "");
    const std::string listing = line.Command("AT+CMGL=4\r");
    for (const char* header : {"+CMGL: 1,0,,", "+CMGL: 2,0,,", "+CMGL: 9,0,,"}) {
        EXPECT_NE(listing.find(header), std::string::npos) << header << listing;
    }

    const struct {
        int com;
        const char* storage;
        int index;
        const char* text;
        const char* dropped;
    } expected[] = {
        {3, "SM", 2, "first", ""},    {3, "ME", 1, "quiet", ""},
        {4, "SM", 1, "c", ""},        {3, "ME", 2, "part one ", ""},
        {3, "ME", 9, "part two", ""}, {3, "SM", 3, "no room", "storage full"},
    };
    const std::vector<Json::Value> arrivals = sim.Events("arrival");
    ASSERT_EQ(arrivals.size(), std::size(expected));
    std::vector<std::string> seen;
    std::vector<std::string> want;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Json::Value& a = arrivals[i];
        seen.push_back(std::to_string(a["com"].asInt()) + a["storage"].asString() +
                       std::to_string(a["index"].asInt()) + a["text"].asString() +
                       a["dropped"].asString());
        const auto& e = expected[i];
        want.push_back(std::to_string(e.com) + e.storage + std::to_string(e.index) + e.text +
                       e.dropped);
    }
    // The three timed ones come at the same time, in any order among
    // themselves; the held ones in the order they were asked for.
    std::sort(seen.begin(), seen.begin() + 3);
    std::sort(want.begin(), want.begin() + 3);
    EXPECT_EQ(seen, want);
}

}  // namespace
