// MD5 against RFC 1321's own test suite and against OpenSSL's libcrypto as an
// independent implementation, over every block edge and any split of the
// input, single and paired.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "package/md5.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const std::uint8_t digest[16]) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

std::string OurMd5(const std::uint8_t* data, std::size_t size) {
    std::uint8_t digest[16];
    Md5OfBuffer(data, size, digest);
    return Hex(digest);
}

std::string OpenSslMd5(const std::uint8_t* data, std::size_t size) {
    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) != 1 || length != 16) {
        ADD_FAILURE() << "libcrypto MD5 failed";
        return "";
    }
    return Hex(digest);
}

Bytes RandomBytes(std::mt19937& rng, std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = std::uint8_t(rng());
    return bytes;
}

// Feeds `data` to a fresh state in pieces of random sizes (zero included).
std::string Md5InPieces(std::mt19937& rng, const Bytes& data, std::size_t max_piece) {
    Md5State state;
    Md5Init(&state);
    std::size_t at = 0;
    while (at < data.size()) {
        std::size_t piece = rng() % (max_piece + 1);
        if (piece > data.size() - at) piece = data.size() - at;
        Md5Update(&state, data.data() + at, piece);
        at += piece;
    }
    std::uint8_t digest[16];
    Md5Final(&state, digest);
    return Hex(digest);
}

TEST(Md5, Rfc1321TestSuite) {
    const struct {
        const char* text;
        const char* digest;
    } kSuite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& entry : kSuite) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(entry.text);
        EXPECT_EQ(OurMd5(bytes, std::strlen(entry.text)), entry.digest) << '"' << entry.text << '"';
        // The same text byte by byte through the incremental interface.
        Md5State state;
        Md5Init(&state);
        for (std::size_t i = 0; i < std::strlen(entry.text); ++i) Md5Update(&state, bytes + i, 1);
        std::uint8_t digest[16];
        Md5Final(&state, digest);
        EXPECT_EQ(Hex(digest), entry.digest) << "byte-wise \"" << entry.text << '"';
    }
}

TEST(Md5, EveryLengthAcrossBlockEdgesMatchesLibcrypto) {
    std::mt19937 rng(20240601);
    // 0 to 300 covers the padding edges 55/56, 63/64, 119/120 and 128 and
    // several whole blocks.
    for (std::size_t size = 0; size <= 300; ++size) {
        const Bytes data = RandomBytes(rng, size);
        const std::string expected = OpenSslMd5(data.data(), size);
        EXPECT_EQ(OurMd5(data.data(), size), expected) << "size " << size;
        EXPECT_EQ(Md5InPieces(rng, data, 70), expected) << "pieces, size " << size;
    }
    // Long inputs: lengths whose bit count needs more than 16 and 24 bits.
    for (std::size_t size : {4096u + 13u, 300000u, 2100000u}) {
        const Bytes data = RandomBytes(rng, size);
        const std::string expected = OpenSslMd5(data.data(), size);
        EXPECT_EQ(OurMd5(data.data(), size), expected) << "size " << size;
        EXPECT_EQ(Md5InPieces(rng, data, 5000), expected) << "pieces, size " << size;
    }
}

TEST(Md5, PairedUpdateEqualsSeparateUpdatesForAnySplit) {
    std::mt19937 rng(77);
    for (int round = 0; round < 300; ++round) {
        // Each stream may already hold a different number of bytes, so the
        // two pending blocks start out of step (or in step, or both empty).
        const std::size_t first_lead = rng() % 3 == 0 ? 0 : rng() % 130;
        const std::size_t second_lead = rng() % 3 == 0 ? first_lead : rng() % 130;
        const std::size_t shared = rng() % 3 == 0 ? rng() % 200 : rng() % 2000;
        const Bytes first_data = RandomBytes(rng, first_lead + shared);
        const Bytes second_data = RandomBytes(rng, second_lead + shared);

        Md5State first, second;
        Md5Init(&first);
        Md5Init(&second);
        Md5Update(&first, first_data.data(), first_lead);
        Md5Update(&second, second_data.data(), second_lead);
        std::size_t at = 0;
        while (at < shared) {
            std::size_t piece = rng() % 4 == 0 ? rng() % 8 : rng() % 300;
            if (piece > shared - at) piece = shared - at;
            Md5UpdatePair(&first, first_data.data() + first_lead + at, &second,
                          second_data.data() + second_lead + at, piece);
            at += piece;
        }
        EXPECT_EQ(first.length, first_data.size());
        EXPECT_EQ(second.length, second_data.size());
        std::uint8_t first_digest[16], second_digest[16];
        Md5Final(&first, first_digest);
        Md5Final(&second, second_digest);
        EXPECT_EQ(Hex(first_digest), OpenSslMd5(first_data.data(), first_data.size()))
            << "round " << round << " leads " << first_lead << "/" << second_lead << " shared "
            << shared;
        EXPECT_EQ(Hex(second_digest), OpenSslMd5(second_data.data(), second_data.size()))
            << "round " << round << " leads " << first_lead << "/" << second_lead << " shared "
            << shared;
    }
}

TEST(Md5, PairedUpdateOfOneBufferWithItself) {
    // Both streams reading the same bytes: both digests are that of the buffer.
    std::mt19937 rng(5);
    const Bytes data = RandomBytes(rng, 1000);
    Md5State first, second;
    Md5Init(&first);
    Md5Init(&second);
    Md5UpdatePair(&first, data.data(), &second, data.data(), data.size());
    std::uint8_t first_digest[16], second_digest[16];
    Md5Final(&first, first_digest);
    Md5Final(&second, second_digest);
    EXPECT_EQ(Hex(first_digest), OpenSslMd5(data.data(), data.size()));
    EXPECT_EQ(Hex(second_digest), Hex(first_digest));
}

TEST(Md5, DigestsEqualLooksAtAllSixteenBytes) {
    std::uint8_t first[16], second[16];
    for (int i = 0; i < 16; ++i) first[i] = second[i] = std::uint8_t(0x30 + 7 * i);
    EXPECT_EQ(DigestsEqual(first, second), 1);
    for (int i = 0; i < 16; ++i) {
        second[i] ^= 0x01;
        EXPECT_EQ(DigestsEqual(first, second), 0) << "byte " << i;
        EXPECT_EQ(DigestsEqual(second, first), 0) << "byte " << i;
        second[i] ^= 0x01;
    }
    second[15] = std::uint8_t(first[15] + 0x80);
    EXPECT_EQ(DigestsEqual(first, second), 0);
}

}  // namespace
