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
    int open_failures = 0;  // this many opens fail before one works
    int open_attempts = 0;  // every open tried, for tests
};

struct SimDeviceRequest {
    std::string interface_class;
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
};

struct SimDevices {
    // By upper-case braced GUID text.
    std::map<std::string, SimDeviceInterface> classes;
    std::map<std::uintptr_t, std::string> open;  // handle -> class
    std::vector<SimDeviceRequest> requests;      // in the order received
    // Answers a request: gives 1 and fills the answer, or 0 for a failed
    // request. Without it every request fails.
    std::function<int(const SimDeviceRequest&, std::vector<std::uint8_t>* answer)> answer;
};
