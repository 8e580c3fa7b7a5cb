#pragma once
// Texts written in the sources are UTF-8 there, so that they read as they
// are; inside the program every text is GB18030 (the internal code page).
// GB("...") is the internal form of a UTF-8 string literal: converted once,
// at the first use of that place in the code, and kept until the process
// ends (never destroyed, so exit handlers and threads that outlive main may
// still use it).
//
//   ConsoleWrite(GB("回车键刷新 1发送短信 2接收短信 q退出\n"));
//   const std::string& prompt = GB("请输入短信内容:");
//
// Its value is a `const std::string&`. An ASCII literal needs no GB(): its
// bytes are the same in both. Bytes written as escapes ("\xC4\xE3") are
// taken as UTF-8 like the rest of the literal, so internal bytes that are
// meant as they are stay outside GB().

#include <cstddef>
#include <string>

// The internal (GB18030) form of UTF-8 text. A byte that starts no valid
// UTF-8 sequence becomes "?", one per byte (a literal of the sources has
// none); every character of Unicode has a GB18030 form.
std::string InternalFromUtf8(const std::string& utf8);

namespace text_literal {

// Only arrays bind here: GB() takes a literal, not a pointer.
template <std::size_t N>
const std::string& Kept(const char (&utf8)[N])
{
    return *new std::string(InternalFromUtf8(std::string(utf8, N - 1)));
}

}  // namespace text_literal

#define GB(utf8Literal)                                                        \
    ([]() -> const std::string& {                                              \
        static const std::string& kInternal = text_literal::Kept(utf8Literal); \
        return kInternal;                                                      \
    }())
