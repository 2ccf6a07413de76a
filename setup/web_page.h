// The two web addresses the window opens, kept scrambled in the program's
// data, and their opening with the shell.
#pragma once
#include <cstddef>
#include <cstdint>

// Keystream seed of the stored addresses.
constexpr std::int32_t kWebAddressSeed = 0x2B6D4F19;

// Opened by a click into the picture, and after a completed install. Each
// is scrambled with its terminating zero byte included.
extern const std::uint8_t kProductPageAddress[24];
extern const std::uint8_t kWelcomePageAddress[46];

constexpr std::size_t kWebPageBufferSize = 512;

// XORs `length` bytes in place with the keystream of the seed: scrambles
// plain bytes and descrambles scrambled ones.
void ScrambleWebAddress(std::uint8_t* bytes, std::size_t length, std::int32_t seed);

// Descrambles the stored address into a buffer, has the desktop shell open
// it as the logged-on user (verb "open"; nothing opens where there is no
// desktop shell) and wipes the buffer.
void OpenWebPage(const std::uint8_t* stored, std::size_t length);
// The same with the caller's buffer of kWebPageBufferSize bytes, which is
// all zero afterwards.
void OpenWebPageWith(char* buffer, const std::uint8_t* stored, std::size_t length);
