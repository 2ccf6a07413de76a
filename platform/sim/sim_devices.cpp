#include <cstring>

#include "platform/devices.h"
#include "platform/sim/sim.h"

namespace {

std::string UpperGuid(const char* text) {
    std::string upper = text ? text : "";
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

}  // namespace

namespace plat {

Handle DeviceInterfaceOpen(const char* interface_class) {
    SimDevices& devices = Sim().devices;
    std::string key = UpperGuid(interface_class);
    auto it = devices.classes.find(key);
    if (it == devices.classes.end() || !it->second.present) return nullptr;
    SimDeviceInterface& device = it->second;
    ++device.open_attempts;
    if (!device.openable || device.open_attempts <= device.open_failures) return kInvalidHandle;
    Handle handle = SimNewHandle();
    devices.open[reinterpret_cast<std::uintptr_t>(handle)] = key;
    return handle;
}

int DeviceControl(Handle device, std::uint32_t code, const void* input, std::uint32_t input_size,
                  void* output, std::uint32_t output_size, std::uint32_t* returned) {
    *returned = 0;
    SimDevices& devices = Sim().devices;
    auto it = devices.open.find(reinterpret_cast<std::uintptr_t>(device));
    if (it == devices.open.end()) return 0;
    SimDeviceRequest request;
    request.interface_class = it->second;
    request.code = code;
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    if (bytes != nullptr) request.input.assign(bytes, bytes + input_size);
    devices.requests.push_back(request);
    std::vector<std::uint8_t> answer;
    if (!devices.answer || !devices.answer(request, &answer)) return 0;
    if (answer.size() > output_size) return 0;  // ERROR_INSUFFICIENT_BUFFER
    if (!answer.empty()) std::memcpy(output, answer.data(), answer.size());
    *returned = static_cast<std::uint32_t>(answer.size());
    return 1;
}

void DeviceClose(Handle device) {
    if (device == nullptr || device == kInvalidHandle) return;
    Sim().devices.open.erase(reinterpret_cast<std::uintptr_t>(device));
}

}  // namespace plat
