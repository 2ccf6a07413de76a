// Registration of the console's ASIO drivers: COM in-process servers in a
// 32-bit and a 64-bit build each. The 32-bit DLLs are registered in this
// process; the 64-bit ones by the 64-bit registration program.
#pragma once
#include "base/context.h"

constexpr int kAsioUnregister = 0;
constexpr int kAsioRegister = 1;


// The three 32-bit DLLs, then (on 64-bit Windows only) the three 64-bit
// ones, in table order. Mode 1 registers, 0 unregisters. Gives 0.
int RegisterAsioDrivers(SetupContext* context, int mode);

// Loads the DLL from the product folder and calls DllRegisterServer (mode
// 1) or DllUnregisterServer (mode 0); pauses 50 ms after every successful
// registration and every unregistration call. Failures are silent.
void RegisterDll32(const char* dll_name, SetupContext* context, int mode);

// Starts "ztregsvr64.exe" from the product folder with " -f<path>" (mode 1)
// or " -u  -f<path>" (mode 0) and waits for it up to 10 seconds.
void RegisterDll64(const char* dll_name, SetupContext* context, int mode);
