#pragma once
// A conversion descriptor between two charsets, and the one loop that
// converts a whole text with it. Shared by the codec's conversions and the
// platform's charset boundary, which is why it is a library of its own:
// neither has to link the other for it.
//
// The conversion itself is the system's: the C library's iconv on Linux
// (iconv/posix/). On Windows (iconv/win32/) "UTF-8", "UTF-16BE", "UTF-32BE"
// and "GB18030" are converted by the program itself, GB18030 with tables
// made from the build machine's C library, so the internal code page reads
// and writes exactly as on Linux; "GBK" and "CP<n>" go through the Win32
// code pages.

#include <cerrno>
#include <cstddef>
#include <string>

class CIconv {
public:
    CIconv(const char* to, const char* from);
    ~CIconv();
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    // Both charsets are known to the system.
    bool ok() const;

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
            const char* in = input.data() + pos;
            std::size_t inLeft = input.size() - pos;
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const int err = Step(in, inLeft, dst, dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            pos = input.size() - inLeft;
            if (err == 0 || err == E2BIG) {
                continue;
            }
            Reset();
            const std::size_t step = skip(out, pos, err);
            pos += step > 0 ? step : 1;
        }
        return out;
    }

private:
    // Converts from `in` into `out` as far as it can, moving both on, as one
    // iconv(3) call does. Returns 0 when the input is used up, else why it
    // stopped: E2BIG (output full), EILSEQ or EINVAL (at `in`).
    int Step(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft);
    // Back to the initial shift state after a failed step.
    void Reset();

    void* m_state;
};
