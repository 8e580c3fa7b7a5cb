#include "support/fixture_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string DecodeEscapes(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'x':
            if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
                out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

std::string TestDataPath(const std::string& relativePath)
{
    return std::string(TELLMAR_TEST_DATA) + "/" + relativePath;
}

std::string LoadFixture(const std::string& relativePath)
{
    std::ifstream in(TestDataPath(relativePath), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read fixture " << relativePath;
        return "";
    }
    std::string line;
    std::string joined;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        joined += line;
    }
    return DecodeEscapes(joined);
}
