// The audio device inventory: built once at start-up, read by the probe.
#pragma once
#include <cstdint>

#include "devices/device_list.h"
#include "platform/types.h"

// Builds both device lists. Always gives 0.
int InventoryStart();
// Ends COM for the module and frees both lists. Always gives 0.
int InventoryEnd();

DeviceList* CaptureDeviceList();
DeviceList* RenderDeviceList();

// ---- The passes that fill the lists -----------------------------------------

// Directions, with the values the endpoint enumerator uses.
constexpr int kDirectionRender = 0;
constexpr int kDirectionCapture = 1;

// How many audio-endpoint records each endpoint pass added (0 until set).
std::int32_t CaptureEndpointCount();
std::int32_t RenderEndpointCount();

// Resets both lists, runs for capture and then render the endpoint pass
// (when the endpoint enumerator is available) and the MME pass, then sorts
// both lists. Gives 0.
int EnumerateDevices();

// One record per active endpoint of the direction appended to its list.
// Gives the number appended (0 when the enumerator, the collection or its
// count cannot be had).
int EnumerateEndpoints(int direction);

// Fills the record from the endpoint at the position. 0 when it is to be
// listed; -1 no endpoint at the position, -3 no property store, -4 no
// friendly name, -5 no interface name.
int ReadEndpoint(plat::Handle collection, std::uint32_t position, DeviceRecord* record, int direction);

// ---- The endpoint-name lookup in the MMDevices registry ---------------------

// Wanted items of the lookup.
constexpr unsigned kWantHardwareId = 1;
constexpr unsigned kWantInterfaceName = 2;
constexpr unsigned kWantDevicePath = 4;
constexpr unsigned kWantStoreEndpointId = 8;
constexpr unsigned kWantDirectRoute = 16;

// Finds the record's entry under the flow ("Capture" or "Render") and reads
// it into the record. 0 found and read; -1 the flow key cannot be opened;
// -2 no entry and no listed endpoint matched.
int LookUpEndpointName(const char16_t* flow_name, DeviceRecord* record, unsigned wanted);

// Copies the stored properties of one endpoint entry into the record.
void ReadEndpointProperties(DeviceRecord* record, const char16_t* endpoint_key_name, const char16_t* flow_key_path,
                            unsigned wanted);

// Registry readers under HKEY_LOCAL_MACHINE: each opens the path with
// KEY_READ and, when that fails, with KEY_READ | KEY_WOW64_64KEY, and
// closes it again.
// Text: 1 with the REG_SZ text (at most 4096 bytes) in `text`, which holds
// `units` units (kRegistryTextUnits takes any such text); 0 with `text`
// empty when absent, of another type, or too long for either limit.
constexpr std::uint32_t kRegistryTextUnits = 2049;
int ReadRegistryText(const char16_t* path, const char16_t* name, char16_t* text, std::uint32_t units);
// Number: 1 with a REG_DWORD's value; 0 otherwise.
int ReadRegistryNumber(const char16_t* path, const char16_t* name, std::uint32_t* value);
// Bytes: 0 with a REG_BINARY's bytes (at most 1024) and *length; or
// kBytesNoKey, kBytesNotBinary, kBytesQueryFailed.
constexpr int kBytesNoKey = -1;
constexpr int kBytesNotBinary = -2;
constexpr int kBytesQueryFailed = -3;
int ReadRegistryBytes(const char16_t* path, const char16_t* name, std::uint8_t* bytes, std::uint32_t* length);
