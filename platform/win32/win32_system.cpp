#include <windows.h>
#include <objbase.h>

#include "platform/system.h"

namespace plat {

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t TickCount() { return GetTickCount(); }

std::uint32_t WindowsFolder(char* buffer, std::uint32_t size) { return GetWindowsDirectoryA(buffer, size); }

bool com_secured = false;

namespace {

LONG com_security_set = 0;

// Once per process, on the thread of the first CoInitialize that worked,
// before any other COM call: the main thread's, before any other thread
// exists.
void SecureCom() {
    if (InterlockedCompareExchange(&com_security_set, 1, 0) != 0) return;
    HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
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
