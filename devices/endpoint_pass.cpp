// The endpoint pass: one audio-endpoint record per active endpoint of a
// direction, named from its property store and completed from its entry in
// the MMDevices registry.
#include <cstring>

#include "base/wide_text.h"
#include "devices/inventory.h"
#include "devices/inventory_state.h"
#include "platform/audio.h"

namespace {

// Room for a whole endpoint identifier ("{0.0.1.00000000}.{guid}").
constexpr std::uint32_t kIdentifierUnits = 1024;

// Channels of a WAVEFORMATEX: the u16 after the format tag.
std::int32_t FormatChannels(const std::uint8_t* format) { return format[2] | (format[3] << 8); }

}  // namespace

int EnumerateEndpoints(int direction) {
    DeviceList* list = direction == kDirectionCapture ? &Inventory().capture_list : &Inventory().render_list;
    std::uint32_t count = 0;
    plat::Handle collection = plat::AudioEndpointsOpen(direction, &count);
    if (collection == plat::kInvalidHandle) return 0;
    int added = 0;
    DeviceRecord record;
    for (std::uint32_t position = 0; position < count; ++position) {
        if (ReadEndpoint(collection, position, &record, direction) != 0) continue;
        ListAppend(list, &record);
        ++added;
    }
    plat::AudioEndpointsClose(collection);
    return added;
}

int ReadEndpoint(plat::Handle collection, std::uint32_t position, DeviceRecord* record, int direction) {
    char16_t identifier[kIdentifierUnits];
    char16_t friendly_name[256];
    char16_t interface_name[128];
    int step = plat::AudioEndpointRead(collection, position, identifier, kIdentifierUnits, friendly_name, 256,
                                       interface_name, 128);
    if (step == plat::kEndpointNoItem) return -1;
    std::memset(record, 0, sizeof *record);
    // The endpoint id is the braced GUID that ends the identifier.
    if (const char16_t* brace = WideFindLast(identifier, u'{'); brace != nullptr && WideLength(brace) > 16)
        CopyWide(record->endpoint_id, 64, brace, 63);
    if (step == plat::kEndpointNoPropertyStore) return -3;
    if (step == plat::kEndpointNoFriendlyName) return -4;
    CopyWide(record->display_name, 256, friendly_name, 255);
    SetAnsiName(record);
    if (step == plat::kEndpointNoInterfaceName) return -5;
    CopyWide(record->interface_name, 128, interface_name, 127);
    LookUpEndpointName(direction == kDirectionCapture ? u"Capture" : u"Render", record,
                       kWantHardwareId | kWantDevicePath | kWantDirectRoute);
    record->channel_count = FormatChannels(record->device_format);
    record->device_kind = kDeviceKindEndpoint;
    record->device_index = static_cast<std::int32_t>(position);
    record->ansi_name[sizeof record->ansi_name - 1] = '\0';
    return 0;
}
