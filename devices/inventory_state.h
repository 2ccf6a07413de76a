// The inventory's one module state, shared by its passes (not by readers,
// who use devices/inventory.h).
#pragma once
#include <cstdint>

#include "devices/device_list.h"

struct InventoryState {
    DeviceList capture_list;
    DeviceList render_list;
    std::int32_t capture_endpoint_count;
    std::int32_t render_endpoint_count;
    int endpoint_enumerator_available;  // Kernel32 exports "CreateEventExA"
    std::int32_t com_start_result;      // what CoInitialize gave at start
};

InventoryState& Inventory();

// ANSI name := the display name in the ANSI code page (empty for an empty
// name), its last byte always 0.
void SetAnsiName(DeviceRecord* record);

// While on, the endpoint-name lookup walks each flow key of the MMDevices
// registry once and keeps what it found for later lookups; switching it
// on or off forgets what was kept. The survey keeps walks while it runs,
// since nothing writes the registry meanwhile.
void KeepLookupWalks(bool keep);
// Tests: the walks may make `count` more allocations before one fails as on
// a machine out of memory; -1 lifts the limit.
void LimitLookupWalkAllocations(int count);
