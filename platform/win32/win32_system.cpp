#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include "platform/system.h"

namespace plat {

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t TickCount() { return GetTickCount(); }

std::uint32_t WindowsFolder(char* buffer, std::uint32_t size) { return GetWindowsDirectoryA(buffer, size); }

bool com_secured = false;

namespace {

LONG com_security_set = 0;

// Who may call into the program's COM objects (the window's accessible
// object among them, whose Press runs Install or Remove): SYSTEM, the
// Administrators and the interactive user, from this machine only
// (COM_RIGHTS_EXECUTE | COM_RIGHTS_EXECUTE_LOCAL); owner and group set, as
// COM asks. The mandatory label lets in callers of medium integrity and
// above (screen readers run as the interactive user at medium, or with UI
// access) and refuses lower ones (no-execute-up); Windows before Vista has
// no labels and gets the rest alone.
constexpr wchar_t kComAccess[] = L"O:BAG:BAD:(A;;0x3;;;SY)(A;;0x3;;;BA)(A;;0x3;;;IU)";
constexpr wchar_t kComAccessLabelled[] = L"O:BAG:BAD:(A;;0x3;;;SY)(A;;0x3;;;BA)(A;;0x3;;;IU)S:(ML;;NX;;;ME)";

// The descriptor in the absolute form CoInitializeSecurity takes, its parts
// held beside it.
struct ComAccessDescriptor {
    SECURITY_DESCRIPTOR descriptor;
    alignas(8) unsigned char dacl[256];
    alignas(8) unsigned char sacl[64];
    alignas(8) unsigned char owner[SECURITY_MAX_SID_SIZE];
    alignas(8) unsigned char group[SECURITY_MAX_SID_SIZE];
};

bool MakeComAccess(ComAccessDescriptor* out) {
    // AddMandatoryAce comes with the labels (Vista); where it is missing,
    // so are they.
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    bool labels = advapi != nullptr && GetProcAddress(advapi, "AddMandatoryAce") != nullptr;
    PSECURITY_DESCRIPTOR relative = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(labels ? kComAccessLabelled : kComAccess,
                                                              SDDL_REVISION_1, &relative, nullptr))
        return false;
    DWORD descriptor_size = sizeof out->descriptor;
    DWORD dacl_size = sizeof out->dacl;
    DWORD sacl_size = sizeof out->sacl;
    DWORD owner_size = sizeof out->owner;
    DWORD group_size = sizeof out->group;
    BOOL made = MakeAbsoluteSD(relative, &out->descriptor, &descriptor_size, reinterpret_cast<PACL>(out->dacl),
                               &dacl_size, reinterpret_cast<PACL>(out->sacl), &sacl_size, out->owner, &owner_size,
                               out->group, &group_size);
    LocalFree(relative);
    return made != FALSE;
}

// Once per process, on the thread of the first CoInitialize that worked,
// before any other COM call: the main thread's, before any other thread
// exists. Without the descriptor COM's security stays unset, and the
// routes that need it are not taken.
void SecureCom() {
    if (InterlockedCompareExchange(&com_security_set, 1, 0) != 0) return;
    static ComAccessDescriptor access;
    if (!MakeComAccess(&access)) return;
    HRESULT result = CoInitializeSecurity(&access.descriptor, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                          RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
    com_secured = SUCCEEDED(result);
}

}  // namespace

std::int32_t ComInitialize() {
    HRESULT result = CoInitialize(nullptr);
    if (SUCCEEDED(result)) SecureCom();
    return result;
}

void ComUninitialize() { CoUninitialize(); }

int AnsiCodePageLeadBytes(AnsiLeadBytes* out) {
    CPINFO info;
    for (unsigned char& lead : out->lead) lead = 0;
    if (!GetCPInfo(CP_ACP, &info)) return 0;
    // Up to six ranges, as pairs of first and last byte, ended by a 0 pair.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1] && b < 256; ++b) out->lead[b] = 1;
    return 1;
}

}  // namespace plat
