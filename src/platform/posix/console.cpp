#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include "platform/charset.h"
#include "platform/console.h"
#include "platform/console_backend.h"
#include "platform/exit_cleanup.h"

namespace console_backend {

namespace {

// ---- output ----------------------------------------------------------------

const char kGreen[] = "\x1b[92m";
const char kRed[] = "\x1b[91m";
const char kReset[] = "\x1b[0m";

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
int ReadCsi(KeyInput& in)
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

}  // namespace

bool OutputIsInteractive()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

void WriteOutput(const std::string& internal)
{
    WriteAll(STDOUT_FILENO, ToConsoleCharset(internal));
}

void WriteError(const std::string& internal)
{
    WriteAll(STDERR_FILENO, ToConsoleCharset(internal));
}

// A terminal takes the colour as SGR sequences among the text.
void WriteColoured(Colour colour, const std::string& internal, OutputBuffer& buffer)
{
    buffer.Append((colour == Colour::kGreen ? kGreen : kRed) + internal + kReset);
}

int ReadInputByte(int timeoutMs)
{
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

// The locale's charsets other than UTF-8 are read a byte at a time.
bool LeadsTwoByteCharacter(unsigned char)
{
    return false;
}

// A terminal's keys, in raw mode, arrive as the same bytes as a pipe's.
int ReadKey(KeyInput& in)
{
    RawMode raw;
    return ReadKeyFromBytes(in);
}

int KeyAfterEsc(KeyInput& in)
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

// A terminal in canonical mode hands out its lines as bytes.
ConsoleLine ReadConsoleLine(std::string&, std::size_t, bool&)
{
    return ConsoleLine::kNotConsole;
}

}  // namespace console_backend

void SetupConsole() {}

int ConsoleColumns()
{
    struct winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}
