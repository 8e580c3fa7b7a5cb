// What a merged message says of its parts (indexes, raw lines, missing
// parts, newest time) and the hold on incomplete ones, over PDUs made by
// other SMS software: each case names the vector file and the vector.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "drivers/sms_message.h"
#include "support/fixture_text.h"

namespace {

// The PDUs of a vector file by vector name.
std::map<std::string, std::string> VectorPdus(const std::string& relativePath, const char* list)
{
    std::ifstream in(TestDataPath(relativePath));
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << relativePath << errors;
    std::map<std::string, std::string> pdus;
    for (const Json::Value& vector : root[list]) {
        pdus[vector["name"].asString()] = vector["pdu"].asString();
    }
    return pdus;
}

// python3-gammu 3.2: one UCS-2 text of 3 parts, reference 0xA7, from
// 13700001111, stamped 21-03-06 01:02:03 in zone +00.
const std::map<std::string, std::string>& Gammu()
{
    static const std::map<std::string, std::string> pdus = VectorPdus("pdus_gammu.json", "vectors");
    return pdus;
}

// python3-gammu 3.2.4 (pdus_gammu_extra.json): two 2-part texts with the
// same reference 0xA2 from two senders, 85261234567 (7-bit) and
// 8613800138000 (UCS-2), both stamped 22-06-01 09:30:15 in zone +00.
const std::map<std::string, std::string>& GammuExtra()
{
    static const std::map<std::string, std::string> pdus =
        VectorPdus("codec/pdus_gammu_extra.json", "vectors");
    return pdus;
}

// gammu's tests/at-sms dumps and ofono's unit/test-sms.c (pdus_field.json).
const std::map<std::string, std::string>& Field()
{
    static const std::map<std::string, std::string> pdus =
        VectorPdus("codec/pdus_field.json", "cases");
    return pdus;
}

std::string GammuPart(int part)
{
    return Gammu().at("UCS-2 concatenated, 3 parts, reference 0xA7 part " + std::to_string(part) +
                      "/3");
}

SmsListEntry Stored(int index, const std::string& pdu)
{
    EXPECT_FALSE(pdu.empty()) << "a vector is missing";
    SmsListEntry entry;
    entry.nIndex = index;
    entry.nStatus = 1;
    entry.strPdu = pdu;
    entry.pdu = DecodeStoredPdu(pdu);
    return entry;
}

// 2021-03-06 01:02:03 UTC, the gammu vectors' stamp (zone +00).
constexpr std::int64_t kGammuTime = 1614992523;
// 2022-06-01 09:30:15 UTC, the gammu extra vectors' stamp (zone +00).
constexpr std::int64_t kGammuExtraTime = 1654075815;

struct PartsWanted {
    std::string from;
    std::vector<int> indexes;
    std::vector<std::string> pdus;  // in part order
    int parts;
    std::vector<int> missing;
    std::int64_t newest;
};

void ExpectParts(const SmsMessage& message, const PartsWanted& wanted)
{
    EXPECT_EQ(message.strFrom, wanted.from);
    EXPECT_EQ(message.vecIndexes, wanted.indexes);
    EXPECT_EQ(message.vecPdus, wanted.pdus);
    EXPECT_EQ(message.nParts, wanted.parts);
    EXPECT_EQ(message.vecMissing, wanted.missing);
    EXPECT_EQ(message.nNewestPartUtc, wanted.newest);
}

TEST(MergeMessages, LongMessagesKnowTheirPartsInAnyStorageOrder)
{
    const std::string p1 = GammuPart(1);
    const std::string p2 = GammuPart(2);
    const std::string p3 = GammuPart(3);
    const std::string whole =
        Ucs2ToAnsiString(DecodeStoredPdu(p1).strUserText + DecodeStoredPdu(p2).strUserText +
                         DecodeStoredPdu(p3).strUserText);
    const struct {
        const char* name;
        std::vector<SmsListEntry> entries;
        PartsWanted wanted;
    } cases[] = {
        {"in part order",
         {Stored(1, p1), Stored(2, p2), Stored(3, p3)},
         {"13700001111", {1, 2, 3}, {p1, p2, p3}, 3, {}, kGammuTime}},
        {"last part stored first",
         {Stored(1, p3), Stored(2, p1), Stored(3, p2)},
         {"13700001111", {2, 3, 1}, {p1, p2, p3}, 3, {}, kGammuTime}},
        {"listed out of index order",
         {Stored(7, p1), Stored(5, p2), Stored(6, p3)},
         {"13700001111", {7, 5, 6}, {p1, p2, p3}, 3, {}, kGammuTime}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SmsMessage> messages = MergeMessages(c.entries);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].strText, whole);
        ExpectParts(messages[0], c.wanted);
    }
}

