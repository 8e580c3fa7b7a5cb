#include "platform/console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "codec/gb18030_text.h"
#include "platform/charset.h"
#include "platform/exit_cleanup.h"

namespace {

// ---- output ----------------------------------------------------------------

const char kGreen[] = "\x1b[92m";
const char kRed[] = "\x1b[91m";
const char kReset[] = "\x1b[0m";
const std::size_t kBufferLimit = 8192;

void WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a closed or failing output loses the text, as a console write would
        }
        done += static_cast<std::size_t>(n);
    }
}

// Decided per call, not cached: a forked child (tests, a redirect made after
// start) must see its own standard output.
bool OutputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool UseColour()
{
    return OutputIsTerminal() && std::getenv("NO_COLOR") == nullptr;
}

class Writer {
public:
    ~Writer() { Flush(); }

    void Append(const std::string& consoleBytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_buffer += consoleBytes;
        const bool lineDone = consoleBytes.find('\n') != std::string::npos;
        if (m_buffer.size() >= kBufferLimit || (lineDone && OutputIsTerminal())) {
            FlushLocked();
        }
    }

    void Flush()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        FlushLocked();
    }

private:
    void FlushLocked()
    {
        if (!m_buffer.empty()) {
            WriteAll(STDOUT_FILENO, m_buffer);
            m_buffer.clear();
        }
    }

    std::mutex m_mutex;
    std::string m_buffer;
};

std::atomic<bool> gNotesToStandardError{false};

Writer& TheWriter()
{
    // Function-local so that it exists before any static of another file
    // writes, and is flushed by its destructor at exit.
    static Writer writer;
    return writer;
}

void PrintColoured(const char* colour, const std::string& text)
{
    if (UseColour()) {
        TheWriter().Append(colour + ToConsoleCharset(text) + kReset);
    } else {
        TheWriter().Append(ToConsoleCharset(text));
    }
}

// ---- terminal mode ---------------------------------------------------------

struct termios gSavedTermios;
volatile std::sig_atomic_t gRawActive = 0;

// Async-signal-safe: only tcsetattr and a flag.
void RestoreTerminal()
{
    if (gRawActive) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTermios);
        gRawActive = 0;
    }
}

void InstallRestoreHandlers()
{
    static const bool installed = AddExitCleanup(RestoreTerminal);
    (void)installed;
}

// Raw, unechoed input for the time of one key; output keeps its processing
// so that line ends still return the cursor.
class RawMode {
public:
    RawMode()
    {
        if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &gSavedTermios) != 0) {
            return;
        }
        InstallRestoreHandlers();
        struct termios raw = gSavedTermios;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        gRawActive = 1;
        if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
            gRawActive = 0;
        }
    }
    ~RawMode() { RestoreTerminal(); }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;
};

// ---- input -----------------------------------------------------------------

const int kEndOfInput = -1;
const int kNoByteYet = -2;
// The bytes of one escape sequence or one character arrive together; a pause
// this long after Esc means the Esc key itself.
const int kSequenceWaitMs = 100;
const int kKeyQuit = 'q';
const int kKeyEnter = 13;
const int kKeyEsc = 27;
const int kKeyExtended = 224;

class Input {
public:
    std::mutex mutex;
    std::deque<int> keys;  // codes of a key press still to hand out
    std::string ahead;     // bytes read but not yet used

    // One byte; waits at most timeoutMs (negative: no limit).
    int ReadByte(int timeoutMs)
    {
        if (!ahead.empty()) {
            const unsigned char c = static_cast<unsigned char>(ahead.front());
            ahead.erase(0, 1);
            return c;
        }
        if (timeoutMs >= 0) {
            struct pollfd pfd {
                STDIN_FILENO, POLLIN, 0
            };
            int rc;
            do {
                rc = ::poll(&pfd, 1, timeoutMs);
            } while (rc < 0 && errno == EINTR);
            if (rc == 0) {
                return kNoByteYet;
            }
        }
        unsigned char c = 0;
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n == 1) {
                return c;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return kEndOfInput;
        }
    }

    void PushBack(int byte)
    {
        if (byte >= 0) {
            ahead.insert(ahead.begin(), static_cast<char>(byte));
        }
    }
};

Input& TheInput()
{
    static Input input;
    return input;
}

int ScanCodeForLetter(int final)
{
    switch (final) {
    case 'A':
        return 72;
    case 'B':
        return 80;
    case 'C':
        return 77;
    case 'D':
        return 75;
    case 'H':
        return 71;
    case 'F':
        return 79;
    case 'P':
        return 59;
    case 'Q':
        return 60;
    case 'R':
        return 61;
    case 'S':
        return 62;
    default:
        return 0;
    }
}

