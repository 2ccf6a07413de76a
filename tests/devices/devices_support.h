// Machines for the inventory scenarios: wave devices, audio endpoints and
// their entries in the simulated MMDevices registry.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "devices/device_list.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"

namespace inv_test {

inline const std::string kAudioKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
// The same key in the 32-bit view of a 64-bit machine.
inline const std::string kAudioKeyWow = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";

inline const std::string kDescription = "{a45c254e-df1c-4efd-8020-67d146a850e0},2";
inline const std::string kInterfaceName = "{b3f8fa53-0004-438e-9003-51a46e139bfc},6";
inline const std::string kDevicePath = "{233164c8-1b2c-4c7d-bc68-b671687a2567},1";
inline const std::string kFormFactor = "{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},0";
inline const std::string kIconPath = "{259abffc-50a7-47ce-af08-68c9a7d73366},12";
inline const std::string kEndpointFormat = "{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0";
inline const std::string kDeviceFormat = "{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0";
inline const std::string kHardwareId = "{83da6326-97a6-4088-9453-a1923f573b29},3";

// A stored format value: an 8-byte header, then a WAVEFORMATEX (PCM with
// the given numbers), padded to `total` bytes.
inline std::vector<std::uint8_t> FormatValue(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                             std::size_t total = 48) {
    std::vector<std::uint8_t> bytes(total, 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        if (at + 1 < bytes.size()) {
            bytes[at] = std::uint8_t(v);
            bytes[at + 1] = std::uint8_t(v >> 8);
        }
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    put32(0, 0x41);  // header bytes the inventory skips
    put32(4, 0x42);
    std::uint16_t align = std::uint16_t(channels * bits / 8);
    put16(8, 1);  // WAVE_FORMAT_PCM
    put16(10, channels);
    put32(12, rate);
    put32(16, rate * align);
    put16(20, align);
    put16(22, bits);
    put16(24, 0);
    return bytes;
}

// The eighteen bytes the record takes from such a value.
inline std::vector<std::uint8_t> FormatField(const std::uint8_t* field) { return {field, field + 18}; }

struct Entry {
    std::u16string description;
    std::u16string interface_name;
    std::u16string device_path;
    std::u16string icon_path;
    std::u16string hardware_id;
    bool has_form_factor = false;
    std::uint32_t form_factor = 0;
    std::vector<std::uint8_t> endpoint_format;
    std::vector<std::uint8_t> device_format;
};

// The properties key of an endpoint entry (physical path).
inline std::string PropertiesKey(const std::string& audio_key, const std::string& flow, const std::string& guid) {
    return audio_key + "\\" + flow + "\\" + guid + "\\Properties";
}

// Writes an endpoint entry; empty texts and formats are left out.
inline void PutEntry(const std::string& audio_key, const std::string& flow, const std::string& guid,
                     const Entry& entry) {
    std::string key = PropertiesKey(audio_key, flow, guid);
    SimRegPutKey(plat::kHkeyLocalMachine, key);
    auto text = [&](const std::string& name, const std::u16string& value) {
        if (!value.empty()) SimRegPutText16(plat::kHkeyLocalMachine, key, name, value);
    };
    text(kDescription, entry.description);
    text(kInterfaceName, entry.interface_name);
    text(kDevicePath, entry.device_path);
    text(kIconPath, entry.icon_path);
    text(kHardwareId, entry.hardware_id);
    if (entry.has_form_factor) SimRegPutDword(plat::kHkeyLocalMachine, key, kFormFactor, entry.form_factor);
    if (!entry.endpoint_format.empty())
        SimRegPutValue(plat::kHkeyLocalMachine, key, kEndpointFormat, plat::kRegBinary, entry.endpoint_format);
    if (!entry.device_format.empty())
        SimRegPutValue(plat::kHkeyLocalMachine, key, kDeviceFormat, plat::kRegBinary, entry.device_format);
}

// An entry with just the two texts the name route compares.
inline void PutNamedEntry(const std::string& audio_key, const std::string& flow, const std::string& guid,
                          const std::u16string& description, const std::u16string& interface_name) {
    Entry entry;
    entry.description = description;
    entry.interface_name = interface_name;
    PutEntry(audio_key, flow, guid, entry);
}

inline SimEndpoint Endpoint(const std::u16string& guid, const std::u16string& friendly_name,
                            const std::u16string& interface_name) {
    SimEndpoint endpoint;
    endpoint.identifier = u"{0.0.0.00000000}." + guid;
    endpoint.friendly_name = friendly_name;
    endpoint.interface_name = interface_name;
    return endpoint;
}

inline SimWaveDevice Wave(const std::u16string& name, std::uint16_t channels = 2) {
    SimWaveDevice wave;
    wave.name = name;
    wave.channels = channels;
    return wave;
}

inline DeviceRecord MmeRecord(const std::u16string& name) {
    DeviceRecord record;
    std::memset(&record, 0, sizeof record);
    name.copy(record.display_name, name.size() < 255 ? name.size() : 255);
    record.device_kind = kDeviceKindMme;
    return record;
}

inline std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace inv_test
