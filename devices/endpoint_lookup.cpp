// The endpoint-name lookup: finds a device's entry in the MMDevices
// registry (by name, by its endpoint id, or through an audio endpoint
// already listed) and copies the entry's stored properties into its record.
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/wide_text.h"
#include "devices/inventory.h"
#include "devices/inventory_state.h"
#include "devices/mmdevices.h"
#include "platform/audio.h"
#include "platform/registry.h"

namespace {

// Flow key path + "\" + key name (at most 999 units) + "\Properties".
constexpr std::size_t kPathUnits = 1100;
constexpr std::uint32_t kKeyNameUnits = 1000;

constexpr std::uint32_t kTextLimitBytes = 4096;
constexpr std::uint32_t kBytesLimit = 1024;

// Opens HKLM + path for reading, in the default view and then in the
// 64-bit view. True with *key when one worked.
bool OpenForRead(const char16_t* path, plat::Handle* key) {
    if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, path, plat::kKeyRead, key) == plat::kErrorSuccess)
        return true;
    return plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, path, plat::kKeyRead | plat::kKeyWow64_64Key,
                                      key) == plat::kErrorSuccess;
}

// The readers' queries on a key already open. Each reader opens its key
// in the same way, so the values of one key may be read through one
// handle with the same results.
int QueryText(plat::Handle key, const char16_t* name, char16_t* text, std::uint32_t units) {
    if (units == 0) return 0;
    text[0] = u'\0';
    std::uint32_t type = 0;
    std::uint32_t size = kTextLimitBytes;
    std::uint8_t data[kTextLimitBytes];
    if (plat::RegistryQueryValueW16(key, name, &type, data, &size) != plat::kErrorSuccess || type != plat::kRegSz)
        return 0;
    std::uint32_t stored = size / 2;
    for (std::uint32_t i = 0; i < stored; ++i) {
        auto unit = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        // A text that leaves no room for its terminator is too long.
        if (i == units - 1 && unit != u'\0') {
            text[0] = u'\0';
            return 0;
        }
        text[i] = unit;
        if (unit == u'\0') return 1;
    }
    text[stored] = u'\0';
    return 1;
}

int QueryNumber(plat::Handle key, const char16_t* name, std::uint32_t* value) {
    std::uint32_t type = 0;
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    if (plat::RegistryQueryValueW16(key, name, &type, data, &size) != plat::kErrorSuccess ||
        type != plat::kRegDword || size != 4)
        return 0;
    *value = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
             std::uint32_t(data[3]) << 24;
    return 1;
}

int QueryBytes(plat::Handle key, const char16_t* name, std::uint8_t* bytes, std::uint32_t* length) {
    *length = 0;
    std::uint32_t type = 0;
    std::uint32_t size = kBytesLimit;
    if (plat::RegistryQueryValueW16(key, name, &type, bytes, &size) != plat::kErrorSuccess) return kBytesQueryFailed;
    if (type != plat::kRegBinary) return kBytesNotBinary;
    *length = size;
    return 0;
}

void PropertiesPath(char16_t* path, const char16_t* flow_key_path, const char16_t* endpoint_key_name) {
    CopyWide(path, kPathUnits, flow_key_path);
    AppendWide(path, kPathUnits, u"\\");
    AppendWide(path, kPathUnits, endpoint_key_name);
    AppendWide(path, kPathUnits, u"\\Properties");
}

// The ANSI conversion of a UTF-16 text into a field (empty for empty
// text), its last byte always 0.
void ConvertToAnsi(const char16_t* text, char* field, std::uint32_t size) {
    field[0] = '\0';
    if (text[0] != u'\0') plat::WideToAnsi(text, field, size);
    field[size - 1] = '\0';
}

// 1 when the first L units of `candidate` equal the display name, L being
// the display name's length.
int CandidateMatches(const char16_t* candidate, const DeviceRecord* record) {
    return WideBeginsWith(candidate, record->display_name);
}

