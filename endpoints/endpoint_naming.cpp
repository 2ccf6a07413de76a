// Endpoint naming: the DAZA driver's playback and recording endpoints get
// the product's names and icons by two values written into each endpoint's
// property store under HKLM\...\MMDevices\Audio\<flow>\<endpoint>\Properties.
#include <cstdint>

#include "base/wide_text.h"
#include "devices/mmdevices.h"
#include "endpoints/endpoints.h"
#include "platform/registry.h"

namespace {

constexpr std::size_t kPathUnits = 1024;      // registry paths, the driver file
constexpr std::size_t kNameUnits = 512;       // enumerated key names
constexpr std::size_t kTextUnits = 512;       // values read
constexpr std::size_t kImagePathUnits = 1024;  // the service's ImagePath
constexpr std::size_t kLongestKeyName = 254;   // longer names are skipped
constexpr std::uint32_t kMostValueBytes = 4096;

constexpr char16_t kDazaHardwareId[] = u"ZTMixolyteDAZA";
// The driver's service key: the hardware id with "MME" after it.
constexpr char16_t kDazaServiceKey[] = u"SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME";
constexpr char16_t kMediaClassKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
constexpr char16_t kWindowsFolderPrefix[] = u"%windir%\\";
constexpr char16_t kClassDriverPrefix[] = u"%windir%\\system32\\Drivers\\";


struct ChannelRow {
    const char16_t* flow;
    int channel;
    const char16_t* name;
    int icon_id;
};

constexpr ChannelRow kChannelTable[] = {
    {u"Render", 1, u"Mixolyte In 1", 201},        {u"Render", 2, u"Mixolyte In 2", 202},
    {u"Render", 3, u"Mixolyte In 3", 203},        {u"Render", 4, u"Mixolyte In 4", 204},
    {u"Render", 5, u"Mixolyte In 5", 205},        {u"Render", 6, u"Mixolyte Input", 206},
    {u"Render", 7, u"Mixolyte AUX Input", 207},   {u"Render", 8, u"Mixolyte DAZA3 Input", 208},
    {u"Capture", 1, u"Mixolyte Out A1", 301},     {u"Capture", 2, u"Mixolyte Out A2", 302},
    {u"Capture", 3, u"Mixolyte Out A3", 303},     {u"Capture", 4, u"Mixolyte Out A4", 304},
    {u"Capture", 5, u"Mixolyte Out A5", 305},     {u"Capture", 6, u"Mixolyte Out B1", 306},
    {u"Capture", 7, u"Mixolyte Out B2", 307},     {u"Capture", 8, u"Mixolyte Out B3", 308},
};

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// The part of a text after its last colon; the whole text without one.
const char16_t* AfterLastColon(const char16_t* text) {
    const char16_t* tail = text;
    for (const char16_t* p = text; *p; ++p)
        if (*p == u':') tail = p + 1;
    return tail;
}

// One pass over the endpoint keys of an open flow key: names those of the
// channel. Counts the keys enumerated and the writes that failed.
void NameInFlow(plat::Handle flow_key, const char16_t* flow_path, int use_64bit_view, const char16_t* name,
                const char16_t* icon_path, int channel, int* enumerated, int* failures) {
    int ordinal = 0;
    char16_t key_name[kNameUnits];
    for (std::uint32_t index = 0;; ++index) {
        if (plat::RegistryEnumKeyW16(flow_key, index, key_name, kNameUnits) != plat::kErrorSuccess) break;
        ++*enumerated;
        if (WideLength(key_name) > kLongestKeyName) continue;

        char16_t properties[kPathUnits];
        CopyWide(properties, kPathUnits, flow_path);
        AppendWide(properties, kPathUnits, u"\\");
        AppendWide(properties, kPathUnits, key_name);
        AppendWide(properties, kPathUnits, u"\\Properties");

        char16_t text[kTextUnits];
        if (!ReadMachineText(properties, kValueHardwareId, text, kTextUnits)) continue;
        if (!IsDazaHardwareId(AfterLastColon(text))) continue;

        ++ordinal;
        if (ReadMachineText(properties, kValueDevicePath, text, kTextUnits)) {
            int number = TrailingNumber(text);
            if (number > 0) ordinal = number;
        }
        if (ordinal != channel) continue;
        if (!WriteMachineText(use_64bit_view, name, properties, kValueDescription)) ++*failures;
        if (!WriteMachineText(use_64bit_view, icon_path, properties, kValueIconPath)) ++*failures;
    }
}

}  // namespace

int ReadMachineText(const char16_t* key_path, const char16_t* value_name, char16_t* text, std::size_t units) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, key_path, plat::kKeyRead, &key) != plat::kErrorSuccess &&
        plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, key_path, plat::kKeyRead | plat::kKeyWow64_64Key,
                                   &key) != plat::kErrorSuccess)
        return 0;
    // Read as bytes and taken apart unit by unit, little-endian.
    std::uint8_t data[kMostValueBytes];
    std::uint32_t type = 0;
    std::uint32_t size = kMostValueBytes;
    std::uint32_t status = plat::RegistryQueryValueW16(key, value_name, &type, data, &size);
    plat::RegistryCloseKey(key);
    if (status != plat::kErrorSuccess || (type != plat::kRegSz && type != plat::kRegExpandSz)) return 0;
    if (units == 0) return 1;
    std::size_t length = 0;
    for (std::size_t i = 0; i + 1 < size && length + 1 < units; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        text[length++] = unit;
    }
    text[length] = 0;
    return 1;
}

