// The linked token of UAC's split token, and impersonating it.
#include <windows.h>

#include "platform/security.h"

namespace {

constexpr int kTokenLinkedTokenClass = 19;  // TokenLinkedToken

}  // namespace

namespace plat {

int ImpersonateLinkedUser() {
    HANDLE process_token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &process_token)) return 0;
    HANDLE linked = nullptr;  // TOKEN_LINKED_TOKEN: one handle
    DWORD size = 0;
    BOOL got = GetTokenInformation(process_token, static_cast<TOKEN_INFORMATION_CLASS>(kTokenLinkedTokenClass), &linked,
                                   sizeof linked, &size);
    CloseHandle(process_token);
    if (!got || linked == nullptr) return 0;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    int impersonating = 0;
    if (GetTokenInformation(linked, TokenImpersonationLevel, &level, sizeof level, &size) &&
        level >= SecurityImpersonation)
        impersonating = SetThreadToken(nullptr, linked) ? 1 : 0;
    CloseHandle(linked);
    return impersonating;
}

void StopImpersonating() { RevertToSelf(); }

}  // namespace plat