// An endpoint key that can be matched by name: its name and its two
// candidate texts, description + " (" + interface name + ")" and the same
// without the blank.
struct WalkedEntry {
    std::u16string key_name;
    std::u16string candidate_one;
    std::u16string candidate_two;
};

// What walking one flow key gave: -1 when it could not be opened in either
// view, kWalkOutOfMemory when memory ran out on the way (no entries then),
// else 0 with the matchable endpoint keys in registry order.
constexpr int kWalkOutOfMemory = -2;
struct FlowWalk {
    std::u16string flow_name;
    int result = 0;
    std::vector<WalkedEntry> entries;
};

// While the survey runs the registry does not change, so each flow is
// walked once and its entries kept for every device that looks them up.
bool keep_walks = false;
std::vector<FlowWalk>& KeptWalks() {
    static std::vector<FlowWalk> walks;
    return walks;
}

// Allocations of the walks left before one fails (tests); -1: no limit.
int walk_allocations_left = -1;

// Stands before each allocation a walk keeps: with the test limit used up
// it fails the way the allocator does.
void CountWalkAllocation() {
    if (walk_allocations_left == 0) throw std::bad_alloc();
    if (walk_allocations_left > 0) --walk_allocations_left;
}

// Reads D and I of one endpoint key; false when either is absent. The
// properties key is opened below the open flow key first: that is the key
// the text reader's first try reaches whenever that try can succeed, and
// the short path saves walking the whole tree again for every entry.
bool ReadCandidates(plat::Handle flow_key, const char16_t* flow_key_path, const char16_t* key_name,
                    WalkedEntry* entry) {
    // Allocated before the key is opened: running out of memory leaves no
    // key open.
    std::vector<char16_t> description(kRegistryTextUnits), interface_name(kRegistryTextUnits);
    char16_t path[kPathUnits];
    CopyWide(path, kPathUnits, key_name);
    AppendWide(path, kPathUnits, u"\\Properties");
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyExW16(flow_key, path, plat::kKeyRead, &key) != plat::kErrorSuccess) {
        PropertiesPath(path, flow_key_path, key_name);
        if (!OpenForRead(path, &key)) return false;
    }
    bool both = QueryText(key, kValueDescription, description.data(), kRegistryTextUnits) &&
                QueryText(key, kValueInterfaceName, interface_name.data(), kRegistryTextUnits);
    plat::RegistryCloseKey(key);
    if (!both) return false;
    entry->key_name = key_name;
    std::u16string d = description.data(), i = interface_name.data();
    entry->candidate_one = d + u" (" + i + u")";
    entry->candidate_two = d + u"(" + i + u")";
    return true;
}

// Walks the endpoint keys of the flow key: opened with KEY_READ, else in
// the 64-bit view; when the view opened first has no endpoint keys at all,
// the 64-bit view is tried once more. A flow key with endpoint keys is
// final, whether or not any will match.
void WalkFlow(const char16_t* flow_key_path, FlowWalk* walk) {
    walk->entries.clear();
    plat::Handle flow_key = nullptr;
    bool tried_64bit_view = false;
    if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_key_path, plat::kKeyRead, &flow_key) !=
        plat::kErrorSuccess) {
        tried_64bit_view = true;
        if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_key_path,
                                       plat::kKeyRead | plat::kKeyWow64_64Key, &flow_key) != plat::kErrorSuccess) {
            walk->result = -1;
            return;
        }
    }
    walk->result = 0;
    for (;;) {
        std::uint32_t index = 0;
        char16_t key_name[kKeyNameUnits];
        try {
            while (plat::RegistryEnumKeyW16(flow_key, index, key_name, kKeyNameUnits) == plat::kErrorSuccess) {
                WalkedEntry entry;
                if (ReadCandidates(flow_key, flow_key_path, key_name, &entry)) {
                    CountWalkAllocation();
                    walk->entries.push_back(std::move(entry));
                }
                ++index;
            }
        } catch (const std::bad_alloc&) {
            // An inventory that cannot remember the endpoint keys goes on
            // without them rather than ending the program.
            plat::RegistryCloseKey(flow_key);
            std::vector<WalkedEntry>().swap(walk->entries);
            walk->result = kWalkOutOfMemory;
            return;
        }
        plat::RegistryCloseKey(flow_key);
        if (index != 0 || tried_64bit_view) return;
        tried_64bit_view = true;
        if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_key_path,
                                       plat::kKeyRead | plat::kKeyWow64_64Key, &flow_key) != plat::kErrorSuccess)
            return;
    }
}

