#include "platform/audio.h"
#include "platform/sim/sim.h"

namespace {

// COM errors the enumerator's creation tells apart.
constexpr std::int32_t kRpcChangedMode = static_cast<std::int32_t>(0x80010106u);

void CopyUnits(char16_t* buffer, std::uint32_t units, const std::u16string& text) {
    if (buffer == nullptr || units == 0) return;
    std::size_t n = text.size() < units - 1 ? text.size() : units - 1;
    text.copy(buffer, n);
    buffer[n] = u'\0';
}

void Clear(char16_t* buffer, std::uint32_t units) {
    if (buffer != nullptr && units > 0) buffer[0] = u'\0';
}

std::vector<SimWaveDevice>& WaveDevices(int direction) {
    return direction == plat::kAudioCapture ? Sim().audio.wave_in : Sim().audio.wave_out;
}

std::vector<SimEndpoint>& Endpoints(int direction) {
    return direction == plat::kAudioCapture ? Sim().audio.capture_endpoints : Sim().audio.render_endpoints;
}

// CoCreateInstance needs COM on the thread; COM started in the other
// apartment mode (RPC_E_CHANGED_MODE) is started all the same.
bool ComStarted() {
    const SimSystem& system = Sim().system;
    return system.com_open > 0 || system.com_initialize_result == kRpcChangedMode;
}

}  // namespace

namespace plat {

int EndpointEnumeratorAvailable() {
    static const int op = SimOpId("EndpointEnumeratorAvailable");
    SimCountHere(op);
    return Sim().audio.create_event_ex ? 1 : 0;
}

std::uint32_t WaveDeviceCount(int direction) {
    static const int op = SimOpId("WaveDeviceCount");
    SimNoteCall("WaveDeviceCount");
    if (SimFaultHere(op)) {
        return 0;
    }
    return static_cast<std::uint32_t>(WaveDevices(direction).size());
}

std::uint32_t WaveDeviceCaps(int direction, std::uint32_t device, char16_t* name, std::uint32_t name_units,
                             std::uint16_t* channels) {
    static const int op = SimOpId("WaveDeviceCaps");
    if (SimFaultHere(op)) {
        if (name != nullptr && name_units > 0) name[0] = u'\0';
        if (channels != nullptr) *channels = 0;
        return kMmSysErrNoDriver;
    }
    Clear(name, name_units);
    *channels = 0;
    const std::vector<SimWaveDevice>& devices = WaveDevices(direction);
    if (device >= devices.size()) return kMmSysErrBadDeviceId;
    const SimWaveDevice& wave = devices[device];
    if (wave.caps_error != 0) return wave.caps_error;
    CopyUnits(name, name_units, wave.name.substr(0, 31));  // szPname holds 32 units
    *channels = wave.channels;
    return kMmSysErrNoError;
}

Handle AudioEndpointsOpen(int direction, std::uint32_t* count) {
    static const int op = SimOpId("AudioEndpointsOpen");
    if (SimFaultHere(op)) {
        if (count != nullptr) *count = 0;
        return kInvalidHandle;
    }
    *count = 0;
    SimAudio& audio = Sim().audio;
    if (!ComStarted() || audio.enumerator_fails || audio.collection_fails || audio.count_fails) return kInvalidHandle;
    Handle handle = SimNewHandle();
    SimCollection& collection = audio.collections[reinterpret_cast<std::uintptr_t>(handle)];
    collection.direction = direction;
    const std::vector<SimEndpoint>& endpoints = Endpoints(direction);
    for (std::size_t i = 0; i < endpoints.size(); ++i)
        if (endpoints[i].state == 1) collection.active.push_back(i);
    *count = static_cast<std::uint32_t>(collection.active.size());
    return handle;
}

int AudioEndpointRead(Handle collection, std::uint32_t position, char16_t* identifier,
                      std::uint32_t identifier_units, char16_t* friendly_name, std::uint32_t friendly_units,
                      char16_t* interface_name, std::uint32_t interface_units) {
    static const int op = SimOpId("AudioEndpointRead");
    if (SimFaultHere(op)) {
        for (auto [text, units] : {std::pair{identifier, identifier_units}, std::pair{friendly_name, friendly_units}, std::pair{interface_name, interface_units}})
            if (text != nullptr && units > 0) text[0] = u'\0';
        return kEndpointNoItem;
    }
    Clear(identifier, identifier_units);
    Clear(friendly_name, friendly_units);
    Clear(interface_name, interface_units);
    ++Sim().audio.endpoint_reads;
    auto found = Sim().audio.collections.find(reinterpret_cast<std::uintptr_t>(collection));
    if (found == Sim().audio.collections.end()) return kEndpointNoItem;
    const SimCollection* list = &found->second;
    if (position >= list->active.size()) return kEndpointNoItem;
    const SimEndpoint& endpoint = Endpoints(list->direction)[list->active[position]];
    if (endpoint.failure == SimEndpointFailure::kItem) return kEndpointNoItem;
    if (!endpoint.identifier_fails) CopyUnits(identifier, identifier_units, endpoint.identifier);
    if (endpoint.failure == SimEndpointFailure::kPropertyStore) return kEndpointNoPropertyStore;
    if (endpoint.failure == SimEndpointFailure::kFriendlyName) return kEndpointNoFriendlyName;
    CopyUnits(friendly_name, friendly_units, endpoint.friendly_name);
    if (endpoint.failure == SimEndpointFailure::kInterfaceName) return kEndpointNoInterfaceName;
    CopyUnits(interface_name, interface_units, endpoint.interface_name);
    return kEndpointReadOk;
}

void AudioEndpointsClose(Handle collection) {
    static const int op = SimOpId("AudioEndpointsClose");
    SimCountHere(op);
    Sim().audio.collections.erase(reinterpret_cast<std::uintptr_t>(collection));
}

std::uint32_t WideToAnsi(const char16_t* text, char* buffer, std::uint32_t size) {
    static const int op = SimOpId("WideToAnsi");
    if (SimFaultHere(op)) {
        return 0;
    }
    if (text == nullptr) return 0;
    std::string ansi = SimUtf16ToAnsi(text);
    if (ansi.size() + 1 > size) {
        // Windows fills what fits and then reports the short buffer.
        if (size > 0) ansi.copy(buffer, size);
        return 0;
    }
    ansi.copy(buffer, ansi.size());
    buffer[ansi.size()] = '\0';
    return static_cast<std::uint32_t>(ansi.size() + 1);
}

}  // namespace plat
