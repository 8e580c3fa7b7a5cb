#include "iconv/iconv_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "iconv/win32/gb18030_tables.h"

// The Win32 converters work on whole buffers and do not say where a text
// went wrong; iconv's contract (stop at the bad sequence, say why) needs one
// character at a time. Each character is decoded to a code point, then
// encoded: the Unicode forms and GB18030 here (GB18030 from the tables the
// build made from the C library's converter, so that the internal code page
// reads and writes as on Linux, also where Windows lacks code page 54936),
// code pages by MultiByteToWideChar and WideCharToMultiByte.

namespace {

enum CHARSET_KIND_t {
    KIND_UNKNOWN,
    KIND_UTF8,
    KIND_UTF16BE,
    KIND_UTF32BE,
    KIND_GB18030,
    KIND_CODE_PAGE
};

struct CHARSET_t {
    CHARSET_KIND_t kind = KIND_UNKNOWN;
    UINT codePage = 0;
};

struct STATE_t {
    CHARSET_t to;
    CHARSET_t from;
};

constexpr UINT kGbk = 936;
// The first four-byte code of the supplementary planes, 0x90308130, as a
// linear index (see gb18030_tables.h); U+10000 and up follow in order.
constexpr std::uint32_t kGb18030PlanesLinear = (0x90 - 0x81) * 12600;
constexpr std::uint32_t kGb18030Unmapped = 0xFFFF;

std::string Upper(const char* name)
{
    std::string text = name != nullptr ? name : "";
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

CHARSET_t CodePage(UINT codePage)
{
    CHARSET_t charset;
    if (IsValidCodePage(codePage)) {
        charset.kind = codePage == CP_UTF8 ? KIND_UTF8 : KIND_CODE_PAGE;
        charset.codePage = codePage;
    }
    return charset;
}

CHARSET_t Lookup(const char* name)
{
    const std::string upper = Upper(name);
    if (upper == "UTF-8" || upper == "UTF8") {
        return {KIND_UTF8, CP_UTF8};
    }
    if (upper == "UTF-16BE") {
        return {KIND_UTF16BE, 0};
    }
    if (upper == "UTF-32BE") {
        return {KIND_UTF32BE, 0};
    }
    if (upper == "GB18030") {
        return {KIND_GB18030, 0};
    }
    if (upper == "GBK" || upper == "GB2312" || upper == "EUC-CN") {
        return CodePage(kGbk);
    }
    if (upper.compare(0, 2, "CP") == 0 && upper.size() > 2 && upper.size() <= 7) {
        char* end = nullptr;
        const unsigned long number = std::strtoul(upper.c_str() + 2, &end, 10);
        if (end != nullptr && *end == '\0') {
            return CodePage(static_cast<UINT>(number));
        }
    }
    return {};
}

bool InRange(unsigned char c, unsigned lo, unsigned hi)
{
    return c >= lo && c <= hi;
}

// ---- GB18030 ---------------------------------------------------------------

// Each BMP code point's GB18030 code: a two-byte code as kTwoByteMark | lead
// << 8 | trail, a four-byte one as kFourByteMark | linear index; 0 for none.
constexpr std::uint32_t kTwoByteMark = 0x80000000;
constexpr std::uint32_t kFourByteMark = 0x40000000;

const std::vector<std::uint32_t>& Gb18030Encoding()
{
    static const std::vector<std::uint32_t> encoding = [] {
        std::vector<std::uint32_t> table(0x10000, 0);
        for (std::size_t i = 0; i < kGb18030TwoByteCount; ++i) {
            const std::uint16_t cp = kGb18030TwoByte[i];
            const std::uint32_t lead = 0x81 + static_cast<std::uint32_t>(i / kGb18030TrailCount);
            std::uint32_t trail = 0x40 + static_cast<std::uint32_t>(i % kGb18030TrailCount);
            trail += trail >= 0x7F ? 1 : 0;
            if (cp != kGb18030Unmapped && table[cp] == 0) {
                table[cp] = kTwoByteMark | (lead << 8) | trail;
            }
        }
        for (std::size_t r = 0; r < kGb18030FourByteRangeCount; ++r) {
            const GB18030_RANGE_t& range = kGb18030FourByteRanges[r];
            for (std::uint32_t k = 0; k < range.count; ++k) {
                if (range.codePoint + k < table.size() && table[range.codePoint + k] == 0) {
                    table[range.codePoint + k] = kFourByteMark | (range.linear + k);
                }
            }
        }
        return table;
    }();
    return encoding;
}

int DecodeGb18030(const unsigned char* in, std::size_t left, std::uint32_t& cp, std::size_t& used)
{
    if (in[0] < 0x80) {
        cp = in[0];
        used = 1;
        return 0;
    }
    if (!InRange(in[0], 0x81, 0xFE)) {
        return EILSEQ;
    }
    if (left < 2) {
        return EINVAL;
    }
    if (InRange(in[1], 0x40, 0x7E) || InRange(in[1], 0x80, 0xFE)) {
        const std::size_t trail = in[1] - 0x40u - (in[1] > 0x7F ? 1u : 0u);
        const std::uint16_t unit = kGb18030TwoByte[(in[0] - 0x81u) * kGb18030TrailCount + trail];
        if (unit == kGb18030Unmapped) {
            return EILSEQ;
        }
        cp = unit;
        used = 2;
        return 0;
    }
    if (!InRange(in[1], 0x30, 0x39)) {
        return EILSEQ;
    }
    if (left < 4) {
        return EINVAL;
    }
    if (!InRange(in[2], 0x81, 0xFE) || !InRange(in[3], 0x30, 0x39)) {
        return EILSEQ;
    }
    const std::uint32_t linear =
        (in[0] - 0x81u) * 12600 + (in[1] - 0x30u) * 1260 + (in[2] - 0x81u) * 10 + (in[3] - 0x30u);
    if (linear < kGb18030BmpLinearCount) {
        const GB18030_RANGE_t* end = kGb18030FourByteRanges + kGb18030FourByteRangeCount;
        const GB18030_RANGE_t* range = std::upper_bound(
            kGb18030FourByteRanges, end, linear,
            [](std::uint32_t value, const GB18030_RANGE_t& r) { return value < r.linear; });
        if (range == kGb18030FourByteRanges || linear - (range - 1)->linear >= (range - 1)->count) {
            return EILSEQ;
        }
        cp = (range - 1)->codePoint + (linear - (range - 1)->linear);
    } else if (linear >= kGb18030PlanesLinear && linear - kGb18030PlanesLinear <= 0xFFFFF) {
        cp = 0x10000 + (linear - kGb18030PlanesLinear);
    } else {
        return EILSEQ;
    }
    used = 4;
    return 0;
}

void FourBytes(std::uint32_t linear, char* bytes)
{
    bytes[0] = static_cast<char>(0x81 + linear / 12600);
    bytes[1] = static_cast<char>(0x30 + linear / 1260 % 10);
    bytes[2] = static_cast<char>(0x81 + linear / 10 % 126);
    bytes[3] = static_cast<char>(0x30 + linear % 10);
}

bool EncodeGb18030(std::uint32_t cp, char* bytes, std::size_t& n)
{
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        n = 1;
        return true;
    }
    if (cp >= 0x10000) {
        FourBytes(kGb18030PlanesLinear + (cp - 0x10000), bytes);
        n = 4;
        return true;
    }
    const std::uint32_t code = Gb18030Encoding()[cp];
    if ((code & kTwoByteMark) != 0) {
        bytes[0] = static_cast<char>((code >> 8) & 0xFF);
        bytes[1] = static_cast<char>(code & 0xFF);
        n = 2;
        return true;
    }
    if ((code & kFourByteMark) != 0) {
        FourBytes(code & ~kFourByteMark, bytes);
        n = 4;
        return true;
    }
    return false;
}

// ---- code pages -------------------------------------------------------------

// Bytes of the character that starts `in` in a code page: GB18030's own
// structure for the GB family (1, 2 or 4 bytes), the lead-byte table for
// other double-byte pages. 0 when the input ends inside the character.
std::size_t CodePageCharLength(UINT codePage, const unsigned char* in, std::size_t left)
{
    if (in[0] < 0x80) {
        return 1;
    }
    if (codePage == kGbk) {
        if (!InRange(in[0], 0x81, 0xFE)) {
            return 1;
        }
        if (left < 2) {
            return 0;
        }
        if (!InRange(in[1], 0x30, 0x39)) {
            return 2;
        }
        return left < 4 ? 0 : 4;
    }
    if (IsDBCSLeadByteEx(codePage, in[0])) {
        return left < 2 ? 0 : 2;
    }
    return 1;
}

// One code point from the input; sets `used` to its bytes. 0 or the error.
int Decode(const CHARSET_t& from, const unsigned char* in, std::size_t left, std::uint32_t& cp,
           std::size_t& used)
{
    switch (from.kind) {
    case KIND_UTF8: {
        const unsigned lead = in[0];
        std::size_t n = 1;
        std::uint32_t min = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2, cp = lead & 0x1F, min = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3, cp = lead & 0x0F, min = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4, cp = lead & 0x07, min = 0x10000;
        } else {
            return EILSEQ;
        }
        for (std::size_t i = 1; i < n; ++i) {
            if (i >= left) {
                return EINVAL;
            }
            if ((in[i] & 0xC0) != 0x80) {
                return EILSEQ;
            }
            cp = (cp << 6) | (in[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return EILSEQ;
        }
        used = n;
        return 0;
    }
    case KIND_UTF16BE: {
        if (left < 2) {
            return EINVAL;
        }
        const std::uint32_t unit = (in[0] << 8) | in[1];
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return EILSEQ;
        }
        if (unit < 0xD800 || unit > 0xDBFF) {
            cp = unit;
            used = 2;
            return 0;
        }
        if (left < 4) {
            return EINVAL;
        }
        const std::uint32_t low = (in[2] << 8) | in[3];
        if (low < 0xDC00 || low > 0xDFFF) {
            return EILSEQ;
        }
        cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        used = 4;
        return 0;
    }
    case KIND_UTF32BE: {
        if (left < 4) {
            return EINVAL;
        }
        cp = (static_cast<std::uint32_t>(in[0]) << 24) | (in[1] << 16) | (in[2] << 8) | in[3];
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return EILSEQ;
        }
        used = 4;
        return 0;
    }
    case KIND_GB18030:
        return DecodeGb18030(in, left, cp, used);
    case KIND_CODE_PAGE: {
        const std::size_t n = CodePageCharLength(from.codePage, in, left);
        if (n == 0) {
            return EINVAL;
        }
        wchar_t wide[4] = {};
        const int units =
            MultiByteToWideChar(from.codePage, MB_ERR_INVALID_CHARS,
                                reinterpret_cast<const char*>(in), static_cast<int>(n), wide, 4);
        if (units == 1 && !(wide[0] >= 0xD800 && wide[0] <= 0xDFFF)) {
            cp = wide[0];
        } else if (units == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide[1] >= 0xDC00 &&
                   wide[1] <= 0xDFFF) {
            cp = 0x10000 + ((wide[0] - 0xD800) << 10) + (wide[1] - 0xDC00);
        } else {
            return EILSEQ;
        }
        used = n;
        return 0;
    }
    case KIND_UNKNOWN:
        break;
    }
    return EILSEQ;
}