TEST(MergeMessages, IncompleteMessagesNameWhatIsMissing)
{
    const std::string p1 = GammuPart(1);
    const std::string p2 = GammuPart(2);
    const std::string p3 = GammuPart(3);
    const struct {
        const char* name;
        std::vector<SmsListEntry> entries;
        std::string text;  // of the parts present, joined in order
        PartsWanted wanted;
    } cases[] = {
        {"the middle part missing",
         {Stored(4, p3), Stored(9, p1)},
         Ucs2ToAnsiString(DecodeStoredPdu(p1).strUserText + DecodeStoredPdu(p3).strUserText),
         {"13700001111", {9, 4}, {p1, p3}, 3, {2}, kGammuTime}},
        {"only the last part",
         {Stored(2, p3)},
         Ucs2ToAnsiString(DecodeStoredPdu(p3).strUserText),
         {"13700001111", {2}, {p3}, 3, {1, 2}, kGammuTime}},
        {"only the first part",
         {Stored(1, p1)},
         Ucs2ToAnsiString(DecodeStoredPdu(p1).strUserText),
         {"13700001111", {1}, {p1}, 3, {2, 3}, kGammuTime}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SmsMessage> messages = MergeMessages(c.entries);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].strText, c.text);
        ExpectParts(messages[0], c.wanted);
    }
}

