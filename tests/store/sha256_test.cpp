// SHA-256 against published test vectors and Python's hashlib.

#include "store/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bytes 3, 10, 17, ... (i * 7 + 3 modulo 256): the messages the hashlib
// rows below were computed for.
std::string Pattern(std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>((i * 7 + 3) & 0xFF);
    }
    return bytes;
}

TEST(Sha256, PublishedVectorsAndHashlibAtEveryPaddingBoundary)
{
    const struct {
        const char* source;
        std::string message;
        const char* digest;
    } cases[] = {
        // FIPS 180-2, appendix B (and NIST's example values).
        {"FIPS 180-2 B.1", "abc",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"FIPS 180-2 B.2", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"FIPS 180-2 B.3", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"NIST, the empty message", "",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"NIST, 896 bits",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // python3 -c "import hashlib; print(hashlib.sha256(bytes((i*7+3)&255
        //     for i in range(N))).hexdigest())": the lengths where the padding
        // fits in the last block, just does not, or needs a block of its own.
        {"hashlib, 55 bytes", Pattern(55),
         "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {"hashlib, 56 bytes", Pattern(56),
         "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {"hashlib, 63 bytes", Pattern(63),
         "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {"hashlib, 64 bytes", Pattern(64),
         "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {"hashlib, 65 bytes", Pattern(65),
         "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {"hashlib, 119 bytes", Pattern(119),
         "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {"hashlib, 120 bytes", Pattern(120),
         "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {"hashlib, 128 bytes", Pattern(128),
         "d2742f1f4ac6bb7ca2b239ee18402ba8b3f9f8e652d2a72973c2b9ba11c08cf6"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.source;
    }
}

TEST(Sha256, AMessageFedInPiecesHasTheDigestOfTheWhole)
{
    const std::string message = Pattern(127);
    const std::string whole = "a8d23e75d936f303d248888d9b165ee543f4cbafcad3c9dd2a79bd84faa11d07";
    for (std::size_t cut = 0; cut <= message.size(); ++cut) {
        Sha256 hash;
        hash.Update(message.substr(0, cut));
        hash.Update(message.substr(cut));
        EXPECT_EQ(DigestHex(hash.Finish()), whole) << "cut at " << cut;
    }
    Sha256 byByte;
    for (char byte : message) {
        byByte.Update(&byte, 1);
    }
    EXPECT_EQ(DigestHex(byByte.Finish()), whole);
}

}  // namespace
