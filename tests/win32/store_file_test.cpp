// The message store's file on Windows: created when missing, held so that
// nobody can put another file in its place while SQLite opens it, and never
// a folder.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/store_file.h"
#include "store/message_store.h"

namespace {

class StoreFileFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH] = {};
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, base));
        m_dir = std::string(base) + "tellmar-store-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        for (const char* name : {"\\store.db", "\\store.db-wal", "\\store.db-shm", "\\moved.db"}) {
            DeleteFileA((m_dir + name).c_str());
        }
        RemoveDirectoryA((m_dir + "\\folder").c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    std::string File() const { return m_dir + "\\store.db"; }
    std::string m_dir;
};

TEST_F(StoreFileFolder, TheFileIsCreatedAndCannotBeReplacedWhileItIsHeld)
{
    StoreFile file;
    std::string error;
    ASSERT_TRUE(file.Open(File(), error)) << error;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(File().c_str()));
    // The full path, as SQLite is to open it.
    EXPECT_EQ(file.SqliteName(), File());
    EXPECT_TRUE(file.StillNamed());
    EXPECT_FALSE(MoveFileA(File().c_str(), (m_dir + "\\moved.db").c_str()));
    EXPECT_FALSE(DeleteFileA(File().c_str()));
    file.Close();
    EXPECT_FALSE(file.StillNamed());
    EXPECT_TRUE(MoveFileA(File().c_str(), (m_dir + "\\moved.db").c_str()));
}

TEST_F(StoreFileFolder, AFolderOrAMissingFolderIsRefusedWithTheSystemsReason)
{
    const std::string folder = m_dir + "\\folder";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const std::string& path : {folder, m_dir + "\\missing\\store.db"}) {
        StoreFile file;
        std::string error;
        EXPECT_FALSE(file.Open(path, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
        EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    }
}

// The whole store on Windows' own file locking and shared memory: a second
// connection sees what the first kept, and the log files are SQLite's.
TEST_F(StoreFileFolder, TwoConnectionsShareTheStore)
{
    std::string error;
    auto first = MessageStore::Open(File(), error);
    ASSERT_NE(first, nullptr) << error;
    auto second = MessageStore::Open(File(), error);
    ASSERT_NE(second, nullptr) << error;
    StoredMessage message;
    message.com = "COM5";
    message.storage = "SIM";
    message.pdu = {"0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C"};
    KeepOutcome kept;
    ASSERT_TRUE(first->Keep(message, kept, error)) << error;
    KeepOutcome again;
    ASSERT_TRUE(second->Keep(message, again, error)) << error;
    EXPECT_TRUE(kept.isNew);
    EXPECT_FALSE(again.isNew);
    EXPECT_EQ(again.id, kept.id);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((File() + "-wal").c_str()));
}

}  // namespace
