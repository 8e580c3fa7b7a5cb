// The outbox: requests taken oldest first for a set of ports, each state
// change allowed only from its own state, the results of a batch, and two
// connections that never take the same row.

#include <atomic>
#include <map>
#include <thread>

#include "iconv/text_literal.h"
#include "store/message_store.h"
#include "store_test_support.h"

namespace {

using store_test::Query;

class OutboxTest : public store_test::StoreFolder {
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

    // The number of the request Claim takes for `ports`; empty when none.
    std::string ClaimNumber(const std::vector<std::string>& ports)
    {
        std::optional<OutboxRow> row;
        std::string error;
        EXPECT_TRUE(m_store->Claim(ports, "watch 1", row, error)) << error;
        return row ? row->request.number : std::string();
    }

    std::unique_ptr<MessageStore> m_store;
};

TEST_F(OutboxTest, TheOldestWaitingRequestOfTheGivenPortsIsTakenFirst)
{
    const std::string first = Enqueue({{"COM3", "13800000001", "a", ""},
                                       {"COM4", "13800000002", "b", ""},
                                       {"COM3", "13800000003", "c", ""}});
    const std::string second = Enqueue({{"COM4", "13800000004", "d", ""}});
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, second);

    EXPECT_EQ(ClaimNumber({}), "");
    EXPECT_EQ(ClaimNumber({"COM9"}), "");
    EXPECT_EQ(ClaimNumber({"COM4"}), "13800000002");
    EXPECT_EQ(ClaimNumber({"COM4", "COM3"}), "13800000001");
    EXPECT_EQ(ClaimNumber({"COM3"}), "13800000003");
    EXPECT_EQ(ClaimNumber({"COM3"}), "");
    EXPECT_EQ(ClaimNumber({"COM3", "COM4"}), "13800000004");
    EXPECT_EQ(ClaimNumber({"COM3", "COM4"}), "");
}

TEST_F(OutboxTest, ABatchReadsBackInOrderWithItsResultsAndTextsAsUtf8InTheFile)
{
    const std::string batch =
        Enqueue({{"COM3", "13800138000", GB("你好，世界"), R"({"report":true})"},
                 {"COM3", "10086", GB("查询"), ""}});
    std::optional<OutboxRow> taken;
    std::string error;
    ASSERT_TRUE(m_store->Claim({"COM3"}, "watch 77 on pool-1", taken, error)) << error;
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->batch, batch);
    EXPECT_EQ(taken->state, OutboxState::Sending);
    EXPECT_EQ(taken->owner, "watch 77 on pool-1");
    EXPECT_EQ(taken->request.text, GB("你好，世界"));
    EXPECT_EQ(taken->request.options, R"({"report":true})");
    ASSERT_TRUE(m_store->Finish(taken->id, {0, "Succeed", "2026-12-10 10:57:41", "[17]"}, error))
        << error;

    std::vector<OutboxRow> rows;
    ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].request.number, "13800138000");
    EXPECT_EQ(rows[0].state, OutboxState::Done);
    EXPECT_EQ(rows[0].result.code, 0);
    EXPECT_EQ(rows[0].result.message, "Succeed");
    EXPECT_EQ(rows[0].result.time, "2026-12-10 10:57:41");
    EXPECT_EQ(rows[0].result.detail, "[17]");
    EXPECT_EQ(rows[1].request.number, "10086");
    EXPECT_EQ(rows[1].request.text, GB("查询"));
    EXPECT_EQ(rows[1].state, OutboxState::Waiting);
    EXPECT_EQ(rows[1].owner, "");

    EXPECT_EQ(Query(DbPath(), "SELECT text, state FROM outbox ORDER BY id"),
              (decltype(Query("", "")){{"你好，世界", "done"}, {"查询", "waiting"}}));
    ASSERT_TRUE(m_store->Batch("no such batch", rows, error)) << error;
    EXPECT_TRUE(rows.empty());
}

