#pragma once
// SHA-256 (FIPS 180-4): the digest that tells stored messages apart. A
// strong hash, so that two different messages never share an identity and
// one of them is never taken for a copy of the other.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    // Adds `size` bytes to the message; any number of calls, of any sizes.
    void Update(const void* data, std::size_t size);
    void Update(const std::string& bytes) { Update(bytes.data(), bytes.size()); }
    // The digest of everything added. The object is spent afterwards: a new
    // message needs a new object.
    std::array<std::uint8_t, 32> Finish();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_blockUsed = 0;
    std::uint64_t m_totalBytes = 0;
};

// A digest as 64 lower-case hexadecimal digits.
std::string DigestHex(const std::array<std::uint8_t, 32>& digest);

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);
