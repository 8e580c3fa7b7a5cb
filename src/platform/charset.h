#pragma once
// The user boundary of the text encoding.
//
// Every text inside the program is a byte string in the internal code page,
// GB18030 (byte-identical to GBK for every GBK text, and able to carry the
// characters GBK lacks). Texts cross into the locale's charset only here:
// command-line arguments at entry, typed lines, and standard output.
// A C/POSIX locale counts as UTF-8; a GBK or GB18030 locale converts nothing.
// Bytes that do not convert become a visible replacement (U+FFFD, or "?" in a
// charset without it), never a crash or a silently shortened text.

#include <string>
#include <vector>

// Reads the locale's character type (setlocale(LC_CTYPE, "")), or on Windows
// the ANSI code page, and picks the console charset.
// Call once at entry, before any other thread starts. Until then the console
// charset is UTF-8.
void InitCharsetBoundary();

// The process arguments as internal text; argv[0] is kept as it is. On
// Windows they come from the wide command line, so that no character is lost
// to the ANSI code page.
std::vector<std::string> InternalArguments(int argc, char** argv);

// Name of the console charset in iconv terms ("UTF-8", "GB18030", ...).
std::string ConsoleCharset();

// True when the locale itself names UTF-8 as its charset (C.UTF-8,
// en_US.UTF-8, zh_CN.UTF-8; on Windows an ANSI code page of 65001).
// The C/POSIX locale does not, although console text is written to it as
// UTF-8: its charset is ASCII, and what can be written as ASCII (the JSON
// documents) stays ASCII there.
bool LocaleIsUtf8();

// The console charset for a locale codeset as nl_langinfo(CODESET) names it:
// "ANSI_X3.4-1968" (C/POSIX) and an empty name give "UTF-8"; GBK, GB2312,
// CP936 and GB18030 give "GB18030", the internal code page (nothing is
// converted); "CP65001" gives "UTF-8";
// any other name is returned unchanged.
std::string ConsoleCharsetForCodeset(const std::string& codeset);

// Internal (GB18030) -> console charset.
std::string ToConsoleCharset(const std::string& internalText);

// Console charset -> internal (GB18030).
std::string FromConsoleCharset(const std::string& consoleText);

// The same conversions with the charset named by the caller. A charset that
// iconv does not know is treated as UTF-8. Naming "GB18030" returns the text
// unchanged.
std::string ConvertToCharset(const std::string& internalText, const std::string& charset);
std::string ConvertFromCharset(const std::string& text, const std::string& charset);

// Makes a text that came from a modem or the network safe to show on a
// terminal: C0 controls other than line feed and tab, DEL and the C1 controls
// (U+0080..U+009F, four-byte sequences in GB18030) become visible escapes
// such as "\x1B" or "\x9B", as do bytes that start no valid GB18030
// character. Every valid character, including two-byte characters whose
// bytes lie in 0x80..0x9F, is kept. Input and output are internal text.
std::string NeutraliseControls(const std::string& internalText);