TEST_F(OutboxTest, EachStateChangeHappensOnlyFromItsOwnState)
{
    enum class Step { Claim, Finish, FailWaiting, Expire };
    const struct {
        const char* name;
        std::vector<Step> before;  // brings a fresh row into its state
        Step step;
        bool changed;  // the step took effect
        OutboxState after;
    } cases[] = {
        {"waiting is taken", {}, Step::Claim, true, OutboxState::Sending},
        {"waiting is given up", {}, Step::FailWaiting, true, OutboxState::Failed},
        {"waiting cannot be finished", {}, Step::Finish, false, OutboxState::Waiting},
        {"waiting does not expire", {}, Step::Expire, false, OutboxState::Waiting},
        {"sending is finished", {Step::Claim}, Step::Finish, true, OutboxState::Done},
        {"sending is not given up: its result will come",
         {Step::Claim},
         Step::FailWaiting,
         false,
         OutboxState::Sending},
        {"sending is not taken again", {Step::Claim}, Step::Claim, false, OutboxState::Sending},
        {"sending of a dead watch expires", {Step::Claim}, Step::Expire, true, OutboxState::Failed},
        {"done stays done: not sent again",
         {Step::Claim, Step::Finish},
         Step::Claim,
         false,
         OutboxState::Done},
        {"done does not expire",
         {Step::Claim, Step::Finish},
         Step::Expire,
         false,
         OutboxState::Done},
        {"done is not finished twice",
         {Step::Claim, Step::Finish},
         Step::Finish,
         false,
         OutboxState::Done},
        {"given up is never sent", {Step::FailWaiting}, Step::Claim, false, OutboxState::Failed},
        {"expired is never sent again",
         {Step::Claim, Step::Expire},
         Step::Claim,
         false,
         OutboxState::Failed},
        {"expired cannot be finished by its late watch",
         {Step::Claim, Step::Expire},
         Step::Finish,
         false,
         OutboxState::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A port of its own per case, so that rows of earlier cases stay out.
        const std::string port = "COM" + std::to_string(100 + (&c - cases));
        const std::string batch = Enqueue({{port, "13800138000", c.name, ""}});
        std::vector<OutboxRow> rows;
        std::string error;
        ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
        ASSERT_EQ(rows.size(), 1u);
        const std::int64_t id = rows[0].id;
        // Each step reports whether it took effect.
        auto run = [&](Step step) {
            std::string stepError;
            bool changed = false;
            switch (step) {
            case Step::Claim: {
                std::optional<OutboxRow> row;
                EXPECT_TRUE(m_store->Claim({port}, "watch", row, stepError)) << stepError;
                changed = row.has_value() && row->id == id;
                break;
            }
            case Step::Finish:
                changed = m_store->Finish(id, {0, "Succeed", "2026-12-10 10:57:41", ""}, stepError);
                EXPECT_EQ(changed, stepError.empty()) << stepError;
                break;
            case Step::FailWaiting:
                EXPECT_TRUE(m_store->FailWaiting(id, {1, "no watch", "", ""}, changed, stepError))
                    << stepError;
                break;
            case Step::Expire: {
                int expired = 0;
                EXPECT_TRUE(m_store->ExpireSending({port}, {1, "the watch stopped", "", ""},
                                                   expired, stepError))
                    << stepError;
                changed = expired == 1;
                break;
            }
            }
            return changed;
        };
        for (Step step : c.before) {
            ASSERT_TRUE(run(step));
        }
        EXPECT_EQ(run(c.step), c.changed);
        ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
        EXPECT_EQ(rows[0].state, c.after);
    }
}

TEST_F(OutboxTest, TheResultsOfGivingUpAndExpiringAreWhatTheSenderPrints)
{
    const std::string batch = Enqueue({{"COM3", "13800000001", "a", ""},
                                       {"COM4", "13800000002", "b", ""},
                                       {"COM4", "13800000003", "c", ""}});
    std::optional<OutboxRow> row;
    std::string error;
    ASSERT_TRUE(m_store->Claim({"COM4"}, "watch 1", row, error)) << error;
    ASSERT_TRUE(row.has_value());
    int expired = 0;
    ASSERT_TRUE(m_store->ExpireSending(
        {"COM3", "COM4"}, {1, "the watch stopped while sending", "t1", ""}, expired, error))
        << error;
    EXPECT_EQ(expired, 1);
    bool failed = false;
    std::vector<OutboxRow> rows;
    ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
    ASSERT_TRUE(
        m_store->FailWaiting(rows[0].id, {6, "no watch holds the port", "t2", ""}, failed, error))
        << error;
    EXPECT_TRUE(failed);
    ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].state, OutboxState::Failed);
    EXPECT_EQ(rows[0].result.code, 6);
    EXPECT_EQ(rows[0].result.message, "no watch holds the port");
    EXPECT_EQ(rows[0].result.time, "t2");
    EXPECT_EQ(rows[1].state, OutboxState::Failed);
    EXPECT_EQ(rows[1].result.message, "the watch stopped while sending");
    EXPECT_EQ(rows[1].owner, "watch 1");
    EXPECT_EQ(rows[2].state, OutboxState::Waiting);

    const std::string expected = "store " + DbPath() + ": unable to record the result of send " +
                                 std::to_string(rows[1].id) + ": it is failed, not sending";
    EXPECT_FALSE(m_store->Finish(rows[1].id, {0, "Succeed", "t3", ""}, error));
    EXPECT_EQ(error, expected);
    EXPECT_FALSE(m_store->Finish(999999, {0, "Succeed", "t3", ""}, error));
    EXPECT_EQ(error, "store " + DbPath() +
                         ": unable to record the result of send 999999: there is no such send");
}

