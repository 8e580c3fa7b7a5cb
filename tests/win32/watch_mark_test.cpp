// The watch mark on Windows: seen with its holder's pid and store while it is
// held, refused to a second watch, and gone with its process when that
// process is terminated (the end TerminateProcess gives, as SIGKILL does on
// Linux).

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/store_file.h"
#include "platform/watch_mark.h"

namespace {

const char kHolderVariable[] = "TELLMAR_TEST_MARK_HOLDER";

// When this program is started with kHolderVariable naming a port, it is a
// watch's stand-in: it takes that port's mark, says "taken" on standard
// output and waits to be terminated, before any test runs.
const bool gHolder = [] {
    const char* name = std::getenv(kHolderVariable);
    if (name == nullptr) {
        return false;
    }
    CWatchMark mark;
    std::string error;
    std::puts(mark.Take(PortNamed(name), "C:\\tellmar\\store.db", error) ? "taken" : error.c_str());
    std::fflush(stdout);
    Sleep(INFINITE);
    return true;
}();

// Starts this program as the holder of `port`'s mark; its process handle
// once it holds the mark, null otherwise.
HANDLE StartHolder(const std::string& port, DWORD& pid)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return nullptr;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::string command = std::string("\"") + self + "\" --gtest_filter=None";
    SetEnvironmentVariableA(kHolderVariable, port.c_str());
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(kHolderVariable, nullptr);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return nullptr;
    }
    CloseHandle(process.hThread);
    char said[256] = {};
    DWORD got = 0;
    ReadFile(readEnd, said, sizeof said - 1, &got, nullptr);
    CloseHandle(readEnd);
    if (std::string(said).rfind("taken", 0) != 0) {
        ADD_FAILURE() << "the holder said: " << said;
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return nullptr;
    }
    pid = process.dwProcessId;
    return process.hProcess;
}

TEST(WatchMarkWin32, TheHolderIsSeenUntilItReleasesAndASecondWatchIsRefused)
{
    const COM_PORT_t port = PortNamed("COM97");
    EXPECT_FALSE(CWatchMark::Test(port).bWatched);
    CWatchMark mark;
    std::string error;
    ASSERT_TRUE(mark.Take(port, "", error)) << error;
    const WATCH_HOLDER_t holder = CWatchMark::Test(PortNamed("com97"));
    EXPECT_TRUE(holder.bWatched) << "one mark per port, whatever the case of its name";
    EXPECT_EQ(holder.nPid, static_cast<std::int64_t>(GetCurrentProcessId()));
    EXPECT_EQ(holder.strStore, "");
    EXPECT_FALSE(CWatchMark::Test(PortNamed("COM98")).bWatched);

    CWatchMark second;
    EXPECT_FALSE(second.Take(port, "", error));
    EXPECT_EQ(error, WatchHolderText(holder));
    mark.Release();
    EXPECT_FALSE(CWatchMark::Test(port).bWatched);
    EXPECT_TRUE(second.Take(port, "", error)) << error;
}

TEST(WatchMarkWin32, AMarkGoesWithItsProcessWhenItIsTerminated)
{
    DWORD pid = 0;
    const HANDLE holder = StartHolder("COM96", pid);
    ASSERT_NE(holder, nullptr);
    const WATCH_HOLDER_t seen = CWatchMark::Test(PortNamed("COM96"));
    EXPECT_TRUE(seen.bWatched);
    EXPECT_EQ(seen.nPid, static_cast<std::int64_t>(pid));
    EXPECT_EQ(seen.strStore, "C:\\tellmar\\store.db");

    TerminateProcess(holder, 9);
    WaitForSingleObject(holder, 10000);
    CloseHandle(holder);
    EXPECT_FALSE(CWatchMark::Test(PortNamed("COM96")).bWatched);
    CWatchMark mark;
    std::string error;
    EXPECT_TRUE(mark.Take(PortNamed("COM96"), "", error)) << error;
}

TEST(SameStoreFileWin32, OneFileHoweverItsPathIsWritten)
{
    char base[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, base));
    const std::string dir =
        std::string(base) + "tellmar-same-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    for (const char* name : {"\\a.db", "\\b.db"}) {
        const HANDLE file = CreateFileA((dir + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    const struct {
        std::string one;
        std::string other;
        bool same;
    } cases[] = {
        {dir + "\\a.db", dir + "\\a.db", true},
        {dir + "\\a.db", dir + "\\.\\A.DB", true},
        {dir + "\\a.db", dir + "\\b.db", false},
        {dir + "\\a.db", dir + "\\missing.db", false},
        {dir + "\\a.db", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameStoreFile(c.one, c.other), c.same) << c.one << " / " << c.other;
    }
    DeleteFileA((dir + "\\a.db").c_str());
    DeleteFileA((dir + "\\b.db").c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
