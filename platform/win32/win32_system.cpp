#include <windows.h>
#include <objbase.h>

#include "platform/system.h"

namespace plat {

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t TickCount() { return GetTickCount(); }

std::uint32_t WindowsFolder(char* buffer, std::uint32_t size) { return GetWindowsDirectoryA(buffer, size); }

std::int32_t ComInitialize() { return CoInitialize(nullptr); }

void ComUninitialize() { CoUninitialize(); }

}  // namespace plat
