// The stored PDUs of others (tests/data/codec/pdus_field.json) read through
// both reading routes of the drivers: one "+CMGL" listing (CM35) and
// one "+CMGR" read per index (CClm920Nc5). Each route must give the same
// messages, and keep what it cannot read out of the messages and of the
// indexes it would delete.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "drivers/clm920_nc5.h"
#include "drivers/m35.h"
#include "iconv/text_literal.h"
#include "sms_message_print.h"
#include "support/fixture_text.h"

namespace {

using Messages = std::vector<SmsMessage>;

struct Stored {
    int index;
    std::string header;  // "+CMGR: ..." as recorded, or empty for "+CMGR: 1,,0"
    std::string line;    // the PDU line as the modem sends it
};

Json::Value FieldTable()
{
    std::ifstream in(TestDataPath("codec/pdus_field.json"));
    Json::Value root;
    in >> root;
    return root;
}

std::string Listing(const std::vector<Stored>& stored)
{
    std::string reply = "\r\n";
    for (const Stored& s : stored) {
        reply += "+CMGL: " + std::to_string(s.index) + ",1,,0\r\n" + s.line + "\r\n";
    }
    return reply + "\r\nOK\r\n";
}

struct RouteResult {
    Messages messages;
    std::vector<int> indexes;
    std::vector<SmsUnreadable> unreadable;
};

RouteResult ByListing(const std::vector<Stored>& stored)
{
    CM35 driver;
    EXPECT_EQ(driver.ParseList(Listing(stored)), PARSE_SUCCEED);
    return {driver.GetMessages(), driver.GetListedIndexes(), driver.GetUnreadable()};
}

RouteResult ByIndex(const std::vector<Stored>& stored)
{
    CClm920Nc5 driver;
    std::string indexes;
    for (const Stored& s : stored) {
        indexes += (indexes.empty() ? "" : ",") + std::to_string(s.index);
    }
    EXPECT_EQ(driver.ParseList("\r\n+CMGD: (" + indexes + "),(0-4)\r\n\r\nOK\r\n"), PARSE_SUCCEED);
    for (const Stored& s : stored) {
        EXPECT_EQ(driver.ReadNextCommand(), "AT+CMGR=" + std::to_string(s.index) + "\r\n");
        const std::string header = s.header.empty() ? "+CMGR: 1,,0" : s.header;
        driver.ParseReadNext("\r\n" + header + "\r\n" + s.line + "\r\n\r\nOK\r\n");
    }
    return {driver.GetMessages(), driver.GetListedIndexes(), driver.GetUnreadable()};
}

SmsMessage Expected(const Json::Value& v)
{
    return SmsMessage{
        Utf8ToAnsi(v["number"].isString() ? v["number"].asString() : v["from"].asString()),
        v["time"].asString(), Utf8ToAnsi(v["text_utf8"].asString())};
}

TEST(FieldRoutes, EveryRecordedPduOnBothRoutes)
{
    const Json::Value root = FieldTable();
    for (const Json::Value& c : root["cases"]) {
        SCOPED_TRACE(c["name"].asString());
        const std::string line = c.isMember("line") ? c["line"].asString() : c["pdu"].asString();
        const std::vector<Stored> stored = {{4, c["reply"].asString(), line}};
        const RouteResult routes[] = {ByListing(stored), ByIndex(stored)};
        for (const RouteResult& r : routes) {
            if (!c["readable"].asBool()) {
                EXPECT_TRUE(r.messages.empty());
                EXPECT_TRUE(r.indexes.empty()) << "an unreadable message is never deleted";
                ASSERT_EQ(r.unreadable.size(), 1u);
                EXPECT_EQ(r.unreadable[0].nIndex, 4);
                EXPECT_EQ(r.unreadable[0].strPdu, c["pdu"].asString());
                continue;
            }
            ASSERT_EQ(r.messages.size(), 1u);
            EXPECT_EQ(r.messages[0].strFrom, Utf8ToAnsi(c["number"].asString()));
            EXPECT_EQ(r.messages[0].strTime, c["time"].asString());
            if (c.isMember("text_utf8")) {
                EXPECT_EQ(AnsiToUtf8(r.messages[0].strText), c["text_utf8"].asString());
            }
            EXPECT_EQ(r.indexes, std::vector<int>{4});
            EXPECT_TRUE(r.unreadable.empty());
            ASSERT_EQ(r.messages[0].bReport, c.isMember("report"));
            if (c.isMember("report")) {
                const SmsReport& report = r.messages[0].report;
                EXPECT_EQ(report.nReference, c["report"]["reference"].asInt());
                EXPECT_EQ(report.nStatus, c["report"]["tp_st"].asInt());
                EXPECT_EQ(report.strDischarged, c["report"]["discharged"].asString());
            }
        }
    }
}

TEST(FieldRoutes, PartsJoinIntoTheSameMessagesOnBothRoutes)
{
    const Json::Value root = FieldTable();
    ASSERT_GE(root["messages"].size(), 6u);
    for (const Json::Value& c : root["messages"]) {
        SCOPED_TRACE(c["name"].asString());
        std::vector<Stored> stored;
        for (const Json::Value& part : c["parts"]) {
            stored.push_back({part["index"].asInt(), "", part["pdu"].asString()});
        }
        Messages expected;
        for (const Json::Value& m : c["expected"]) {
            expected.push_back(Expected(m));
        }
        EXPECT_EQ(ByListing(stored).messages, expected);
        EXPECT_EQ(ByIndex(stored).messages, expected);
    }
}

// A line whose digits are followed by a quote (a real phone's listing, as in
// gammu's tests/at-sms/04.dump) is read; a line with other characters in
// the middle is unreadable, and the messages next to it are not lost.
TEST(FieldRoutes, LenientLinesAndTheirNeighbours)
{
    const std::string hello =
        "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C";
    const std::vector<Stored> stored = {{1, "", hello + "\""},
                                        {2, "", hello.substr(0, 20) + "Z" + hello.substr(20)},
                                        {3, "", hello + " \" "}};
    for (const RouteResult& r : {ByListing(stored), ByIndex(stored)}) {
        const SmsMessage message{"13912345679", "21-03-05 10:11:12", GB("你好世界")};
        EXPECT_EQ(r.messages, (Messages{message, message}));
        EXPECT_EQ(r.indexes, (std::vector<int>{1, 3}));
        ASSERT_EQ(r.unreadable.size(), 1u);
        EXPECT_EQ(r.unreadable[0].nIndex, 2);
    }
}

}  // namespace
