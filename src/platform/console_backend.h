#pragma once
// The inside of platform/console.h. The core (platform/console.cpp) owns
// what every system does alike: the one writer, where notes go, the codes of
// a key press still to hand out, and the reading of a standard input that is
// no terminal or console. Each system's backend gives the calls below it
// and whatever its terminal or console does differently.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/console.h"

namespace console_backend {

// ---- the core --------------------------------------------------------------

constexpr std::size_t kOutputBufferLimit = 8192;

// What the writer holds, used under its lock. Internal text: it is converted
// for the output when written out, so a Windows console gets the whole of it
// in UTF-16.
class OutputBuffer {
public:
    // Writes out all that is held once kOutputBufferLimit bytes are held, or
    // when the text ends a line and standard output is interactive.
    void Append(const std::string& internal);
    void Flush();

private:
    std::string m_text;
};

constexpr int kEndOfInput = -1;
constexpr int kNoByteYet = -2;
constexpr int kKeyQuit = 'q';
constexpr int kKeyEnter = 13;
constexpr int kKeyEsc = 27;
constexpr int kKeyExtended = 224;

// The bytes of one character or escape sequence arrive together; a pause
// this long ends them (after a lone Esc: the Esc key itself).
constexpr int kSequenceWaitMs = 100;

// Standard input as the key and line reads share it. Used under `mutex`.
class KeyInput {
public:
    std::mutex mutex;
    std::deque<int> keys;  // codes of a key press still to hand out

    // The next byte: one put back first, else from the backend.
    int ReadByte(int timeoutMs);
    // A byte looked at but not used; the end of input is not put back.
    void PushBack(int byte);
    // Hands out the internal bytes of a character as _getch gives the bytes
    // of a code page 936 character: the first now, the rest one per call.
    int QueueCharacter(const std::string& internal);

private:
    std::string m_ahead;
};

// One key press from the bytes of standard input: CR, LF and CR LF are one
// Enter, Esc is left to KeyAfterEsc, a character beyond ASCII is gathered
// and queued, the end of input is 'q'.
int ReadKeyFromBytes(KeyInput& in);

// The most console bytes (or UTF-16 units) a typed line is read into: enough
// to fill kMaxTypedLineBytes whatever the charset. What comes beyond them is
// dropped as it is read.
constexpr std::size_t kRawLineLimit = 2 * kMaxTypedLineBytes + 4;

// Bounds a typed line of internal text to kMaxTypedLineBytes of whole
// characters. `overflow`: its reading already dropped some. True when the
// line is shorter than it was typed.
bool CutTypedLine(std::string& line, bool overflow);

// One line of bytes in `charset` from nextByte (a byte, or below 0 at the end
// of input), as internal text without its line end (LF or CR LF) and bounded
// by CutTypedLine, which sets `cut`. False at the end of input, when no byte
// was left; a last line without line end is a line.
bool ReadPipedLine(const std::function<int()>& nextByte, const std::string& charset,
                   std::string& line, bool& cut);

// ---- given by the backend --------------------------------------------------

// Whether standard output is a terminal or console. Asked at each use: a
// forked child, or a redirect made after start, has its own.
bool OutputIsInteractive();

// Internal text to standard output or standard error, in the form that
// output takes (a Windows console UTF-16, anything else the console
// charset). A closed or failing output loses the text.
void WriteOutput(const std::string& internal);
void WriteError(const std::string& internal);

enum class Colour { kGreen, kRed };

// One piece of text in colour, followed by the normal colour, with the
// writer's lock held: either coloured within the buffered text, or, where
// colour is a state of the console, after what the buffer holds is written.
void WriteColoured(Colour colour, const std::string& internal, OutputBuffer& buffer);

// One byte of a standard input that is no console: kEndOfInput at its end or
// on an error, kNoByteYet when none came within timeoutMs (negative: no
// limit).
int ReadInputByte(int timeoutMs);

// Whether the byte leads a two-byte character of a console charset that is
// not UTF-8.
bool LeadsTwoByteCharacter(unsigned char byte);

// One key press, when no code of an earlier one is queued.
int ReadKey(KeyInput& in);

// The key of the bytes after an Esc read by ReadKeyFromBytes.
int KeyAfterEsc(KeyInput& in);

// A line from a console that hands out whole lines itself, at most maxUnits
// units of it, without its line end; `overflow` tells that more were dropped.
enum class ConsoleLine { kNotConsole, kLine, kEnd };
ConsoleLine ReadConsoleLine(std::string& line, std::size_t maxUnits, bool& overflow);

}  // namespace console_backend
