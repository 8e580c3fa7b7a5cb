#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "drivers/clm920_nc5.h"
#include "drivers/mc323.h"
#include "drivers/me909s.h"
#include "drivers/models.h"
#include "drivers/phone_card_base.h"
#include "support/driver_state.h"
#include "support/fixture_text.h"

namespace {

constexpr PARSE_RESULT_t kOk = PARSE_SUCCEED;
constexpr PARSE_RESULT_t kFail = PARSE_FAILED;
constexpr PARSE_RESULT_t kMore = PARSE_INCOMPLETE;

struct RuleCase {
    std::string reply;
    PARSE_RESULT_t result;
    std::string lastError;  // the last error text afterwards
};

const RuleCase kGeneralRule[] = {
    {"\r\nOK\r\n", kOk, kEarlierError},
    {"\r\nERROR\r\n", kFail, "ERROR"},
    {"\r\n+CME ERROR: 10\r\n", kFail, "+CME ERROR: 10"},
    {"\r\nOK", kOk, kEarlierError},
    {"\r\nERROR", kMore, kEarlierError},
    {"", kMore, kEarlierError},
    {"AT\r\r\nOK\r\n", kOk, kEarlierError},
    {"\r\n+CMS ERROR: 500\r\n\r\nOK\r\n", kFail, "+CMS ERROR: 500"},
    {"\r\nRING\r\n\r\n+CPMS: 1,50,1,50\r\n\r\nOK\r\n", kOk, kEarlierError},
    {"\r\nBOOK\r\n", kOk, kEarlierError},
    {"\r\nRING\r\n", kMore, kEarlierError},
    {std::string("\0\r\n\xff\xfe\r\nERROR\r\n", 14), kFail, "ERROR"},
};

// Every operation that is the general rule in its base version, on every
// model, since a model's own ParsePduMode must not leak into them.
using Rule = std::function<PARSE_RESULT_t(CPhoneCardBase&, const std::string&)>;

std::vector<std::unique_ptr<CPhoneCardBase>> AllDrivers()
{
    std::vector<std::unique_ptr<CPhoneCardBase>> drivers;
    drivers.push_back(std::make_unique<CPhoneCardBase>());
    for (const PHONE_TYPE_t type : {PHONE_TYPE_VELT_B, PHONE_TYPE_VELT_C, PHONE_TYPE_VELT_D,
                                    PHONE_TYPE_VELT_E, PHONE_TYPE_VELT_F, PHONE_TYPE_VELT_G}) {
        drivers.push_back(CreatePhoneCard(type));
    }
    return drivers;
}

TEST(GeneralRule, DecidesOnTheFirstCompleteOkOrErrorLine)
{
    const std::pair<const char*, Rule> rules[] = {
        {"ParseDeleteAll",
         [](CPhoneCardBase& d, const std::string& r) { return d.ParseDeleteAll(r); }},
        {"ParseSelectMeStorage",
         [](CPhoneCardBase& d, const std::string& r) { return d.ParseSelectMeStorage(r); }},
        {"ParseSelectSmStorage",
         [](CPhoneCardBase& d, const std::string& r) { return d.ParseSelectSmStorage(r); }},
    };
    for (auto& driver : AllDrivers()) {
        for (const auto& rule : rules) {
            for (const RuleCase& c : kGeneralRule) {
                SCOPED_TRACE(DeviceTypeName(driver->GetDeviceType()) + " " + rule.first + " " +
                             testing::PrintToString(c.reply));
                LeaveLastError(*driver);
                EXPECT_EQ(rule.second(*driver, c.reply), c.result);
                EXPECT_EQ(driver->GetLastErrorText(), c.lastError);
            }
        }
    }
}

TEST(GeneralRule, BaseParsePduMode)
{
    CPhoneCardBase driver;
    for (const RuleCase& c : kGeneralRule) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParsePduMode(c.reply), c.result);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
    }
}

TEST(ShortRule, ParsePrepareReadKeepsTheWholeErrorReply)
{
    const RuleCase cases[] = {
        {"\r\nOK", kOk, kEarlierError},
        {"AT\r\r\nERROR", kFail, "AT\r\r\nERROR"},
        {"\r\n+CME ERROR: 3\r\n", kFail, "+CME ERROR: 3"},
        {"", kMore, kEarlierError},
        {"\r\nRING\r\n", kMore, kEarlierError},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CPhoneCardBase driver;
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParsePrepareRead(c.reply), c.result);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
    }
}

