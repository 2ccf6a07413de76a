// The chained entry scrambler: the key stream against a plain restatement of
// its definition, round trips, the digests taken on the way, in-place use and
// two fixed vectors that pin the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "package/md5.h"
#include "package/scramble.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RandomBytes(std::mt19937& rng, std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = std::uint8_t(rng());
    return bytes;
}

ChainState RandomChain(std::mt19937& rng) {
    ChainState chain;
    chain.seed = std::uint32_t(rng());
    for (auto& b : chain.chain_key) b = std::uint8_t(rng());
    return chain;
}

// The key stream written out in wide signed arithmetic, one byte at a time,
// with floor division and non-negative remainders, independently of the
// 32-bit tricks of the real pass.
Bytes KeyStreamByDefinition(const ChainState& chain, std::uint32_t size) {
    auto as_signed32 = [](std::int64_t v) {
        v %= std::int64_t(1) << 32;
        if (v < 0) v += std::int64_t(1) << 32;
        return v >= (std::int64_t(1) << 31) ? v - (std::int64_t(1) << 32) : v;
    };
    auto mod256 = [](std::int64_t v) { return ((v % 256) + 256) % 256; };
    Bytes keys(size);
    std::int64_t s = as_signed32(chain.seed);
    for (std::uint32_t i = 0; i < size; ++i) {
        const std::int64_t n = std::int64_t(size) - i;
        const std::int64_t sum = as_signed32(s + n);
        const std::int64_t t = as_signed32(sum * sum);
        std::int64_t u = t / 256;
        if (t < 0 && t % 256 != 0) u -= 1;  // shifting right rounds down
        keys[i] = std::uint8_t(mod256(chain.chain_key[n % 16] + mod256(u) + mod256(t)));
        s = u;
    }
    return keys;
}

std::string Digest(const Bytes& bytes) {
    std::uint8_t digest[16];
    Md5OfBuffer(bytes.data(), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), 16);
}

std::string AsString(const std::uint8_t digest[16]) {
    return std::string(reinterpret_cast<const char*>(digest), 16);
}

TEST(Scramble, ChainStartAndAdvance) {
    ChainState chain;
    std::memset(&chain, 0x5A, sizeof chain);
    ChainStart(&chain);
    EXPECT_EQ(chain.seed, 0x3C7A91E5u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(chain.chain_key[i], 0) << i;

    // seed 0x3C7A91E5 = H * 2^16 + L with H = 0x3C7A, L = 0x91E5.
    // seed^2 mod 2^32 = L^2 + ((2 * H * L) mod 2^16) * 2^16:
    //   L^2 = 0x532536D9, 2 * H * L = 0x44EE6644, low half 0x6644,
    //   so seed^2 mod 2^32 = 0x532536D9 + 0x66440000 = 0xB96936D9.
    // Shifted left by 8 (top byte dropped): 0x6936D900; OR D[0] = 0xAB:
    // 0x6936D9AB.
    std::uint8_t digest[16];
    for (int i = 0; i < 16; ++i) digest[i] = std::uint8_t(0xAB - 3 * i);
    ChainAdvance(&chain, digest);
    EXPECT_EQ(chain.seed, 0x6936D9ABu);
    EXPECT_EQ(std::memcmp(chain.chain_key, digest, 16), 0);

    // The same rule once more, from the wide product this time.
    const std::uint64_t wide = std::uint64_t(0x6936D9ABu) * 0x6936D9ABu;
    digest[0] = 0x01;
    ChainAdvance(&chain, digest);
    EXPECT_EQ(chain.seed, std::uint32_t((wide << 8) | 0x01));
}

TEST(Scramble, SixteenZerosWithTheInitialChainGiveTheFixedKeyBytes) {
    // N = 16, s = 0x3C7A91E5, chain key all zero, so k = (u + t) mod 256.
    // n = 16: x = s + 16 = 0x3C7A91F5 (H 0x3C7A, L 0x91F5): L^2 = 0x53377479,
    //         2HL mod 2^16 = 0xF584, t = 0x53377479 + 0xF5840000 = 0x48BB7479,
    //         u = 0x0048BB74, k = 0x74 + 0x79 = 0xED.
    // n = 15: x = 0x48BB74 + 15 = 0x48BB83 (H 0x48, L 0xBB83): L^2 = 0x8958A509,
    //         2HL mod 2^16 = 0x79B0, t = 0x0308A509, u = 0x000308A5,
    //         k = 0xA5 + 0x09 = 0xAE.
    // n = 14: x = 0x308A5 + 14 = 0x308B3 (H 0x3, L 0x08B3): L^2 = 0x004BAD29,
    //         2HL = 0x3432, t = 0x347DAD29, u = 0x00347DAD, k = 0xAD + 0x29 = 0xD6.
    // n = 13: x = 0x347DAD + 13 = 0x347DBA (H 0x34, L 0x7DBA): L^2 = 0x3DBF2B24,
    //         2HL mod 2^16 = 0x1390, t = 0x514F2B24, u = 0x00514F2B,
    //         k = 0x2B + 0x24 = 0x4F.
    ChainState chain;
    ChainStart(&chain);
    const Bytes zeros(16, 0);
    Bytes out(16, 0xEE);
    std::uint8_t plain_digest[16], stored_digest[16];
    ScrambleEntry(&chain, zeros.data(), out.data(), 16, plain_digest, stored_digest);
    EXPECT_EQ(out[0], 0xED);
    EXPECT_EQ(out[1], 0xAE);
    EXPECT_EQ(out[2], 0xD6);
    EXPECT_EQ(out[3], 0x4F);
    EXPECT_EQ(out, KeyStreamByDefinition(chain, 16));
}

TEST(Scramble, KeyStreamMatchesItsDefinitionForAllLengthsAndStates) {
    std::mt19937 rng(31337);
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t size = 0; size <= 300; ++size) sizes.push_back(size);
    for (std::uint32_t size : {383u, 384u, 385u, 1000u, 4096u + 7u, 65536u + 17u, 300001u})
        sizes.push_back(size);
    for (std::uint32_t size : sizes) {
        ChainState chain = RandomChain(rng);
        if (size % 7 == 0) ChainStart(&chain);
        const Bytes data = RandomBytes(rng, size);
        const Bytes keys = KeyStreamByDefinition(chain, size);
        Bytes out(size);
        std::uint8_t in_digest[16], out_digest[16];
        DescrambleEntry(&chain, data.data(), out.data(), size, in_digest, out_digest);
        Bytes expected(size);
        for (std::uint32_t i = 0; i < size; ++i) expected[i] = data[i] ^ keys[i];
        ASSERT_EQ(out, expected) << "size " << size << " seed " << chain.seed;
        EXPECT_EQ(AsString(in_digest), Digest(data)) << "size " << size;
        EXPECT_EQ(AsString(out_digest), Digest(out)) << "size " << size;
    }
}

