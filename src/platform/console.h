#pragma once
// Console output and input. All texts are internal (GB18030) byte strings;
// these functions convert them at the boundary (platform/charset.h).
//
// Output goes to standard output only, through this one writer, so that
// pieces written by different calls (and threads) appear in program order and
// never interleave inside one call. The writer buffers: on a terminal it
// flushes at every line end, otherwise when its buffer fills; it always
// flushes before input is read and at exit. A Windows console is written in
// UTF-16 (right whatever its code page); pipes and files get the bytes of the
// console charset (platform/charset.h: the locale's on Linux, the ANSI code
// page on Windows).

#include <cstddef>
#include <string>

// Prepares the console. Windows: a console's screen buffer is made at least
// 100 columns by 800 rows (a larger one is left as it is); Linux has nothing
// to enlarge.
void SetupConsole();

// Writes the text as it is (after conversion to the console charset).
void ConsoleWrite(const std::string& text);

// A line about the program's own work rather than its result: a probe's
// trace, a setting it changed in a modem, a warning about the environment.
// Notes are written with the console's other output until
// SendNotesToStandardError() is called; from then on they go, whole and
// unbuffered, to standard error, so that the standard output of a command
// for scripts carries nothing but its document.
void ConsoleNote(const std::string& text);
void SendNotesToStandardError();

// Write the text in bright green / bright red, then restore the normal colour.
// Colour is used only when standard output is a terminal (ANSI SGR) or a
// Windows console (attributes 10 and 12, then 7), and the NO_COLOR variable
// is unset; otherwise the bytes are written plain.
// Neither adds a line end.
void PrintGreen(std::string text);
void PrintRed(std::string text);

// Flushes what the writer has buffered to standard output.
void ConsoleFlush();

// One key, unechoed, with the codes of the Win32 _getch:
// - Enter (CR or LF) is 13;
// - a terminal escape sequence (arrow, function key) is one key press that
//   reads as two codes, 224 then the key's scan code (72 up, 80 down, 75 left,
//   77 right, 71 home, 79 end, 82 insert, 83 delete, 73 page up, 81 page down,
//   59..68 for F1..F10, 133 and 134 for F11 and F12; 0 for a sequence of no
//   known key), as _getch returns them; a lone Esc is 27;
// - a character beyond ASCII reads as its internal (GB18030) bytes, one per
//   call, as _getch returns the bytes of a code page 936 character;
// - at the end of input (or on a read error) the key is 'q' (113).
// On a terminal the key is read in raw mode and the terminal settings are
// restored afterwards (also on exit, SIGINT, SIGTERM, SIGHUP and SIGQUIT).
// A Windows console is read with _getwch (a prefix 0 or 224 of a function
// or arrow key reads as 224). When standard input is no terminal or console,
// its bytes are read the same way (CR, LF and CR LF are one Enter).
int ConsoleReadKey();

// The most a typed line keeps, in bytes of internal text: far more than
// the longest message that can be sent (255 parts).
constexpr std::size_t kMaxTypedLineBytes = 65536;

// One typed line from standard input without its line end (CR LF or LF),
// converted to internal text. False at the end of input (no line read); a
// last line without line end is still returned. A line longer than
// kMaxTypedLineBytes keeps its first whole characters within that bound; the
// rest of it is read and dropped, and `cut` (when given) tells the caller.
bool ConsoleReadLine(std::string& line, bool* cut = nullptr);

// The width in columns of the terminal (or console window) that standard
// output shows on; 0 when standard output goes elsewhere.
int ConsoleColumns();