TEST_F(OutboxTest, AnEmptyBatchIsRefused)
{
    std::string batch;
    std::string error;
    EXPECT_FALSE(m_store->Enqueue({}, batch, error));
    EXPECT_EQ(error, "store " + DbPath() + ": unable to queue the sends: there are none");
    EXPECT_EQ(batch, "");
}

// Send commands and watches, each with a connection of its own, enqueue
// and take requests at the same time: every row is taken by exactly one
// watch and finished once, and every batch comes back whole.
TEST_F(OutboxTest, ConnectionsEnqueuingAndTakingAtOnceNeverTakeARowTwice)
{
    constexpr int kSenders = 2;
    constexpr int kBatches = 25;  // per sender, three requests each
    constexpr int kWatches = 3;
    const std::vector<std::string> ports = {"COM3", "COM4", "COM5"};

    std::atomic<int> sendersLeft{kSenders};
    std::vector<std::vector<std::string>> batches(kSenders);
    std::vector<std::vector<std::int64_t>> taken(kWatches);
    std::vector<std::string> errors(kSenders + kWatches);
    std::vector<std::thread> threads;
    for (int s = 0; s < kSenders; ++s) {
        threads.emplace_back([&, s] {
            auto store = MessageStore::Open(DbPath(), errors[s]);
            for (int b = 0; store != nullptr && b < kBatches; ++b) {
                std::vector<OutboxRequest> requests;
                for (const std::string& port : ports) {
                    requests.push_back({port, std::to_string(13800000000 + s * 1000 + b), "t", ""});
                }
                std::string batch;
                if (!store->Enqueue(requests, batch, errors[s])) {
                    break;
                }
                batches[s].push_back(batch);
            }
            --sendersLeft;
        });
    }
    for (int w = 0; w < kWatches; ++w) {
        threads.emplace_back([&, w] {
            std::string& error = errors[kSenders + w];
            auto store = MessageStore::Open(DbPath(), error);
            const std::string owner = "watch " + std::to_string(w);
            while (store != nullptr) {
                // Read before the claim: once no sender is left, a claim that
                // finds nothing means nothing more will come.
                const bool last = sendersLeft == 0;
                std::optional<OutboxRow> row;
                if (!store->Claim(ports, owner, row, error)) {
                    return;
                }
                if (!row) {
                    if (last) {
                        return;
                    }
                    std::this_thread::yield();
                    continue;
                }
                taken[w].push_back(row->id);
                if (!store->Finish(row->id, {w, owner, "", ""}, error)) {
                    return;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const std::string& error : errors) {
        EXPECT_EQ(error, "");
    }
    std::map<std::int64_t, int> takenBy;
    for (int w = 0; w < kWatches; ++w) {
        for (std::int64_t id : taken[w]) {
            EXPECT_TRUE(takenBy.emplace(id, w).second) << "row " << id << " taken twice";
        }
    }
    EXPECT_EQ(takenBy.size(), static_cast<std::size_t>(kSenders * kBatches * ports.size()));
    for (const auto& senderBatches : batches) {
        ASSERT_EQ(senderBatches.size(), static_cast<std::size_t>(kBatches));
        for (const std::string& batch : senderBatches) {
            std::vector<OutboxRow> rows;
            std::string error;
            ASSERT_TRUE(m_store->Batch(batch, rows, error)) << error;
            ASSERT_EQ(rows.size(), ports.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i].request.port, ports[i]);
                EXPECT_EQ(rows[i].request.number, rows[0].request.number);
                EXPECT_EQ(rows[i].state, OutboxState::Done) << rows[i].id;
                EXPECT_EQ(rows[i].result.code, takenBy[rows[i].id]) << rows[i].id;
                EXPECT_EQ(rows[i].owner, "watch " + std::to_string(takenBy[rows[i].id]));
            }
        }
    }
}

}  // namespace
