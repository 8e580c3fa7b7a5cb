// The console writer, colours and the key and line reads, run against real
// pipes and pseudo-terminals: whether standard output or input is a terminal
// changes what they do, so the cases run in forked children where it matters.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"

namespace {

// ---- a child process on a pty or on pipes ----------------------------------

struct ChildResult {
    std::string output;
    int status = -1;
};

// Reads until end of file (a pty master reports EIO when the child has gone),
// giving up after a generous limit so that a broken case fails instead of hanging.
std::string ReadAll(int fd, int limitMs = 10000)
{
    std::string out;
    const std::int64_t end = MonotonicMs() + limitMs;
    for (;;) {
        const std::int64_t left = end - MonotonicMs();
        if (left <= 0) {
            ADD_FAILURE() << "child output did not end; got: " << out;
            break;
        }
        struct pollfd pfd {
            fd, POLLIN, 0
        };
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

void SetNoColor(const char* value)
{
    if (value) {
        ::setenv("NO_COLOR", value, 1);
    } else {
        ::unsetenv("NO_COLOR");
    }
}

// The child runs body with standard input and output on the pty or the pipes,
// flushes the writer and exits 0.
struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of its output (the pty master when onPty)
    int in = -1;   // write end of its input (the pty master when onPty)

    static Child Start(bool onPty, const std::function<void()>& body, const char* noColor = nullptr)
    {
        Child c;
        if (onPty) {
            int master = -1;
            c.pid = ::forkpty(&master, nullptr, nullptr, nullptr);
            if (c.pid == 0) {
                SetNoColor(noColor);
                body();
                ConsoleFlush();
                ::_exit(0);
            }
            c.out = master;
            c.in = master;
            return c;
        }
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
            ADD_FAILURE() << "pipe";
            return c;
        }
        c.pid = ::fork();
        if (c.pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            ::close(toChild[0]);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            ::close(fromChild[1]);
            SetNoColor(noColor);
            body();
            ConsoleFlush();
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        c.out = fromChild[0];
        c.in = toChild[1];
        return c;
    }

    void Write(const std::string& bytes) const
    {
        ASSERT_EQ(::write(in, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    void CloseInput()
    {
        if (in != out) {
            ::close(in);
        }
        in = -1;
    }

    ChildResult Finish()
    {
        ChildResult r;
        r.output = ReadAll(out);
        ::close(out);
        if (in >= 0 && in != out) {
            ::close(in);
        }
        ::waitpid(pid, &r.status, 0);
        return r;
    }
};

ChildResult RunChild(bool onPty, const std::function<void()>& body, const char* noColor = nullptr)
{
    Child c = Child::Start(onPty, body, noColor);
    c.CloseInput();
    return c.Finish();
}

// Waits until the terminal behind the pty master is (or is no longer) in the
// raw mode of a key read.
bool WaitForEcho(int master, bool echoOn)
{
    const std::int64_t end = MonotonicMs() + 10000;
    while (MonotonicMs() < end) {
        struct termios t {};
        if (::tcgetattr(master, &t) == 0 && ((t.c_lflag & ECHO) != 0) == echoOn) {
            return true;
        }
        SleepMs(5);
    }
    return false;
}

// ---- output ----------------------------------------------------------------

TEST(ConsoleColour, OnlyOnATerminalWithoutNoColor)
{
    const auto body = [] {
        PrintGreen("ok");
        PrintRed("");
        ConsoleWrite("\xB3\xC9\xB9\xA6");  // 成功, internal text
    };
    const std::string green = "\x1b[92m";
    const std::string red = "\x1b[91m";
    const std::string reset = "\x1b[0m";
    const std::string plain = std::string("ok") + u8"成功";
    const struct {
        const char* why;
        bool onPty;
        const char* noColor;
        std::string expected;
    } rows[] = {
        // An empty text still sets and resets the colour.
        {"terminal", true, nullptr, green + "ok" + reset + red + reset + u8"成功"},
        {"terminal with NO_COLOR", true, "1", plain},
        {"terminal with empty NO_COLOR", true, "", plain},
        {"pipe", false, nullptr, plain},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const ChildResult r = RunChild(row.onPty, body, row.noColor);
        EXPECT_EQ(r.output, row.expected);
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0);
    }
}

TEST(ConsoleWriter, LinesOfConcurrentWritersStayWholeAndInOrder)
{
    const int kThreads = 4;
    const int kLines = 2000;
    const ChildResult r = RunChild(false, [] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i) {
                    const std::string id = std::to_string(t) + ":" + std::to_string(i) + "\n";
                    PrintGreen("g" + id);
                    ConsoleWrite("t" + id);
                }
            });
        }
        for (auto& th : threads) {
            th.join();
        }
    });
    std::istringstream lines(r.output);
    std::string line;
    // Per thread the calls alternate g then t with rising numbers.
    std::vector<int> next(kThreads, 0);
    int count = 0;
    while (std::getline(lines, line)) {
        char kind = 0;
        int t = -1;
        int i = -1;
        char rest = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%c%d:%d%c", &kind, &t, &i, &rest), 3) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(kind == 't' ? 2 * i + 1 : 2 * i, next[t]) << line;
        next[t] = (kind == 't' ? 2 * i + 1 : 2 * i) + 1;
        ++count;
    }
    EXPECT_EQ(count, 2 * kThreads * kLines);
}

