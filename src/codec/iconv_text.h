#pragma once
// A conversion descriptor of the C library's iconv, and the one loop that
// converts a whole text with it. Shared by the codec's conversions and the
// platform's charset boundary.

#include <cerrno>
#include <iconv.h>
#include <string>

class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (ok()) {
            iconv_close(m_cd);
        }
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input. Where a sequence cannot be converted
    // (EILSEQ: invalid or without a form in the target; EINVAL: cut off at
    // the end), calls skip(out, position, error), which appends a replacement
    // and returns how many input bytes to step over (at least 1).
    template <typename Skip>
    std::string Run(const std::string& input, Skip skip)
    {
        std::string out;
        char buffer[1024];
        std::size_t pos = 0;
        while (pos < input.size()) {
            char* in = const_cast<char*>(input.data()) + pos;
            std::size_t inLeft = input.size() - pos;
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            const int err = errno;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            pos = input.size() - inLeft;
            if (rc != static_cast<std::size_t>(-1) || err == E2BIG) {
                continue;
            }
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            const std::size_t step = skip(out, pos, err);
            pos += step > 0 ? step : 1;
        }
        return out;
    }

private:
    iconv_t m_cd;
};