int WriteMachineText(int use_64bit_view, const char16_t* text, const char16_t* key_path,
                     const char16_t* value_name) {
    std::uint32_t view = use_64bit_view ? plat::kKeyWow64_64Key : 0;
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, key_path, plat::kKeySetValue | view, &key) !=
            plat::kErrorSuccess &&
        plat::RegistryCreateKeyExW16(plat::kHkeyLocalMachine, key_path, plat::kKeyAllAccess | view, &key) !=
            plat::kErrorSuccess)
        return 0;
    // The text with its NUL, as little-endian bytes.
    std::size_t length = WideLength(text);
    std::uint8_t data[2 * kPathUnits];
    if (length + 1 > kPathUnits) length = kPathUnits - 1;
    for (std::size_t i = 0; i <= length; ++i) {
        char16_t unit = i < length ? text[i] : 0;
        data[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
        data[2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    std::uint32_t status = plat::RegistrySetValueW16(key, value_name, plat::kRegSz, data,
                                                     static_cast<std::uint32_t>(2 * (length + 1)));
    plat::RegistryCloseKey(key);
    return status == plat::kErrorSuccess ? 1 : 0;
}

int IsDazaHardwareId(const char16_t* text) {
    if (text == nullptr || text[0] == 0) return 0;
    std::size_t i = 0;
    for (; kDazaHardwareId[i] != 0; ++i)
        if (LowerAscii(text[i]) != LowerAscii(kDazaHardwareId[i])) return 0;  // also a text ending early
    return text[i] == 0 ? 1 : 0;
}

int TrailingNumber(const char16_t* text) {
    std::size_t length = WideLength(text);
    if (length < 5) return -1;
    const char16_t* last = text + length - 4;
    return (last[0] - u'0') * 1000 + (last[1] - u'0') * 100 + (last[2] - u'0') * 10 + (last[3] - u'0');
}

int FindDazaDriverFile(char16_t* path, std::size_t units) {
    // The service route: %windir% in place of the ImagePath's first component,
    // so "\SystemRoot\System32\drivers\x.sys" becomes
    // "%windir%\System32\drivers\x.sys".
    char16_t image_path[kImagePathUnits];
    if (ReadMachineText(kDazaServiceKey, u"ImagePath", image_path, kImagePathUnits)) {
        const char16_t* rest = image_path;
        if (*rest == u'\\') ++rest;
        for (const char16_t* p = rest; *p; ++p)
            if (*p == u'\\') {
                rest = p + 1;
                break;
            }
        CopyWide(path, units, kWindowsFolderPrefix);
        AppendWide(path, units, rest);
        return 1;
    }

    // The class route: the media class entry whose matching device id is the
    // DAZA hardware id names the driver file. The first such entry decides.
    plat::Handle class_key = nullptr;
    if (plat::RegistryOpenKeyW16(plat::kHkeyLocalMachine, kMediaClassKey, &class_key) != plat::kErrorSuccess)
        return 0;
    int found = 0;
    char16_t key_name[kNameUnits];
    for (std::uint32_t index = 0;; ++index) {
        if (plat::RegistryEnumKeyW16(class_key, index, key_name, kNameUnits) != plat::kErrorSuccess) break;
        if (WideLength(key_name) > kLongestKeyName) continue;
        char16_t entry[kPathUnits];
        CopyWide(entry, kPathUnits, kMediaClassKey);
        AppendWide(entry, kPathUnits, u"\\");
        AppendWide(entry, kPathUnits, key_name);
        char16_t text[kTextUnits];
        if (!ReadMachineText(entry, u"MatchingDeviceId", text, kTextUnits) || !IsDazaHardwareId(text)) continue;
        if (ReadMachineText(entry, u"Driver", text, kTextUnits)) {
            CopyWide(path, units, kClassDriverPrefix);
            AppendWide(path, units, text);
            found = 1;
        }
        break;
    }
    // Never a hive, so always a handle of our own.
    plat::RegistryCloseKey(class_key);
    return found;
}

int NameEndpoint(const char16_t* flow, const char16_t* name, int icon_id, int channel) {
    char16_t icon_path[kPathUnits];
    if (!FindDazaDriverFile(icon_path, kPathUnits)) return -1;
    AppendWide(icon_path, kPathUnits, u",-");
    AppendWideNumber(icon_path, kPathUnits, icon_id);

    char16_t flow_path[kPathUnits];
    CopyWide(flow_path, kPathUnits, kAudioKeyPath);
    AppendWide(flow_path, kPathUnits, u"\\");
    AppendWide(flow_path, kPathUnits, flow);

    // A 32-bit program on 64-bit Windows may find the endpoints only in the
    // 64-bit view; the writes then go there as well.
    int use_64bit_view = 0;
    plat::Handle flow_key = nullptr;
    if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_path, plat::kKeyRead, &flow_key) !=
        plat::kErrorSuccess) {
        if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_path, plat::kKeyRead | plat::kKeyWow64_64Key,
                                       &flow_key) != plat::kErrorSuccess)
            return 0;
        use_64bit_view = 1;
    }

    int failures = 0;
    for (;;) {
        int enumerated = 0;
        failures = 0;
        NameInFlow(flow_key, flow_path, use_64bit_view, name, icon_path, channel, &enumerated, &failures);
        plat::RegistryCloseKey(flow_key);
        if (enumerated > 0 || use_64bit_view) break;
        // An empty flow key in the default view: look in the 64-bit view.
        if (plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, flow_path, plat::kKeyRead | plat::kKeyWow64_64Key,
                                       &flow_key) != plat::kErrorSuccess)
            break;
        use_64bit_view = 1;
    }
    return failures > 0 ? -failures : 0;
}

int NameVirtualEndpoints() {
    int result = 0;
    for (const ChannelRow& row : kChannelTable) result = NameEndpoint(row.flow, row.name, row.icon_id, row.channel);
    return result;
}