// A prompt without line end must be on screen before the program waits for
// the answer, or the user is left looking at nothing.
TEST(ConsoleWriter, PromptIsShownBeforeTheLineIsRead)
{
    Child c = Child::Start(false, [] {
        ConsoleWrite("Number? ");
        std::string line;
        const bool got = ConsoleReadLine(line);
        ConsoleWrite(std::string(got ? "got " : "none ") + line + "\n");
    });
    std::string seen;
    const std::int64_t end = MonotonicMs() + 10000;
    while (seen.find("Number? ") == std::string::npos && MonotonicMs() < end) {
        struct pollfd pfd {
            c.out, POLLIN, 0
        };
        if (::poll(&pfd, 1, 100) > 0) {
            char buffer[64];
            const ssize_t n = ::read(c.out, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            seen.append(buffer, static_cast<std::size_t>(n));
        }
    }
    EXPECT_EQ(seen, "Number? ");
    c.Write("138\n");
    c.CloseInput();
    EXPECT_EQ(c.Finish().output, "got 138\n");
}

// ---- key and line read from a pipe (in this process) -----------------------

// Puts the given bytes, then the end of input, on standard input while alive.
class PipedStdin {
public:
    explicit PipedStdin(const std::string& bytes)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[1]);
        m_saved = ::dup(STDIN_FILENO);
        ::dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
    }
    ~PipedStdin()
    {
        ::dup2(m_saved, STDIN_FILENO);
        ::close(m_saved);
    }
    PipedStdin(const PipedStdin&) = delete;
    PipedStdin& operator=(const PipedStdin&) = delete;

private:
    int m_saved = -1;
};

struct KeyCase {
    const char* name;
    std::string input;
    std::vector<int> codes;  // followed by 'q' for the end of input
};

class PipeKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PipeKeyTest, ReadsWin32KeyCodesThenQAtTheEnd)
{
    PipedStdin input(GetParam().input);
    std::vector<int> got;
    for (std::size_t k = 0; k < GetParam().codes.size() + 2; ++k) {
        got.push_back(ConsoleReadKey());
    }
    std::vector<int> expected = GetParam().codes;
    expected.push_back('q');
    expected.push_back('q');  // and stays there
    EXPECT_EQ(got, expected);
}

