#pragma once
// The GB18030 mapping, as tables generated from the C library's converter
// when the Windows program is configured (tools/gb18030tables); the
// supplementary planes follow from a formula and need no table.

#include <cstddef>
#include <cstdint>

// Two-byte codes, lead 0x81..0xFE by trail 0x40..0x7E, 0x80..0xFE (190 per
// lead): the UTF-16 unit of each, 0xFFFF for none.
constexpr std::size_t kGb18030TrailCount = 190;
constexpr std::size_t kGb18030TwoByteCount = 126 * kGb18030TrailCount;
extern const std::uint16_t kGb18030TwoByte[kGb18030TwoByteCount];

// Four-byte codes b1 b2 b3 b4 have the linear index
// (b1 - 0x81) * 12600 + (b2 - 0x30) * 1260 + (b3 - 0x81) * 10 + (b4 - 0x30);
// those below kGb18030BmpLinearCount are BMP characters, mapped in runs of
// consecutive indexes and code points, ascending by index.
constexpr std::uint32_t kGb18030BmpLinearCount = 39420;
struct GB18030_RANGE_t {
    std::uint32_t linear;
    std::uint32_t codePoint;
    std::uint32_t count;
};
extern const GB18030_RANGE_t kGb18030FourByteRanges[];
extern const std::size_t kGb18030FourByteRangeCount;
