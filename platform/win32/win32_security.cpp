// The tokens the program can see (its own, the desktop shell's), and
// impersonating the shell's for the work in places the user controls.
#include <windows.h>
#include <sddl.h>

#include <cstring>

#include "platform/security.h"

namespace plat {

namespace {

// The token's user as SID text, and its elevation.
int ReadFacts(HANDLE token, TokenFacts* facts) {
    union {
        TOKEN_USER user;
        unsigned char bytes[256];  // a TOKEN_USER and the longest SID
    } user_buffer;
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, &user_buffer, sizeof user_buffer, &size)) return 0;
    char* text = nullptr;
    if (!ConvertSidToStringSidA(user_buffer.user.User.Sid, &text)) return 0;
    bool fits = std::strlen(text) < sizeof facts->user;
    if (fits) lstrcpynA(facts->user, text, static_cast<int>(sizeof facts->user));
    LocalFree(text);
    if (!fits) return 0;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) {
        // Windows XP knows no such class: there is no split token there.
        if (GetLastError() != ERROR_INVALID_PARAMETER) return 0;
        facts->elevation_type = kElevationDefault;
        facts->elevated = 0;
        return 1;
    }
    TOKEN_ELEVATION elevation = {};
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return 0;
    facts->elevation_type = static_cast<int>(type);
    facts->elevated = elevation.TokenIsElevated ? 1 : 0;
    return 1;
}

// The process that owns the shell window, opened for queries; checked to
// own it still once open (while the handle is open, its id cannot go to
// another process).
HANDLE OpenShellProcess() {
    HWND shell = GetShellWindow();
    if (shell == nullptr) return nullptr;
    DWORD id = 0;
    GetWindowThreadProcessId(shell, &id);
    if (id == 0) return nullptr;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);  // Windows XP
    if (process == nullptr) return nullptr;
    DWORD again = 0;
    if (GetShellWindow() == shell && GetWindowThreadProcessId(shell, &again) != 0 && again == id) return process;
    CloseHandle(process);
    return nullptr;
}

}  // namespace

int OwnTokenFacts(TokenFacts* facts) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    int read = ReadFacts(token, facts);
    CloseHandle(token);
    return read;
}

Handle ShellTokenOpen(TokenFacts* facts) {
    HANDLE process = OpenShellProcess();
    if (process == nullptr) return kInvalidHandle;
    HANDLE token = nullptr;
    BOOL opened = OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, &token);
    CloseHandle(process);
    if (!opened) return kInvalidHandle;
    HANDLE duplicate = nullptr;
    BOOL copied = DuplicateTokenEx(token, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                                   TokenImpersonation, &duplicate);
    CloseHandle(token);
    if (!copied) return kInvalidHandle;
    if (!ReadFacts(duplicate, facts)) {
        CloseHandle(duplicate);
        return kInvalidHandle;
    }
    return duplicate;
}

int ImpersonateToken(Handle token) {
    if (!SetThreadToken(nullptr, token)) return 0;
    // Windows lowers an impersonation it does not allow to identification
    // level without failing the call: ask the thread what it now has.
    HANDLE now = nullptr;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    DWORD size = 0;
    bool usable = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &now) &&
                  GetTokenInformation(now, TokenImpersonationLevel, &level, sizeof level, &size) &&
                  level >= SecurityImpersonation;
    if (now != nullptr) CloseHandle(now);
    return usable ? 1 : 0;
}

int StopImpersonating() { return RevertToSelf() ? 1 : 0; }

void TokenClose(Handle token) { CloseHandle(token); }

void EndProcessNow(std::uint32_t code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);  // never reached: TerminateProcess on itself does not return
}

}  // namespace plat
