// Waiting for the console's DAZA device after its driver was installed, and
// giving its audio endpoints the product's names and icons.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/context.h"
#include "platform/types.h"

// ---- The DAZA driver's facts ------------------------------------------------

// Device interface class of the DAZA device.
constexpr char kDazaInterfaceClass[] = "{3F594749-D668-404A-84EA-5026B8437752}";
// Control requests: the first is sent once after opening (4-byte answer,
// unused); the second asks for one channel's pin status record.
constexpr std::uint32_t kDazaRequestOpen = 0x222040;
constexpr std::uint32_t kDazaRequestPinStatus = 0x222050;
constexpr std::uint32_t kDazaOpenAnswerSize = 4;
constexpr std::uint32_t kPinStatusRequestSize = 16;
constexpr std::uint32_t kPinStatusRecordSize = 416;
// Where the two pin states of a channel sit in its record.
constexpr std::size_t kFirstPinOffset = 16;
constexpr std::size_t kSecondPinOffset = 28;
constexpr int kDazaChannels = 8;
constexpr int kDazaPins = 2 * kDazaChannels;
// A pin is up when its state is at least this and did not change.
constexpr std::uint32_t kPinGoodThreshold = 5000;

// ---- Pin check ----------------------------------------------------------------

// The "Configure VAIOs" step of the install: opens the DAZA device, polls
// its 16 pins once a second until all are up or their count has stood still
// for a minute (ten minutes at most in all), showing the progress in
// `step_text`, then names the endpoints. 0, or -1 when the device could not
// be opened (nothing is named) or the naming reported a failure.
int PinCheck(SetupContext* context);

// The first present DAZA device interface, opened; null after five failed
// attempts (about 25 seconds).
plat::Handle OpenDazaDevice();

// ---- Endpoint naming -------------------------------------------------------

// Names the eight playback and eight recording endpoints of the DAZA driver.
// The result of the last of the 16 namings (recording channel 8): negative
// when it failed.
int NameVirtualEndpoints();

// Names the DAZA endpoint(s) of one flow ("Render" or "Capture") whose
// channel is `channel`. -1 when the driver file is not found (nothing is
// done); minus the number of failed value writes when any failed; else 0.
int NameEndpoint(const char16_t* flow, const char16_t* name, int icon_id, int channel);

// The DAZA driver file as an icon module path, "%windir%" unexpanded. 1 when
// found (path filled, cut to `units`), 0 when not.
int FindDazaDriverFile(char16_t* path, std::size_t units);

// A REG_SZ or REG_EXPAND_SZ value of a key below HKLM (default view, else
// the 64-bit view), at most 4096 bytes, copied up to its NUL and cut to
// `units`. 1 when read, 0 otherwise.
int ReadMachineText(const char16_t* key_path, const char16_t* value_name, char16_t* text, std::size_t units);

// Writes `text` as a REG_SZ value of a key below HKLM, opening the key (or
// creating it) in the 64-bit view when `use_64bit_view` is set. 1 when
// written, 0 otherwise.
int WriteMachineText(int use_64bit_view, const char16_t* text, const char16_t* key_path,
                     const char16_t* value_name);

// 1 when the text is "ZTMixolyteDAZA", ASCII letters in either case; else 0.
int IsDazaHardwareId(const char16_t* text);

// The last four characters read as a decimal number; -1 for a text shorter
// than five characters. Characters that are not digits are not rejected.
int TrailingNumber(const char16_t* text);