// The walk of a flow: kept from an earlier lookup of this survey, or made
// now into `fresh` and kept while the survey runs. A walk that cannot be
// kept for want of memory still serves this lookup.
const FlowWalk* WalkOf(const char16_t* flow_name, const char16_t* flow_key_path, FlowWalk* fresh) {
    if (keep_walks)
        for (const FlowWalk& kept : KeptWalks())
            if (kept.flow_name == flow_name) return &kept;
    WalkFlow(flow_key_path, fresh);
    if (!keep_walks || fresh->result == kWalkOutOfMemory) return fresh;
    try {
        CountWalkAllocation();
        fresh->flow_name = flow_name;
        KeptWalks().push_back(std::move(*fresh));
        return &KeptWalks().back();
    } catch (const std::bad_alloc&) {
        return fresh;  // push_back failing leaves the walk where it was
    }
}

}  // namespace

void KeepLookupWalks(bool keep) {
    keep_walks = keep;
    KeptWalks().clear();
}

void LimitLookupWalkAllocations(int count) { walk_allocations_left = count < 0 ? -1 : count; }

int ReadRegistryText(const char16_t* path, const char16_t* name, char16_t* text, std::uint32_t units) {
    if (units == 0) return 0;
    text[0] = u'\0';
    plat::Handle key = nullptr;
    if (!OpenForRead(path, &key)) return 0;
    int found = QueryText(key, name, text, units);
    plat::RegistryCloseKey(key);
    return found;
}

int ReadRegistryNumber(const char16_t* path, const char16_t* name, std::uint32_t* value) {
    plat::Handle key = nullptr;
    if (!OpenForRead(path, &key)) return 0;
    int found = QueryNumber(key, name, value);
    plat::RegistryCloseKey(key);
    return found;
}

int ReadRegistryBytes(const char16_t* path, const char16_t* name, std::uint8_t* bytes, std::uint32_t* length) {
    *length = 0;
    plat::Handle key = nullptr;
    if (!OpenForRead(path, &key)) return kBytesNoKey;
    int result = QueryBytes(key, name, bytes, length);
    plat::RegistryCloseKey(key);
    return result;
}