TEST(Scramble, RoundTripDigestsAndInPlace) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 60; ++round) {
        const std::uint32_t size = round < 20 ? std::uint32_t(rng() % 200) : std::uint32_t(rng() % 20000);
        const ChainState chain = RandomChain(rng);
        const Bytes plain = RandomBytes(rng, size);

        Bytes stored(size);
        std::uint8_t plain_digest[16], stored_digest[16];
        ScrambleEntry(&chain, plain.data(), stored.data(), size, plain_digest, stored_digest);
        EXPECT_EQ(AsString(plain_digest), Digest(plain)) << "size " << size;
        EXPECT_EQ(AsString(stored_digest), Digest(stored)) << "size " << size;
        if (size >= 16) {
            EXPECT_NE(stored, plain) << "size " << size;
        }

        // Back again, out of place: the plain bytes and the same two digests.
        Bytes back(size);
        std::uint8_t stored_again[16], plain_again[16];
        DescrambleEntry(&chain, stored.data(), back.data(), size, stored_again, plain_again);
        EXPECT_EQ(back, plain) << "size " << size;
        EXPECT_EQ(AsString(stored_again), AsString(stored_digest));
        EXPECT_EQ(AsString(plain_again), AsString(plain_digest));

        // In place, as the extraction does it in the loaded package.
        Bytes in_place = stored;
        std::uint8_t stored_in_place[16], plain_in_place[16];
        DescrambleEntry(&chain, in_place.data(), in_place.data(), size, stored_in_place,
                        plain_in_place);
        EXPECT_EQ(in_place, plain) << "size " << size;
        EXPECT_EQ(AsString(stored_in_place), AsString(stored_digest)) << "size " << size;
        EXPECT_EQ(AsString(plain_in_place), AsString(plain_digest)) << "size " << size;
    }
}

TEST(Scramble, KeyStreamDependsOnChainAndLengthNotOnData) {
    std::mt19937 rng(99);
    const std::uint32_t size = 777;
    const ChainState chain = RandomChain(rng);
    const Bytes zeros(size, 0);
    Bytes keys(size);
    std::uint8_t d1[16], d2[16];
    ScrambleEntry(&chain, zeros.data(), keys.data(), size, d1, d2);

    for (int round = 0; round < 3; ++round) {
        const Bytes data = RandomBytes(rng, size);
        Bytes out(size);
        ScrambleEntry(&chain, data.data(), out.data(), size, d1, d2);
        for (std::uint32_t i = 0; i < size; ++i) ASSERT_EQ(out[i], data[i] ^ keys[i]) << i;
    }

    // Each byte's key depends on the countdown from the end: one more byte in
    // front shifts the stream by one position.
    Bytes longer(size + 1);
    const Bytes zeros_longer(size + 1, 0);
    ScrambleEntry(&chain, zeros_longer.data(), longer.data(), size + 1, d1, d2);
    EXPECT_NE(Bytes(longer.begin(), longer.begin() + size), keys);

    // Another seed or another chain key gives another stream.
    ChainState other_seed = chain;
    other_seed.seed ^= 0x100;
    Bytes other(size);
    ScrambleEntry(&other_seed, zeros.data(), other.data(), size, d1, d2);
    EXPECT_NE(other, keys);
    ChainState other_key = chain;
    other_key.chain_key[3] ^= 0x01;
    ScrambleEntry(&other_key, zeros.data(), other.data(), size, d1, d2);
    EXPECT_NE(other, keys);
    // Only the bytes whose countdown n has n mod 16 == 3 change.
    for (std::uint32_t i = 0; i < size; ++i) {
        const bool touched = (size - i) % 16 == 3;
        EXPECT_EQ(other[i] != keys[i], touched) << i;
    }
}

}  // namespace
