#include <gtest/gtest.h>

#include <string>

#include "drivers/me909s.h"
#include "support/fixture_text.h"

namespace {

TEST(VeltDIccid, CaretIccidLine)
{
    const struct {
        std::string reply;
        PARSE_RESULT_t result;
        std::string iccid;  // starts as "old"
    } cases[] = {
        {LoadFixture("drivers/me909s/iccid.txt"), PARSE_SUCCEED, "89860012345678901234"},
        {"\r\n^ICCID: 89860012345678901234\r\n", PARSE_SUCCEED, "89860012345678901234"},
        {"\r\n^ICCID:  8986 \r\n", PARSE_SUCCEED, "8986"},
        {LoadFixture("drivers/me909s/iccid_no_sim.txt"), PARSE_FAILED, "old"},
        // Not terminated yet: the query fails at once.
        {"\r\n^ICCID: 8986001234", PARSE_FAILED, "old"},
        {"\r\nOK\r\n", PARSE_FAILED, "old"},
        {"", PARSE_INCOMPLETE, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CMe909s driver;
        driver.m_strIccid = "old";
        EXPECT_EQ(driver.ParseIccid(c.reply), c.result);
        EXPECT_EQ(driver.GetIccid(), c.iccid);
    }
}

}  // namespace