TEST(MergeMessages, OneReferenceFromTwoSendersMakesTwoMessages)
{
    const std::string a1 = GammuExtra().at("7-bit concatenated part 1/2");
    const std::string a2 = GammuExtra().at("7-bit concatenated part 2/2");
    const std::string b1 = GammuExtra().at("UCS-2 concatenated, 2 parts part 1/2");
    const std::string b2 = GammuExtra().at("UCS-2 concatenated, 2 parts part 2/2");
    const struct {
        const char* name;
        std::vector<SmsListEntry> entries;
        std::vector<PartsWanted> wanted;  // in the order MergeMessages gives them
    } cases[] = {
        {"interleaved, both complete",
         {Stored(1, b2), Stored(2, a1), Stored(3, b1), Stored(4, a2)},
         {{"8613800138000", {3, 1}, {b1, b2}, 2, {}, kGammuExtraTime},
          {"85261234567", {2, 4}, {a1, a2}, 2, {}, kGammuExtraTime}}},
        {"one sender's second part missing: the other's is no stand-in",
         {Stored(1, a1), Stored(2, b1), Stored(3, b2)},
         {{"85261234567", {1}, {a1}, 2, {2}, kGammuExtraTime},
          {"8613800138000", {2, 3}, {b1, b2}, 2, {}, kGammuExtraTime}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SmsMessage> messages = MergeMessages(c.entries);
        ASSERT_EQ(messages.size(), c.wanted.size());
        for (std::size_t i = 0; i < messages.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectParts(messages[i], c.wanted[i]);
        }
    }
}

TEST(MergeMessages, SixteenBitReferencesAndSingleMessages)
{
    // pdus_field.json "messages": "16-bit reference" (made by the layout of
    // 3GPP TS 23.040 and read by python3-gammu), parts stored as 7 (part 2)
    // and 8 (part 1); then gammu's at-sms/03.dump, a single message.
    std::ifstream in(TestDataPath("codec/pdus_field.json"));
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors;
    std::vector<SmsListEntry> entries;
    std::vector<std::string> pdus;
    for (const Json::Value& message : root["messages"]) {
        if (message["name"].asString() == "16-bit reference") {
            for (const Json::Value& part : message["parts"]) {
                entries.push_back(Stored(part["index"].asInt(), part["pdu"].asString()));
                pdus.push_back(part["pdu"].asString());
            }
        }
    }
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_TRUE(entries[0].pdu.bConcat);
    ASSERT_GT(entries[0].pdu.nConcatRef, 255) << "the vector's reference is a 16-bit one";
    const std::string single = Field().at("at-sms/03.dump");
    entries.push_back(Stored(3, single));
    const std::vector<SmsMessage> messages = MergeMessages(entries);
    ASSERT_EQ(messages.size(), 2u);
    // 07-05-03 07:04:40 in zone +22 quarters (India, +05:30).
    ExpectParts(messages[0], {"+919884280026", {3}, {single}, 1, {}, 1178156080});
    EXPECT_EQ(messages[1].vecIndexes, (std::vector<int>{8, 7}));
    EXPECT_EQ(messages[1].vecPdus, (std::vector<std::string>{pdus[1], pdus[0]}));
    EXPECT_EQ(messages[1].nParts, 2);
    EXPECT_TRUE(messages[1].vecMissing.empty());
}

TEST(ServiceCentreTimeUtc, ReadsTheZoneAndRefusesWhatIsNoTime)
{
    const struct {
        const char* name;
        std::string digits;
        std::int64_t utc;
    } cases[] = {
        {"zone +00 (python3-gammu vectors)", "21030601020300", kGammuTime},
        {"zone +32 quarters, China", "26121110272532", 1796956045},
        {"zone -4 quarters: sign in bit 3 of the first digit (ofono simple_deliver)",
         "02082619374184", 1030394261},
        {"zone +22 quarters, India (gammu at-sms/03.dump)", "07050307044022", 1178156080},
        {"zone -48 quarters, the lowest", "261211102725C8", 1797028045},
        {"leap day", "24022912000000", 1709208000},
        {"zone -20 quarters, its sign digit in lower case", "020826193741a0", 1030408661},
        {"zone beyond 14 hours", "26121110272575", 0},
        {"zone with a digit of F", "261211102725F0", 0},
        {"zone's units not a digit", "2612111027253A", 0},
        {"month 13", "26131110272500", 0},
        {"30 February", "26023010272500", 0},
        {"hour 24", "26121124000000", 0},
        {"minute 60", "26121110602500", 0},
        {"no zone", "261211102725", 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ServiceCentreTimeUtc(c.digits), c.utc) << c.name;
    }
    // The decoder hands the digits over as they are in the PDU: ofono's
    // simple_deliver is stamped 02-08-26 19:37:41 in zone -01:00.
    EXPECT_EQ(ServiceCentreTimeUtc(DecodeStoredPdu(Field().at("ofono simple_deliver")).strTime),
              1030394261);
}

TEST(IsHeldBack, OnlyYoungIncompleteMessagesWait)
{
    constexpr std::int64_t kNow = 1796956045;
    SmsMessage incomplete;
    incomplete.nParts = 2;
    incomplete.vecMissing = {2};
    SmsMessage complete;
    complete.nParts = 2;
    const struct {
        const char* name;
        const SmsMessage& message;
        std::int64_t newest;
        bool held;
    } cases[] = {
        {"incomplete, just arrived", incomplete, kNow, true},
        {"incomplete, one second short of the limit", incomplete, kNow - 599, true},
        {"incomplete, at the limit", incomplete, kNow - 600, false},
        {"incomplete, 11 minutes old", incomplete, kNow - 660, false},
        {"incomplete, a clock 5 minutes ahead", incomplete, kNow + 300, true},
        {"incomplete, stamped far in the future", incomplete, kNow + 600, false},
        {"incomplete, no valid time", incomplete, 0, false},
        {"complete, just arrived", complete, kNow, false},
    };
    for (const auto& c : cases) {
        SmsMessage message = c.message;
        message.nNewestPartUtc = c.newest;
        EXPECT_EQ(IsHeldBack(message, kNow, kIncompleteLimitSeconds), c.held) << c.name;
    }
    EXPECT_EQ(kIncompleteLimitSeconds, 600);
}

// A bad time zone on one part leaves the other part's time as the newest;
// with no valid time at all the message's age is unknown (0).
TEST(MergeMessages, NewestTimeSkipsPartsWithoutAValidTime)
{
    std::string p1 = GammuPart(1);
    std::string p3 = GammuPart(3);
    // The time stamp "12306010203000" follows the originator and PID/DCS;
    // its last octet is the zone. Zone 0xFF is beyond any zone.
    const std::string stamp = "12306010203000";
    const std::size_t at = p3.find(stamp);
    ASSERT_NE(at, std::string::npos);
    std::string badZone3 = p3;
    badZone3.replace(at + 12, 2, "FF");
    std::string badZone1 = p1;
    badZone1.replace(p1.find(stamp) + 12, 2, "FF");
    std::vector<SmsMessage> messages = MergeMessages({Stored(1, p1), Stored(2, badZone3)});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].nNewestPartUtc, kGammuTime);
    EXPECT_EQ(messages[0].vecMissing, (std::vector<int>{2}));
    messages = MergeMessages({Stored(1, badZone1), Stored(2, badZone3)});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].nNewestPartUtc, 0);
    EXPECT_FALSE(IsHeldBack(messages[0], kGammuTime, kIncompleteLimitSeconds));
}

}  // namespace
