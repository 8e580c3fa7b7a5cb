#include "platform/console.h"

#include <windows.h>
#include <conio.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "codec/gb18030_text.h"
#include "platform/charset.h"
#include "platform/win32/wide_text.h"

namespace {

// ---- output ----------------------------------------------------------------

constexpr WORD kGreen = FOREGROUND_GREEN | FOREGROUND_INTENSITY;               // 10
constexpr WORD kRed = FOREGROUND_RED | FOREGROUND_INTENSITY;                   // 12
constexpr WORD kNormal = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // 7
constexpr std::size_t kBufferLimit = 8192;
constexpr SHORT kBufferColumns = 100;
constexpr SHORT kBufferRows = 800;

HANDLE StdOut()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

bool UseColour()
{
    return IsConsole(StdOut()) && std::getenv("NO_COLOR") == nullptr;
}

void WriteBytes(HANDLE handle, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return;  // a closed or failing output loses the text, as a console write would
        }
        done += written;
    }
}

// A console is written in UTF-16, which it shows right whatever its code
// page; a pipe or file gets the bytes of the ANSI code page.
void WriteInternal(const std::string& internal)
{
    const HANDLE out = StdOut();
    if (IsConsole(out)) {
        const std::wstring wide = InternalToWide(internal);
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(out, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                               &written, nullptr) ||
                written == 0) {
                return;
            }
            done += written;
        }
        return;
    }
    WriteBytes(out, ToConsoleCharset(internal));
}

class Writer {
public:
    ~Writer() { Flush(); }

    void Append(const std::string& internal)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_buffer += internal;
        const bool lineDone = internal.find('\n') != std::string::npos;
        if (m_buffer.size() >= kBufferLimit || (lineDone && IsConsole(StdOut()))) {
            FlushLocked();
        }
    }

    // The text in its own colour: what came before is written first, so
    // that the attribute applies to this text alone.
    void AppendColoured(WORD attribute, const std::string& internal)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        FlushLocked();
        SetConsoleTextAttribute(StdOut(), attribute);
        WriteInternal(internal);
        SetConsoleTextAttribute(StdOut(), kNormal);
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
            WriteInternal(m_buffer);
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

void PrintColoured(WORD attribute, const std::string& text)
{
    if (UseColour()) {
        TheWriter().AppendColoured(attribute, text);
    } else {
        TheWriter().Append(text);
    }
}

// ---- input -----------------------------------------------------------------

constexpr int kKeyQuit = 'q';
constexpr int kKeyEnter = 13;
constexpr int kKeyExtended = 224;
constexpr int kEndOfInput = -1;

class Input {
public:
    std::mutex mutex;
    std::deque<int> keys;         // codes of a key press still to hand out
    int ahead = kEndOfInput - 1;  // a byte read but not yet used; below kEndOfInput: none

    // One byte of a standard input that is no console; kEndOfInput at its end.
    int ReadByte()
    {
        if (ahead >= kEndOfInput) {
            const int c = ahead;
            ahead = kEndOfInput - 1;
            return c;
        }
        unsigned char c = 0;
        DWORD got = 0;
        if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) || got == 0) {
            return kEndOfInput;
        }
        return c;
    }

    // Hands out the internal bytes of a character, the first now, the rest
    // on the next calls, as _getch gives the bytes of a code page 936
    // character.
    int QueueCharacter(const std::string& internal)
    {
        for (std::size_t k = 1; k < internal.size(); ++k) {
            keys.push_back(static_cast<unsigned char>(internal[k]));
        }
        return internal.empty() ? 0 : static_cast<unsigned char>(internal[0]);
    }
};

Input& TheInput()
{
    static Input input;
    return input;
}

bool InputIsConsole()
{
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

int ReadConsoleKey(Input& in)
{
    const wint_t unit = _getwch();
    if (unit == WEOF) {
        return kKeyQuit;
    }
    if (unit == 0 || unit == 0xE0) {
        // Function and arrow keys: a prefix, then the key's code.
        in.keys.push_back(static_cast<int>(_getwch()) & 0xFF);
        return kKeyExtended;
    }
    if (unit == '\r' || unit == '\n') {
        return kKeyEnter;
    }
    if (unit < 0x80) {
        return static_cast<int>(unit);
    }
    std::wstring wide(1, static_cast<wchar_t>(unit));
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        wide.push_back(static_cast<wchar_t>(_getwch()));
    }
    return in.QueueCharacter(WideToInternal(wide));
}

