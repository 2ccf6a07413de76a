// The device inventory's start and end, its readers, and the survey
// that fills both device lists: per direction the audio endpoints first,
// then the MME wave devices, then the sort.
#include "devices/inventory.h"

#include <cstring>

#include "base/wide_text.h"
#include "devices/inventory_state.h"
#include "platform/audio.h"
#include "platform/system.h"

namespace {

// WAVEINCAPSW.szPname / WAVEOUTCAPSW.szPname hold 32 units.
constexpr std::uint32_t kProductNameUnits = 32;

void MmePass(int direction) {
    DeviceList* list = direction == kDirectionCapture ? &Inventory().capture_list : &Inventory().render_list;
    const char16_t* flow_name = direction == kDirectionCapture ? u"Capture" : u"Render";
    std::uint32_t n = plat::WaveDeviceCount(direction);
    for (std::uint32_t device = 0; device < n; ++device) {
        char16_t product_name[kProductNameUnits];
        std::uint16_t channels = 0;
        if (plat::WaveDeviceCaps(direction, device, product_name, kProductNameUnits, &channels) !=
            plat::kMmSysErrNoError)
            continue;
        DeviceRecord record;
        std::memset(&record, 0, sizeof record);
        record.device_index = static_cast<std::int32_t>(device);
        CopyWide(record.display_name, 256, product_name, 255);
        SetAnsiName(&record);
        record.channel_count = channels;
        record.device_kind = kDeviceKindMme;
        LookUpEndpointName(flow_name, &record, kWantHardwareId | kWantInterfaceName | kWantDevicePath);
        ListAppend(list, &record);
    }
}

}  // namespace

DeviceList* CaptureDeviceList() { return &Inventory().capture_list; }
DeviceList* RenderDeviceList() { return &Inventory().render_list; }
std::int32_t CaptureEndpointCount() { return Inventory().capture_endpoint_count; }
std::int32_t RenderEndpointCount() { return Inventory().render_endpoint_count; }

int InventoryStart() {
    InventoryState& state = Inventory();
    std::memset(&state, 0, sizeof state);
    state.com_start_result = plat::ComInitialize();
    state.endpoint_enumerator_available = plat::EndpointEnumeratorAvailable();
    ListCreate(&state.capture_list);
    ListCreate(&state.render_list);
    state.capture_endpoint_count = 0;
    state.render_endpoint_count = 0;
    EnumerateDevices();
    return 0;
}

int InventoryEnd() {
    InventoryState& state = Inventory();
    if (state.com_start_result == plat::kHresultOk || state.com_start_result == plat::kHresultFalse)
        plat::ComUninitialize();
    ListFree(&state.capture_list);
    ListFree(&state.render_list);
    std::memset(&state, 0, sizeof state);
    return 0;
}

int EnumerateDevices() {
    InventoryState& state = Inventory();
    ListReset(&state.capture_list);
    ListReset(&state.render_list);
    KeepLookupWalks(true);
    if (state.endpoint_enumerator_available) state.capture_endpoint_count = EnumerateEndpoints(kDirectionCapture);
    MmePass(kDirectionCapture);
    if (state.endpoint_enumerator_available) state.render_endpoint_count = EnumerateEndpoints(kDirectionRender);
    MmePass(kDirectionRender);
    KeepLookupWalks(false);
    ListSort(&state.capture_list);
    ListSort(&state.render_list);
    return 0;
}
