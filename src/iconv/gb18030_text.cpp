#include "iconv/gb18030_text.h"

namespace {

bool InRange(const std::string& text, std::size_t pos, unsigned lo, unsigned hi)
{
    if (pos >= text.size()) {
        return false;
    }
    const unsigned c = static_cast<unsigned char>(text[pos]);
    return c >= lo && c <= hi;
}

}  // namespace

std::size_t Gb18030CharLength(const std::string& text, std::size_t pos)
{
    if (!InRange(text, pos, 0x81, 0xFE)) {
        return 1;
    }
    const std::size_t n = InRange(text, pos + 1, 0x30, 0x39) ? 4 : 2;
    return pos + n <= text.size() ? n : text.size() - pos;
}

std::string CutToCharBoundary(const std::string& text, std::size_t maxBytes)
{
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + Gb18030CharLength(text, end);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    return text.substr(0, end);
}

std::string ReplaceFourByteForms(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = Gb18030CharLength(text, pos);
        if (n == 4) {
            out.push_back('?');
        } else {
            out.append(text, pos, n);
        }
        pos += n;
    }
    return out;
}
