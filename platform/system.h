// System services the logic shares: the clock, the Windows folder.
// (Version, WOW64, mutexes and threads join this header with the shell.)
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// Sleep. On the sim it advances the simulated clock at once.
void SleepMs(std::uint32_t milliseconds);

// GetTickCount: milliseconds since start, wrapping at 2^32.
std::uint32_t TickCount();

// GetWindowsDirectoryA: the length copied (without NUL), or the size
// needed when the buffer is too small, or 0 on failure.
std::uint32_t WindowsFolder(char* buffer, std::uint32_t size);

// CoInitialize(NULL) on the calling thread: S_OK 0, S_FALSE 1, or a
// failure code. CoUninitialize undoes one successful call.
std::int32_t ComInitialize();
void ComUninitialize();

}  // namespace plat
