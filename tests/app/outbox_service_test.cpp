// The watch's side of the outbox on a modem played in memory: which requests
// it serves, in what order, what it records, and what it leaves alone; and
// the records that carry a send's result from the watch to the command.

#include "app/outbox_service.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/json_documents.h"
#include "app/outbox_records.h"
#include "drivers/m35.h"
#include "iconv/text_literal.h"
#include "store/store_test_support.h"
#include "support/fake_port.h"

namespace {

const std::string kOk = "\r\nOK\r\n";

// An M35 that accepts every part with the next reference, and refuses the
// body of a message to `refused` (its number's digits, as a PDU carries them
// swapped, are looked for in the body).
struct PLAYED_MODEM_t {
    CFakePort port;
    CM35 driver;
    int nextReference = 40;
    std::vector<std::string> bodies;
    std::string refusedDigits;

    PLAYED_MODEM_t()
    {
        port.Respond([this](const std::string& written) -> std::string {
            if (written.rfind("AT+CSCA?", 0) == 0) {
                return "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk;
            }
            if (written.rfind("AT+CMGS=", 0) == 0) {
                return "\r\n> ";
            }
            if (!written.empty() && written.back() == '\x1A') {
                bodies.push_back(written);
                if (!refusedDigits.empty() && written.find(refusedDigits) != std::string::npos) {
                    return "\r\n+CMS ERROR: 500\r\n";
                }
                return "\r\n+CMGS: " + std::to_string(nextReference++) + "\r\n" + kOk;
            }
            return kOk;
        });
    }
};

COM_PORT_t Com3()
{
    return PortNamed("COM3");
}

class OutboxServiceTest : public store_test::StoreFolder {
protected:
    void SetUp() override
    {
        StoreFolder::SetUp();
        m_store = OpenStore(DbPath());
        ASSERT_NE(m_store, nullptr);
    }

    std::string Enqueue(const std::vector<OutboxRequest>& requests)
    {
        std::string batch;
        std::string error;
        EXPECT_TRUE(m_store->Enqueue(requests, batch, error)) << error;
        return batch;
    }

    std::vector<OutboxRow> Rows(const std::string& batch)
    {
        std::vector<OutboxRow> rows;
        std::string error;
        EXPECT_TRUE(m_store->Batch(batch, rows, error)) << error;
        return rows;
    }

    std::vector<OUTBOX_SENT_t> Serve(PLAYED_MODEM_t& modem)
    {
        std::vector<OUTBOX_SENT_t> sent;
        std::string error;
        EXPECT_TRUE(ServeOutbox(
            *m_store, "tellmar sms watch (pid 77)", Com3(), modem.port, modem.driver,
            [&sent](const OUTBOX_SENT_t& one) { sent.push_back(one); }, error))
            << error;
        return sent;
    }

