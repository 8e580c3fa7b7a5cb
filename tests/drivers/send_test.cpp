#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <memory>
#include <string>

#include "codec/charset_conv.h"
#include "drivers/m35.h"
#include "drivers/mc323.h"
#include "drivers/models.h"
#include "iconv/text_literal.h"
#include "support/driver_state.h"
#include "support/fixture_text.h"

namespace {

constexpr PARSE_RESULT_t kOk = PARSE_SUCCEED;
constexpr PARSE_RESULT_t kFail = PARSE_FAILED;
constexpr PARSE_RESULT_t kMore = PARSE_INCOMPLETE;

TEST(ParseSendPrompt, PromptErrorOrWait)
{
    const struct {
        std::string reply;
        PARSE_RESULT_t result;
        std::string lastError;
    } cases[] = {
        {"\r\n> ", kOk, kEarlierError},
        {"AT+CMGS=18\r\r\n> ", kOk, kEarlierError},
        {"", kMore, kEarlierError},
        {"\r\n", kMore, kEarlierError},
        {"\r\nERROR\r\n", kFail, "ERROR"},
        {"\r\n+CMS ERROR: 304\r\n", kFail, "+CMS ERROR: 304"},
        {"\r\n+CMS ERR", kMore, kEarlierError},
        {"\r\nRING\r\n", kMore, kEarlierError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CM35 driver;
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParseSendPrompt(c.reply), c.result);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
    }
}

struct BodyCase {
    const char* fixture;
    PARSE_RESULT_t result;
    bool retryable;
    std::string lastError;
    int reference = -1;  // the +CMGS reference kept (LastReference)
};

// Each recorded reply is offered whole and in every prefix: before the
// deciding line is complete the parser must keep waiting.
TEST(ParseSendBody, RecordedRepliesAndRetryFlag)
{
    const BodyCase cases[] = {
        {"drivers/base/send_body_ok.txt", kOk, false, kEarlierError, 12},
        {"drivers/base/send_body_cms500.txt", kFail, true, "+CMS ERROR: 500"},
        {"drivers/base/send_body_cms512.txt", kFail, true, "+CMS ERROR: 512"},
        {"drivers/base/send_body_cms600.txt", kFail, true, "+CMS ERROR: 600"},
        {"drivers/base/send_body_cms601.txt", kFail, false, "+CMS ERROR: 601"},
        {"drivers/base/send_body_cms38.txt", kFail, false, "+CMS ERROR: 38"},
        {"drivers/base/send_body_cms330.txt", kFail, false, "+CMS ERROR: 330"},
        {"drivers/base/send_body_error.txt", kFail, false, "ERROR"},
        {"drivers/base/send_body_no_ok.txt", kMore, false, kEarlierError},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string reply = LoadFixture(c.fixture);
        CM35 driver;
        for (std::size_t n = 0; n < reply.size(); ++n) {
            LeaveRetryFlag(driver, true);
            LeaveLastError(driver);
            const PARSE_RESULT_t early = driver.ParseSendBody(reply.substr(0, n));
            ASSERT_TRUE(early == kMore || early == c.result) << "prefix " << n;
            if (early == kMore) {
                ASSERT_FALSE(driver.RetryableError()) << "prefix " << n;
            }
        }
        LeaveRetryFlag(driver, !c.retryable);
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParseSendBody(reply), c.result);
        EXPECT_EQ(driver.RetryableError(), c.retryable);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
        EXPECT_EQ(driver.LastReference(), c.reference);
    }
}

TEST(ParseSendBody, CdmaWaitsForTheNetworkConfirmation)
{
    const BodyCase cases[] = {
        {"drivers/mc323/send_body_ok_only.txt", kMore, false, kEarlierError},
        {"drivers/mc323/send_body_hcmgss.txt", kOk, false, kEarlierError},
        {"drivers/mc323/send_body_hcmgsf.txt", kFail, false, "^HCMGSF:96"},
        {"drivers/mc323/send_body_cms_error.txt", kFail, false, "+CMS ERROR: 500"},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string reply = LoadFixture(c.fixture);
        CMc323 driver;
        for (std::size_t n = 0; n < reply.size(); ++n) {
            const PARSE_RESULT_t early = driver.ParseSendBody(reply.substr(0, n));
            ASSERT_TRUE(early == kMore || early == c.result) << "prefix " << n;
        }
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParseSendBody(reply), c.result);
        // A refused CDMA send is never retried.
        EXPECT_EQ(driver.RetryableError(), c.retryable);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
    }
}

// The send pairs are compared with bodies that an independent decoder
// (python3-gammu, see the file's "source") read back to the number and text
// sent; the concatenation reference changes with every message and is
// masked.
class SendPairs : public testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream in(TestDataPath("drivers/send_pairs_gammu.json"));
        ASSERT_TRUE(in) << "missing send_pairs_gammu.json";
        in >> m_doc;
    }
    Json::Value m_doc;
};

int PromptLengthOf(const std::string& bodyHex)
{
    const int scaOctets = std::stoi(bodyHex.substr(0, 2), nullptr, 16);
    return static_cast<int>(bodyHex.size() / 2) - (scaOctets + 1);
}