const KeyCase kKeyCases[] = {
    {"Empty", "", {}},
    {"PlainKeys", "1x2Q", {'1', 'x', '2', 'Q'}},
    {"CarriageReturn", "\r", {13}},
    {"LineFeed", "\n", {13}},
    {"CrLfIsOneEnter", "\r\n\n", {13, 13}},
    {"Arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {224, 72, 224, 80, 224, 77, 224, 75}},
    {"ApplicationModeArrow", "\x1bOA", {224, 72}},
    {"ModifiedArrow", "\x1b[1;5A", {224, 72}},
    {"FunctionKeys", "\x1bOP\x1b[15~\x1b[24~\x1b[[A", {224, 59, 224, 63, 224, 134, 224, 59}},
    {"EditingKeys",
     "\x1b[2~\x1b[3~\x1b[5~\x1b[6~\x1b[H\x1b[F",
     {224, 82, 224, 83, 224, 73, 224, 81, 224, 71, 224, 79}},
    {"UnknownSequenceIsOneKey", "\x1b[99~x", {224, 0, 'x'}},
    {"HugeParameterStaysBounded", "\x1b[99999999999999999999~", {224, 0}},
    {"LoneEscAtEnd", "\x1b", {27}},
    {"EscThenLetter", "\x1bx", {27, 'x'}},
    {"EscThenO", "\x1bO", {27, 'O'}},
    {"ChineseKeyAsGbkBytes", u8"中", {0xD6, 0xD0}},
    {"BrokenUtf8", "\xE4\xB8q", {0x84, 0x31, 0xA4, 0x37, 0x84, 0x31, 0xA4, 0x37, 'q'}},
};

INSTANTIATE_TEST_SUITE_P(Rows, PipeKeyTest, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PipeLineRead, LinesWithoutTheirEndsThenFalse)
{
    const struct {
        const char* why;
        std::string input;
        std::vector<std::string> lines;
    } rows[] = {
        {"nothing", "", {}},
        {"empty line", "\n", {""}},
        {"crlf and a last line without end", "abc\r\nxyz", {"abc", "xyz"}},
        {"converted to internal text", u8"中文\n", {"\xD6\xD0\xCE\xC4"}},
        {"invalid bytes become visible", "\xFF\n", {"\x84\x31\xA4\x37"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        PipedStdin input(row.input);
        std::vector<std::string> got;
        std::string line = "untouched";
        while (ConsoleReadLine(line)) {
            got.push_back(line);
        }
        EXPECT_EQ(got, row.lines);
    }
}

// Standard input from a file, for inputs larger than a pipe holds.
class FileStdin {
public:
    explicit FileStdin(const std::string& bytes)
    {
        std::FILE* file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fflush(file);
        m_saved = ::dup(STDIN_FILENO);
        ::dup2(::fileno(file), STDIN_FILENO);
        ::lseek(STDIN_FILENO, 0, SEEK_SET);
        std::fclose(file);
    }
    ~FileStdin()
    {
        ::dup2(m_saved, STDIN_FILENO);
        ::close(m_saved);
    }
    FileStdin(const FileStdin&) = delete;
    FileStdin& operator=(const FileStdin&) = delete;

private:
    int m_saved = -1;
};

// A typed line keeps at most kMaxTypedLineBytes of whole characters; the rest
// of it is dropped, the caller is told, and the next line is read as usual.
TEST(PipeLineRead, OverlongLinesAreCutAtACharacterAndTheRestDropped)
{
    const std::size_t limit = kMaxTypedLineBytes;
    std::string chinese;
    for (std::size_t k = 0; k < limit; ++k) {
        chinese += u8"中";  // two internal bytes each
    }
    const std::string ascii(5 * limit, 'x');
    FileStdin input(ascii + "\n" + std::string(limit, 'y') + "\r\n" + chinese + "\n" + "next\n");
    std::string line;
    bool cut = false;
    ASSERT_TRUE(ConsoleReadLine(line, &cut));
    EXPECT_TRUE(cut);
    EXPECT_EQ(line, std::string(limit, 'x'));
    ASSERT_TRUE(ConsoleReadLine(line, &cut));
    EXPECT_FALSE(cut) << "exactly the bound is kept whole";
    EXPECT_EQ(line, std::string(limit, 'y'));
    ASSERT_TRUE(ConsoleReadLine(line, &cut));
    EXPECT_TRUE(cut);
    ASSERT_EQ(line.size(), limit);
    EXPECT_EQ(line.substr(limit - 4), "\xD6\xD0\xD6\xD0") << "whole characters only";
    ASSERT_TRUE(ConsoleReadLine(line, &cut));
    EXPECT_FALSE(cut);
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(ConsoleReadLine(line, &cut));
}

TEST(PipeLineRead, KeyThenLineShareTheInput)
{
    PipedStdin input("1\x1bz13800\n");
    EXPECT_EQ(ConsoleReadKey(), '1');
    EXPECT_EQ(ConsoleReadKey(), 27);
    std::string line;
    ASSERT_TRUE(ConsoleReadLine(line));
    EXPECT_EQ(line, "z13800");  // the byte looked at after Esc is not lost
    EXPECT_FALSE(ConsoleReadLine(line));
    EXPECT_EQ(ConsoleReadKey(), 'q');
}

// ---- key read on a terminal ------------------------------------------------

TEST(TerminalKey, OneRawUnechoedKeyThenSettingsRestored)
{
    const struct {
        const char* name;
        std::string typed;
        int codes;
        std::string expected;
    } rows[] = {
        {"arrow", "\x1b[A", 2, "224 72 "},
        {"enter", "\r", 1, "13 "},
        {"letter", "d", 1, "100 "},
        {"chinese", u8"中", 2, "214 208 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int codes = row.codes;
        Child c = Child::Start(true, [codes] {
            std::string text;
            for (int k = 0; k < codes; ++k) {
                text += std::to_string(ConsoleReadKey()) + " ";
            }
            struct termios t {};
            ::tcgetattr(STDIN_FILENO, &t);
            const bool restored = (t.c_lflag & ECHO) && (t.c_lflag & ICANON);
            ConsoleWrite("[" + text + (restored ? "restored]" : "raw]"));
        });
        ASSERT_TRUE(WaitForEcho(c.out, false)) << "never entered raw mode";
        c.Write(row.typed);
        const ChildResult r = c.Finish();
        // Nothing typed is echoed: the output is only the child's own line.
        EXPECT_EQ(r.output, "[" + row.expected + "restored]");
    }
}

TEST(TerminalKey, SignalsRestoreTheTerminal)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        Child c = Child::Start(true, [] { ConsoleReadKey(); });
        ASSERT_TRUE(WaitForEcho(c.out, false));
        ::kill(c.pid, sig);
        int status = 0;
        ::waitpid(c.pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
        struct termios t {};
        ASSERT_EQ(::tcgetattr(c.out, &t), 0);
        EXPECT_TRUE((t.c_lflag & ECHO) && (t.c_lflag & ICANON));
        ::close(c.out);
    }
}

TEST(TerminalKey, CtrlCStillInterrupts)
{
    Child c = Child::Start(true, [] {
        ConsoleReadKey();
        ConsoleWrite("not interrupted");
    });
    ASSERT_TRUE(WaitForEcho(c.out, false));
    c.Write("\x03");
    const ChildResult r = c.Finish();
    EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGINT);
    EXPECT_EQ(r.output.find("not interrupted"), std::string::npos);
}

}  // namespace
