// The machine's audio devices as the inventory sees them: the MME wave
// devices (WinMM) and the active audio endpoints of the endpoint
// enumerator (Core Audio), plus the ANSI conversion of their names.
//
// Texts are UTF-16 (char16_t) on every backend. Every text buffer is given
// with its size in units and is always terminated (when its size is > 0),
// cut to its size minus one unit.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// Directions, with the values of the EDataFlow constants eRender and
// eCapture.
constexpr int kAudioRender = 0;
constexpr int kAudioCapture = 1;

// MMSYSERR_NOERROR and the answers for a device number without a device.
constexpr std::uint32_t kMmSysErrNoError = 0;
constexpr std::uint32_t kMmSysErrBadDeviceId = 2;
constexpr std::uint32_t kMmSysErrNoDriver = 6;

// 1 when Kernel32 exports "CreateEventExA" (GetModuleHandleA("Kernel32.dll")
// then GetProcAddress), the test the inventory uses for whether the
// endpoint enumerator exists; 0 otherwise.
int EndpointEnumeratorAvailable();

// ---- MME wave devices (WinMM) ---------------------------------------------

// waveInGetNumDevs for capture, waveOutGetNumDevs for render.
std::uint32_t WaveDeviceCount(int direction);

// waveInGetDevCapsW (WAVEINCAPSW, size 80) or waveOutGetDevCapsW
// (WAVEOUTCAPSW, size 84) for the device number. Gives the call's answer:
// kMmSysErrNoError with the product name (szPname, at most 31 units) in
// `name` and wChannels in *channels, or the error (a number at or past the
// count gives kMmSysErrBadDeviceId) with `name` empty and *channels 0.
std::uint32_t WaveDeviceCaps(int direction, std::uint32_t device, char16_t* name, std::uint32_t name_units,
                             std::uint16_t* channels);

// ---- Audio endpoints (Core Audio) -----------------------------------------

// The active endpoints of one direction: CoCreateInstance of the
// MMDeviceEnumerator (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER),
// EnumAudioEndpoints(direction, DEVICE_STATE_ACTIVE) and GetCount. Gives
// the collection with its count in *count, or kInvalidHandle (count 0) when the
// enumerator, the collection or the count cannot be had, among others when
// COM is not started on the thread. Close it with AudioEndpointsClose.
Handle AudioEndpointsOpen(int direction, std::uint32_t* count);

// What AudioEndpointRead gives: every text read, or the step that failed.
constexpr int kEndpointReadOk = 0;
constexpr int kEndpointNoItem = 1;           // Item(position) failed
constexpr int kEndpointNoPropertyStore = 2;  // OpenPropertyStore(STGM_READ) failed
constexpr int kEndpointNoFriendlyName = 3;   // GetValue(PKEY_Device_FriendlyName) failed
constexpr int kEndpointNoInterfaceName = 4;  // GetValue(PKEY_DeviceInterface_FriendlyName) failed

// Reads the endpoint at the 0-based position of the collection: its
// identifier (GetId; empty when GetId fails, which is not a failure), its
// friendly name and its interface friendly name from the property store
// (each empty when the store holds the property without text). On a
// failure the texts read before the failing step are kept and the later
// ones are empty. Every object and property value taken is released.
int AudioEndpointRead(Handle collection, std::uint32_t position, char16_t* identifier,
                      std::uint32_t identifier_units, char16_t* friendly_name, std::uint32_t friendly_units,
                      char16_t* interface_name, std::uint32_t interface_units);

// Releases the collection and its enumerator. kInvalidHandle and null are
// ignored.
void AudioEndpointsClose(Handle collection);

// ---- ANSI conversion --------------------------------------------------------

// WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, size, no default
// character): the terminated text in the ANSI code page (Windows-1252 on
// the sim; a character the code page lacks becomes its best fit or '?').
// Gives the bytes written with the NUL, or 0 when the buffer was too small
// (its contents are then unspecified) or the text is null.
std::uint32_t WideToAnsi(const char16_t* text, char* buffer, std::uint32_t size);

}  // namespace plat
