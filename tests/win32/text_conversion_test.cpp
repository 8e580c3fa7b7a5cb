// The codec's conversions on the Win32 code pages, and the console boundary
// in the ANSI code page.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "codec/charset_conv.h"
#include "platform/charset.h"

namespace {

// GB18030 beyond GBK (code page 54936) where the system has it, else GBK.
bool HasFullGb18030()
{
    return IsValidCodePage(54936) != FALSE;
}

TEST(CodecOnCodePagesTest, GbkTextsConvertBothWays)
{
    struct CASE_t {
        const char* what;
        std::string internal;
        std::string ucs2;
    };
    const CASE_t cases[] = {
        {"ASCII", "A", std::string("\x00\x41", 2)},
        {"two characters", "\xD6\xD0\xCE\xC4", "\x4E\x2D\x65\x87"},
        {"fullwidth comma", "\xA3\xAC", "\xFF\x0C"},
        {"NUL kept", std::string("a\0b", 3), std::string("\x00\x61\x00\x00\x00\x62", 6)},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.ucs2, AnsiToUcs2(c.internal));
        EXPECT_EQ(c.internal, Ucs2ToAnsiString(c.ucs2));
    }
    EXPECT_EQ("\xE4\xB8\xAD\xE6\x96\x87", AnsiToUtf8("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ("\xD6\xD0\xCE\xC4", Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87"));
}

TEST(CodecOnCodePagesTest, WhatCannotBeConvertedIsReplacedAndTheRestKept)
{
    // A stray byte and a character cut off at the end become U+FFFD each.
    EXPECT_EQ(std::string("\x00\x61\xFF\xFD\x00\x62", 6), AnsiToUcs2("a\xFF" "b"));
    EXPECT_EQ(std::string("\x00\x61\xFF\xFD", 4), AnsiToUcs2("a\xD6"));
    // A lone surrogate becomes "?"; so does malformed UTF-8.
    EXPECT_EQ("a?b", Ucs2ToAnsiString(std::string("\x00\x61\xDC\x00\x00\x62", 6)));
    EXPECT_EQ("a?b", Utf8ToAnsi("a\xC3" "b"));
    // Hangul is not in GBK: GB18030 has a four-byte form for it.
    const std::string hangul = Ucs2ToAnsiString("\xD5\x5C");
    if (HasFullGb18030()) {
        EXPECT_EQ("\x83\x30\xF3\x33", hangul);
        EXPECT_EQ("\xD5\x5C", AnsiToUcs2(hangul));
    } else {
        EXPECT_EQ("?", hangul);
        EXPECT_EQ("\xFF\xFD", AnsiToUcs2("\x83\x30\xF3\x33"));
    }
}

TEST(CodecOnCodePagesTest, LongTextsConvertWhole)
{
    std::string internal;
    std::string ucs2;
    for (int i = 0; i < 3000; ++i) {
        internal += "\xD6\xD0" "x";
        ucs2 += std::string("\x4E\x2D\x00\x78", 4);
    }
    EXPECT_EQ(ucs2, AnsiToUcs2(internal));
    EXPECT_EQ(internal, Ucs2ToAnsiString(ucs2));
}

TEST(ConsoleBoundaryTest, AnsiCodePagesByNumber)
{
    EXPECT_EQ("GB18030", ConsoleCharsetForCodeset("CP936"));
    EXPECT_EQ("UTF-8", ConsoleCharsetForCodeset("CP65001"));
    EXPECT_EQ("CP1252", ConsoleCharsetForCodeset("CP1252"));
    // Code page 1252 has no Chinese; its own letters come in and out.
    EXPECT_EQ("??", ConvertToCharset("\xD6\xD0\xCE\xC4", "CP1252"));
    EXPECT_EQ("caf\xE9", ConvertToCharset("caf\xA8\xA6", "CP1252"));
    EXPECT_EQ("caf\xA8\xA6", ConvertFromCharset("caf\xE9", "CP1252"));
    // A GBK code page is the internal one: nothing changes.
    EXPECT_EQ("\xD6\xD0\xFF", ConvertToCharset("\xD6\xD0\xFF", "GB18030"));
}

}  // namespace
