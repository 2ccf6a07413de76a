// Asks Windows whether each program's Authenticode signature holds, as the
// shell does before it starts a downloaded installer: WinVerifyTrust with
// the generic verify action, no window, no revocation check (no network).
// One line per file: the result code in hex and its name.
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

namespace {

const char* NameOf(LONG code) {
    switch (static_cast<unsigned long>(code)) {
        case 0: return "trusted";
        case 0x800B0100ul: return "no-signature";       // TRUST_E_NOSIGNATURE
        case 0x80096010ul: return "bad-digest";         // TRUST_E_BAD_DIGEST
        case 0x800B0109ul: return "untrusted-root";     // CERT_E_UNTRUSTEDROOT
        case 0x800B010Aul: return "chaining";           // CERT_E_CHAINING
        case 0x800B0101ul: return "expired";            // CERT_E_EXPIRED
        case 0x80096004ul: return "bad-signature";      // TRUST_E_CERT_SIGNATURE
        case 0x80096019ul: return "bad-basic-constraints";
        case 0x800B0004ul: return "subject-not-trusted";  // TRUST_E_SUBJECT_NOT_TRUSTED
        case 0x800B0003ul: return "unknown-subject-form";
        case 0x800B0001ul: return "unknown-provider";
        default: return "other";
    }
}

LONG Verify(const wchar_t* path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count < 2) {
        std::fprintf(stderr, "usage: trust_check PROGRAM...\n");
        return 2;
    }
    for (int i = 1; i < count; ++i) {
        LONG code = Verify(args[i]);
        std::printf("%ls %08lx %s\n", args[i], static_cast<unsigned long>(code), NameOf(code));
    }
    LocalFree(args);
    return 0;
}
