// The codec's conversions on Windows (GB18030 by the generated tables), and
// the console boundary in the ANSI code page.

#include <gtest/gtest.h>

#include <string>

#include "codec/charset_conv.h"
#include "platform/charset.h"

namespace {

TEST(CodecOnWindowsTest, GbkTextsConvertBothWays)
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
        {"euro sign (GBK has it as 0x80)", "\xA2\xE3", "\x20\xAC"},
        {"Hangul, four bytes", "\x83\x36\x84\x33", "\xD5\x5C"},
        {"first four-byte code", "\x81\x30\x81\x30", std::string("\x00\x80", 2)},
        {"emoji, a surrogate pair", "\x94\x39\xFC\x36", std::string("\xD8\x3D\xDE\x00", 4)},
        {"last code point", "\xE3\x32\x9A\x35", "\xDB\xFF\xDF\xFF"},
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

// Every BMP character that has a GB18030 form reads back as itself, and
// the CJK characters of GBK all have one: the generated tables hold no code
// twice and lose none. (A few private-use code points have no form, as in the
// C library the tables come from; they become "?".)
TEST(CodecOnWindowsTest, EveryBmpCharacterWithAFormRoundTrips)
{
    for (unsigned cp = 1; cp <= 0xFFFF; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == '?') {
            continue;
        }
        const std::string unit{static_cast<char>(cp >> 8), static_cast<char>(cp & 0xFF)};
        const std::string internal = Ucs2ToAnsiString(unit);
        if (cp >= 0x4E00 && cp <= 0x9FA5) {
            ASSERT_EQ(2u, internal.size()) << std::hex << cp;
        }
        if (internal != "?") {
            ASSERT_EQ(unit, AnsiToUcs2(internal)) << std::hex << cp;
        }
    }
}

TEST(CodecOnWindowsTest, WhatCannotBeConvertedIsReplacedAndTheRestKept)
{
    // A stray byte and a character cut off at the end become U+FFFD each.
    EXPECT_EQ(std::string("\x00\x61\xFF\xFD\x00\x62", 6), AnsiToUcs2("a\xFF"
                                                                     "b"));
    EXPECT_EQ(std::string("\x00\x61\xFF\xFD", 4), AnsiToUcs2("a\xD6"));
    // A lone surrogate becomes "?"; so does malformed UTF-8.
    EXPECT_EQ("a?b", Ucs2ToAnsiString(std::string("\x00\x61\xDC\x00\x00\x62", 6)));
    EXPECT_EQ("a?b", Utf8ToAnsi("a\xC3"
                                "b"));
    // 0x80 and 0xFF start nothing; four-byte codes past U+10FFFF and a
    // four-byte code with a bad third byte are invalid, one U+FFFD per byte.
    EXPECT_EQ("\xFF\xFD\xFF\xFD", AnsiToUcs2("\x80\xFF"));
    EXPECT_EQ(std::string("\xFF\xFD\x00\x32\xFF\xFD", 6), AnsiToUcs2("\xE3\x32\x9A\x36"));
    EXPECT_EQ(std::string("\xFF\xFD\x00\x30\x00\x20\x00\x30", 8), AnsiToUcs2("\x81\x30\x20\x30"));
}

TEST(CodecOnWindowsTest, LongTextsConvertWhole)
{
    std::string internal;
    std::string ucs2;
    for (int i = 0; i < 3000; ++i) {
        internal +=
            "\xD6\xD0"
            "x";
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
