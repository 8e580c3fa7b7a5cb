// The AT trace's file on Windows: appended to, never a folder or a link.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/port_trace.h"
#include "platform/trace_file.h"

namespace {

class TraceFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH] = {};
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, base));
        m_dir = std::string(base) + "tellmar-trace-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        StopPortTrace();
        DeleteFileA(File().c_str());
        RemoveDirectoryA((m_dir + "\\folder").c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    std::string File() const { return m_dir + "\\trace.txt"; }
    std::string m_dir;
};

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(TraceFolder, LinesAreAppendedToWhatTheFileHeld)
{
    std::ofstream(File(), std::ios::binary) << "earlier run\n";
    ASSERT_TRUE(StartPortTraceAt(File()));
    TracePortIo("COM5", '>', "AT\r", 0);
    TracePortOpenFailure("COM6", ERROR_ACCESS_DENIED);
    StopPortTrace();
    const std::string text = Contents(File());
    EXPECT_EQ(0u, text.rfind("earlier run\n", 0)) << text;
    EXPECT_NE(std::string::npos, text.find(" COM5 > AT\\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find(" COM6 ! open failed: Code:5   ")) << text;
}

TEST_F(TraceFolder, AFolderIsRefusedWithTheSystemsReason)
{
    const std::string folder = m_dir + "\\folder";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string error;
    EXPECT_EQ(nullptr, OpenTraceFile(folder, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::string::npos, error.find('\n'));
    EXPECT_EQ(nullptr, OpenTraceFile(m_dir + "\\missing\\trace.txt", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
