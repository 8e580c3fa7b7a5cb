#pragma once
// The user boundary of the text encoding.
//
// Every text inside the program is a byte string in the internal code page,
// GB18030 (byte-identical to GBK for every GBK text, and able to carry the
// characters GBK lacks). Texts cross into the locale's charset only here:
// command-line arguments at entry, typed lines, and standard output.
// A C/POSIX locale counts as UTF-8; a GBK or GB18030 locale converts nothing.
// Bytes that do not convert become a visible replacement ("?" or U+FFFD),
// never a crash or a silently shortened text.

#include <string>

// Reads the locale (setlocale(LC_ALL, "")) and picks the console charset.
// Call once at entry, before any other function of this header.
void InitCharsetBoundary();

// Name of the console charset in iconv terms ("UTF-8", "GB18030", ...).
std::string ConsoleCharset();

// Internal (GB18030) -> console charset.
std::string ToConsoleCharset(const std::string& internalText);

// Console charset -> internal (GB18030).
std::string FromConsoleCharset(const std::string& consoleText);

// Makes a text that came from a modem or the network safe to show on a
// terminal: C0 controls other than line feed and tab, DEL and the C1 controls
// (U+0080..U+009F) become visible escapes such as "\x1B". Other bytes,
// multi-byte characters included, are kept. Input and output are internal text.
std::string NeutraliseControls(const std::string& internalText);
