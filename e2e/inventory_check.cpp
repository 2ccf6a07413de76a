// Builds the device inventory on this machine (Windows or Wine) and checks
// its two lists against what Core Audio and WinMM report when asked
// directly, without the platform layer: every answering wave device number
// and every readable active endpoint is listed once with its names,
// channels and kind; nothing else is listed; endpoints come first and each
// group is in name order. Then, in the registry, an endpoint entry written
// to the 64-bit view must be found by the name route and read into a
// record, and readers after the end must see empty lists.
//
// Prints what it found and one line "inventory_check: OK" or
// "inventory_check: FAILED (n)"; exit code 0 or 1.
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <propidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devices/inventory.h"

namespace {

const CLSID kClsidEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kIidEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}},
                                   14};
const PROPERTYKEY kInterfaceName = {{0x026e516e, 0xb814, 0x414b, {0x83, 0xcd, 0x85, 0x6d, 0x6f, 0xef, 0x48, 0x22}},
                                    2};

int failures = 0;

void Check(bool ok, const char* what, const std::string& detail = "") {
    if (ok) return;
    ++failures;
    std::printf("  FAILED: %s %s\n", what, detail.c_str());
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string Wide(const wchar_t* text) {
    std::u16string out;
    for (; text != nullptr && *text != L'\0'; ++text) out += static_cast<char16_t>(*text);
    return out;
}

struct Expected {
    std::int32_t index;
    std::u16string name;
    std::u16string interface_name;  // endpoints only
    std::u16string endpoint_id;     // endpoints only
    int channels;                   // MME only
};

std::vector<Expected> WaveDevices(bool capture) {
    std::vector<Expected> devices;
    UINT count = capture ? waveInGetNumDevs() : waveOutGetNumDevs();
    for (UINT device = 0; device < count; ++device) {
        Expected expected{};
        expected.index = static_cast<std::int32_t>(device);
        if (capture) {
            WAVEINCAPSW caps = {};
            if (waveInGetDevCapsW(device, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
            expected.name = Wide(caps.szPname);
            expected.channels = caps.wChannels;
        } else {
            WAVEOUTCAPSW caps = {};
            if (waveOutGetDevCapsW(device, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
            expected.name = Wide(caps.szPname);
            expected.channels = caps.wChannels;
        }
        devices.push_back(expected);
    }
    return devices;
}

std::vector<Expected> Endpoints(bool capture) {
    std::vector<Expected> endpoints;
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_ALL, kIidEnumerator,
                                reinterpret_cast<void**>(&enumerator))))
        return endpoints;
    IMMDeviceCollection* collection = nullptr;
    UINT count = 0;
    if (SUCCEEDED(enumerator->EnumAudioEndpoints(capture ? eCapture : eRender, DEVICE_STATE_ACTIVE, &collection)) &&
        SUCCEEDED(collection->GetCount(&count))) {
        for (UINT i = 0; i < count; ++i) {
            IMMDevice* device = nullptr;
            if (FAILED(collection->Item(i, &device))) continue;
            IPropertyStore* store = nullptr;
            LPWSTR id = nullptr;
            Expected expected{};
            expected.index = static_cast<std::int32_t>(i);
            if (SUCCEEDED(device->GetId(&id))) {
                std::u16string text = Wide(id);
                std::size_t brace = text.rfind(u'{');
                if (brace != std::u16string::npos && text.size() - brace > 16)
                    expected.endpoint_id = text.substr(brace, 63);
                CoTaskMemFree(id);
            }
            bool readable = false;
            if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store))) {
                PROPVARIANT name, interface_name;
                PropVariantInit(&name);
                PropVariantInit(&interface_name);
                if (SUCCEEDED(store->GetValue(kFriendlyName, &name)) &&
                    SUCCEEDED(store->GetValue(kInterfaceName, &interface_name))) {
                    readable = true;
                    if (name.vt == VT_LPWSTR) expected.name = Wide(name.pwszVal).substr(0, 255);
                    if (interface_name.vt == VT_LPWSTR)
                        expected.interface_name = Wide(interface_name.pwszVal).substr(0, 127);
                }
                PropVariantClear(&name);
                PropVariantClear(&interface_name);
                store->Release();
            }
            device->Release();
            if (readable) endpoints.push_back(expected);
        }
    }
    if (collection != nullptr) collection->Release();
    enumerator->Release();
    return endpoints;
}

const DeviceRecord* FindRecord(DeviceList* list, std::uint32_t kind, std::int32_t index) {
    const DeviceRecord* found = nullptr;
    int times = 0;
    for (std::uint32_t i = 1; i <= ListCount(list); ++i) {
        const DeviceRecord* record = ListElement(list, i);
        if (record->device_kind == kind && record->device_index == index) {
            found = record;
            ++times;
        }
    }
    return times == 1 ? found : nullptr;
}