TEST(NonEmptyTest, BaseReadNext)
{
    CPhoneCardBase base;
    for (const std::string& reply : {std::string(), std::string("\r\nERROR\r\n")}) {
        EXPECT_EQ(base.ParseReadNext(reply), !reply.empty());
    }
}

TEST(ParseInit, SucceedsOnAnyAnswerOfEveryModelOnceItHasCome)
{
    const std::pair<const char*, PARSE_RESULT_t> cases[] = {
        {"\r\nOK\r\n", kOk},
        {"\r\nERROR\r\n", kOk},
        {"\r\n+CME ERROR: 100\r\n", kOk},
        {"\r\nCOMMAND NOT SUPPORT\r\n", kOk},
        {"AT^RSSIREP=0\r\r\nOK\r\n", kOk},
        // Nothing yet, an echo alone, unsolicited lines, an unfinished line.
        {"", kMore},
        {"ATE0\r\n", kMore},
        {"\r\n^RSSI:17\r\n\r\n+CMTI: \"SM\",3\r\n", kMore},
        {"\r\nOK", kMore},
        {"garbage", kMore},
    };
    for (auto& driver : AllDrivers()) {
        for (const auto& c : cases) {
            EXPECT_EQ(driver->ParseInit(c.first), c.second) << testing::PrintToString(c.first);
        }
    }
}

TEST(GetLastErrorText, TrimsLineBreaksAndStoresTheTrimmedText)
{
    CPhoneCardBase driver;
    // The short rule keeps the whole reply, line breaks included.
    driver.ParsePrepareRead("\r\n+CMS ERROR: 330\r\n");
    EXPECT_EQ(driver.GetLastErrorText(), "+CMS ERROR: 330");
    EXPECT_EQ(driver.GetLastErrorText(), "+CMS ERROR: 330");
}

TEST(ParseServiceCentre, NumberAsQuotedOrLineRule)
{
    const std::string old = "13800100555";
    const struct {
        std::string reply;
        PARSE_RESULT_t result;
        std::string centre;
        std::string lastError;
        bool needsCharset;
    } cases[] = {
        {"\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n", kOk, "+8613800100500", kEarlierError,
         false},
        {"AT+CSCA?\r\r\n+CSCA: \"13800100500\",129\r\n", kOk, "13800100500", kEarlierError, false},
        // As modules frame it: no blank, blanks around the comma, either case.
        {"\r\n+CSCA:\"+8613800100500\",145\r\n\r\nOK\r\n", kOk, "+8613800100500", kEarlierError,
         false},
        {"\r\n+csca: \"+8613800100500\" , 145\r\n\r\nOK\r\n", kOk, "+8613800100500", kEarlierError,
         false},
        {"\r\n+CSCA: \"+8613800100500\"\r\n\r\nOK\r\n", kOk, "+8613800100500", kEarlierError,
         false},
        // A line not whole yet is waited for; the number before stays.
        {"\r\n+CSCA: \"+86138001", kMore, old, kEarlierError, false},
        {"\r\n+CSCA: \",145\r\n\r\nOK\r\n", kOk, "", kEarlierError, true},
        {"\r\n+CSCA: \"\",145\r\n\r\nOK\r\n", kOk, "", kEarlierError, false},
        // In the modem's character set: read once AT+CSCS? has told it.
        {"\r\n+CSCA: \"002B0038003600310033003800300030003100300030003500300030\",145\r\n"
         "\r\nOK\r\n",
         kOk, "", kEarlierError, true},
        {"\r\nOK\r\n", kOk, old, kEarlierError, false},
        {"\r\nOK", kMore, old, kEarlierError, false},
        {"\r\n+CMS ERROR: 330\r\n", kFail, old, "+CMS ERROR: 330", false},
        {"", kMore, old, kEarlierError, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CPhoneCardBase driver;
        LeaveServiceCentre(driver, old);
        LeaveLastError(driver);
        EXPECT_EQ(driver.ParseServiceCentre(c.reply), c.result);
        EXPECT_EQ(driver.ServiceCentre(), c.centre);
        EXPECT_EQ(driver.GetLastErrorText(), c.lastError);
        EXPECT_EQ(driver.ServiceCentreNeedsCharset(), c.needsCharset);
        // Until the set is known the PDUs name no centre.
        EXPECT_EQ(driver.ServiceCentreLeftToModem(), c.needsCharset);
    }
}

TEST(ParseSelectStorage, TheSelectionTellsHowManyMessagesTheStorageHolds)
{
    const struct {
        const char* source;
        std::string reply;
        int count;
    } cases[] = {
        {"gammu 1.42.0 tests/at-statemachine.c", "\r\n+CPMS: 2,300,2,300,2,300\r\n\r\nOK\r\n", 2},
        {"", "\r\n+CPMS:17,50,17,50,17,50\r\n\r\nOK\r\n", 17},
        {"", "\r\n+cpms: 0 , 100 , 0 , 100\r\n\r\nOK\r\n", 0},
        // The query's form names the storage first.
        {"", "\r\n+CPMS: \"SM\",9,50,\"ME\",3,100,\"ME\",3,100\r\n\r\nOK\r\n", 9},
        {"gammu 1.42.0 tests/at-cpms-sm/iwow.dump (the test form)",
         "\r\n+CPMS: \"SM\",\"SM\",\"SM\"\r\n\r\nOK\r\n", -1},
        {"", "\r\nOK\r\n", -1},
        {"", "\r\n+CMS ERROR: 302\r\n", -1},
        {"", "\r\n+CPMS: x,50\r\n\r\nOK\r\n", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply) + " " + c.source);
        CPhoneCardBase driver;
        driver.ParseSelectMeStorage("\r\n+CPMS: 5,50,5,50,5,50\r\n\r\nOK\r\n");
        driver.ParseSelectSmStorage(c.reply);
        EXPECT_EQ(driver.StoredCount(), c.count);
    }
}

