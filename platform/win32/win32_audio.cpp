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
    return direction == kAudioCapture ? waveInGetNumDevs() : waveOutGetNumDevs();
}

std::uint32_t WaveDeviceCaps(int direction, std::uint32_t device, char16_t* name, std::uint32_t name_units,
                             std::uint16_t* channels) {
    Clear(name, name_units);
    *channels = 0;
    MMRESULT result;
    if (direction == kAudioCapture) {
        WAVEINCAPSW caps = {};
        result = waveInGetDevCapsW(device, &caps, sizeof caps);
        if (result == MMSYSERR_NOERROR) {
            caps.szPname[MAXPNAMELEN - 1] = L'\0';
            CopyUnits(name, name_units, caps.szPname);
            *channels = caps.wChannels;
        }
    } else {
        WAVEOUTCAPSW caps = {};
        result = waveOutGetDevCapsW(device, &caps, sizeof caps);
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
        return nullptr;
    IMMDeviceCollection* collection = nullptr;
    UINT n = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(direction == kAudioCapture ? eCapture : eRender, DEVICE_STATE_ACTIVE,
                                              &collection)) ||
        collection == nullptr || FAILED(collection->GetCount(&n))) {
        if (collection != nullptr) collection->Release();
        enumerator->Release();
        return nullptr;
    }
    auto* handle = static_cast<EndpointCollection*>(std::malloc(sizeof(EndpointCollection)));
    if (handle == nullptr) {
        collection->Release();
        enumerator->Release();
        return nullptr;
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
    auto* endpoints = static_cast<EndpointCollection*>(collection);
    if (endpoints == nullptr) return;
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
