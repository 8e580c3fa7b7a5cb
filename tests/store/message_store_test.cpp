// The message store: its schema as documented, durable keeping, a message's
// identity, texts in UTF-8, and the refusals of files it must not use. These
// cases need neither a child process nor POSIX calls, so the Windows checks
// run them too (under Wine, on SQLite built from Debian's sources).

#include <fstream>
#include <iterator>
#include <thread>

#include "iconv/text_literal.h"
#include "store/message_store.h"
#include "store_test_support.h"

namespace {

using store_test::Execute;
using store_test::Message;
using store_test::Query;

// PDUs made by python3-gammu (/work/shared/vectors/pdus.json): "你好世界"
// from 13912345678, and the three parts of a long UCS-2 text, reference 0xA7.
const std::string kChinesePdu =
    "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C";
const std::string kPart1 =
    "0891683108100005F0440B813107001011F10008123060102030008C050003A70301957F77ED4FE16D4B8BD5518"
    "55BB9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB99"
    "57F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB9957F77E"
    "D4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B";
const std::string kPart3 =
    "0891683108100005F0440B813107001011F10008123060102030003A050003A7030377ED4FE16D4B8BD551855BB"
    "9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD551855BB9957F77ED4FE16D4B8BD55185";
const std::string kReportPdu = "079124603050020006E80C91666666666666909070618422809090706184628000";

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class MessageStoreTest : public store_test::StoreFolder {};

TEST_F(MessageStoreTest, ANewFileGetsTheDocumentedSchemaInWriteAheadLogMode)
{
    ASSERT_NE(OpenStore(DbPath()), nullptr);

    std::vector<std::string> columns;
    for (const auto& row : Query(DbPath(), "SELECT name FROM pragma_table_info('messages')")) {
        columns.push_back(row[0]);
    }
    EXPECT_EQ(columns, (std::vector<std::string>{
                           "id", "received", "com", "sim", "storage", "sender", "sent", "text",
                           "kind", "parts", "missing", "pdu", "reference", "status", "digest"}));
    columns.clear();
    for (const auto& row : Query(DbPath(), "SELECT name FROM pragma_table_info('outbox')")) {
        columns.push_back(row[0]);
    }
    EXPECT_EQ(columns, (std::vector<std::string>{"id", "batch", "port", "number", "text", "options",
                                                 "state", "queued", "owner", "claimed", "code",
                                                 "message", "time", "detail"}));
    EXPECT_EQ(Query(DbPath(), "PRAGMA journal_mode"), (decltype(Query("", "")){{"wal"}}));
    EXPECT_EQ(Query(DbPath(), "PRAGMA user_version"), (decltype(Query("", "")){{"1"}}));
}

TEST_F(MessageStoreTest, AnEmptyFileBecomesAStoreAndAReopenedStoreKeepsItsRows)
{
    std::ofstream(DbPath(), std::ios::binary).close();
    ASSERT_TRUE(std::filesystem::exists(DbPath()));
    KeepOutcome outcome;
    std::string error;
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        ASSERT_TRUE(store->Keep(Message(kChinesePdu), outcome, error)) << error;
    }
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    KeepOutcome second;
    ASSERT_TRUE(store->Keep(Message(kPart1), second, error)) << error;
    EXPECT_EQ(Query(DbPath(), "SELECT id, pdu FROM messages ORDER BY id"),
              (decltype(Query("", "")){{std::to_string(outcome.id), kChinesePdu},
                                       {std::to_string(second.id), kPart1}}));
}

TEST_F(MessageStoreTest, AKeptMessageIsInTheFileWhenKeepReturnsWithEveryColumnAsDocumented)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    StoredMessage message = Message(kChinesePdu, GB("你好世界"));
    KeepOutcome outcome;
    std::string error;
    ASSERT_TRUE(store->Keep(message, outcome, error)) << error;
    EXPECT_TRUE(outcome.isNew);

    // Read by a connection of its own while the store is still open: the
    // row is committed, not waiting in this connection.
    const auto rows = Query(DbPath(),
                            "SELECT id, received, com, sim, storage, sender, sent, text, kind, "
                            "parts, missing, pdu, reference, status, digest FROM messages");
    // The digest as Python computes it for one part:
    // hashlib.sha256(len(p).to_bytes(8, 'big') + p).hexdigest()
    const std::vector<std::vector<std::string>> expected = {
        {std::to_string(outcome.id), "2026-12-10 10:57:41", "COM3", "89860012345678901234", "SIM",
         "+8613912345678", "24-05-01 09:30:00", "你好世界", "message", "1", "NULL", kChinesePdu,
         "NULL", "NULL", "a73e7940a7c559efcef6913ed610ee4cedf1d1af33d376ef60988c644635e1fe"}};
    EXPECT_EQ(rows, expected);
}