int ScanCodeForTilde(int number)
{
    switch (number) {
    case 1:
    case 7:
        return 71;
    case 2:
        return 82;
    case 3:
        return 83;
    case 4:
    case 8:
        return 79;
    case 5:
        return 73;
    case 6:
        return 81;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
        return 59 + (number - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return 64 + (number - 17);
    case 23:
        return 133;
    case 24:
        return 134;
    default:
        return 0;
    }
}

// After ESC '[': parameters and intermediates, then one final byte
// (ECMA-48 5.4). Returns the scan code, 0 for a sequence of no known key.
int ReadCsi(Input& in)
{
    int first = in.ReadByte(kSequenceWaitMs);
    if (first == '[') {  // Linux console F1..F5: ESC [ [ A..E
        const int letter = in.ReadByte(kSequenceWaitMs);
        return (letter >= 'A' && letter <= 'E') ? 59 + (letter - 'A') : 0;
    }
    int number = 0;
    bool inFirstParameter = true;
    // Bounded, so that a stream of parameter bytes cannot hold the key forever.
    for (int count = 0, c = first; count < 32; ++count, c = in.ReadByte(kSequenceWaitMs)) {
        if (c < 0) {
            return 0;
        }
        if (c >= 0x40 && c <= 0x7E) {
            return c == '~' ? ScanCodeForTilde(number) : ScanCodeForLetter(c);
        }
        if (c < 0x20 || c > 0x3F) {
            in.PushBack(c);
            return 0;
        }
        if (c >= '0' && c <= '9' && inFirstParameter) {
            number = number * 10 + (c - '0');
            if (number > 1000) {
                number = 1000;
            }
        } else {
            inFirstParameter = false;
        }
    }
    return 0;
}

int ReadEscape(Input& in)
{
    const int next = in.ReadByte(kSequenceWaitMs);
    if (next == '[') {
        in.keys.push_back(ReadCsi(in));
        return kKeyExtended;
    }
    if (next == 'O') {
        const int final = in.ReadByte(kSequenceWaitMs);
        if (final >= 0x40 && final <= 0x7E) {
            in.keys.push_back(ScanCodeForLetter(final));
            return kKeyExtended;
        }
        in.PushBack(final);
        in.PushBack(next);
        return kKeyEsc;
    }
    in.PushBack(next);
    return kKeyEsc;
}

// A character beyond ASCII: read the rest of it (UTF-8) and hand out its
// internal bytes one per call.
int ReadCharacter(Input& in, int lead)
{
    std::string bytes(1, static_cast<char>(lead));
    if (ConsoleCharset() == "UTF-8") {
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        for (int k = 1; k < length; ++k) {
            const int c = in.ReadByte(kSequenceWaitMs);
            if (c < 0x80 || c > 0xBF) {
                in.PushBack(c);
                break;
            }
            bytes.push_back(static_cast<char>(c));
        }
    }
    const std::string internal = FromConsoleCharset(bytes);
    for (std::size_t k = 1; k < internal.size(); ++k) {
        in.keys.push_back(static_cast<unsigned char>(internal[k]));
    }
    return internal.empty() ? 0 : static_cast<unsigned char>(internal[0]);
}

int ReadOneKey(Input& in)
{
    const int c = in.ReadByte(-1);
    if (c < 0) {
        return kKeyQuit;
    }
    if (c == '\r') {
        // CR LF arriving together (a pipe written on Windows) is one Enter.
        const int next = in.ReadByte(0);
        if (next != '\n') {
            in.PushBack(next);
        }
        return kKeyEnter;
    }
    if (c == '\n') {
        return kKeyEnter;
    }
    if (c == 0x1B) {
        return ReadEscape(in);
    }
    if (c >= 0x80) {
        return ReadCharacter(in, c);
    }
    return c;
}

}  // namespace

void SetupConsole() {}

void ConsoleWrite(const std::string& text)
{
    TheWriter().Append(ToConsoleCharset(text));
}

void ConsoleNote(const std::string& text)
{
    if (!gNotesToStandardError.load()) {
        ConsoleWrite(text);
        return;
    }
    static std::mutex noteMutex;
    std::lock_guard<std::mutex> lock(noteMutex);
    WriteAll(STDERR_FILENO, ToConsoleCharset(text));
}

void SendNotesToStandardError()
{
    gNotesToStandardError = true;
}

void PrintGreen(std::string text)
{
    PrintColoured(kGreen, text);
}

void PrintRed(std::string text)
{
    PrintColoured(kRed, text);
}

void ConsoleFlush()
{
    TheWriter().Flush();
}

int ConsoleReadKey()
{
    ConsoleFlush();
    Input& in = TheInput();
    std::lock_guard<std::mutex> lock(in.mutex);
    if (!in.keys.empty()) {
        const int key = in.keys.front();
        in.keys.pop_front();
        return key;
    }
    RawMode raw;
    return ReadOneKey(in);
}

bool ConsoleReadLine(std::string& line, bool* cut)
{
    ConsoleFlush();
    Input& in = TheInput();
    std::lock_guard<std::mutex> lock(in.mutex);
    // Codes left of an earlier key press belong to that key, not to the line.
    in.keys.clear();
    // Enough console bytes to fill the bound whatever their charset; what
    // comes beyond them is dropped as it is read.
    const std::size_t rawLimit = 2 * kMaxTypedLineBytes + 4;
    std::string raw;
    bool any = false;
    bool overflow = false;
    for (;;) {
        const int c = in.ReadByte(-1);
        if (c < 0) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (raw.size() < rawLimit) {
            raw.push_back(static_cast<char>(c));
        } else {
            overflow = true;
        }
    }
    if (!any) {
        return false;
    }
    if (!overflow && !raw.empty() && raw.back() == '\r') {
        raw.pop_back();
    }
    line = FromConsoleCharset(raw);
    const bool longer = overflow || line.size() > kMaxTypedLineBytes;
    if (longer) {
        line = CutToCharBoundary(line, kMaxTypedLineBytes);
    }
    if (cut != nullptr) {
        *cut = longer;
    }
    return true;
}

int ConsoleColumns()
{
    struct winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}
