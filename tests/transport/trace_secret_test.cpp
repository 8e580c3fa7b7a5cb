// A PIN never reaches the AT trace: its bytes become "****" in writes and in
// reads, also when the echo of the command is cut between reads.
#include "transport/trace_secret.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TraceSecret, WritesShowTheCommandWithoutItsArgument)
{
    CTraceSecret secret;
    EXPECT_EQ(secret.HideInWrite("AT+CPIN=\"1234\"\r\n"), "AT+CPIN=\"1234\"\r\n") << "nothing set";
    secret.Set("\"1234\"");
    EXPECT_EQ(secret.HideInWrite("AT+CPIN=\"1234\"\r\n"), "AT+CPIN=****\r\n");
    EXPECT_EQ(secret.HideInWrite("AT+CSQ\r\n"), "AT+CSQ\r\n");
    EXPECT_EQ(secret.HideInWrite("\"1234\"\"1234\""), "********");
}

TEST(TraceSecret, ReadsHideTheEchoWhereverItIsCut)
{
    struct Case {
        const char* name;
        std::vector<std::string> reads;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"the echo whole", {"AT+CPIN=\"1234\"\r\r\n\r\nOK\r\n"}, {"AT+CPIN=****\r\r\n\r\nOK\r\n"}},
        {"cut inside the digits",
         {"AT+CPIN=\"12", "34\"\r\r\n", "\r\nOK\r\n"},
         {"AT+CPIN=****", "****\r\r\n", "\r\nOK\r\n"}},
        {"cut after the opening quote, an empty read between",
         {"AT+CPIN=\"", "", "1234\"\r"},
         {"AT+CPIN=****", "", "****\r"}},
        {"a quote that ends a read but begins nothing",
         {"+CME ERROR: \"", "x\"\r\n"},
         {"+CME ERROR: ****", "x\"\r\n"}},
        {"nothing of the secret", {"\r\n+CME ERROR: 16\r\n"}, {"\r\n+CME ERROR: 16\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTraceSecret secret;
        secret.Set("\"1234\"");
        std::string joined;
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            const std::string shown = secret.HideInRead(c.reads[i]);
            EXPECT_EQ(shown, c.shown[i]) << "read " << i;
            joined += shown;
        }
        EXPECT_EQ(joined.find("1234"), std::string::npos);
        EXPECT_EQ(joined.find("12"), std::string::npos);
    }
}

}  // namespace
