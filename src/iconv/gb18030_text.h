#pragma once
// Character boundaries in internal (GB18030) text.

#include <string>

// Length of the character that starts at `pos`: 1 (ASCII or a stray byte),
// 2 (the GBK range) or 4 (the forms GB18030 adds beyond GBK). A form cut off
// by the end of the text counts the bytes that remain.
std::size_t Gb18030CharLength(const std::string& text, std::size_t pos);

// `text` cut to at most `maxBytes` bytes without splitting a character.
std::string CutToCharBoundary(const std::string& text, std::size_t maxBytes);

// Every four-byte form replaced by "?": what the GBK code page makes of the
// characters it lacks.
std::string ReplaceFourByteForms(const std::string& text);
