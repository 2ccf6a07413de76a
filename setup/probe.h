// The checks of the machine made before anything is offered: shell
// folders, WOW64, the Windows version, the uninstall entry, the product's
// audio devices and driver interfaces.
#pragma once
#include "platform/types.h"

// Device interface classes of the product's drivers, in probe order.
inline constexpr char kDazaInterfaceClass[] = "{3F594749-D668-404A-84EA-5026B8437752}";
inline constexpr char kCableInterfaceClass[] = "{D8C6B17A-215D-4082-9341-1E1677AE6B55}";
inline constexpr char kAuxInterfaceClass[] = "{5573CC9C-DF43-40BF-8EB3-D79E59A5A481}";

// Fills common_programs_folder and startup_folder; does its work once per
// program run.
void LookUpFolders();
// Lets the next LookUpFolders do its work again (a new program run in tests).
void ForgetFolderLookUp();
// 1 when the 32-bit program runs on 64-bit Windows.
int IsWow64();
// The Windows generation as a code from -1 to 8.
int GetOsVersionCode();
// The "O/S" label the window draws for a code.
const char* OsVersionLabel(int code);
// 1 when the uninstall entry exists with a REG_SZ "UninstallString".
int FindUninstallEntry();
// "UninstallString" of the uninstall entry, the default view tried first,
// then the 32-bit view: -1 when the key cannot be opened, 0 when the value
// is missing, too long or not REG_SZ, 1 with the text terminated in `value`.
int ReadUninstallString(char* value, std::uint32_t capacity);
// 0, or 1-4 for a hit in the capture device list, 11-14 in the render list.
int FindProductDeviceNames();
// Non-null when the class has a present device interface (the device
// handle, or kInvalidHandle for one that cannot be opened); the caller
// closes it.
plat::Handle FindDeviceInterface(const char* interface_class);
// The probes of WM_CREATE, results into the setup context.
void ProbeEnvironment();