TEST_F(MessageStoreTest, ReportsIncompleteAndUnreadableMessagesKeepTheirOwnFields)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);

    // A status report collected from the field: gammu 1.42.0 (Debian source
    // package gammu 1.42.0-8), tests/at-sms/30.dump.
    StoredMessage report = Message(kReportPdu);
    report.kind = StoredKind::Report;
    report.sender = "+666666666666";
    report.sent = "09-09-07 16:48:26";
    report.text = "Delivery report for message 232: delivered (TP-ST 0x00)";
    report.reference = 232;
    report.status = 0;

    StoredMessage incomplete = Message(kPart1, GB("长短信测试内容"));
    incomplete.parts = 3;
    incomplete.pdu = {kPart1, kPart3};
    incomplete.missing = {2};

    StoredMessage unreadable = Message(std::string("0BD042\r\n\\x\x1A\xB5", 12), "");
    unreadable.kind = StoredKind::Unreadable;
    unreadable.sender = "";
    unreadable.sent = "";

    std::string error;
    for (const StoredMessage* message : {&report, &incomplete, &unreadable}) {
        KeepOutcome outcome;
        ASSERT_TRUE(store->Keep(*message, outcome, error)) << error;
        EXPECT_TRUE(outcome.isNew);
    }
    const std::vector<std::vector<std::string>> expected = {
        {"report", "+666666666666", "1", "NULL", kReportPdu, "232", "0"},
        {"message", "+8613912345678", "3", "[2]", kPart1 + "\n" + kPart3, "NULL", "NULL"},
        // Escaped as in the AT trace, so that the column is one line of
        // printable ASCII per part.
        {"unreadable", "", "1", "NULL", "0BD042\\r\\n\\\\x\\x1A\\xB5", "NULL", "NULL"},
    };
    EXPECT_EQ(Query(DbPath(),
                    "SELECT kind, sender, parts, missing, pdu, reference, status "
                    "FROM messages ORDER BY id"),
              expected);
}

TEST_F(MessageStoreTest, TextsAreConvertedToUtf8AtTheBoundary)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    // Internal texts are GB18030: a GBK character, and one only GB18030
    // has (four bytes there, U+1F600 in UTF-8).
    StoredMessage message = Message(kChinesePdu, GB("短信 😀"));
    message.sender = GB("中国移动");
    KeepOutcome outcome;
    std::string error;
    ASSERT_TRUE(store->Keep(message, outcome, error)) << error;
    EXPECT_EQ(Query(DbPath(), "SELECT text, sender, hex(text) FROM messages"),
              (decltype(Query("", "")){{"短信 😀", "中国移动", "E79FADE4BFA120F09F9880"}}));
}