TEST_F(SendPairs, MatchTheIndependentlyDecodedBodies)
{
    for (const Json::Value& c : m_doc["cases"]) {
        SCOPED_TRACE(c["name"].asString());
        const bool cdma = c["driver"].asString() == "cdma";
        const std::unique_ptr<CPhoneCardBase> driver =
            CreatePhoneCard(cdma ? PHONE_TYPE_VELT_G : PHONE_TYPE_VELT_C);
        LeaveServiceCentre(*driver, c["sca"].asString());
        const std::string text = Utf8ToAnsi(c["text_utf8"].asString());
        const std::vector<SendPair> pairs = driver->BuildSendCommands(c["number"].asString(), text);
        const Json::Value& expected = c["pairs"];
        ASSERT_EQ(pairs.size(), expected.size());

        std::string firstRef;
        for (Json::ArrayIndex k = 0; k < expected.size(); ++k) {
            SCOPED_TRACE("part " + std::to_string(k + 1));
            const Json::Value& want = expected[k];
            EXPECT_EQ(pairs[k].first, want["prompt"].asString());
            if (cdma) {
                EXPECT_EQ(BytesToHex(pairs[k].second), want["body"].asString());
                continue;
            }
            ASSERT_FALSE(pairs[k].second.empty());
            EXPECT_EQ(pairs[k].second.back(), '\x1A');
            const std::string body = pairs[k].second.substr(0, pairs[k].second.size() - 1);
            std::string wantBody = want["body"].asString();
            if (want.isMember("ref_offset")) {
                const std::size_t at = want["ref_offset"].asUInt();
                ASSERT_LT(at + 2, body.size());
                const std::string ref = body.substr(at, 2);
                if (firstRef.empty()) {
                    firstRef = ref;
                }
                EXPECT_EQ(ref, firstRef) << "all parts carry one reference";
                wantBody.replace(at, 2, ref);
            }
            EXPECT_EQ(body, wantBody);
            EXPECT_EQ(pairs[k].first, "AT+CMGS=" + std::to_string(PromptLengthOf(body)) + "\r");
            // What the independent decoder read from the recorded body.
            const std::string sent = c["number_sent"].asString();
            EXPECT_EQ(want["decoded"]["number"].asString(),
                      c["international"].asBool() ? "+" + sent : sent);
        }
        if (!cdma) {
            EXPECT_EQ(c["decoded_text_utf8"].asString(), c["text_utf8"].asString());
        } else {
            std::string joined;
            for (const Json::Value& want : expected) {
                joined += want["decoded"]["text_utf8"].asString();
            }
            EXPECT_NE(joined.find(c["text_utf8"].asString().substr(0, 6)), std::string::npos);
        }
    }
}

TEST(BuildSendCommands, ChoosesOnePduUpTo70Ucs2Characters)
{
    const struct {
        std::string text;
        std::size_t pairs;
    } cases[] = {
        {std::string(70, 'a'), 1},
        {std::string(71, 'a'), 2},
        {[] {
             std::string t;
             for (int i = 0; i < 70; ++i)
                 t += GB("中");
             return t;
         }(),
         1},
        {[] {
             std::string t;
             for (int i = 0; i < 71; ++i)
                 t += GB("中");
             return t;
         }(),
         2},
        {std::string(), 1},
        {std::string(67 * 3, 'a'), 3},
        {std::string(67 * 3 + 1, 'a'), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        CM35 gsm;
        LeaveServiceCentre(gsm, "+8613800100500");
        EXPECT_EQ(gsm.BuildSendCommands("13800138000", c.text).size(), c.pairs);
    }
}

TEST(BuildSendCommands, ServiceCentreTooLongForThePduRefusesTheSend)
{
    CM35 driver;
    LeaveServiceCentre(driver, "+8613800100500123");  // 16 digits
    LeaveRetryFlag(driver, true);
    EXPECT_TRUE(driver.BuildSendCommands("13800138000", "short").empty());
    EXPECT_TRUE(driver.BuildSendCommands("13800138000", std::string(200, 'a')).empty());
    EXPECT_FALSE(driver.RetryableError());
    EXPECT_EQ(driver.GetLastErrorText(), "Service centre number too long: +8613800100500123");
}

// A destination is never cut: beyond the 20 digits an address holds, the
// send is refused with the reason.
TEST(BuildSendCommands, DestinationBeyondTwentyDigitsRefusesTheSend)
{
    CM35 driver;
    LeaveServiceCentre(driver, "");
    const std::string number(40, '1');
    LeaveRetryFlag(driver, true);
    EXPECT_TRUE(driver.BuildPduSend(number, "x").empty());
    EXPECT_TRUE(driver.BuildLongPduSend(number, "x").empty());
    EXPECT_FALSE(driver.RetryableError());
    EXPECT_EQ(driver.GetLastErrorText(), "Destination number too long: " + number);

    const std::string twenty(20, '1');
    for (const SendPair& pair :
         {driver.BuildPduSend(twenty, "x").at(0), driver.BuildLongPduSend(twenty, "x").at(0)}) {
        // Empty service centre "0191", first octet and reference, then the
        // destination length: 20 digits.
        EXPECT_EQ(pair.second.substr(0, 4), "0191");
        EXPECT_EQ(pair.second.substr(8, 2), "14");
        EXPECT_EQ(pair.second.substr(12, 20), twenty);
    }
}

TEST(BuildSendCommands, CdmaUsesTheSameLengthChoice)
{
    CMc323 driver;
    std::string text;
    for (int i = 0; i < 70; ++i)
        text += GB("中");
    const std::vector<SendPair> one = driver.BuildSendCommands("10086", text);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].first, "AT^HCMGS=\"10086\"\r");
    EXPECT_EQ(one[0].second.size(), 142u);
    EXPECT_EQ(driver.BuildSendCommands("10086", text + GB("中")).size(), 2u);
}

}  // namespace
