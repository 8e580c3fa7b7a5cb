#pragma once
// What the store's tests share: a fresh folder per test, and a look into
// the database with SQLite itself, as any other tool would read it.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "store/message_store.h"

namespace store_test {

// A folder of its own for each test, removed afterwards.
class StoreFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_dir = std::filesystem::temp_directory_path() /
                ("tellmar-store-" + std::to_string(random()) + "-" + std::to_string(stamp) + "-" +
                 std::to_string(counter++));
        ASSERT_TRUE(std::filesystem::create_directory(m_dir)) << m_dir;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    std::string DbPath() const { return PathOf("store.db"); }

    std::unique_ptr<MessageStore> OpenStore(const std::string& path)
    {
        std::string error;
        std::unique_ptr<MessageStore> store = MessageStore::Open(path, error);
        EXPECT_NE(store, nullptr) << error;
        EXPECT_EQ(store == nullptr, !error.empty()) << error;
        return store;
    }

    std::filesystem::path m_dir;
};

// Every row of a query, each column as text ("NULL" for a null), read
// through a connection of its own.
inline std::vector<std::vector<std::string>> Query(const std::string& path, const char* sql)
{
    std::vector<std::vector<std::string>> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* text = sqlite3_column_text(statement, i);
                row.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// Runs statements through a connection of its own (to shape a database the
// way another program or an older version would have left it).
inline void Execute(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << sqlite3_errmsg(db);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK)
        << (message != nullptr ? message : "") << " in " << sql;
    sqlite3_free(message);
    sqlite3_close(db);
}

// A received message of one part with the given PDU.
inline StoredMessage Message(const std::string& pdu, const std::string& text = "hello")
{
    StoredMessage message;
    message.received = "2026-12-10 10:57:41";
    message.com = "COM3";
    message.sim = "89860012345678901234";
    message.storage = "SIM";
    message.sender = "+8613912345678";
    message.sent = "24-05-01 09:30:00";
    message.text = text;
    message.pdu = {pdu};
    return message;
}

}  // namespace store_test
