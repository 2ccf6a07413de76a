// Audio devices over WinMM (wave device capabilities) and Core Audio (the
// endpoint enumerator and each endpoint's property store). Every COM
// object, identifier text and property value taken is released before an
// operation returns, except the enumerator and collection that
// AudioEndpointsOpen hands out until AudioEndpointsClose.
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <propidl.h>

#include <cstdlib>

#include "platform/audio.h"
#include "platform/win32/win32_system_dll.h"

namespace {

// The identities the program needs, defined here so that no import library
// has to carry them.
const CLSID kClsidMmDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kIidMmDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const PROPERTYKEY kKeyDeviceFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
const PROPERTYKEY kKeyDeviceInterfaceFriendlyName = {
    {0x026e516e, 0xb814, 0x414b, {0x83, 0xcd, 0x85, 0x6d, 0x6f, 0xef, 0x48, 0x22}}, 2};

// The sizes the capabilities calls are given.
static_assert(sizeof(WAVEINCAPSW) == 80);
static_assert(sizeof(WAVEOUTCAPSW) == 84);

// WinMM, loaded at run time from the system folder on first use and kept:
// it is no KnownDLL, so a static import would be searched for beside the
// program before its first line runs. A WinMM that cannot be had counts
// no devices.
struct WinMm {
    UINT(WINAPI* wave_in_count)();
    UINT(WINAPI* wave_out_count)();
    MMRESULT(WINAPI* wave_in_caps)(UINT_PTR, WAVEINCAPSW*, UINT);
    MMRESULT(WINAPI* wave_out_caps)(UINT_PTR, WAVEOUTCAPSW*, UINT);
};

template <typename Function>
void Take(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

WinMm LoadWinMm() {
    WinMm functions = {};
    HMODULE module = plat::LoadSystemDll("WINMM.DLL");
    if (module == nullptr) return functions;
    Take(module, "waveInGetNumDevs", &functions.wave_in_count);
    Take(module, "waveOutGetNumDevs", &functions.wave_out_count);
    Take(module, "waveInGetDevCapsW", &functions.wave_in_caps);
    Take(module, "waveOutGetDevCapsW", &functions.wave_out_caps);
    return functions;
}

const WinMm& WinMmFunctions() {
    static const WinMm functions = LoadWinMm();
    return functions;
}

struct EndpointCollection {
    IMMDeviceEnumerator* enumerator;
    IMMDeviceCollection* collection;
};

void CopyUnits(char16_t* buffer, std::uint32_t units, const wchar_t* text) {
    if (buffer == nullptr || units == 0) return;
    std::uint32_t n = 0;
    if (text != nullptr)
        while (n < units - 1 && text[n] != L'\0') {
            buffer[n] = static_cast<char16_t>(text[n]);
            ++n;
        }
    buffer[n] = u'\0';
}

void Clear(char16_t* buffer, std::uint32_t units) {
    if (buffer != nullptr && units > 0) buffer[0] = u'\0';
}

// A property value's text; a value without text leaves the buffer empty.
void CopyPropertyText(char16_t* buffer, std::uint32_t units, const PROPVARIANT& value) {
    if (value.vt == VT_LPWSTR) CopyUnits(buffer, units, value.pwszVal);
}

}  // namespace

namespace plat {

int EndpointEnumeratorAvailable() {
    HMODULE kernel32 = GetModuleHandleA("Kernel32.dll");
    if (kernel32 == nullptr) return 0;
    return GetProcAddress(kernel32, "CreateEventExA") != nullptr ? 1 : 0;
}

std::uint32_t WaveDeviceCount(int direction) {
    const WinMm& winmm = WinMmFunctions();
    auto count = direction == kAudioCapture ? winmm.wave_in_count : winmm.wave_out_count;
    return count != nullptr ? count() : 0;
}

std::uint32_t WaveDeviceCaps(int direction, std::uint32_t device, char16_t* name, std::uint32_t name_units,
                             std::uint16_t* channels) {
    Clear(name, name_units);
    *channels = 0;
    const WinMm& winmm = WinMmFunctions();
    MMRESULT result = MMSYSERR_NODRIVER;
    if (direction == kAudioCapture) {
        WAVEINCAPSW caps = {};
        if (winmm.wave_in_caps != nullptr) result = winmm.wave_in_caps(device, &caps, sizeof caps);
        if (result == MMSYSERR_NOERROR) {
            caps.szPname[MAXPNAMELEN - 1] = L'\0';
            CopyUnits(name, name_units, caps.szPname);
            *channels = caps.wChannels;
        }
    } else {
        WAVEOUTCAPSW caps = {};
        if (winmm.wave_out_caps != nullptr) result = winmm.wave_out_caps(device, &caps, sizeof caps);
        if (result == MMSYSERR_NOERROR) {
            caps.szPname[MAXPNAMELEN - 1] = L'\0';
            CopyUnits(name, name_units, caps.szPname);
            *channels = caps.wChannels;
        }
    }
    return result;
}

Handle AudioEndpointsOpen(int direction, std::uint32_t* count) {
    *count = 0;
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CoCreateInstance(kClsidMmDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                kIidMmDeviceEnumerator, reinterpret_cast<void**>(&enumerator))) ||
        enumerator == nullptr)
        return kInvalidHandle;
    IMMDeviceCollection* collection = nullptr;
    UINT n = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(direction == kAudioCapture ? eCapture : eRender, DEVICE_STATE_ACTIVE,
                                              &collection)) ||
        collection == nullptr || FAILED(collection->GetCount(&n))) {
        if (collection != nullptr) collection->Release();
        enumerator->Release();
        return kInvalidHandle;
    }
    auto* handle = static_cast<EndpointCollection*>(std::malloc(sizeof(EndpointCollection)));
    if (handle == nullptr) {
        collection->Release();
        enumerator->Release();
        return kInvalidHandle;
    }
    handle->enumerator = enumerator;
    handle->collection = collection;
    *count = n;
    return handle;
}

