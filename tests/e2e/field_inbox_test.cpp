// Stored PDUs of others (tests/data/codec/pdus_field.json) read end to end,
// by the real binary, through the listing route (M35) and the per-index route
// (CLM920_NC5) of the simulator: status reports in SIM storage, stored
// SUBMITs and DELIVERs whatever their listed status, alphanumeric senders,
// the GSM letters, class and message-waiting codings, 16-bit references, two
// senders with one reference, an emoji split between parts, PDU lines that
// end with a quote, and unreadable entries that readclear must keep.

#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "support/fixture_text.h"

namespace {

Json::Value FieldTable()
{
    std::ifstream in(TestDataPath("codec/pdus_field.json"));
    Json::Value root;
    in >> root;
    return root;
}

const Json::Value& Named(const Json::Value& list, const std::string& name)
{
    for (const Json::Value& v : list) {
        if (v["name"].asString() == name) {
            return v;
        }
    }
    ADD_FAILURE() << "no fixture case " << name;
    static const Json::Value kNone;
    return kNone;
}

Json::Value Stored(int index, int status, const std::string& pdu)
{
    Json::Value message(Json::objectValue);
    message["index"] = index;
    message["status"] = status;
    message["pdu"] = pdu;
    return message;
}

Json::Value Message(const std::string& from, const std::string& time, const std::string& text,
                    const char* storage)
{
    Json::Value message(Json::objectValue);
    message["from"] = from;
    message["storage"] = storage;
    message["text"] = text;
    message["time"] = time;
    return message;
}

// A status report's message carries its report as the source reads it.
Json::Value MessageOf(const Json::Value& c, const char* storage)
{
    Json::Value message =
        Message(c["number"].asString(), c["time"].asString(), c["text_utf8"].asString(), storage);
    if (c.isMember("report")) {
        message["report"] = c["report"];
    }
    return message;
}

Json::Value Unreadable(int index, const std::string& pdu, const char* storage)
{
    Json::Value entry(Json::objectValue);
    entry["index"] = index;
    entry["pdu"] = pdu;
    entry["storage"] = storage;
    return entry;
}

TEST(FieldInboxE2E, RecordedPdusOnBothRoutesAndReadClearKeepsTheUnreadable)
{
    const Json::Value table = FieldTable();
    const Json::Value& cases = table["cases"];
    const Json::Value& joins = table["messages"];
    const Json::Value& report = Named(cases, "at-sms/30.dump");     // status report
    const Json::Value& submit = Named(cases, "at-sms/28.dump");     // SUBMIT listed as unread
    const Json::Value& deliver = Named(cases, "at-sms/37.dump");    // DELIVER listed as sent
    const Json::Value& alnum = Named(cases, "ofono alnum_sender");  // "sipgate"
    const Json::Value& letters = Named(cases, "at-sms/10.dump");    // "Tèätrc @ £."
    const Json::Value& mwi = Named(cases, "ofono simple_mwi");      // data coding 0xC8
    const Json::Value& classOne = Named(cases, "at-sms/29.dump");   // data coding 0x11
    const Json::Value& refused = Named(cases, "at-sms-failing/13.dump");
    const Json::Value& emoji =
        Named(joins, "an emoji whose surrogate pair is split between two parts");
    const Json::Value& twoSenders =
        Named(joins, "two senders with the same reference, interleaved");
    const Json::Value& wide = Named(joins, "16-bit reference");
    const std::string hello = letters["pdu"].asString();
    const std::string midGarbage = hello.substr(0, 30) + "*" + hello.substr(30);

    Json::Value sm(Json::arrayValue);
    sm.append(Stored(1, 3, report["pdu"].asString()));
    sm.append(Stored(2, 0, submit["pdu"].asString()));
    sm.append(Stored(3, 3, deliver["pdu"].asString()));
    sm.append(Stored(4, 1, alnum["pdu"].asString()));
    sm.append(Stored(5, 1, letters["pdu"].asString()));
    sm.append(Stored(6, 1, refused["pdu"].asString()));
    sm.append(Stored(7, 1, emoji["parts"][1]["pdu"].asString()));
    sm.append(Stored(8, 1, emoji["parts"][0]["pdu"].asString()));
    Json::Value me(Json::arrayValue);
    for (int i = 0; i < 4; ++i) {
        me.append(Stored(i + 1, 1, twoSenders["parts"][i]["pdu"].asString()));
    }
    me.append(Stored(5, 1, wide["parts"][0]["pdu"].asString()));
    me.append(Stored(6, 1, wide["parts"][1]["pdu"].asString()));
    me.append(Stored(7, 1, classOne["pdu"].asString()));
    me.append(Stored(8, 1, midGarbage));
    me.append(Stored(9, 0, mwi["pdu"].asString()));

    Json::Value config;
    const char* models[] = {"M35", "CLM920_NC5"};
    for (int k = 0; k < 2; ++k) {
        Json::Value port;
        port["com"] = 3 + k;
        port["model"] = models[k];
        port["bauds"].append(k == 0 ? 9600 : 115200);
        port["iccid"] = k == 0 ? "89860012345678901234" : "89860318760203456789";
        port["storage"]["SM"] = sm;
        port["storage"]["ME"] = me;
        // One phone's listing ends every PDU line with a quote.
        port["faults"]["pdu_line_suffix"] = "\"";
        config["ports"].append(port);
    }
    ModemSim sim(Json::FastWriter().write(config));
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    Json::Value expected(Json::arrayValue);
    for (const Json::Value* c : {&report, &submit, &deliver, &alnum, &letters}) {
        expected.append(MessageOf(*c, "SIM"));
    }
    expected.append(Message(emoji["expected"][0]["from"].asString(),
                            emoji["expected"][0]["time"].asString(),
                            emoji["expected"][0]["text_utf8"].asString(), "SIM"));
    for (const Json::Value* c : {&classOne, &mwi}) {
        expected.append(MessageOf(*c, "DEV"));
    }
    for (const Json::Value& m : twoSenders["expected"]) {
        expected.append(
            Message(m["from"].asString(), m["time"].asString(), m["text_utf8"].asString(), "DEV"));
    }
    const Json::Value& w = wide["expected"][0];
    expected.append(
        Message(w["from"].asString(), w["time"].asString(), w["text_utf8"].asString(), "DEV"));
    Json::Value unreadable(Json::arrayValue);
    // The lines as the modem sent them, quote included.
    unreadable.append(Unreadable(6, refused["pdu"].asString() + "\"", "SIM"));
    unreadable.append(Unreadable(8, midGarbage + "\"", "DEV"));

    const TellmarRun run = RunTellmar(sim, {"sms", "readclear"});
    ASSERT_EQ(run.document["portcount"].asInt(), 2);
    for (int k = 0; k < 2; ++k) {
        const Json::Value& port = run.document["ports"][k];
        SCOPED_TRACE(port["name"].asString());
        EXPECT_EQ(port.getMemberNames(),
                  (std::vector<std::string>{"clear", "msgcount", "msgs", "name", "unreadable"}));
        EXPECT_EQ(port["msgcount"].asUInt(), expected.size());
        EXPECT_EQ(port["msgs"], expected) << port.toStyledString();
        EXPECT_EQ(port["unreadable"], unreadable);
        EXPECT_TRUE(port["clear"].asBool()) << "every message read was deleted";
        std::set<std::pair<std::string, int>> readable;
        for (int i : {1, 2, 3, 4, 5, 7, 8}) {
            readable.emplace("SM", i);
        }
        for (int i : {1, 2, 3, 4, 5, 6, 7, 9}) {
            readable.emplace("ME", i);
        }
        EXPECT_EQ(DeletedOn(sim, 3 + k), readable) << "the unreadable SM 6 and ME 8 stay";
    }
    EXPECT_FALSE(CommandsStartingWith(sim, 4, "AT+CMGR=").empty()) << "the per-index route";
    EXPECT_FALSE(CommandsStartingWith(sim, 3, "AT+CMGL=").empty()) << "the listing route";

    const TellmarRun after = RunTellmar(sim, {"sms", "sread"});
    for (int k = 0; k < 2; ++k) {
        const Json::Value& port = after.document["ports"][k];
        EXPECT_EQ(port["msgcount"].asUInt(), 0u);
        EXPECT_EQ(port["unreadable"], unreadable) << "kept on the modem";
    }

    // A sender is answered as it was shown: "+" makes it international.
    const std::string sender = run.document["ports"][0]["msgs"][2]["from"].asString();
    ASSERT_EQ(sender, "+447732482432");
    RunTellmar(sim, {"3,4", sender, "hi"});
    const std::vector<Json::Value> sent = sim.Events("sms");
    ASSERT_EQ(sent.size(), 2u);
    for (const Json::Value& sms : sent) {
        EXPECT_EQ(sms["number"].asString(), "447732482432");
        EXPECT_EQ(sms["toa"].asInt(), 145);
    }
}

}  // namespace
