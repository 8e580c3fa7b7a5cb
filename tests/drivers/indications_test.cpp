// New-message indications as the modules send them, picked out of what the
// port's unsolicited channel gathered; and the AT+CNMI settings each model
// tries.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drivers/models.h"
#include "drivers/phone_card_base.h"
#include "drivers/sms_indication.h"

namespace {

// A status report from the field: gammu 1.42.0 (Debian source package
// gammu 1.42.0-8), tests/at-sms/30.dump; python3-gammu decodes it as
// reference 232, delivered, discharged 09-09-07 16:48:26.
const char* const kFieldReport =
    "079124603050020006E80C91666666666666909070618422809090706184628000";

struct IndicationCase {
    const char* name;
    std::string text;
    // kind:storage:index per indication; "report:<reference>" for a
    // readable +CDS, "report:?" for one that is not.
    std::vector<std::string> expected;
    std::size_t consumed;
};

std::string Describe(const SMS_INDICATION_t& indication)
{
    switch (indication.nKind) {
    case INDICATION_MESSAGE_STORED:
        return "cmti:" + indication.strStorage + ":" + std::to_string(indication.nIndex);
    case INDICATION_REPORT_STORED:
        return "cdsi:" + indication.strStorage + ":" + std::to_string(indication.nIndex);
    case INDICATION_STORAGE_FULL:
        return "full:" + indication.strStorage;
    case INDICATION_REPORT:
        break;
    }
    return indication.bReadable ? "report:" + std::to_string(indication.report.report.nReference)
                                : "report:?";
}

TEST(Indications, LinesAsModulesSendThemAmongOtherUnsolicitedLines)
{
    const std::string cds = std::string("\r\n+CDS: 25\r\n") + kFieldReport + "\r\n";
    const IndicationCase cases[] = {
        {"standard +CMTI", "\r\n+CMTI: \"SM\",3\r\n", {"cmti:SM:3"}, 17},
        {"compact, lower case, unquoted", "+cmti:me,12\r\n", {"cmti:ME:12"}, 13},
        {"LF only", "+CMTI: \"SM\",1\n", {"cmti:SM:1"}, 14},
        {"+CDSI in SR", "\r\n+CDSI: \"SR\",2\r\n", {"cdsi:SR:2"}, 17},
        {"Huawei storage full", "\r\n^SMMEMFULL: \"SM\"\r\n", {"full:SM"}, 20},
        {"a field report as a +CDS line", cds, {"report:232"}, cds.size()},
        {"+CDS whose PDU is no report", "+CDS: 3\r\nZZZ\r\n", {"report:?"}, 14},
        {"other lines passed over",
         "\r\nRING\r\n^RSSI:17\r\n+FLOOD: 1\r\n\r\n+CMTI: \"SM\",4\r\nOK\r\n",
         {"cmti:SM:4"},
         50},
        {"a garbled index is no place", "+CMTI: \"SM\",3a\r\n", {"cmti:SM:-1"}, 16},
        {"a +CMTI without its index is no indication", "+CMTI: \"SM\"\r\n", {}, 13},
        {"an echoed command is none", "AT+CNMI=2,1,0,2,0\r\n", {}, 19},
        // What has not ended yet waits for the rest.
        {"a line not ended yet", "+CMTI: \"SM\",3\r\n+CMT", {"cmti:SM:3"}, 15},
        {"a +CDS line whose PDU has not come",
         "+CMTI: \"SM\",3\r\n+CDS: 25\r\n0791",
         {"cmti:SM:3"},
         15},
        {"noise without line ends does not pile up", std::string(2000, '\xA5'), {}, 2000},
    };
    for (const IndicationCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t consumed = 0;
        std::vector<std::string> found;
        for (const SMS_INDICATION_t& indication : ParseIndications(c.text, consumed)) {
            found.push_back(Describe(indication));
        }
        EXPECT_EQ(found, c.expected);
        EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(Indications, AReportLineCarriesTheReportAsTheStoredOneWould)
{
    std::size_t consumed = 0;
    const std::vector<SMS_INDICATION_t> found =
        ParseIndications(std::string("+CDS: 25\r\n") + kFieldReport + "\r\n", consumed);
    ASSERT_EQ(found.size(), 1u);
    const SMS_INDICATION_t& report = found[0];
    ASSERT_TRUE(report.bReadable);
    EXPECT_EQ(report.strPdu, kFieldReport);
    EXPECT_TRUE(report.report.bReport);
    EXPECT_EQ(report.report.strFrom, "+666666666666");
    EXPECT_EQ(report.report.report.nReference, 232);
    EXPECT_EQ(report.report.report.nStatus, 0);
    EXPECT_EQ(report.report.report.strDischarged, "09-09-07 16:48:26");
}

TEST(Indications, EachModelTriesTheSettingsItsModuleTakesFirst)
{
    const struct {
        PHONE_TYPE_t type;
        std::vector<std::string> first;  // the first settings, in order
        std::size_t count;
    } cases[] = {
        // Standard: <mode> 2, reports kept (+CDSI), then as +CDS lines.
        {PHONE_TYPE_VELT_C,
         {"AT+CNMI=2,1,0,2,0\r\n", "AT+CNMI=1,1,0,2,0\r\n", "AT+CNMI=2,1,0,1,0\r\n"},
         6},
        // Qualcomm-based: <mode> 1 and <ds> 2 first.
        {PHONE_TYPE_VELT_B,
         {"AT+CNMI=1,1,0,2,0\r\n", "AT+CNMI=2,1,0,2,0\r\n", "AT+CNMI=1,1,0,1,0\r\n"},
         6},
        // Huawei: <mode> 1 and +CDS lines first.
        {PHONE_TYPE_VELT_D,
         {"AT+CNMI=1,1,0,1,0\r\n", "AT+CNMI=2,1,0,1,0\r\n", "AT+CNMI=1,1,0,2,0\r\n"},
         6},
        {PHONE_TYPE_VELT_E, {"AT+CNMI=1,1,0,1,0\r\n"}, 6},
        {PHONE_TYPE_VELT_F, {"AT+CNMI=2,1,0,2,0\r\n"}, 6},
        // CDMA: <mode> 1, no status reports.
        {PHONE_TYPE_VELT_G, {"AT+CNMI=1,1,0,0,0\r\n", "AT+CNMI=2,1,0,0,0\r\n"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(c.type);
        ASSERT_TRUE(driver);
        const std::vector<std::string> settings = driver->IndicationCommands();
        ASSERT_EQ(settings.size(), c.count);
        EXPECT_EQ(std::vector<std::string>(settings.begin(), settings.begin() + c.first.size()),
                  c.first);
        // Whatever else is tried, the last resort asks for messages only.
        EXPECT_EQ(settings.back().find(",1,0,0,0\r\n"), std::string("AT+CNMI=1").size());
        EXPECT_EQ(driver->ParseIndicationSetting("\r\nOK\r\n"), PARSE_SUCCEED);
        EXPECT_EQ(driver->ParseIndicationSetting("\r\n+CMS ERROR: 303\r\n"), PARSE_FAILED);
    }
}

}  // namespace
