// Simulated device interfaces and the control requests they receive.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct SimDeviceInterface {
    bool present = false;
    bool openable = true;
    int open_attempts = 0;  // every open tried, for tests
};

struct SimDeviceRequest {
    std::string interface_class;
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::uint32_t tick_ms = 0;  // the simulated clock when it arrived
};

// The pin states of one DAZA channel from a moment on: `after_ms` counts
// from the moment the script was installed (SimAddDazaDevice) on the
// simulated clock. Before a channel's first step both states are 0.
struct SimPinStep {
    std::uint32_t after_ms = 0;
    std::uint32_t first = 0;   // state of the channel's first pin
    std::uint32_t second = 0;  // state of its second pin
    bool fails = false;        // the channel's status request fails instead
};

// The DAZA device's pins over simulated time: steps per channel in time order.
struct SimDazaPins {
    std::vector<SimPinStep> channels[8];
    std::uint32_t start_tick = 0;    // the clock when the script was installed
    std::uint32_t status_answers = 0;  // pin status records handed out so far
};

struct SimDevices {
    // By upper-case braced GUID text.
    std::map<std::string, SimDeviceInterface> classes;
    std::map<std::uintptr_t, std::string> open;  // handle -> class
    std::vector<SimDeviceRequest> requests;      // in the order received
    // Answers a request: gives 1 and fills the answer, or 0 for a failed
    // request. Without it every request fails.
    std::function<int(const SimDeviceRequest&, std::vector<std::uint8_t>* answer)> answer;
    SimDazaPins daza;
};

// The DAZA device interface class, upper case.
extern const char kSimDazaClass[];

// Makes the DAZA device present and installs an `answer` that plays the driver: 0x222040 answers
// 4 bytes; 0x222050 with a 16-byte request (channel 0 to 7, then 12 zero
// bytes) answers the channel's 416-byte pin status record, the two states
// at bytes 16 and 28 taken from `pins` at the current simulated time. The
// record's other bytes change with every answer, so only the two states
// compare equal between queries. Anything else fails. The script's clock
// starts now.
void SimAddDazaDevice(const SimDazaPins& pins);

// The same steps for all eight channels.
SimDazaPins SimDazaAllChannels(const std::vector<SimPinStep>& steps);

// The requests of one code, in order.
std::vector<SimDeviceRequest> SimDeviceRequestsOf(std::uint32_t code);
