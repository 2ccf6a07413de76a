// The device record and the device lists of the audio device inventory.
#pragma once
#include <cstdint>

// One MME wave device or one audio endpoint. All texts are terminated and
// cut to their width minus one unit.
struct DeviceRecord {
    std::int32_t device_index;
    char ansi_name[256];
    char16_t display_name[256];
    std::uint8_t endpoint_format[18];  // WAVEFORMATEX, little-endian fields
    std::uint8_t device_format[18];
    std::int32_t channel_count;
    std::uint32_t device_kind;  // kDeviceKindMme or kDeviceKindEndpoint
    std::uint32_t form_factor;
    char16_t device_description[128];
    char16_t interface_name[128];
    char device_path_ansi[512];
    char16_t device_path[512];
    char hardware_id[128];
    char16_t icon_path[512];
    char16_t endpoint_id[64];
};

constexpr std::uint32_t kDeviceKindMme = 1;
constexpr std::uint32_t kDeviceKindEndpoint = 4;

// A growable block of records with 1-based access. Null storage reads as
// an empty list.
struct DeviceList {
    std::uint8_t* storage;
    std::uint32_t count;
    std::uint32_t capacity;
    std::uint32_t element_size;
    std::uint32_t used_bytes;
    std::uint32_t free_bytes;
    std::uint32_t growth_step;
    std::uint32_t growth_count;
    std::uint32_t cursor;
    std::uint32_t last_index;
    std::uint8_t* scratch;
    std::uint32_t scratch_size;
};

constexpr std::uint32_t kListInitialBytes = 8192;
constexpr std::uint32_t kListGrowthStep = 32768;

// Allocates the first 8192 bytes of storage (null storage when that fails).
void ListCreate(DeviceList* list);
// Empties the list; storage and scratch stay allocated.
void ListReset(DeviceList* list);
// Copies the record to the end of the list, enlarging the block by a growth
// step when it is full. Gives the stored copy, or null when the list has no
// storage or a larger block cannot be had (the list then stays as it was).
DeviceRecord* ListAppend(DeviceList* list, const DeviceRecord* record);
// The record at a 1-based index, or null; a record given sets the cursor.
DeviceRecord* ListElement(DeviceList* list, std::uint32_t index);
// Audio endpoints before MME devices, each group by display name in code
// unit order. Records with equal keys keep no promised order.
void ListSort(DeviceList* list);
// Releases storage and scratch and zeroes every field.
void ListFree(DeviceList* list);
// The count readers may walk: 0 when the storage is null.
std::uint32_t ListCount(const DeviceList* list);

// Test hook: after `count` more block allocations by the lists, every
// further one fails; a negative count lifts the limit (the default).
void ListLimitAllocations(int count);