void CheckDirection(const char* label, DeviceList* list, std::int32_t endpoint_count,
                    const std::vector<Expected>& endpoints, const std::vector<Expected>& waves) {
    std::printf("%s: %u records; Core Audio %u readable active endpoints, WinMM %u answering wave devices\n",
                label, ListCount(list), unsigned(endpoints.size()), unsigned(waves.size()));
    Check(ListCount(list) == endpoints.size() + waves.size(), "record count",
          std::to_string(ListCount(list)) + " records");
    Check(endpoint_count == static_cast<std::int32_t>(endpoints.size()), "endpoint count",
          std::to_string(endpoint_count));
    for (const Expected& e : endpoints) {
        const DeviceRecord* record = FindRecord(list, kDeviceKindEndpoint, e.index);
        std::printf("  endpoint %d: %s [%s] %s\n", e.index, Narrow(e.name).c_str(), Narrow(e.interface_name).c_str(),
                    Narrow(e.endpoint_id).c_str());
        Check(record != nullptr, "endpoint listed once", std::to_string(e.index));
        if (record == nullptr) continue;
        Check(std::u16string(record->display_name) == e.name, "endpoint name", Narrow(e.name));
        Check(std::u16string(record->interface_name) == e.interface_name, "endpoint interface name");
        Check(std::u16string(record->endpoint_id) == e.endpoint_id, "endpoint id");
        char ansi[256] = {};
        if (!e.name.empty())
            WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(e.name.c_str()), -1, ansi, 256, nullptr,
                                nullptr);
        ansi[255] = '\0';
        Check(std::string(record->ansi_name) == ansi, "endpoint ANSI name");
        Check(record->channel_count == (record->device_format[2] | record->device_format[3] << 8),
              "endpoint channels from its device format");
    }
    for (const Expected& w : waves) {
        const DeviceRecord* record = FindRecord(list, kDeviceKindMme, w.index);
        std::printf("  wave device %d: %s, %d channels\n", w.index, Narrow(w.name).c_str(), w.channels);
        Check(record != nullptr, "wave device listed once", std::to_string(w.index));
        if (record == nullptr) continue;
        Check(std::u16string(record->display_name) == w.name, "wave device name", Narrow(w.name));
        Check(record->channel_count == w.channels, "wave device channels");
    }
    // Order: endpoints (and other kinds) first, MME devices last, each
    // group by display name in code unit order.
    for (std::uint32_t i = 2; i <= ListCount(list); ++i) {
        const DeviceRecord* a = ListElement(list, i - 1);
        const DeviceRecord* b = ListElement(list, i);
        bool a_mme = (a->device_kind & 0xFFFF) == kDeviceKindMme, b_mme = (b->device_kind & 0xFFFF) == kDeviceKindMme;
        Check(!(a_mme && !b_mme), "endpoints before wave devices");
        if (a_mme == b_mme)
            Check(!(std::u16string(b->display_name) < std::u16string(a->display_name)), "name order");
    }
}

// The name route through the real registry: an entry written only to the
// 64-bit view (on 64-bit Windows the 32-bit program's own view does not
// show it) is found and read.
void CheckRegistryLookup() {
    const wchar_t* flow = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\Capture";
    const wchar_t* guid = L"{6d1f0e55-0000-4000-8000-00000000e2e0}";
    std::wstring properties = std::wstring(flow) + L"\\" + guid + L"\\Properties";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, properties.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        Check(false, "could not write the test entry");
        return;
    }
    auto put_text = [&](const wchar_t* name, const wchar_t* text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    };
    put_text(L"{a45c254e-df1c-4efd-8020-67d146a850e0},2", L"Console Input 1/2");
    put_text(L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6", L"ZT Virtual Audio Device (MixoLyte)");
    put_text(L"{83da6326-97a6-4088-9453-a1923f573b29},3", L"ROOT\\MEDIA:ZT_MIXOLYTE_E2E");
    BYTE format[48] = {};
    format[8] = 1;   // PCM
    format[10] = 2;  // channels
    RegSetValueExW(key, L"{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0", 0, REG_BINARY, format, sizeof format);
    RegCloseKey(key);

    DeviceRecord record = {};
    const std::u16string name = u"Console Input 1/2 (ZT Virtual A";  // cut to 31 as MME names are
    name.copy(record.display_name, name.size());
    record.device_kind = kDeviceKindMme;
    int result = LookUpEndpointName(u"Capture", &record, kWantHardwareId | kWantInterfaceName | kWantDevicePath);
    std::printf("registry lookup: %d, interface name %s, hardware id %s\n", result,
                Narrow(record.interface_name).c_str(), record.hardware_id);
    Check(result == 0, "lookup result");
    Check(std::u16string(record.interface_name) == u"ZT Virtual Audio Device (MixoLyte)", "looked-up interface name");
    Check(std::string(record.hardware_id) == "ZT_MIXOLYTE_E2E", "looked-up hardware id");
    Check(std::u16string(record.endpoint_id) == u"{6d1f0e55-0000-4000-8000-00000000e2e0}", "looked-up endpoint id");
    Check(record.device_format[2] == 2, "looked-up device format");

    std::wstring entry = std::wstring(flow) + L"\\" + guid;
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, properties.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), KEY_WOW64_64KEY, 0);
}

}  // namespace

int main(int argc, char** argv) {
    bool registry = !(argc > 1 && std::string(argv[1]) == "--no-registry");
    InventoryStart();

    CoInitialize(nullptr);  // for the direct questions; balanced below
    std::vector<Expected> capture_endpoints = Endpoints(true);
    std::vector<Expected> render_endpoints = Endpoints(false);
    CoUninitialize();
    CheckDirection("capture", CaptureDeviceList(), CaptureEndpointCount(), capture_endpoints, WaveDevices(true));
    CheckDirection("render", RenderDeviceList(), RenderEndpointCount(), render_endpoints, WaveDevices(false));
    if (registry) CheckRegistryLookup();

    InventoryEnd();
    Check(ListCount(CaptureDeviceList()) == 0 && ListCount(RenderDeviceList()) == 0, "lists empty after the end");
    Check(ListElement(CaptureDeviceList(), 1) == nullptr, "no record after the end");

    if (failures == 0) std::printf("inventory_check: OK\n");
    else std::printf("inventory_check: FAILED (%d)\n", failures);
    return failures == 0 ? 0 : 1;
}
