#include "console/screen_text.h"

#include "iconv/gb18030_text.h"
#include "platform/charset.h"

namespace {

int WidthAt(const std::string& text, std::size_t pos, std::size_t length, int column)
{
    if (text[pos] == '\t') {
        return 8 - column % 8;
    }
    return length == 1 ? 1 : 2;
}

}  // namespace

std::string LayOutUntrustedText(const std::string& text, int firstColumn, int indent, int columns)
{
    const std::string safe = NeutraliseControls(text);
    const std::string margin(static_cast<std::size_t>(indent), ' ');
    // The last column stays free: some terminals wrap as soon as it is used.
    // Past the margin there must be room for the widest character, a tab.
    const bool wraps = columns >= indent + 10;
    std::string out;
    out.reserve(safe.size() + safe.size() / 8);
    int column = firstColumn;
    bool marginDue = false;  // a line has begun whose margin is not written yet
    for (std::size_t i = 0; i < safe.size();) {
        if (safe[i] == '\n') {
            out.push_back('\n');
            column = indent;
            marginDue = true;
            ++i;
            continue;
        }
        const std::size_t length = Gb18030CharLength(safe, i);
        int width = WidthAt(safe, i, length, column);
        if (wraps && !marginDue && column + width > columns - 1) {
            out.push_back('\n');
            column = indent;
            marginDue = true;
            width = WidthAt(safe, i, length, column);
        }
        if (marginDue) {
            out += margin;
            marginDue = false;
        }
        out.append(safe, i, length);
        column += width;
        i += length;
    }
    return out;
}

int ColumnAfter(const std::string& text, int firstColumn)
{
    int column = firstColumn;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Gb18030CharLength(text, i);
        column = text[i] == '\n' ? 0 : column + WidthAt(text, i, length, column);
        i += length;
    }
    return column;
}
