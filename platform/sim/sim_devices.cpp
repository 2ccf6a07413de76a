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

void PutLe32(std::vector<std::uint8_t>* bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

// The DAZA driver as the scripted pins make it answer.
int AnswerDaza(const SimDeviceRequest& request, std::vector<std::uint8_t>* answer) {
    SimDazaPins& pins = Sim().devices.daza;
    if (request.code == 0x222040) {
        answer->assign(4, 0);
        PutLe32(answer, 0, 0x00010002u);  // some version number; unused
        return 1;
    }
    if (request.code != 0x222050 || request.input.size() != 16) return 0;
    std::uint32_t channel = GetLe32(request.input, 0);
    if (channel >= 8) return 0;
    for (std::size_t i = 4; i < 16; ++i)
        if (request.input[i] != 0) return 0;
    SimPinStep state;  // both states 0 before the first step
    std::uint32_t elapsed = request.tick_ms - pins.start_tick;
    for (const SimPinStep& step : pins.channels[channel])
        if (step.after_ms <= elapsed) state = step;
    if (state.fails) return 0;
    ++pins.status_answers;
    answer->assign(416, 0);
    // Noise around the two states: it differs at every answer.
    for (std::size_t offset = 0; offset + 4 <= 416; offset += 4)
        PutLe32(answer, offset, 0xA5000000u ^ (pins.status_answers * 0x10001u) ^ static_cast<std::uint32_t>(offset));
    PutLe32(answer, 4, channel);
    PutLe32(answer, 16, state.first);
    PutLe32(answer, 28, state.second);
    return 1;
}

}  // namespace

const char kSimDazaClass[] = "{3F594749-D668-404A-84EA-5026B8437752}";

void SimAddDazaDevice(const SimDazaPins& pins) {
    SimDevices& devices = Sim().devices;
    SimDeviceInterface& device = devices.classes[kSimDazaClass];
    device.present = true;
    device.openable = true;
    devices.daza = pins;
    devices.daza.start_tick = Sim().system.tick_ms;
    devices.daza.status_answers = 0;
    devices.answer = AnswerDaza;
}

SimDazaPins SimDazaAllChannels(const std::vector<SimPinStep>& steps) {
    SimDazaPins pins;
    for (auto& channel : pins.channels) channel = steps;
    return pins;
}

std::vector<SimDeviceRequest> SimDeviceRequestsOf(std::uint32_t code) {
    std::vector<SimDeviceRequest> found;
    for (const SimDeviceRequest& request : Sim().devices.requests)
        if (request.code == code) found.push_back(request);
    return found;
}

namespace plat {

Handle DeviceInterfaceOpen(const char* interface_class) {
    // A failure is CreateFileA's on the device path: the interface must be
    // there to be opened at all.
    static const int op = SimOpId("DeviceInterfaceOpen");
    bool fails = SimFaultHere(op);
    SimDevices& devices = Sim().devices;
    std::string key = UpperGuid(interface_class);
    auto it = devices.classes.find(key);
    if (it == devices.classes.end() || !it->second.present) return nullptr;
    SimDeviceInterface& device = it->second;
    ++device.open_attempts;
    if (fails || !device.openable) return kInvalidHandle;
    Handle handle = SimNewHandle();
    devices.open[reinterpret_cast<std::uintptr_t>(handle)] = key;
    return handle;
}

int DeviceControl(Handle device, std::uint32_t code, const void* input, std::uint32_t input_size,
                  void* output, std::uint32_t output_size, std::uint32_t* returned) {
    static const int op = SimOpId("DeviceControl");
    if (SimFaultHere(op)) {
        if (returned != nullptr) *returned = 0;
        return 0;
    }
    *returned = 0;
    SimDevices& devices = Sim().devices;
    auto it = devices.open.find(reinterpret_cast<std::uintptr_t>(device));
    if (it == devices.open.end()) return 0;
    SimDeviceRequest request;
    request.interface_class = it->second;
    request.code = code;
    request.tick_ms = Sim().system.tick_ms;
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
    static const int op = SimOpId("DeviceClose");
    SimCountHere(op);
    if (device == nullptr || device == kInvalidHandle) return;
    Sim().devices.open.erase(reinterpret_cast<std::uintptr_t>(device));
}

}  // namespace plat
