// Texts of the sources: UTF-8 literals and their internal (GB18030) form.

#include "iconv/text_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 0x0F];
    }
    return hex;
}

// The expected bytes are those of Python's gb18030 codec, an encoder apart
// from the C library's iconv and from the Windows build's tables.
TEST(TextLiteralTest, GivesTheGb18030BytesOfEachCharacter)
{
    const struct {
        const std::string& internal;
        const char* gb18030Hex;
    } cases[] = {
        {GB("你好"), "c4e3bac3"},                            // GBK
        {GB("€"), "a2e3"},                                   // a two-byte form GB2312 lacks
        {GB("é"), "a8a6"},                                   // Latin, two bytes
        {GB("〇"), "a996"},                                  //
        {GB("\u009b"), "81308337"},                          // C1, a four-byte form
        {GB("北京 😀 "), "b1b1bea9209439fc3620"},             // beyond the BMP
        {GB("AT+CMGS=15\r\n"), "41542b434d47533d31350d0a"},  // ASCII as it is
        {GB(""), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(c.internal), c.gb18030Hex);
    }
}

TEST(TextLiteralTest, KeepsEmbeddedNulAndConvertsOncePerPlace)
{
    EXPECT_EQ(GB("中\0文"), std::string("\xD6\xD0\0\xCE\xC4", 5));
    auto place = [] { return &GB("短信"); };
    EXPECT_EQ(place(), place()) << "one text per place, made once";
    EXPECT_EQ(*place(), "\xB6\xCC\xD0\xC5");
}

TEST(TextLiteralTest, MalformedUtf8BecomesOneQuestionMarkPerByte)
{
    EXPECT_EQ(InternalFromUtf8("a\xFF"
                               "b\xE4\xBD"),
              "a?b??");
    EXPECT_EQ(InternalFromUtf8(std::string("\xE4\xBD\xA0\x80", 4)), "\xC4\xE3?");
}

}  // namespace