// The bytes of one code point in the target; false when it has no form there.
bool Encode(const CHARSET_t& to, std::uint32_t cp, char* bytes, std::size_t& n)
{
    switch (to.kind) {
    case KIND_UTF8:
        if (cp < 0x80) {
            bytes[0] = static_cast<char>(cp);
            n = 1;
        } else if (cp < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
            bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 2;
        } else if (cp < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
            bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
            bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 4;
        }
        return true;
    case KIND_UTF16BE:
        if (cp < 0x10000) {
            bytes[0] = static_cast<char>(cp >> 8);
            bytes[1] = static_cast<char>(cp & 0xFF);
            n = 2;
        } else {
            const std::uint32_t v = cp - 0x10000;
            const std::uint32_t high = 0xD800 + (v >> 10);
            const std::uint32_t low = 0xDC00 + (v & 0x3FF);
            bytes[0] = static_cast<char>(high >> 8);
            bytes[1] = static_cast<char>(high & 0xFF);
            bytes[2] = static_cast<char>(low >> 8);
            bytes[3] = static_cast<char>(low & 0xFF);
            n = 4;
        }
        return true;
    case KIND_UTF32BE:
        bytes[0] = static_cast<char>(cp >> 24);
        bytes[1] = static_cast<char>((cp >> 16) & 0xFF);
        bytes[2] = static_cast<char>((cp >> 8) & 0xFF);
        bytes[3] = static_cast<char>(cp & 0xFF);
        n = 4;
        return true;
    case KIND_GB18030:
        return EncodeGb18030(cp, bytes, n);
    case KIND_CODE_PAGE: {
        wchar_t wide[2];
        int units = 1;
        if (cp < 0x10000) {
            wide[0] = static_cast<wchar_t>(cp);
        } else {
            wide[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            wide[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            units = 2;
        }
        // The page says when it had to use its default character.
        BOOL usedDefault = FALSE;
        const int written = WideCharToMultiByte(to.codePage, WC_NO_BEST_FIT_CHARS, wide, units,
                                                bytes, 8, nullptr, &usedDefault);
        if (written <= 0 || usedDefault) {
            return false;
        }
        n = static_cast<std::size_t>(written);
        return true;
    }
    case KIND_UNKNOWN:
        break;
    }
    return false;
}

STATE_t* State(void* state)
{
    return static_cast<STATE_t*>(state);
}

}  // namespace

CIconv::CIconv(const char* to, const char* from) : m_state(nullptr)
{
    STATE_t state{Lookup(to), Lookup(from)};
    if (state.to.kind != KIND_UNKNOWN && state.from.kind != KIND_UNKNOWN) {
        m_state = new STATE_t(state);
    }
}

CIconv::~CIconv()
{
    delete State(m_state);
}

bool CIconv::ok() const
{
    return m_state != nullptr;
}

int CIconv::Step(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft)
{
    const STATE_t& state = *State(m_state);
    while (inLeft > 0) {
        const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
        std::uint32_t cp = 0;
        std::size_t used = 0;
        const int err = Decode(state.from, src, inLeft, cp, used);
        if (err != 0) {
            return err;
        }
        char bytes[8];
        std::size_t n = 0;
        if (!Encode(state.to, cp, bytes, n)) {
            return EILSEQ;
        }
        if (n > outLeft) {
            return E2BIG;
        }
        std::memcpy(out, bytes, n);
        out += n;
        outLeft -= n;
        in += used;
        inLeft -= used;
    }
    return 0;
}

void CIconv::Reset() {}
