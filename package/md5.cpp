// MD5 (RFC 1321): the single-stream digest and the paired update that runs
// two streams' block compressions interleaved.
#include "package/md5.h"

#include <cstring>

namespace {

template <std::size_t... I>
[[gnu::always_inline]] inline void SingleSteps(std::uint32_t* v, const std::uint8_t* block,
                                               std::index_sequence<I...>) {
    (md5_block::Step<int(I)>(v, block), ...);
}

void Compress(std::uint32_t abcd[4], const std::uint8_t* block) {
    std::uint32_t v[4] = {abcd[0], abcd[1], abcd[2], abcd[3]};
    SingleSteps(v, block, std::make_index_sequence<64>{});
    for (int k = 0; k < 4; ++k) abcd[k] += v[k];
}

// Tops up a partly filled pending block from the data; compresses it when it
// becomes full. Advances data and size past what it took.
void FillPending(Md5State* state, const std::uint8_t** data, std::size_t* size) {
    const std::size_t held = std::size_t(state->length % 64);
    if (held == 0 || *size == 0) return;
    std::size_t take = 64 - held;
    if (take > *size) take = *size;
    std::memcpy(state->pending + held, *data, take);
    state->length += take;
    *data += take;
    *size -= take;
    if (held + take == 64) Compress(state->abcd, state->pending);
}

}  // namespace

void Md5Init(Md5State* state) {
    state->abcd[0] = 0x67452301;
    state->abcd[1] = 0xefcdab89;
    state->abcd[2] = 0x98badcfe;
    state->abcd[3] = 0x10325476;
    state->length = 0;
    std::memset(state->pending, 0, sizeof state->pending);
}

void Md5Update(Md5State* state, const std::uint8_t* data, std::size_t size) {
    FillPending(state, &data, &size);
    if (size == 0) return;
    // The pending block is empty here: whole blocks go straight from the data.
    while (size >= 64) {
        Compress(state->abcd, data);
        state->length += 64;
        data += 64;
        size -= 64;
    }
    if (size > 0) {
        std::memcpy(state->pending, data, size);
        state->length += size;
    }
}

void Md5UpdatePair(Md5State* first, const std::uint8_t* first_data, Md5State* second,
                   const std::uint8_t* second_data, std::size_t size) {
    // Each stream first completes its own pending block; from then on both
    // take whole blocks from their data, possibly at different offsets when
    // they held different counts, and as many block pairs as both have run
    // interleaved. (A stream whose pending block stays incomplete has no data
    // left, so it takes no pair.) What is left over goes through the single
    // update.
    std::size_t first_size = size, second_size = size;
    FillPending(first, &first_data, &first_size);
    FillPending(second, &second_data, &second_size);
    std::size_t pairs = (first_size < second_size ? first_size : second_size) / 64;
    for (; pairs > 0; --pairs) {
        md5_block::CompressPair(first->abcd, first_data, second->abcd, second_data, [](auto) {});
        first->length += 64;
        second->length += 64;
        first_data += 64;
        second_data += 64;
        first_size -= 64;
        second_size -= 64;
    }
    Md5Update(first, first_data, first_size);
    Md5Update(second, second_data, second_size);
}

void Md5Final(Md5State* state, std::uint8_t digest[16]) {
    const std::uint64_t bits = state->length * 8;
    std::uint8_t tail[72] = {0x80};
    // Pad to 56 bytes past a block boundary, then the bit count, low byte first.
    const std::size_t held = std::size_t(state->length % 64);
    const std::size_t pad = held < 56 ? 56 - held : 120 - held;
    for (int k = 0; k < 8; ++k) tail[pad + k] = std::uint8_t(bits >> (8 * k));
    Md5Update(state, tail, pad + 8);
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j < 4; ++j) digest[4 * k + j] = std::uint8_t(state->abcd[k] >> (8 * j));
    }
}

void Md5OfBuffer(const std::uint8_t* data, std::size_t size, std::uint8_t digest[16]) {
    Md5State state;
    Md5Init(&state);
    Md5Update(&state, data, size);
    Md5Final(&state, digest);
}

int DigestsEqual(const std::uint8_t first[16], const std::uint8_t second[16]) {
    return std::memcmp(first, second, 16) == 0 ? 1 : 0;
}
