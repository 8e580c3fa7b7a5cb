#include <windows.h>
#include <conio.h>

#include <algorithm>

#include "platform/charset.h"
#include "platform/console.h"
#include "platform/console_backend.h"
#include "platform/win32/wide_text.h"

namespace console_backend {

namespace {

constexpr WORD kGreen = FOREGROUND_GREEN | FOREGROUND_INTENSITY;               // 10
constexpr WORD kRed = FOREGROUND_RED | FOREGROUND_INTENSITY;                   // 12
constexpr WORD kNormal = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // 7

HANDLE StdOut()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

bool InputIsConsole()
{
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
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
void WriteInternal(HANDLE handle, const std::string& internal)
{
    if (!IsConsole(handle)) {
        WriteBytes(handle, ToConsoleCharset(internal));
        return;
    }
    const std::wstring wide = InternalToWide(internal);
    std::size_t done = 0;
    while (done < wide.size()) {
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                           &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

int ReadWindowsConsoleKey(KeyInput& in)
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

}  // namespace

bool OutputIsInteractive()
{
    return IsConsole(StdOut());
}

void WriteOutput(const std::string& internal)
{
    WriteInternal(StdOut(), internal);
}

void WriteError(const std::string& internal)
{
    WriteInternal(GetStdHandle(STD_ERROR_HANDLE), internal);
}

// Colour is a state of the console: what came before is written first, so
// that the attribute applies to this text alone.
void WriteColoured(Colour colour, const std::string& internal, OutputBuffer& buffer)
{
    buffer.Flush();
    SetConsoleTextAttribute(StdOut(), colour == Colour::kGreen ? kGreen : kRed);
    WriteOutput(internal);
    SetConsoleTextAttribute(StdOut(), kNormal);
}

// A pipe or file is read without a time limit: the bytes of a character, or
// of a CR LF, are written together, so the wait ends with them or with the
// end of input.
int ReadInputByte(int)
{
    unsigned char c = 0;
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) || got == 0) {
        return kEndOfInput;
    }
    return c;
}

bool LeadsTwoByteCharacter(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != 0;
}

int ReadKey(KeyInput& in)
{
    return InputIsConsole() ? ReadWindowsConsoleKey(in) : ReadKeyFromBytes(in);
}

// Escape sequences are a terminal's; a Windows console gives its keys' codes
// itself, and Esc in a pipe is just Esc.
int KeyAfterEsc(KeyInput&)
{
    return kKeyEsc;
}

// A console line is read in UTF-16. Each unit kept gives at least one byte
// of internal text.
ConsoleLine ReadConsoleLine(std::string& line, std::size_t maxUnits, bool& overflow)
{
    if (!InputIsConsole()) {
        return ConsoleLine::kNotConsole;
    }
    std::wstring wide;
    for (;;) {
        wchar_t chunk[256];
        DWORD got = 0;
        if (!ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), chunk, 256, &got, nullptr) || got == 0) {
            if (wide.empty() && !overflow) {
                return ConsoleLine::kEnd;
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
    return ConsoleLine::kLine;
}

}  // namespace console_backend

void SetupConsole()
{
    constexpr SHORT kBufferColumns = 100;
    constexpr SHORT kBufferRows = 800;
    const HANDLE out = console_backend::StdOut();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!console_backend::IsConsole(out) || !GetConsoleScreenBufferInfo(out, &info)) {
        return;
    }
    // At least 100 columns by 800 rows; a larger buffer is left as it is.
    COORD size = info.dwSize;
    size.X = size.X > kBufferColumns ? size.X : kBufferColumns;
    size.Y = size.Y > kBufferRows ? size.Y : kBufferRows;
    SetConsoleScreenBufferSize(out, size);
}

int ConsoleColumns()
{
    const HANDLE out = console_backend::StdOut();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!console_backend::IsConsole(out) || !GetConsoleScreenBufferInfo(out, &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}
