// The AT trace: the line format, the file's safety rules, write failures and
// lines written from many threads at once.

#include "platform/port_trace.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class PortTraceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = fs::temp_directory_path().string() + "/tellmar-trace-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        StopPortTrace();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string dir;
};

TEST(PortTraceFormat, BytesAreEscapedSoThatEveryLineIsPrintableAscii)
{
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"command", "AT+CMGS=23\r", "AT+CMGS=23\\r"},
        {"reply lines", "\r\n+CSQ: 23,99\r\n\r\nOK\r\n", "\\r\\n+CSQ: 23,99\\r\\n\\r\\nOK\\r\\n"},
        {"prompt keeps its blank", "\r\n> ", "\\r\\n> "},
        {"PDU body ended by Ctrl-Z", "0011000B91\x1A", "0011000B91\\x1A"},
        {"cancel with ESC", std::string("\x1B"), "\\x1B"},
        {"NUL and tab", std::string("a\0b\tc", 5), "a\\x00b\\tc"},
        {"backslash stays readable back", "C:\\x41", "C:\\\\x41"},
        {"DEL and bytes above ASCII", "\x7F\x80\xFF", "\\x7F\\x80\\xFF"},
        {"UCS-2 body as the CDMA model sends it", std::string("\x4F\x60\x00\x1A", 4),
         "O`\\x00\\x1A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeTraceBytes(c.bytes), c.text) << c.name;
    }
    EXPECT_EQ(TraceEntry("COM3", '>', "AT\\r"), "COM3 > AT\\r");
}

TEST_F(PortTraceTest, LinesGoToANewFileOfTheOwnerAloneAndAreAppendedToAnOldOne)
{
    const std::string path = dir + "/trace.txt";
    ASSERT_TRUE(StartPortTraceAt(path));
    EXPECT_TRUE(PortTraceOn());
    TracePortIo("COM3", '>', "AT\r", 0);
    TracePortIo("COM3", '<', "", 0);  // a quiet read: nothing to show
    TracePortIo("COM3", '<', "\r\nOK\r\n", 0);
    TracePortIo("COM4", '<', "", 5);
    TracePortIo("COM4", '>', "ATI\r", 9);
    TracePortOpenFailure("COM7", 16);
    StopPortTrace();
    EXPECT_FALSE(PortTraceOn());
    TracePortIo("COM3", '>', "after the stop\r", 0);

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 7u) << ReadFile(path);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(\d+ # trace started \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(UTC\+8\))")))
        << lines[0];
    const std::vector<std::string> expected = {
        "COM3 > AT\\r",  "COM3 < \\r\\nOK\\r\\n",          "COM4 ! read failed: Code:5   ",
        "COM4 > ATI\\r", "COM4 ! write failed: Code:9   ", "COM7 ! open failed: Code:16   ",
    };
    long previous = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& line = lines[i + 1];
        const std::size_t blank = line.find(' ');
        ASSERT_NE(blank, std::string::npos) << line;
        const long ms = std::stol(line.substr(0, blank));
        EXPECT_GE(ms, previous) << "lines are in time order";
        previous = ms;
        EXPECT_EQ(line.compare(blank + 1, expected[i].size(), expected[i]), 0)
            << line << " should begin with " << expected[i];
    }
    EXPECT_EQ(lines[3].find('\r'), std::string::npos) << "the system text loses its line end";

    // A second run appends behind the first.
    ASSERT_TRUE(StartPortTraceAt(path));
    TracePortIo("COM3", '>', "AT\r", 0);
    StopPortTrace();
    const std::vector<std::string> again = Lines(ReadFile(path));
    ASSERT_EQ(again.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(again.begin(), again.begin() + 7), lines);
}

TEST_F(PortTraceTest, AFileThatMustNotBeWrittenIsRefusedOnceOnStandardErrorWithoutWaiting)
{
    const std::string target = dir + "/target.txt";
    std::ofstream(target) << "someone else's file\n";
    fs::create_symlink(target, dir + "/link");
    fs::create_directory(dir + "/folder");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);

    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"a folder", dir + "/folder"},
        {"a symbolic link", dir + "/link"},
        {"a symbolic link to nowhere",
         (fs::create_symlink(dir + "/none", dir + "/dangling"), dir + "/dangling")},
        {"a path below a missing folder", dir + "/missing/trace.txt"},
        {"a FIFO without a reader", dir + "/fifo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(StartPortTraceAt(c.path));
        TracePortIo("COM3", '>', "AT\r", 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(PortTraceOn());
        EXPECT_EQ(Lines(err).size(), 1u) << err;
        EXPECT_NE(err.find("TELLMAR_TRACE=" + c.path), std::string::npos) << err;
    }
    EXPECT_EQ(ReadFile(target), "someone else's file\n") << "the link was not followed";
    EXPECT_FALSE(fs::exists(dir + "/none"));
}

TEST_F(PortTraceTest, AWriteThatFailsEndsTheTraceWithOneReport)
{
    // A file size limit fails writes as a full disk does (EFBIG instead of
    // ENOSPC), without needing a file system of its own; SIGXFSZ is ignored
    // so that the write fails rather than ends the process.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const std::string path = dir + "/trace.txt";
    testing::internal::CaptureStderr();
    const bool started = StartPortTraceAt(path);
    const std::string reply(300, 'x');
    for (int i = 0; i < 100; ++i) {
        TracePortIo("COM3", '<', reply, 0);
    }
    const bool onAfterwards = PortTraceOn();
    const std::string err = testing::internal::GetCapturedStderr();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_TRUE(started);
    EXPECT_FALSE(onAfterwards);
    EXPECT_EQ(Lines(err).size(), 1u) << err;
    EXPECT_NE(err.find("cannot be written"), std::string::npos) << err;
    EXPECT_LE(fs::file_size(path), 4096u);
}

TEST_F(PortTraceTest, LinesFromManyThreadsNeverCutEachOther)
{
    const std::string path = dir + "/trace.txt";
    ASSERT_TRUE(StartPortTraceAt(path));
    // Lines longer than a stdio buffer, with bytes that are escaped.
    constexpr int kThreads = 8;
    constexpr int kLines = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string port = "COM" + std::to_string(t + 1);
            const std::string bytes = std::string(1500, static_cast<char>('a' + t)) + "\r\n\x1A";
            for (int i = 0; i < kLines; ++i) {
                TracePortIo(port, i % 2 ? '<' : '>', bytes, 0);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    StopPortTrace();

    std::map<std::string, int> perPort;
    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1u + kThreads * kLines);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(
            std::regex_match(lines[i], m, std::regex(R"(\d+ (COM(\d)) [<>] ([a-h]+)\\r\\n\\x1A)")))
            << lines[i].substr(0, 80);
        EXPECT_EQ(m[3].str(), std::string(1500, static_cast<char>('a' + std::stoi(m[2]) - 1)))
            << "one whole write of one thread";
        ++perPort[m[1]];
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(perPort["COM" + std::to_string(t + 1)], kLines);
    }
}

}  // namespace
