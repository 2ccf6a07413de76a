// Entries opened as themselves, over CreateFileA and the handle-based
// information calls. The calls that Windows XP lacks are looked up at run
// time; NtSetInformationFile stands in for them.
#include <windows.h>

#include <cstring>
#include <cwchar>

#include "platform/entries.h"
#include "platform/win32/win32_open.h"

namespace {

// The layouts NtSetInformationFile takes (FILE_INFORMATION_CLASS 10 and 13).
struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
struct RenameInformation {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    ULONG file_name_length;  // bytes
    WCHAR file_name[1];
};
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileDispositionInformation = 13;
constexpr int kFileDispositionInfoClass = 4;  // FileDispositionInfo
constexpr int kFileDispositionInfoExClass = 21;  // FileDispositionInfoEx (Windows 10, 1709 on)
constexpr ULONG kDispositionDelete = 0x1;          // FILE_DISPOSITION_FLAG_DELETE
constexpr ULONG kDispositionPosixSemantics = 0x2;  // FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
constexpr DWORD kFinalPathNormalizedDos = 0;  // FILE_NAME_NORMALIZED | VOLUME_NAME_DOS

using NtSetInformationFileCall = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using SetFileInformationByHandleCall = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
using GetFinalPathNameByHandleCall = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using RtlGetLastNtStatusCall = LONG(WINAPI*)();

FARPROC SystemCall(const char* module, const char* name) {
    HMODULE loaded = GetModuleHandleA(module);  // both are in every process
    return loaded ? GetProcAddress(loaded, name) : nullptr;
}

LONG SetInformation(HANDLE handle, void* information, ULONG size, ULONG information_class) {
    auto call = reinterpret_cast<NtSetInformationFileCall>(
        reinterpret_cast<void*>(SystemCall("ntdll.dll", "NtSetInformationFile")));
    if (call == nullptr) return -1;
    IoStatus status{};
    return call(handle, &status, information, size, information_class);
}

}  // namespace

