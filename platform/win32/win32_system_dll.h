// System DLLs the program loads itself come from the system folder by their
// full path: never from the folder the program was started from, nor the
// current folder, whatever the search path of this Windows is.
#pragma once
#include <windows.h>

#include <cstring>

namespace plat {

inline HMODULE LoadSystemDll(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    std::size_t name_length = std::strlen(name);
    if (length == 0 || length + 1 + name_length >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, name_length + 1);
    return LoadLibraryA(path);
}

// An export of a DLL every process has loaded (Kernel32, Ntdll), or null
// where this Windows lacks it.
template <typename Function>
Function LoadedExport(const char* module_name, const char* export_name) {
    HMODULE module = GetModuleHandleA(module_name);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, export_name)));
}

}  // namespace plat
