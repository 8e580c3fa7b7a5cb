// Transactions with real drivers against the modem simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "drivers/clm920_nc5.h"
#include "drivers/m35.h"
#include "support/listed_port.h"
#include "support/modem_sim.h"
#include "transport/com_port.h"
#include "transport/sms_sequences.h"

namespace {

// The command texts as the simulator logs them (without line ends).
std::string Bare(std::string command)
{
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n')) {
        command.pop_back();
    }
    return command;
}

class SimTransactionTest : public ::testing::Test {
protected:
    // Starts the simulator on `config` and opens COM<com> at 115200.
    void Attach(const std::string& config, int com)
    {
        sim = std::make_unique<ModemSim>(config);
        ASSERT_TRUE(sim->Start()) << sim->LastError();
        env = std::make_unique<ScopedEnv>("TELLMAR_SERIALCOMM", sim->Dir());
        // Enough for a simulator that answers at once; a dead line fails fast.
        AT_PACING_t pacing;
        pacing.silenceMs = pacing.shortDeadlineMs = pacing.listBaseMs = pacing.bodyMs = 3000;
        port = std::make_unique<CComPortBase>(ListedPort(com), 115200, pacing);
        ASSERT_TRUE(port->IsOpen()) << port->GetErrorText();
    }

    std::unique_ptr<ModemSim> sim;
    std::unique_ptr<ScopedEnv> env;
    std::unique_ptr<CComPortBase> port;
};

TEST_F(SimTransactionTest, M35InitialisesQueriesTheCentreAndSendsOnePdu)
{
    Attach(R"({"ports":[{"com":3,"model":"M35","bauds":[115200],
                "iccid":"89860012345678901234","sca":"+8613800100500"}]})",
           3);
    CM35 driver;
    RunInitCommands(&driver, port.get());
    std::vector<std::string> expected;
    for (const std::string& command : driver.InitCommands()) {
        expected.push_back(Bare(command));
    }
    EXPECT_EQ(expected, sim->Commands(3));

    EXPECT_TRUE(QueryServiceCentre(&driver, port.get()));
    EXPECT_EQ("+8613800100500", driver.ServiceCentre());

    EXPECT_TRUE(TransmitSms(&driver, port.get(), "13800138000", "hello"));
    const std::vector<Json::Value> sent = sim->Events("sms");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("hello", sent[0]["text"].asString());
    EXPECT_NE(std::string::npos, sent[0]["number"].asString().find("13800138000"));
}

TEST_F(SimTransactionTest, StoredMessagesAreReadThroughTheListing)
{
    Attach(R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
                "storage":{"SM":[{"index":2,"status":1,"from":"13912345678",
                                  "time":"24-05-01 09:30:00","text":"Meeting moved to 10:30"}]}}]})",
           3);
    CM35 driver;
    RunInitCommands(&driver, port.get());
    ASSERT_TRUE(RunDriverCommand(&driver, port.get(), driver.SelectSmStorageCommand(),
                                 &CPhoneCardBase::ParseSelectSmStorage,
                                 ShortLimits(port->Pacing())));
    bool complete = false;
    EXPECT_TRUE(ReadStoredMessages(&driver, port.get(), &complete));
    EXPECT_TRUE(complete);
    const std::vector<SmsMessage> messages = driver.GetMessages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("Meeting moved to 10:30", messages[0].strText);
    EXPECT_EQ(std::vector<int>{2}, driver.GetListedIndexes());
}

TEST_F(SimTransactionTest, Clm920ReadsEachQueuedIndexSingly)
{
    Attach(R"({"ports":[{"com":4,"model":"CLM920_NC5","bauds":[115200],
                "iccid":"89860318760203456789",
                "storage":{"ME":[
                  {"index":1,"status":1,"from":"13800138000","time":"24-04-30 18:45:12",
                   "text":"Package arrives tomorrow"},
                  {"index":5,"status":0,"from":"10086","time":"24-04-30 18:46:00",
                   "text":"OK, see you"}]}}]})",
           4);
    CClm920Nc5 driver;
    RunInitCommands(&driver, port.get());
    ASSERT_TRUE(RunDriverCommand(&driver, port.get(), driver.SelectMeStorageCommand(),
                                 &CPhoneCardBase::ParseSelectMeStorage,
                                 ShortLimits(port->Pacing())));
    bool complete = false;
    EXPECT_TRUE(ReadStoredMessages(&driver, port.get(), &complete));
    EXPECT_TRUE(complete);
    std::vector<std::string> texts;
    for (const SmsMessage& message : driver.GetMessages()) {
        texts.push_back(message.strText);
    }
    EXPECT_EQ((std::vector<std::string>{"Package arrives tomorrow", "OK, see you"}), texts);
    const std::vector<std::string> commands = sim->Commands(4);
    EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), "AT+CMGR=1"));
    EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), "AT+CMGR=5"));
}

TEST_F(SimTransactionTest, SplitRepliesAndUnsolicitedLinesStillGiveTheCentre)
{
    Attach(R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
                "sca":"+8613800100500",
                "faults":{"split":5,"split_gap_ms":30,"unsolicited":["RING","+CMTI: \"SM\",3"]}}]})",
           3);
    CM35 driver;
    RunInitCommands(&driver, port.get());
    EXPECT_TRUE(QueryServiceCentre(&driver, port.get()));
    EXPECT_EQ("+8613800100500", driver.ServiceCentre());
}

TEST_F(SimTransactionTest, AModemThatVanishesMidSendFailsWithoutHanging)
{
    Attach(R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
                "faults":{"vanish_after_commands":2}}]})",
           3);
    CM35 driver;
    EXPECT_FALSE(TransmitSms(&driver, port.get(), "13800138000", "hello"));
    EXPECT_TRUE(port->HasError());
    EXPECT_EQ(EIO, port->GetErrorCode());
    EXPECT_TRUE(sim->Events("sms").empty());
}

}  // namespace
