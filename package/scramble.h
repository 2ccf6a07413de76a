// The chained stream scrambler of the package entries. The key stream of an
// entry depends only on the chain state and the entry's length, never on the
// data, so the same pass scrambles and descrambles.
#pragma once
#include <cstdint>

constexpr std::uint32_t kInitialSeed = 0x3C7A91E5;

struct ChainState {
    std::uint32_t seed;
    std::uint8_t chain_key[16];
};

// The state for entry 0: the initial seed and an all-zero chain key.
void ChainStart(ChainState* chain);

// After an entry that lies inside the package: the chain key becomes the
// digest of the entry's stored bytes and the seed is stirred with its first
// byte.
void ChainAdvance(ChainState* chain, const std::uint8_t stored_digest[16]);

// Descrambles one entry of `size` bytes (below 2^31) in a single pass:
// `out` receives the plain bytes (it may be `stored` itself), and the
// digests of the stored and of the plain bytes are taken on the way.
void DescrambleEntry(const ChainState* chain, const std::uint8_t* stored, std::uint8_t* out,
                     std::uint32_t size, std::uint8_t stored_digest[16],
                     std::uint8_t plain_digest[16]);

// The same pass the other way, for building a package: `out` receives the
// stored bytes; the digests are of the plain and of the stored bytes.
void ScrambleEntry(const ChainState* chain, const std::uint8_t* plain, std::uint8_t* out,
                   std::uint32_t size, std::uint8_t plain_digest[16],
                   std::uint8_t stored_digest[16]);