int ReadPipedKey(Input& in)
{
    const int c = in.ReadByte();
    if (c < 0) {
        return kKeyQuit;
    }
    if (c == '\r') {
        // CR LF is one Enter.
        const int next = in.ReadByte();
        if (next != '\n') {
            in.ahead = next;
        }
        return kKeyEnter;
    }
    if (c == '\n') {
        return kKeyEnter;
    }
    if (c < 0x80) {
        return c;
    }
    std::string bytes(1, static_cast<char>(c));
    if (ConsoleCharset() == "UTF-8") {
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        for (int k = 1; k < length; ++k) {
            const int trail = in.ReadByte();
            if (trail < 0x80 || trail > 0xBF) {
                in.ahead = trail;
                break;
            }
            bytes.push_back(static_cast<char>(trail));
        }
    } else if (IsDBCSLeadByte(static_cast<BYTE>(c))) {
        const int trail = in.ReadByte();
        if (trail >= 0) {
            bytes.push_back(static_cast<char>(trail));
        }
    }
    return in.QueueCharacter(FromConsoleCharset(bytes));
}

// A console line in UTF-16. At most `maxUnits` units are kept (each gives at
// least one byte of internal text); `overflow` tells that more were dropped.
bool ReadConsoleLineWide(std::string& line, std::size_t maxUnits, bool& overflow)
{
    std::wstring wide;
    for (;;) {
        wchar_t chunk[256];
        DWORD got = 0;
        if (!ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), chunk, 256, &got, nullptr) || got == 0) {
            if (wide.empty() && !overflow) {
                return false;
            }
            break;
        }
        const bool ended = chunk[got - 1] == L'\n';
        const std::size_t room = maxUnits - std::min(maxUnits, wide.size());
        overflow = overflow || got > room;
        wide.append(chunk, std::min<std::size_t>(got, room));
        if (ended) {
            break;
        }
    }
    while (!overflow && !wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) {
        wide.pop_back();
    }
    line = WideToInternal(wide);
    return true;
}

}  // namespace

void SetupConsole()
{
    const HANDLE out = StdOut();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!IsConsole(out) || !GetConsoleScreenBufferInfo(out, &info)) {
        return;
    }
    // At least 100 columns by 800 rows; a larger buffer is left as it is.
    COORD size = info.dwSize;
    size.X = size.X > kBufferColumns ? size.X : kBufferColumns;
    size.Y = size.Y > kBufferRows ? size.Y : kBufferRows;
    SetConsoleScreenBufferSize(out, size);
}

void ConsoleWrite(const std::string& text)
{
    TheWriter().Append(text);
}

void ConsoleNote(const std::string& text)
{
    if (!gNotesToStandardError.load()) {
        ConsoleWrite(text);
        return;
    }
    static std::mutex noteMutex;
    std::lock_guard<std::mutex> lock(noteMutex);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(err)) {
        const std::wstring wide = InternalToWide(text);
        DWORD written = 0;
        WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    WriteBytes(err, ToConsoleCharset(text));
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
    return InputIsConsole() ? ReadConsoleKey(in) : ReadPipedKey(in);
}

bool ConsoleReadLine(std::string& line, bool* cut)
{
    ConsoleFlush();
    Input& in = TheInput();
    std::lock_guard<std::mutex> lock(in.mutex);
    // Codes left of an earlier key press belong to that key, not to the line.
    in.keys.clear();
    // Enough input to fill the bound whatever its charset; what comes beyond
    // it is dropped as it is read.
    const std::size_t rawLimit = 2 * kMaxTypedLineBytes + 4;
    bool overflow = false;
    if (InputIsConsole()) {
        if (!ReadConsoleLineWide(line, rawLimit, overflow)) {
            return false;
        }
    } else {
        std::string raw;
        bool any = false;
        for (;;) {
            const int c = in.ReadByte();
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
    }
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
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!IsConsole(StdOut()) || !GetConsoleScreenBufferInfo(StdOut(), &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}
