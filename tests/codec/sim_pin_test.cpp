// The SIM's PIN state and the attempts left, as modules answer.
#include "codec/sim_pin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PinStateOfReply, TheStateLineAloneIsTheAnswer)
{
    struct Case {
        const char* name;
        std::string reply;
        std::string state;
        SIM_LOCK_t lock;
    };
    const std::vector<Case> cases = {
        {"ready, with OK", "\r\n+CPIN: READY\r\n\r\nOK\r\n", "READY", SIM_LOCK_READY},
        // gammu 1.42.0, tests/at-dispatch.c: a phone that echoes and sends no OK.
        {"echo and no OK (gammu at-dispatch.c)", "AT+CPIN?\r\n+CPIN: READY\r\n", "READY",
         SIM_LOCK_READY},
        {"waiting for the PIN, CR alone", "+CPIN: SIM PIN\r", "SIM PIN", SIM_LOCK_PIN},
        {"no blank after the colon", "\r\n+CPIN:SIM PUK\r\n", "SIM PUK", SIM_LOCK_PUK},
        {"quoted, lower case", "\r\n+CPIN: \"sim pin\"\r\n", "SIM PIN", SIM_LOCK_PIN},
        {"another code", "\r\n+CPIN: PH-SIM PIN\r\n\r\nOK\r\n", "PH-SIM PIN", SIM_LOCK_OTHER},
        {"the second PIN", "\r\n+CPIN: SIM PIN2\r\n", "SIM PIN2", SIM_LOCK_OTHER},
        {"no SIM", "\r\n+CME ERROR: 10\r\n", "", SIM_LOCK_UNKNOWN},
        {"the line has not ended yet", "\r\n+CPIN: SIM P", "", SIM_LOCK_UNKNOWN},
        {"the command echoed only", "AT+CPIN?\r\n", "", SIM_LOCK_UNKNOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PinStateOfReply(c.reply), c.state);
        EXPECT_EQ(SimLockOf(PinStateOfReply(c.reply)), c.lock);
    }
}

TEST(AttemptsOfReply, EachModuleFamilyHasItsField)
{
    struct Case {
        const char* name;
        std::string reply;
        std::string key;
        std::size_t field;
        int attempts;
    };
    const std::vector<Case> cases = {
        // ^CPIN: <code>,[<times>],<puk>,<pin>,<puk2>,<pin2>
        {"Huawei, the PIN's count", "\r\n^CPIN: SIM PIN,2,10,2,4,10\r\n\r\nOK\r\n", "^CPIN:", 3, 2},
        {"Huawei, times left empty", "\r\n^CPIN: READY,,10,3,10,3\r\n\r\nOK\r\n", "^CPIN:", 3, 3},
        // +QTRPIN: <pin1>,<pin2>,<puk1>,<puk2>
        {"Quectel", "\r\n+QTRPIN: 1,3,10,10\r\n\r\nOK\r\n", "+QTRPIN:", 0, 1},
        // +CPINC: <pin1>,<pin2>,<puk1>,<puk2>
        {"Wavecom, blanks around commas", "\r\n+CPINC: 0 , 3 , 10 , 10\r\n\r\nOK\r\n", "+CPINC:", 0,
         0},
        {"an error", "\r\n+CME ERROR: 3\r\n", "+CPINC:", 0, -1},
        {"a field that is no number", "\r\n+QTRPIN: x,3,10,10\r\n", "+QTRPIN:", 0, -1},
        {"fewer fields", "\r\n^CPIN: SIM PIN,2\r\n", "^CPIN:", 3, -1},
        {"not ended yet", "\r\n+QTRPIN: 3,3,10,1", "+QTRPIN:", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AttemptsOfReply(c.reply, c.key, c.field), c.attempts);
    }
}

}  // namespace