int AudioEndpointRead(Handle collection, std::uint32_t position, char16_t* identifier,
                      std::uint32_t identifier_units, char16_t* friendly_name, std::uint32_t friendly_units,
                      char16_t* interface_name, std::uint32_t interface_units) {
    Clear(identifier, identifier_units);
    Clear(friendly_name, friendly_units);
    Clear(interface_name, interface_units);
    auto* endpoints = static_cast<EndpointCollection*>(collection);
    if (endpoints == nullptr) return kEndpointNoItem;
    IMMDevice* device = nullptr;
    if (FAILED(endpoints->collection->Item(position, &device)) || device == nullptr) return kEndpointNoItem;

    PROPVARIANT friendly;
    PROPVARIANT interface_friendly;
    PropVariantInit(&friendly);
    PropVariantInit(&interface_friendly);
    LPWSTR id = nullptr;
    IPropertyStore* store = nullptr;
    int result = kEndpointReadOk;

    if (SUCCEEDED(device->GetId(&id)) && id != nullptr) CopyUnits(identifier, identifier_units, id);
    if (FAILED(device->OpenPropertyStore(STGM_READ, &store)) || store == nullptr) {
        result = kEndpointNoPropertyStore;
    } else if (FAILED(store->GetValue(kKeyDeviceFriendlyName, &friendly))) {
        result = kEndpointNoFriendlyName;
    } else {
        CopyPropertyText(friendly_name, friendly_units, friendly);
        if (FAILED(store->GetValue(kKeyDeviceInterfaceFriendlyName, &interface_friendly)))
            result = kEndpointNoInterfaceName;
        else
            CopyPropertyText(interface_name, interface_units, interface_friendly);
    }

    PropVariantClear(&friendly);
    PropVariantClear(&interface_friendly);
    if (id != nullptr) CoTaskMemFree(id);
    if (store != nullptr) store->Release();
    device->Release();
    return result;
}

void AudioEndpointsClose(Handle collection) {
    if (collection == nullptr || collection == kInvalidHandle) return;
    auto* endpoints = static_cast<EndpointCollection*>(collection);
    endpoints->collection->Release();
    endpoints->enumerator->Release();
    std::free(endpoints);
}

std::uint32_t WideToAnsi(const char16_t* text, char* buffer, std::uint32_t size) {
    if (text == nullptr) return 0;
    int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), -1, buffer,
                                      static_cast<int>(size), nullptr, nullptr);
    return written > 0 ? static_cast<std::uint32_t>(written) : 0;
}

}  // namespace plat
