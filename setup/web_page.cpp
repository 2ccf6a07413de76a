#include "setup/web_page.h"

#include <cstring>

#include "platform/shell.h"

const std::uint8_t kProductPageAddress[24] = {
    0x2F, 0x8A, 0x0D, 0xFE, 0x85, 0xC8, 0x97, 0xE2, 0x97, 0x20, 0x9E, 0x6A,
    0xBC, 0x2B, 0x18, 0x3F, 0x6B, 0xF0, 0x67, 0xD8, 0x0F, 0xE3, 0xFF, 0x64,
};

const std::uint8_t kWelcomePageAddress[46] = {
    0x8D, 0x19, 0xB1, 0xD1, 0xED, 0xA8, 0x70, 0xC5, 0xD6, 0xF6, 0x65, 0x74, 0x91, 0x6F, 0xB6, 0x79,
    0xC1, 0x6D, 0xE2, 0xC4, 0x63, 0x43, 0xA7, 0x6E, 0xFC, 0xEE, 0xED, 0xA1, 0xA8, 0x7E, 0xF2, 0x01,
    0x91, 0x07, 0x61, 0x70, 0x22, 0x52, 0x05, 0xFD, 0x9B, 0x3B, 0x47, 0xBA, 0x0D, 0xC9,
};

void ScrambleWebAddress(std::uint8_t* bytes, std::size_t length, std::int32_t seed) {
    // k := ((k + n) * (k + n)) >> 8 in signed 32-bit arithmetic, keeping the
    // low 32 bits of the product, with n running from length down to 1.
    std::int32_t k = seed;
    for (std::size_t i = 0; i < length; ++i) {
        auto n = static_cast<std::uint32_t>(length - i);
        std::uint32_t sum = static_cast<std::uint32_t>(k) + n;
        auto product = static_cast<std::int32_t>(sum * sum);
        k = product >> 8;
        bytes[i] ^= static_cast<std::uint8_t>(k & 0xFF);
    }
}

void OpenWebPageWith(char* buffer, const std::uint8_t* stored, std::size_t length) {
    // The buffer starts all zero and the last byte stays zero, so even
    // stored bytes without their terminator open a terminated text.
    std::memset(buffer, 0, kWebPageBufferSize);
    if (length > kWebPageBufferSize - 1) length = kWebPageBufferSize - 1;
    std::memcpy(buffer, stored, length);
    ScrambleWebAddress(reinterpret_cast<std::uint8_t*>(buffer), length, kWebAddressSeed);
    buffer[kWebPageBufferSize - 1] = '\0';
    // As the user who started the program, or not at all: opened from this
    // process, the https handler a normal user registered under HKCU would
    // run as administrator. Where there is no desktop shell to ask, the
    // page stays closed; the page is a courtesy, the install does not
    // depend on it.
    plat::ShellOpenAsUser(buffer);
    // Wiped through a volatile pointer, so that the compiler keeps the
    // stores although the buffer is not read again.
    volatile char* wipe = buffer;
    for (std::size_t i = 0; i < kWebPageBufferSize; ++i) wipe[i] = 0;
}

void OpenWebPage(const std::uint8_t* stored, std::size_t length) {
    char buffer[kWebPageBufferSize];
    OpenWebPageWith(buffer, stored, length);
}
