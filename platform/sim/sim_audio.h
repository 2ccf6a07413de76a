// Simulated audio devices: the MME wave devices and the audio endpoints of
// each direction, and whether Kernel32 exports "CreateEventExA" (the test
// for the endpoint enumerator). The COM start result lives with the system
// (SimSystem::com_initialize_result).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SimWaveDevice {
    // The product name as the driver reports it; the capabilities carry at
    // most its first 31 units.
    std::u16string name;
    std::uint16_t channels = 2;
    // Non-zero: the capabilities call answers this MMSYSERR code for the
    // device number (the number still counts in the device count).
    std::uint32_t caps_error = 0;
};

// The step at which reading an endpoint fails.
enum class SimEndpointFailure { kNone, kItem, kPropertyStore, kFriendlyName, kInterfaceName };

struct SimEndpoint {
    // As IMMDevice::GetId gives it, e.g. "{0.0.1.00000000}.{guid}".
    std::u16string identifier;
    bool identifier_fails = false;  // GetId fails
    std::u16string friendly_name;
    std::u16string interface_name;
    // DEVICE_STATE_*: only active (1) endpoints are listed.
    std::uint32_t state = 1;
    SimEndpointFailure failure = SimEndpointFailure::kNone;
};

// An open endpoint collection: the active endpoints of one direction as
// they were when it was opened.
struct SimCollection {
    int direction = 0;
    std::vector<std::size_t> active;  // indices of the active endpoints
};

struct SimAudio {
    bool create_event_ex = true;  // Kernel32 exports "CreateEventExA"
    std::vector<SimWaveDevice> wave_in;   // by device number
    std::vector<SimWaveDevice> wave_out;
    std::vector<SimEndpoint> capture_endpoints;  // in collection order
    std::vector<SimEndpoint> render_endpoints;
    // Forced failures of the enumerator: creating it, or giving the
    // collection or its count.
    bool enumerator_fails = false;
    bool collection_fails = false;
    bool count_fails = false;
    // Collections opened and not yet closed, by handle: the machine owns
    // them, so a process that dies holding one leaks nothing, and tests see
    // that everything taken is released.
    std::map<std::uintptr_t, SimCollection> collections;
    int endpoint_reads = 0;  // every AudioEndpointRead
};
