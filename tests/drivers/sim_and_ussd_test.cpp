// What the drivers make of the SIM's PIN state, the PIN attempts each module
// family reports, USSD results, and the references and report requests of
// a send.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drivers/models.h"
#include "drivers/phone_card_base.h"
#include "iconv/text_literal.h"
#include "support/driver_state.h"

namespace {

constexpr PARSE_RESULT_t kOk = PARSE_SUCCEED;
constexpr PARSE_RESULT_t kFail = PARSE_FAILED;
constexpr PARSE_RESULT_t kMore = PARSE_INCOMPLETE;

// Offers every prefix of the reply, then the whole: before the deciding
// line is complete the parser keeps waiting or already gives its verdict.
template <typename Parse>
PARSE_RESULT_t ParsePrefixes(const std::string& reply, PARSE_RESULT_t verdict, Parse parse)
{
    for (std::size_t n = 0; n < reply.size(); ++n) {
        const PARSE_RESULT_t early = parse(reply.substr(0, n));
        EXPECT_TRUE(early == kMore || early == verdict) << "prefix " << n;
    }
    return parse(reply);
}

TEST(ParsePinState, TheStateLineDecides)
{
    const struct {
        const char* name;
        std::string reply;
        PARSE_RESULT_t result;
        std::string state;
        std::string lastError;
    } cases[] = {
        {"ready", "\r\n+CPIN: READY\r\n\r\nOK\r\n", kOk, "READY", kEarlierError},
        {"Wavecom: no OK after the line", "\r\n+CPIN: SIM PIN\r\n", kOk, "SIM PIN", kEarlierError},
        {"no blank after the colon", "\r\n+CPIN:SIM PUK\r\n\r\nOK\r\n", kOk, "SIM PUK",
         kEarlierError},
        {"no SIM", "\r\n+CME ERROR: 10\r\n", kFail, "", "+CME ERROR: 10"},
        {"OK alone", "\r\nOK\r\n", kFail, "", "No SIM state in the answer to AT+CPIN?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(PHONE_TYPE_VELT_F);
        LeaveLastError(*driver);
        EXPECT_EQ(ParsePrefixes(c.reply, c.result,
                                [&](const std::string& r) { return driver->ParsePinState(r); }),
                  c.result);
        EXPECT_EQ(driver->PinState(), c.state);
        EXPECT_EQ(driver->GetLastErrorText(), c.lastError);
    }
}

TEST(EnterPin, TheCommandAndTheModemsVerdict)
{
    CPhoneCardBase driver;
    EXPECT_EQ(driver.EnterPinCommand("1234"), "AT+CPIN=\"1234\"\r\n");
    EXPECT_EQ(CPhoneCardBase::PinTraceSecret("1234"), "\"1234\"");
    EXPECT_EQ(driver.ParseEnterPin("\r\nOK\r\n"), kOk);
    EXPECT_EQ(driver.ParseEnterPin("\r\n+CME ERROR: 16\r\n"), kFail);
    EXPECT_EQ(driver.GetLastErrorText(), "+CME ERROR: 16");
    EXPECT_EQ(driver.ParseEnterPin("\r\n+CME ERR"), kMore);
}

TEST(PinAttempts, EachModuleFamilyAsksInItsOwnCommand)
{
    const struct {
        PHONE_TYPE_t type;
        std::string command;
        std::string reply;
        int attempts;
    } cases[] = {
        {PHONE_TYPE_VELT_C, "AT+QTRPIN\r\n", "\r\n+QTRPIN: 2,3,10,10\r\n\r\nOK\r\n", 2},
        {PHONE_TYPE_VELT_D, "AT^CPIN?\r\n", "\r\n^CPIN: SIM PIN,1,10,1,4,10\r\n\r\nOK\r\n", 1},
        {PHONE_TYPE_VELT_E, "AT^CPIN?\r\n", "\r\n^CPIN: SIM PUK,10,10,0,4,10\r\n\r\nOK\r\n", 0},
        {PHONE_TYPE_VELT_F, "AT+CPINC\r\n", "\r\n+CPINC: 2,3,10,10\r\n\r\nOK\r\n", 2},
        {PHONE_TYPE_VELT_F, "AT+CPINC\r\n", "\r\n+CME ERROR: 3\r\n", -1},
        {PHONE_TYPE_VELT_B, "", "", -1},
        {PHONE_TYPE_VELT_G, "", "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DeviceTypeName(c.type) + " " + c.reply);
        const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(c.type);
        EXPECT_EQ(driver->PinAttemptsCommand(), c.command);
        if (c.command.empty()) {
            continue;
        }
        LeaveLastError(*driver);
        EXPECT_EQ(ParsePrefixes(c.reply, kOk,
                                [&](const std::string& r) { return driver->ParsePinAttempts(r); }),
                  kOk);
        EXPECT_EQ(driver->PinAttempts(), c.attempts);
        EXPECT_EQ(driver->GetLastErrorText(), kEarlierError) << "the PIN's error stays";
    }
}

TEST(ParseUssd, TheResultWhenItComesAndItsText)
{
    const struct {
        const char* name;
        std::string charset;  // the answer to AT+CSCS?
        std::string reply;
        PARSE_RESULT_t result;
        std::string text;  // internal text
        bool more;
        std::string lastError;
    } cases[] = {
        {"OK first, the result later (Wavecom)", "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n",
         "\r\nOK\r\n\r\n+CUSD: 0,\"Balance 5.00\",15\r\n", kOk, "Balance 5.00", false,
         kEarlierError},
        {"the echo is no result", "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n",
         "AT+CUSD=1,\"*100#\",15\r\r\n\r\n+CUSD: 0,\"x\",15\r\n\r\nOK\r\n", kOk, "x", false,
         kEarlierError},
        {"a menu that asks for more", "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n",
         "\r\n+CUSD: 1,\"1 Balance\n2 Bonus\",15\r\n\r\nOK\r\n", kOk, "1 Balance\n2 Bonus", true,
         kEarlierError},
        {"packed septets", "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n",
         "\r\nOK\r\n\r\n+CUSD: 0,\"C2303BEC1E974131976C06\",15\r\n", kOk, "Balance 1.23", false,
         kEarlierError},
        {"UCS-2 in a UCS2 modem", "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n",
         "\r\n+CUSD: 2,\"4F60597D\",72\r\n\r\nOK\r\n", kOk, GB("你好"), false, kEarlierError},
        {"terminated without a text", "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n", "\r\n+CUSD: 2\r\n", kFail,
         "", false, "USSD terminated by the network"},
        {"not supported", "\r\nOK\r\n", "\r\nOK\r\n\r\n+CUSD: 4\r\n", kFail, "", false,
         "USSD not supported by the network"},
        {"refused by the modem", "\r\nOK\r\n", "\r\n+CME ERROR: 258\r\n", kFail, "", false,
         "+CME ERROR: 258"},
        {"OK alone keeps waiting", "\r\nOK\r\n", "\r\nOK\r\n", kMore, "", false, kEarlierError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPhoneCardBase driver;
        EXPECT_EQ(driver.ParseCharset(c.charset), kOk);
        LeaveLastError(driver);
        EXPECT_EQ(ParsePrefixes(c.reply, c.result,
                                [&](const std::string& r) { return driver.ParseUssd(r); }),
                  c.result);
        EXPECT_EQ(driver.UssdReply(), c.text);
        EXPECT_EQ(driver.UssdWantsMore(), c.more);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
    }
    CPhoneCardBase driver;
    EXPECT_EQ(driver.UssdCommand("*100#"), "AT+CUSD=1,\"*100#\",15\r\n");
    EXPECT_EQ(driver.UssdCancelCommand(), "AT+CUSD=2\r\n");
    EXPECT_EQ(driver.ParseCharset("\r\n+CSCS: \"IRA\"\r\n"), kMore) << "its OK has not come";
}

TEST(ModelAbilities, TheCdmaModelHasNoReportsAndNoUssd)
{
    for (PHONE_TYPE_t type : {PHONE_TYPE_VELT_B, PHONE_TYPE_VELT_C, PHONE_TYPE_VELT_D,
                              PHONE_TYPE_VELT_E, PHONE_TYPE_VELT_F, PHONE_TYPE_VELT_G}) {
        const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(type);
        const bool gsm = type != PHONE_TYPE_VELT_G;
        EXPECT_EQ(driver->SupportsStatusReports(), gsm) << DeviceTypeName(type);
        EXPECT_EQ(driver->SupportsUssd(), gsm) << DeviceTypeName(type);
    }
}

// The first octet of every SUBMIT carries TP-SRR (0x20) once reports are
// asked for; the service-centre part "0891683108100005F0" comes before it.
TEST(BuildSendCommands, EveryPartAsksForAReportWhenSet)
{
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(PHONE_TYPE_VELT_C);
    LeaveServiceCentre(*driver, "+8613800100500");
    for (const std::string& text : {std::string("short"), std::string(150, 'a')}) {
        SCOPED_TRACE(text.size());
        std::vector<SendPair> pairs = driver->BuildSendCommands("13800138000", text);
        ASSERT_FALSE(pairs.empty());
        const unsigned plain = std::stoul(pairs[0].second.substr(18, 2), nullptr, 16);
        EXPECT_EQ(plain & 0x20, 0u);
        driver->SetStatusReports(true);
        pairs = driver->BuildSendCommands("13800138000", text);
        for (const SendPair& pair : pairs) {
            EXPECT_EQ(std::stoul(pair.second.substr(18, 2), nullptr, 16), plain | 0x20);
        }
        driver->SetStatusReports(false);
    }
}

}  // namespace

namespace {

TEST(ReadStorages, TheStatusReportStorageWhereOffered)
{
    const struct {
        std::string reply;
        bool offered;
    } cases[] = {
        {"\r\n+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))\r\n\r\nOK\r\n", true},
        {"\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n", false},
        {"\r\n+CPMS: (\"SM\"),(\"SM\",\"SR\"),(\"SM\")\r\n\r\nOK\r\n", false},
        {"\r\n+CMS ERROR: 302\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        CPhoneCardBase driver;
        EXPECT_EQ(driver.ParseReadStorages(c.reply.substr(0, c.reply.size() - 2)), PARSE_INCOMPLETE)
            << "its final line has not ended";
        EXPECT_EQ(driver.ParseReadStorages(c.reply), PARSE_SUCCEED);
        EXPECT_EQ(driver.OffersStatusReportStorage(), c.offered);
    }
    CPhoneCardBase driver;
    EXPECT_EQ(driver.ReadStoragesCommand(), "AT+CPMS=?\r\n");
    EXPECT_EQ(driver.SelectSrStorageCommand(), "AT+CPMS=\"SR\"\r\n");
}

}  // namespace