void ReadEndpointProperties(DeviceRecord* record, const char16_t* endpoint_key_name, const char16_t* flow_key_path,
                            unsigned wanted) {
    if (wanted & kWantStoreEndpointId) CopyWide(record->endpoint_id, 64, endpoint_key_name, 63);
    record->form_factor = 0;

    // Every value is read from the same properties key, opened once.
    char16_t path[kPathUnits];
    PropertiesPath(path, flow_key_path, endpoint_key_name);
    plat::Handle key = nullptr;
    // On the stack: nothing here can run out of memory with the key open.
    char16_t text[kRegistryTextUnits];
    if (!OpenForRead(path, &key)) return;

    if ((wanted & kWantDevicePath) && QueryText(key, kValueDevicePath, text, kRegistryTextUnits)) {
        const char16_t* from = WideFindFirst(text, u'\\');
        CopyWide(record->device_path, 512, from != nullptr ? from : u"", 511);
        ConvertToAnsi(record->device_path, record->device_path_ansi, sizeof record->device_path_ansi);
    }
    if (QueryText(key, kValueDescription, text, kRegistryTextUnits))
        CopyWide(record->device_description, 128, text, 127);
    if ((wanted & kWantInterfaceName) && QueryText(key, kValueInterfaceName, text, kRegistryTextUnits))
        CopyWide(record->interface_name, 128, text, 127);

    std::uint32_t form_factor = 0;
    if (QueryNumber(key, kValueFormFactor, &form_factor)) record->form_factor = form_factor;

    if (QueryText(key, kValueIconPath, text, kRegistryTextUnits)) CopyWide(record->icon_path, 512, text, 511);

    // A WAVEFORMATEX behind an 8-byte header; other lengths are ignored.
    std::uint8_t bytes[kBytesLimit];
    std::uint32_t length = 0;
    if (QueryBytes(key, kValueEndpointFormat, bytes, &length) == 0 && length >= 48 && length <= 255)
        std::memcpy(record->endpoint_format, bytes + 8, sizeof record->endpoint_format);
    if (QueryBytes(key, kValueDeviceFormat, bytes, &length) == 0 && length >= 48 && length <= 255)
        std::memcpy(record->device_format, bytes + 8, sizeof record->device_format);

    if ((wanted & kWantHardwareId) && QueryText(key, kValueHardwareId, text, kRegistryTextUnits)) {
        const char16_t* colon = WideFindLast(text, u':');
        ConvertToAnsi(colon != nullptr ? colon + 1 : text, record->hardware_id, sizeof record->hardware_id);
    }
    plat::RegistryCloseKey(key);
}

int LookUpEndpointName(const char16_t* flow_name, DeviceRecord* record, unsigned wanted) {
    char16_t flow_key_path[kPathUnits];
    CopyWide(flow_key_path, kPathUnits, kAudioKeyPath);
    AppendWide(flow_key_path, kPathUnits, u"\\");
    AppendWide(flow_key_path, kPathUnits, flow_name);

    // Direct route: the record already knows its entry.
    if ((wanted & kWantDirectRoute) && record->endpoint_id[0] != u'\0') {
        char16_t key_name[64];
        CopyWide(key_name, 64, record->endpoint_id, 63);
        ReadEndpointProperties(record, key_name, flow_key_path, wanted & ~kWantStoreEndpointId);
        return 0;
    }

    // Name route: the first matchable endpoint key in registry order. A walk
    // that ran out of memory has no entries: the fallback below still runs.
    FlowWalk fresh;
    const FlowWalk* walk = WalkOf(flow_name, flow_key_path, &fresh);
    if (walk->result == -1) return -1;
    for (const WalkedEntry& entry : walk->entries) {
        if (CandidateMatches(entry.candidate_one.c_str(), record) ||
            CandidateMatches(entry.candidate_two.c_str(), record)) {
            ReadEndpointProperties(record, entry.key_name.c_str(), flow_key_path, wanted | kWantStoreEndpointId);
            return 0;
        }
    }

    // Fallback: an audio endpoint of the same flow already in the list
    // whose friendly name begins with this display name.
    bool render = WideLength(flow_name) == 6 && WideBeginsWith(flow_name, u"Render");
    DeviceList* list = render ? &Inventory().render_list : &Inventory().capture_list;
    std::int32_t endpoints = render ? Inventory().render_endpoint_count : Inventory().capture_endpoint_count;
    for (std::int32_t j = 1; j <= endpoints; ++j) {
        const DeviceRecord* listed = ListElement(list, static_cast<std::uint32_t>(j));
        if (listed == nullptr || !CandidateMatches(listed->display_name, record)) continue;
        std::memcpy(record->hardware_id, listed->hardware_id, sizeof record->hardware_id);
        char16_t key_name[64];
        CopyWide(key_name, 64, listed->endpoint_id, 63);
        ReadEndpointProperties(record, key_name, flow_key_path, wanted | kWantStoreEndpointId);
        return 0;
    }
    return -2;
}
