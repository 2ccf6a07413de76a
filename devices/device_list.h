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

void ListCreate(DeviceList* list);
void ListReset(DeviceList* list);
DeviceRecord* ListAppend(DeviceList* list, const DeviceRecord* record);
DeviceRecord* ListElement(DeviceList* list, std::uint32_t index);
void ListSort(DeviceList* list);
void ListFree(DeviceList* list);
// The count readers may walk: 0 when the storage is null.
std::uint32_t ListCount(const DeviceList* list);