namespace plat {

namespace {

// The open just failed on an entry already marked for deletion: Windows
// tells it as "access denied", the NT status it came from says which.
int FailedAsDeletePending() {
    if (GetLastError() != ERROR_ACCESS_DENIED) return 0;
    auto call = reinterpret_cast<RtlGetLastNtStatusCall>(
        reinterpret_cast<void*>(SystemCall("ntdll.dll", "RtlGetLastNtStatus")));
    return call != nullptr && call() == kStatusDeletePending ? 1 : 0;
}

// What the open handle says of the entry; the handle is closed when it
// cannot tell.
Handle TakeFacts(HANDLE entry, EntryFacts* facts) {
    if (entry == INVALID_HANDLE_VALUE) {
        facts->delete_pending = FailedAsDeletePending();
        return kInvalidHandle;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(entry, &information)) {
        CloseHandle(entry);
        return kInvalidHandle;
    }
    facts->is_directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    facts->is_reparse_point = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 1 : 0;
    return entry;
}

constexpr DWORD kItselfFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | kOpenIdentifyOnly;

Handle OpenItself(const char* path, DWORD access, DWORD share, EntryFacts* facts) {
    facts->delete_pending = 0;
    return TakeFacts(
        CreateFileA(path, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share, nullptr, OPEN_EXISTING, kItselfFlags, nullptr),
        facts);
}

Handle OpenItself(const char16_t* path, DWORD access, DWORD share, EntryFacts* facts) {
    facts->delete_pending = 0;
    return TakeFacts(CreateFileW(reinterpret_cast<const wchar_t*>(path), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 share, nullptr, OPEN_EXISTING, kItselfFlags, nullptr),
                     facts);
}

}  // namespace

// A hold asks for the listing (FILE_LIST_DIRECTORY, on a file its data):
// an open with attribute access only would be left out of the sharing
// checks, and its share mode would refuse nobody.
Handle FolderHold(const char* path, EntryFacts* facts) {
    return OpenItself(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, facts);
}

Handle EntryOpen(const char* path, EntryFacts* facts) {
    return OpenItself(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, facts);
}

Handle FolderHold(const char16_t* path, EntryFacts* facts) {
    return OpenItself(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, facts);
}

Handle EntryOpen(const char16_t* path, EntryFacts* facts) {
    return OpenItself(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, facts);
}

int EntryFinalPath(Handle entry, char16_t* out, std::size_t units) {
    auto call = reinterpret_cast<GetFinalPathNameByHandleCall>(
        reinterpret_cast<void*>(SystemCall("kernel32.dll", "GetFinalPathNameByHandleW")));
    if (call == nullptr) return -1;
    constexpr DWORD kUnits = 2048;
    wchar_t path[kUnits];
    DWORD length = call(entry, path, kUnits, kFinalPathNormalizedDos);
    if (length == 0 || length >= kUnits) return 0;
    // "\\?\C:\..." -> "C:\...", "\\?\UNC\server\..." -> "\\server\...".
    const wchar_t* plain = path;
    std::size_t plain_length = length;
    bool unc = length >= 8 && std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0;
    if (unc) {
        plain = path + 6;  // "C\server\...", its 'C' made the second backslash below
        plain_length = length - 6;
    } else if (length >= 4 && std::wcsncmp(path, L"\\\\?\\", 4) == 0) {
        plain = path + 4;
        plain_length = length - 4;
    }
    if (plain_length >= units) return 0;
    for (std::size_t i = 0; i < plain_length; ++i) out[i] = static_cast<char16_t>(plain[i]);
    if (unc) out[0] = u'\\';
    out[plain_length] = u'\0';
    return 1;
}

int EntryDelete(Handle entry) {
    BOOLEAN delete_file = TRUE;
    auto call = reinterpret_cast<SetFileInformationByHandleCall>(
        reinterpret_cast<void*>(SystemCall("kernel32.dll", "SetFileInformationByHandle")));
    if (call == nullptr)
        return SetInformation(entry, &delete_file, sizeof delete_file, kFileDispositionInformation) >= 0 ? 1 : 0;
    ULONG flags = kDispositionDelete | kDispositionPosixSemantics;
    if (call(entry, kFileDispositionInfoExClass, &flags, sizeof flags)) return 1;
    // Windows before 10 (1709), and volumes without POSIX deletion, refuse
    // the class or the flag; any other refusal is the entry's own (in use,
    // read-only, not empty), which the classic disposition would give too.
    DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION &&
        error != ERROR_CALL_NOT_IMPLEMENTED)
        return 0;
    return call(entry, kFileDispositionInfoClass, &delete_file, sizeof delete_file) ? 1 : 0;
}

int EntryRename(Handle entry, const char* to) {
    // The NT call takes the new name as an NT path: "\??\C:\..." or
    // "\??\UNC\server\...".
    char nt_path[1100] = "\\??\\";
    if (to[0] == '\\' && to[1] == '\\') {
        lstrcpynA(nt_path + 4, "UNC", 4);
        if (std::strlen(to + 1) >= sizeof nt_path - 7) return 0;
        lstrcpynA(nt_path + 7, to + 1, static_cast<int>(sizeof nt_path - 7));
    } else {
        if (std::strlen(to) >= sizeof nt_path - 4) return 0;
        lstrcpynA(nt_path + 4, to, static_cast<int>(sizeof nt_path - 4));
    }
    WCHAR wide[1100];
    int count = MultiByteToWideChar(CP_ACP, 0, nt_path, -1, wide, 1100);
    if (count <= 1) return 0;
    unsigned char buffer[sizeof(RenameInformation) + sizeof wide];
    auto* rename = reinterpret_cast<RenameInformation*>(buffer);
    rename->replace_if_exists = FALSE;
    rename->root_directory = nullptr;
    rename->file_name_length = static_cast<ULONG>((count - 1) * sizeof(WCHAR));
    std::memcpy(rename->file_name, wide, count * sizeof(WCHAR));
    return SetInformation(entry, rename, sizeof buffer, kFileRenameInformation) >= 0 ? 1 : 0;
}

void EntryClose(Handle entry) { CloseHandle(entry); }

}  // namespace plat
