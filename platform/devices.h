// Device interfaces of the product's drivers and control requests to them.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// The first present device interface of the class (SetupDiGetClassDevsA
// with DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, index 0), opened with
// CreateFileA(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
// 0x800). Null when the class has no present interface (or cannot be
// enumerated); otherwise CreateFileA's result unchanged, so a device that
// exists but cannot be opened gives kInvalidHandle.
// `interface_class` is the braced GUID text, e.g.
// "{3F594749-D668-404A-84EA-5026B8437752}".
Handle DeviceInterfaceOpen(const char* interface_class);

// DeviceIoControl with a buffered request. Gives 1 on success with the
// answer's length in *returned.
int DeviceControl(Handle device, std::uint32_t code, const void* input, std::uint32_t input_size,
                  void* output, std::uint32_t output_size, std::uint32_t* returned);

// CloseHandle of a device handle (kInvalidHandle and null are ignored).
void DeviceClose(Handle device);

}  // namespace plat