TEST_F(MessageStoreTest, AMessageIsIdentifiedBySimStorageAndItsRawParts)
{
    const StoredMessage base = [] {
        StoredMessage message = Message(kPart1);
        message.pdu = {kPart1, kPart3};
        return message;
    }();
    struct Case {
        const char* name;
        void (*change)(StoredMessage&);
        bool isNew;
    };
    const Case cases[] = {
        {"the same message read again", [](StoredMessage&) {}, false},
        {"read again on another port, same SIM", [](StoredMessage& m) { m.com = "COM4"; }, false},
        {"read again with other shown fields (a newer decoder)",
         [](StoredMessage& m) {
             m.text = "other";
             m.received = "2026-12-11 00:00:00";
         },
         false},
        {"another SIM", [](StoredMessage& m) { m.sim = "89860012345678909999"; }, true},
        {"the other storage", [](StoredMessage& m) { m.storage = "DEV"; }, true},
        {"one digit of a part differs", [](StoredMessage& m) { m.pdu[1].back() = '6'; }, true},
        {"the parts in the other order", [](StoredMessage& m) { std::swap(m.pdu[0], m.pdu[1]); },
         true},
        {"the same bytes cut into other parts",
         [](StoredMessage& m) {
             const std::string all = m.pdu[0] + m.pdu[1];
             m.pdu = {all.substr(0, 10), all.substr(10)};
         },
         true},
        {"one part fewer", [](StoredMessage& m) { m.pdu.pop_back(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh store per case, reopened before the second keep, as the
        // next run of a command would.
        const std::string path = PathOf(std::string("case-") + std::to_string(&c - cases) + ".db");
        KeepOutcome first;
        std::string error;
        {
            auto store = OpenStore(path);
            ASSERT_NE(store, nullptr);
            ASSERT_TRUE(store->Keep(base, first, error)) << error;
        }
        auto store = OpenStore(path);
        ASSERT_NE(store, nullptr);
        StoredMessage changed = base;
        c.change(changed);
        KeepOutcome second;
        ASSERT_TRUE(store->Keep(changed, second, error)) << error;
        EXPECT_EQ(second.isNew, c.isNew);
        EXPECT_EQ(second.id == first.id, !c.isNew);
        EXPECT_EQ(Query(path, "SELECT count(*) FROM messages")[0][0], c.isNew ? "2" : "1");
    }
}

TEST_F(MessageStoreTest, WithoutAnIccidThePortStandsInForTheSim)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    StoredMessage onCom3 = Message(kChinesePdu);
    onCom3.sim = "";
    StoredMessage onCom4 = onCom3;
    onCom4.com = "COM4";
    const struct {
        const StoredMessage* message;
        bool isNew;
    } steps[] = {{&onCom3, true}, {&onCom4, true}, {&onCom3, false}, {&onCom4, false}};
    std::string error;
    for (const auto& step : steps) {
        KeepOutcome outcome;
        ASSERT_TRUE(store->Keep(*step.message, outcome, error)) << error;
        EXPECT_EQ(outcome.isNew, step.isNew) << step.message->com;
    }
    EXPECT_EQ(Query(DbPath(), "SELECT com, sim FROM messages ORDER BY id"),
              (decltype(Query("", "")){{"COM3", ""}, {"COM4", ""}}));
}

TEST_F(MessageStoreTest, AMessageWithoutRawPartsIsRefusedAndNothingIsStored)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    StoredMessage message = Message(kChinesePdu);
    message.pdu.clear();
    KeepOutcome outcome;
    std::string error;
    EXPECT_FALSE(store->Keep(message, outcome, error));
    EXPECT_EQ(error, "store " + DbPath() + ": unable to store the message: it has no raw parts");
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM messages")[0][0], "0");
}

TEST_F(MessageStoreTest, OneStoreKeepsMessagesFromManyThreadsEachOnce)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    constexpr int kThreads = 4;
    constexpr int kMessages = 25;
    std::vector<int> newCounts(kThreads, 0);
    std::vector<std::string> errors(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Every thread keeps the same messages: each must be new once.
            for (int i = 0; i < kMessages; ++i) {
                KeepOutcome outcome;
                if (!store->Keep(Message(kChinesePdu + std::to_string(i)), outcome, errors[t])) {
                    return;
                }
                newCounts[t] += outcome.isNew ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    int newTotal = 0;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(errors[t], "");
        newTotal += newCounts[t];
    }
    EXPECT_EQ(newTotal, kMessages);
    EXPECT_EQ(Query(DbPath(), "SELECT count(*), count(DISTINCT pdu) FROM messages"),
              (decltype(Query("", "")){{std::to_string(kMessages), std::to_string(kMessages)}}));
}

// Files the store must not use: each refused with its reason, and left as
// it was.
TEST_F(MessageStoreTest, PathsThatAreNoStoreOfOursAreRefusedAndLeftAlone)
{
    std::filesystem::create_directory(PathOf("folder"));
    std::ofstream(PathOf("notes.txt"), std::ios::binary)
        << std::string(3000, 'x') << "\nnot a database at all\n";
    Execute(PathOf("other.db"),
            "CREATE TABLE contacts (name TEXT); "
            "INSERT INTO contacts VALUES ('Alice');");
    Execute(PathOf("stranger.db"), "PRAGMA application_id = 1234;");
    {
        auto store = OpenStore(PathOf("newer.db"));
    }
    Execute(PathOf("newer.db"), "PRAGMA user_version = 2;");

    const struct {
        std::string path;
        std::string reason;  // empty: the system's own text, whatever it is
    } cases[] = {
        {PathOf("missing/store.db"), ""},
        {PathOf("folder"), ""},
        {PathOf("notes.txt"), "file is not a database"},
        {PathOf("other.db"), "a database of another program"},
        {PathOf("stranger.db"), "a database of another program"},
        {PathOf("newer.db"), "made by a newer version of this program (schema version 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const bool existed = std::filesystem::exists(c.path);
        const std::string before =
            existed && std::filesystem::is_regular_file(c.path) ? Contents(c.path) : std::string();
        std::string error;
        EXPECT_EQ(MessageStore::Open(c.path, error), nullptr);
        const std::string prefix = "store " + c.path + ": unable to open: ";
        EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
        EXPECT_GT(error.size(), prefix.size()) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        if (!c.reason.empty()) {
            EXPECT_EQ(error, prefix + c.reason);
        }
        EXPECT_EQ(std::filesystem::exists(c.path), existed);
        if (existed && std::filesystem::is_regular_file(c.path)) {
            EXPECT_TRUE(Contents(c.path) == before) << "the file was changed";
        }
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("missing")));
    EXPECT_EQ(Query(PathOf("other.db"), "SELECT name FROM sqlite_schema"),
              (decltype(Query("", "")){{"contacts"}}));
}

// A database that another connection keeps locked is waited for a bounded
// time, then refused: the message is not kept (and so not deleted).
TEST_F(MessageStoreTest, ALockedDatabaseFailsAfterItsBusyTimeout)
{
    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "BEGIN EXCLUSIVE; DELETE FROM outbox;", nullptr, nullptr, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(other);

    KeepOutcome outcome;
    std::string error;
    EXPECT_FALSE(store->Keep(Message(kChinesePdu), outcome, error));
    EXPECT_EQ(error, "store " + DbPath() + ": unable to store the message: database is locked");
    EXPECT_EQ(MessageStore::Open(DbPath(), error), nullptr);
    EXPECT_EQ(error, "store " + DbPath() + ": unable to open: database is locked");

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    error.clear();
    EXPECT_TRUE(store->Keep(Message(kChinesePdu), outcome, error)) << error;
    EXPECT_TRUE(outcome.isNew);
}

}  // namespace