    std::unique_ptr<MessageStore> m_store;
};

TEST_F(OutboxServiceTest, TheRequestsOfItsPortAreSentInQueueOrderAndRecorded)
{
    const std::string first = Enqueue({{"COM3", "13800138000", "one", ""},
                                       {"COM4", "13800138001", "other port", ""},
                                       {"COM3", "13800138002", "two", OutboxOptionsText(true)}});
    const std::string second = Enqueue({{"COM3", "10086", "three", ""}});
    PLAYED_MODEM_t modem;
    const std::vector<OUTBOX_SENT_t> sent = Serve(modem);

    const std::vector<OutboxRow> rows = Rows(first);
    const std::vector<OutboxRow> later = Rows(second);
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(later.size(), 1u);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(modem.bodies.size(), 3u) << "one part each, each sent once";
    const struct {
        const OutboxRow& row;
        const char* number;
        bool references;
    } expected[] = {{rows[0], "13800138000", false},
                    {rows[2], "13800138002", true},
                    {later[0], "10086", false}};
    for (std::size_t i = 0; i < 3; ++i) {
        const OutboxRow& row = expected[i].row;
        EXPECT_EQ(sent[i].nId, row.id);
        EXPECT_EQ(sent[i].result.strNumber, expected[i].number);
        EXPECT_EQ(sent[i].result.port.strName, "COM3");
        EXPECT_EQ(sent[i].result.nResult, CMD_RESULT_SUCCEED);
        EXPECT_EQ(row.state, OutboxState::Done);
        EXPECT_EQ(row.owner, "tellmar sms watch (pid 77)");
        EXPECT_EQ(row.result.code, 0);
        EXPECT_EQ(row.result.message, "Succeed");
        EXPECT_EQ(row.result.time, sent[i].result.strTime);
        // What the waiting command prints is what the watch sent.
        EXPECT_EQ(SendResultElement(SendResultOf(Com3(), row)), SendResultElement(sent[i].result));
        EXPECT_EQ(SendResultOf(Com3(), row).bReferences, expected[i].references);
    }
    EXPECT_EQ(sent[1].result.vecReferences, std::vector<int>{41});
    EXPECT_EQ(rows[1].state, OutboxState::Waiting) << "another port's request is left";

    // The line the watch writes for it.
    const Json::Value line = SentLine(sent[1]);
    EXPECT_EQ(line["type"], "sent");
    EXPECT_EQ(line["outbox"].asInt64(), rows[2].id);
    EXPECT_EQ(line["com"], "COM3");
    EXPECT_EQ(line["number"], "13800138002");
    EXPECT_EQ(line["code"], 0);
    EXPECT_EQ(line["message"], "Succeed");
    EXPECT_EQ(line["time"], sent[1].result.strTime);
    Json::Value references(Json::arrayValue);
    references.append(41);
    EXPECT_EQ(line["references"], references);

    EXPECT_TRUE(Serve(modem).empty()) << "nothing is waiting any more";
    EXPECT_EQ(modem.bodies.size(), 3u);
}

TEST_F(OutboxServiceTest, ARefusedSendIsRecordedFailedAndTheNextIsStillServed)
{
    // 13800138000 is "3108108300F0" in a PDU's address.
    const std::string batch =
        Enqueue({{"COM3", "13800138000", "refused", ""}, {"COM3", "18300000000", "fine", ""}});
    PLAYED_MODEM_t modem;
    modem.refusedDigits = "3108108300F0";
    const std::vector<OUTBOX_SENT_t> sent = Serve(modem);
    const std::vector<OutboxRow> rows = Rows(batch);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(rows[0].state, OutboxState::Done);
    EXPECT_EQ(rows[0].result.code, CMD_RESULT_FAILED);
    EXPECT_EQ(rows[0].result.message, "+CMS ERROR: 500");
    EXPECT_EQ(SendResultElement(SendResultOf(Com3(), rows[0]))["message"], "+CMS ERROR: 500");
    EXPECT_EQ(rows[1].result.code, 0);
}

TEST_F(OutboxServiceTest, NothingIsTakenOnceAStopIsRequestedOrThePortHasFailed)
{
    const std::string batch =
        Enqueue({{"COM3", "13800138000", "a", ""}, {"COM3", "13800138001", "b", ""}});

    PLAYED_MODEM_t stopped;
    CStopSource stop;
    stopped.port.SetStopToken(stop.Token());
    stop.RequestStop(15);
    EXPECT_TRUE(Serve(stopped).empty());
    EXPECT_EQ(stopped.port.Written(), "");

    // The modem goes away during the first send: that one is recorded
    // failed, the second waits for the modem to come back.
    PLAYED_MODEM_t vanishing;
    vanishing.port.VanishAfter(1);
    const std::vector<OUTBOX_SENT_t> sent = Serve(vanishing);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(vanishing.port.IsFailed());
    const std::vector<OutboxRow> rows = Rows(batch);
    EXPECT_EQ(rows[0].state, OutboxState::Done);
    EXPECT_EQ(rows[0].result.code, CMD_RESULT_FAILED);
    EXPECT_NE(rows[0].result.message.find("Input/output error"), std::string::npos)
        << rows[0].result.message;
    EXPECT_EQ(rows[1].state, OutboxState::Waiting);
}

TEST_F(OutboxServiceTest, ASendLeftBehindByADeadWatchIsFailedNeverSentAgain)
{
    const std::string batch =
        Enqueue({{"COM3", "13800138000", "taken", ""}, {"COM4", "13800138001", "taken", ""}});
    std::optional<OutboxRow> taken;
    std::string error;
    ASSERT_TRUE(m_store->Claim({"COM3"}, "tellmar sms watch (pid 5)", taken, error)) << error;
    ASSERT_TRUE(m_store->Claim({"COM4"}, "tellmar sms watch (pid 6)", taken, error)) << error;

    PLAYED_MODEM_t modem;
    EXPECT_TRUE(Serve(modem).empty());
    EXPECT_TRUE(modem.bodies.empty());
    const std::vector<OutboxRow> rows = Rows(batch);
    EXPECT_EQ(rows[0].state, OutboxState::Failed);
    EXPECT_EQ(rows[0].result.code, CMD_RESULT_FAILED);
    EXPECT_EQ(rows[0].result.message,
              "tellmar sms watch ended while sending it: it may have been sent");
    EXPECT_EQ(rows[1].state, OutboxState::Sending) << "another port's watch is not judged";
}

// The records between the watch and the command, for every kind of result.
TEST(OutboxRecords, EveryResultComesBackAsTheSendDocumentShowsIt)
{
    SEND_RESULT_t sent;
    sent.port = PortNamed("COM3");
    sent.strNumber = "13800138000";
    sent.strTime = "2026-12-11 10:27:06";
    sent.nResult = CMD_RESULT_SUCCEED;
    sent.bReferences = true;
    sent.vecReferences = {254, -1, 0};

    SEND_RESULT_t failed = sent;
    failed.nResult = CMD_RESULT_FAILED;
    failed.strMessage = GB("设备不AT");
    failed.bReferences = false;
    failed.vecReferences.clear();

    SEND_RESULT_t busy = failed;
    busy.nResult = CMD_RESULT_NO_SIM;
    busy.strMessage.clear();
    busy.strError = GB("held by tellmar sms watch (pid 1234) 端口");

    for (const SEND_RESULT_t& result : {sent, failed, busy}) {
        OutboxRow row;
        row.request.number = result.strNumber;
        row.result = OutboxResultOf(result);
        for (const char c : row.result.detail) {
            EXPECT_GT(static_cast<unsigned char>(c), 0x1F) << "ASCII: " << row.result.detail;
            EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "ASCII: " << row.result.detail;
        }
        EXPECT_EQ(SendResultElement(SendResultOf(result.port, row)), SendResultElement(result))
            << row.result.detail;
    }

    const struct {
        std::string options;
        bool reports;
    } options[] = {{OutboxOptionsText(true), true},
                   {OutboxOptionsText(false), false},
                   {"{\"report\":\"yes\"}", false},
                   {"not json", false},
                   {"[true]", false}};
    for (const auto& c : options) {
        EXPECT_EQ(OutboxAsksReports(c.options), c.reports) << c.options;
    }

    OutboxRow odd;
    odd.result.code = 0;
    odd.result.detail = "{\"references\": \"12\", \"error\": 5";
    const SEND_RESULT_t read = SendResultOf(PortNamed("COM3"), odd);
    EXPECT_FALSE(read.bReferences);
    EXPECT_EQ(read.strError, "");
}

}  // namespace