TEST(ReadServiceCentreInCharset, ReadsTheCentreInTheModemsSet)
{
    // The value a modem left in UCS2 by another program quotes (the
    // number +8613800100500), and the same in the other sets.
    const std::string ucs2 = "002B0038003600310033003800300030003100300030003500300030";
    const struct {
        std::string quoted;
        std::string charset;  // the reply to AT+CSCS?
        PARSE_RESULT_t result;
        std::string centre;
        // The PDU's service-centre field up to its type octet; empty when the
        // send is refused.
        std::string field;
    } cases[] = {
        {ucs2, "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n", kOk, "+8613800100500", "0891"},
        {ucs2, "\r\n+cscs:\"ucs2\"\r\n\r\nOK\r\n", kOk, "+8613800100500", "0891"},
        {"2B38363133383030313030353030", "\r\n+CSCS: \"HEX\"\r\n\r\nOK\r\n", kOk, "+8613800100500",
         "0891"},
        // Digits that read as UCS2 are taken as they are in a set of
        // characters; 20 of them are no centre a PDU can name, and the send
        // says so rather than cut them.
        {"00310032003300340035", "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n", kOk, "00310032003300340035",
         ""},
        {"00310032003300340035", "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n", kOk, "12345", "0491"},
        // Cannot be read: the PDU leaves the centre to the modem.
        {ucs2, "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n", kOk, "", "00"},
        {"4E2D6587", "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n", kOk, "", "00"},
        {ucs2, "\r\nERROR\r\n", kOk, "", "00"},
        {ucs2, "\r\n+CSCS: \"UCS2\"\r\n", kMore, "", "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quoted + " " + testing::PrintToString(c.charset));
        CPhoneCardBase driver;
        EXPECT_EQ(driver.ParseServiceCentre("\r\n+CSCA: \"" + c.quoted + "\",145\r\n\r\nOK\r\n"),
                  kOk);
        EXPECT_TRUE(driver.ServiceCentreNeedsCharset());
        EXPECT_EQ(driver.ParseCharset(c.charset), c.result);
        if (c.result == kOk) {
            driver.ReadServiceCentreInCharset();
        }
        EXPECT_EQ(driver.ServiceCentre(), c.centre);
        EXPECT_EQ(driver.ServiceCentreLeftToModem(), c.centre.empty());
        // The PDU names the centre read, or none at all.
        const std::vector<SendPair> pairs = driver.BuildSendCommands("13800138000", "hi");
        if (c.field.empty()) {
            EXPECT_TRUE(pairs.empty());
            EXPECT_EQ(driver.GetLastErrorText(), "Service centre number too long: " + c.centre);
            continue;
        }
        ASSERT_EQ(pairs.size(), 1u);
        EXPECT_EQ(pairs[0].second.substr(0, c.field.size()), c.field);
    }
}

TEST(ParseDeleteAll, RecordedReplies)
{
    const RuleCase cases[] = {
        {LoadFixture("drivers/base/delete_all_ok.txt"), kOk, kEarlierError},
        {LoadFixture("drivers/base/delete_all_error.txt"), kFail, "+CMS ERROR: 321"},
    };
    for (auto& driver : AllDrivers()) {
        for (const RuleCase& c : cases) {
            SCOPED_TRACE(DeviceTypeName(driver->GetDeviceType()) + testing::PrintToString(c.reply));
            LeaveLastError(*driver);
            EXPECT_EQ(driver->ParseDeleteAll(c.reply), c.result);
            EXPECT_EQ(driver->GetLastErrorText(), c.lastError);
        }
    }
}

// The command texts are what the modules understand, letter case and blanks
// included.
TEST(CommandTexts, BaseDriver)
{
    CPhoneCardBase d;
    const std::pair<std::string, std::string> cases[] = {
        {d.PduModeCommand(), "at+cmgf=0\r\n"},
        {d.ServiceCentreCommand(), "AT+CSCA?\r\n"},
        {d.DeleteAllCommand(), "AT+CMGD=0,4\r\n"},
        {d.DeleteOneCommand(17), "AT+CMGD=17\r\n"},
        {d.PrepareReadCommand(), "AT\r"},
        {d.ListCommand(), "AT+CMGL=4\r\n"},
        {d.ReadNextCommand(), "AT\r\n"},
        {d.SelectMeStorageCommand(), "AT+CPMS=\"ME\"\r\n"},
        {d.SelectSmStorageCommand(), "AT+CPMS=\"SM\"\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.first, c.second);
    }
    EXPECT_FALSE(d.HasPendingRead());
    EXPECT_EQ(d.GetDeviceType(), PHONE_TYPE_BASE);
    EXPECT_EQ(d.InitCommands(),
              (std::vector<std::string>{"AT+CMEE=1\r\n", "AT+CPMS=\"SM\"\r\n", "ATE0\r\n"}));
}

TEST(CommandTexts, ModelsReplaceOnlyTheirOwn)
{
    CClm920Nc5 b;
    CMe909s d;
    CMc323 g;
    const std::pair<std::string, std::string> cases[] = {
        {b.PrepareReadCommand(), "AT+ATVER=1\r"},
        {b.ListCommand(), "AT+CMGD=?\r\n"},
        {b.PduModeCommand(), "at+cmgf=0\r\n"},
        {d.ListCommand(), "AT+CMGL=4\r\n"},
        {g.PduModeCommand(), "AT^HSMSSS=0,0,6,0\r\n"},
        {g.ServiceCentreCommand(), "AT\r"},
        {g.ListCommand(), "AT^HCMGL=4\r\n"},
        {g.DeleteAllCommand(), "AT+CMGD=0,4\r\n"},
        {g.SelectMeStorageCommand(), "AT+CPMS=\"ME\"\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.first, c.second);
    }
    EXPECT_EQ(d.InitCommands(), (std::vector<std::string>{"AT+CMEE=1\r\n", "AT+CPMS=\"SM\"\r\n",
                                                          "ATE0\r\n", "AT^CURC=0\r\n"}));
    EXPECT_EQ(g.InitCommands(), (std::vector<std::string>{"AT+CMEE=1\r\n", "AT+CPMS=\"SM\"\r\n",
                                                          "ATE0\r\n", "AT^RSSIREP=0\r\n"}));
    // Empty queues: no single read and no command for one.
    EXPECT_FALSE(b.HasPendingRead());
    EXPECT_EQ(b.ReadNextCommand(), "");
    EXPECT_FALSE(g.HasPendingRead());
    EXPECT_EQ(g.ReadNextCommand(), "");
}

}  // namespace
