// DLLs loaded into the setup program: the 32-bit ASIO drivers, whose
// self-registration entry points it calls.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// LoadLibraryExA(path, no file, flags): the LOAD_LIBRARY_* flags of
// platform/system.h say where the DLL's own imports may come from.
// kInvalidHandle when the DLL is absent or cannot be loaded.
Handle ModuleLoad(const char* path, std::uint32_t flags);

// GetProcAddress(module, name) and, when the export is there, a call of it
// as an HRESULT entry point without arguments (STDAPI, like
// DllRegisterServer). Gives 1 with the call's result in *hresult, or 0 when
// the module has no export of that name (nothing called, *hresult
// untouched). Export names are case-sensitive.
int ModuleCallEntry(Handle module, const char* name, std::int32_t* hresult);

// FreeLibrary.
void ModuleFree(Handle module);

// CoFreeLibrary: the COM library's unloading of an in-process server.
void ModuleCoFree(Handle module);

}  // namespace plat
