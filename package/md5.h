// MD5 message digest (RFC 1321), as published.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

struct Md5State {
    std::uint32_t abcd[4];
    std::uint64_t length;       // bytes taken so far
    std::uint8_t pending[64];   // a block not yet complete
};

void Md5Init(Md5State* state);
void Md5Update(Md5State* state, const std::uint8_t* data, std::size_t size);
void Md5Final(Md5State* state, std::uint8_t digest[16]);

// Two independent streams fed the same number of bytes at once; their block
// compressions run interleaved, so two digests cost little more than one.
void Md5UpdatePair(Md5State* first, const std::uint8_t* first_data, Md5State* second,
                   const std::uint8_t* second_data, std::size_t size);

// The digest of one buffer, in MD5's standard output order.
void Md5OfBuffer(const std::uint8_t* data, std::size_t size, std::uint8_t digest[16]);

// 1 when all 16 bytes are equal, else 0.
int DigestsEqual(const std::uint8_t first[16], const std::uint8_t second[16]);

// Block-level pieces of MD5, shared with the entry scrambler: it runs its key
// stream inside the two interleaved compressions so that the three
// dependency chains (two digests and the key stream) overlap in the CPU.
namespace md5_block {

inline constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

inline constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// Message word used by step i.
constexpr int WordIndex(int i) {
    return i < 16 ? i : i < 32 ? (5 * i + 1) % 16 : i < 48 ? (3 * i + 5) % 16 : (7 * i) % 16;
}

[[gnu::always_inline]] inline std::uint32_t LoadWord(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// One of the 64 steps on the four chaining words v; the word a step updates
// rotates through v[0], v[3], v[2], v[1].
template <int I>
[[gnu::always_inline]] inline void Step(std::uint32_t v[4], const std::uint8_t* block) {
    constexpr int ia = (4 - I % 4) % 4, ib = (ia + 1) % 4, ic = (ia + 2) % 4, id = (ia + 3) % 4;
    constexpr int shift = kShift[I / 16][I % 4];
    const std::uint32_t b = v[ib], c = v[ic], d = v[id];
    std::uint32_t f;
    if constexpr (I < 16) {
        f = d ^ (b & (c ^ d));
    } else if constexpr (I < 32) {
        f = c ^ (d & (b ^ c));
    } else if constexpr (I < 48) {
        f = b ^ c ^ d;
    } else {
        f = c ^ (b | ~d);
    }
    const std::uint32_t sum = v[ia] + f + kSine[I] + LoadWord(block + 4 * WordIndex(I));
    v[ia] = b + ((sum << shift) | (sum >> (32 - shift)));
}

template <class Side, std::size_t... I>
[[gnu::always_inline]] inline void PairSteps(std::uint32_t* x, const std::uint8_t* x_block,
                                             std::uint32_t* y, const std::uint8_t* y_block,
                                             Side& side, std::index_sequence<I...>) {
    ((Step<int(I)>(x, x_block), Step<int(I)>(y, y_block),
      side(std::integral_constant<int, int(I)>{})),
     ...);
}

// Compresses one 64-byte block into each of two chaining values, their steps
// interleaved; after step i, side(std::integral_constant<int, i>) runs, so a
// caller can thread a third independent chain through the same body.
template <class Side>
[[gnu::always_inline]] inline void CompressPair(std::uint32_t x_abcd[4], const std::uint8_t* x_block,
                                                std::uint32_t y_abcd[4], const std::uint8_t* y_block,
                                                Side&& side) {
    std::uint32_t x[4] = {x_abcd[0], x_abcd[1], x_abcd[2], x_abcd[3]};
    std::uint32_t y[4] = {y_abcd[0], y_abcd[1], y_abcd[2], y_abcd[3]};
    PairSteps(x, x_block, y, y_block, side, std::make_index_sequence<64>{});
    for (int k = 0; k < 4; ++k) {
        x_abcd[k] += x[k];
        y_abcd[k] += y[k];
    }
}

}  // namespace md5_block
