// The endpoint registry layout both the inventory and the endpoint naming
// read: HKLM\<kAudioKeyPath>\<flow>\<endpoint>\Properties, whose values are
// named by property key (braced format GUID, comma, property id).
#pragma once

inline constexpr char16_t kAudioKeyPath[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";

inline constexpr char16_t kValueDescription[] = u"{a45c254e-df1c-4efd-8020-67d146a850e0},2";
inline constexpr char16_t kValueInterfaceName[] = u"{b3f8fa53-0004-438e-9003-51a46e139bfc},6";
// The device path; its last four characters give a DAZA endpoint's channel.
inline constexpr char16_t kValueDevicePath[] = u"{233164c8-1b2c-4c7d-bc68-b671687a2567},1";
inline constexpr char16_t kValueFormFactor[] = u"{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},0";
inline constexpr char16_t kValueIconPath[] = u"{259abffc-50a7-47ce-af08-68c9a7d73366},12";
inline constexpr char16_t kValueEndpointFormat[] = u"{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0";
inline constexpr char16_t kValueDeviceFormat[] = u"{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0";
// The hardware id; the driver's identifier follows its last colon.
inline constexpr char16_t kValueHardwareId[] = u"{83da6326-97a6-4088-9453-a1923f573b29},3";
