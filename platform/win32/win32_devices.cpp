#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>

#include "platform/devices.h"

namespace plat {

namespace {

bool ParseGuid(const char* text, GUID* guid) {
    unsigned long data1 = 0;
    unsigned int data2 = 0, data3 = 0, bytes[8] = {};
    if (std::sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3, &bytes[0],
                    &bytes[1], &bytes[2], &bytes[3], &bytes[4], &bytes[5], &bytes[6], &bytes[7]) != 11)
        return false;
    guid->Data1 = data1;
    guid->Data2 = static_cast<unsigned short>(data2);
    guid->Data3 = static_cast<unsigned short>(data3);
    for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<unsigned char>(bytes[i]);
    return true;
}

}  // namespace

Handle DeviceInterfaceOpen(const char* interface_class) {
    GUID guid;
    if (!ParseGuid(interface_class, &guid)) return nullptr;
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return nullptr;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    Handle result = nullptr;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data)) {
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr);
        auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(1, needed + sizeof(DWORD)));
        if (detail != nullptr) {
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr))
                result = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0x800, nullptr);
            else
                result = INVALID_HANDLE_VALUE;
            std::free(detail);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

int DeviceControl(Handle device, std::uint32_t code, const void* input, std::uint32_t input_size,
                  void* output, std::uint32_t output_size, std::uint32_t* returned) {
    DWORD count = 0;
    BOOL ok = DeviceIoControl(device, code, const_cast<void*>(input), input_size, output, output_size, &count,
                              nullptr);
    *returned = count;
    return ok ? 1 : 0;
}

void DeviceClose(Handle device) {
    if (device != nullptr && device != INVALID_HANDLE_VALUE) CloseHandle(device);
}

}  // namespace plat
