// The chained entry scrambler. One pass over an entry: the key stream, the
// XOR, and the digests of both the incoming and the outgoing bytes, done in
// 64-byte blocks so that nothing but the output is written.
#include "package/scramble.h"

#include <cstring>

#include "package/md5.h"

namespace {

// The running key-stream state: s (a signed 32-bit value kept in unsigned
// form so that the arithmetic wraps without undefined behaviour) and the
// countdown n of the next byte.
struct KeyStream {
    std::uint32_t s;
    std::uint32_t n;
};

// The step for countdown n: t = (s + n)^2 in 32 bits, u = t shifted right
// by 8 as a signed value (C++20 defines both the conversion and the
// arithmetic shift), s becomes u. Returns the key byte without its chain-key
// share, (t + u) mod 256.
[[gnu::always_inline]] inline std::uint8_t KeyStep(std::uint32_t* s, std::uint32_t n) {
    const std::uint32_t x = *s + n;
    const std::uint32_t t = x * x;
    const std::uint32_t u = std::uint32_t(std::int32_t(t) >> 8);
    *s = u;
    return std::uint8_t(t + u);
}

// Key bytes without the chain-key share for the next `count` bytes.
void RawKeys(KeyStream* keys, std::uint8_t* raw, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) raw[i] = KeyStep(&keys->s, keys->n - i);
    keys->n -= count;
}

// out = in XOR (raw + chain-key share), byte-wise, for one block or less.
[[gnu::always_inline]] inline void ApplyKeys(const std::uint8_t* in, std::uint8_t* out,
                                             const std::uint8_t* raw, const std::uint8_t* share,
                                             std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) out[i] = in[i] ^ std::uint8_t(raw[i] + share[i]);
}

// The common pass: out = in XOR key stream; in_digest over in, out_digest
// over out. `out` may be `in`.
void XorPass(const ChainState* chain, const std::uint8_t* in, std::uint8_t* out, std::uint32_t size,
             std::uint8_t in_digest[16], std::uint8_t out_digest[16]) {
    Md5State in_md5, out_md5;
    Md5Init(&in_md5);
    Md5Init(&out_md5);
    KeyStream keys = {chain->seed, size};

    // Byte i of the entry takes chain_key[(size - i) mod 16]; blocks are 64
    // bytes, a multiple of 16, so one 64-byte pattern serves every block.
    // (size - p wraps for short entries; 2^32 is a multiple of 16 as well.)
    std::uint8_t share[64];
    for (std::uint32_t p = 0; p < 64; ++p) share[p] = chain->chain_key[(size - p) % 16];

    const std::uint32_t blocks = size / 64;
    // Raw keys run two blocks ahead of the block being hashed, in two
    // alternating buffers, so that the bytes written during one block are
    // read only after they have long left the store queue.
    alignas(16) std::uint8_t raw[2][64];
    for (std::uint32_t j = 0; j < 2 && j < blocks; ++j) RawKeys(&keys, raw[j], 64);

    alignas(16) std::uint8_t in_block[64];
    alignas(16) std::uint8_t out_block[64];
    // Takes block j in, writes it out XORed with its keys and leaves both
    // forms in in_block and out_block for hashing.
    auto xor_block = [&](std::uint32_t j) {
        // Copy the incoming block first: `out` may overwrite it.
        std::memcpy(in_block, in + std::size_t(j) * 64, 64);
        ApplyKeys(in_block, out_block, raw[j & 1], share, 64);
        std::memcpy(out + std::size_t(j) * 64, out_block, 64);
    };
    // Two separate loops, not one with a branch inside: a compiler would
    // otherwise hoist the two identical compressions out of the branch and
    // run the key stream after them instead of along with them.
    const std::uint32_t ahead_blocks = blocks > 2 ? blocks - 2 : 0;
    for (std::uint32_t j = 0; j < ahead_blocks; ++j) {
        xor_block(j);
        // The keys of block j + 2 ride along the two compressions, into the
        // buffer block j has just used.
        std::uint8_t* const next = raw[j & 1];
        std::uint32_t s = keys.s;
        const std::uint32_t n = keys.n;
        auto key_step = [&](auto step) __attribute__((always_inline)) {
            constexpr int p = decltype(step)::value;
            next[p] = KeyStep(&s, n - std::uint32_t(p));
        };
        md5_block::CompressPair(in_md5.abcd, in_block, out_md5.abcd, out_block, key_step);
        keys.s = s;
        keys.n = n - 64;
    }
    for (std::uint32_t j = ahead_blocks; j < blocks; ++j) {
        xor_block(j);
        md5_block::CompressPair(in_md5.abcd, in_block, out_md5.abcd, out_block, [](auto) {});
    }
    in_md5.length += std::uint64_t(blocks) * 64;
    out_md5.length += std::uint64_t(blocks) * 64;

    const std::uint32_t done = blocks * 64;
    const std::uint32_t rest = size - done;
    if (rest > 0) {
        RawKeys(&keys, raw[0], rest);
        std::memcpy(in_block, in + done, rest);
        ApplyKeys(in_block, out_block, raw[0], share, rest);
        std::memcpy(out + done, out_block, rest);
        Md5UpdatePair(&in_md5, in_block, &out_md5, out_block, rest);
    }
    Md5Final(&in_md5, in_digest);
    Md5Final(&out_md5, out_digest);
}

}  // namespace

void ChainStart(ChainState* chain) {
    chain->seed = kInitialSeed;
    std::memset(chain->chain_key, 0, sizeof chain->chain_key);
}

void ChainAdvance(ChainState* chain, const std::uint8_t stored_digest[16]) {
    std::memcpy(chain->chain_key, stored_digest, 16);
    chain->seed = ((chain->seed * chain->seed) << 8) | stored_digest[0];
}

void DescrambleEntry(const ChainState* chain, const std::uint8_t* stored, std::uint8_t* out,
                     std::uint32_t size, std::uint8_t stored_digest[16],
                     std::uint8_t plain_digest[16]) {
    XorPass(chain, stored, out, size, stored_digest, plain_digest);
}

void ScrambleEntry(const ChainState* chain, const std::uint8_t* plain, std::uint8_t* out,
                   std::uint32_t size, std::uint8_t plain_digest[16],
                   std::uint8_t stored_digest[16]) {
    XorPass(chain, plain, out, size, plain_digest, stored_digest);
}
