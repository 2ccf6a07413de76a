// The process hardening's calls: the DLL search and the mitigation
// policies, each looked up in Kernel32 at run time.
#include <windows.h>

#include "platform/system.h"
#include "platform/win32/win32_system_dll.h"

namespace plat {

int DllDirectoriesSetDefault(std::uint32_t flags, int* result) {
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    auto function = LoadedExport<SetDefaultFn>("Kernel32.dll", "SetDefaultDllDirectories");
    if (function == nullptr) return 0;
    *result = function(flags) ? 1 : 0;
    return 1;
}

int DllDirectorySet(const char* folder, int* result) {
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    auto function = LoadedExport<SetDllDirectoryFn>("Kernel32.dll", "SetDllDirectoryA");
    if (function == nullptr) return 0;
    *result = function(folder) ? 1 : 0;
    return 1;
}

int MitigationPolicySet(int policy, std::uint32_t flags, int* result) {
    // PROCESS_MITIGATION_POLICY is an enum (int); every policy set here has
    // a structure of one DWORD of flags.
    using SetPolicyFn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    auto function = LoadedExport<SetPolicyFn>("Kernel32.dll", "SetProcessMitigationPolicy");
    if (function == nullptr) return 0;
    DWORD value = flags;
    *result = function(policy, &value, sizeof value) ? 1 : 0;
    return 1;
}

}  // namespace plat
