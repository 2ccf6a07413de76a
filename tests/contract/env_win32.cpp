// Contract surroundings on real Windows (or Wine).
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/contract/env.h"

namespace {
const char kResourceText[] = "Mixolyte contract resource 0123456789\n";
int temp_counter = 0;
std::map<std::string, HANDLE> held;
std::vector<HMODULE> loaded_modules;

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A link goes as a link; its target is never walked.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path.c_str())
                                                                  : DeleteFileA(path.c_str());
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}
}  // namespace

void ContractSetUp() {
    for (auto& [path, handle] : held) CloseHandle(handle);
    held.clear();
    ContractUnloadModules();
}

int ContractIs32BitProgram() { return sizeof(void*) == 4; }

int ContractIsSim() { return 0; }

int ContractPipeClientLevel(const std::function<plat::Handle(const std::string&)>& open,
                            const std::function<void(plat::Handle)>& close) {
    static unsigned serial = 0;
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\mixo_contract_%lu_%u", GetCurrentProcessId(), ++serial);
    HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 512, 512, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) return -1;
    int level = -1;
    plat::Handle client = open(name);
    if (client != plat::kInvalidHandle) {
        ConnectNamedPipe(server, nullptr);  // already connected: ERROR_PIPE_CONNECTED
        if (ImpersonateNamedPipeClient(server)) {
            HANDLE token = nullptr;
            SECURITY_IMPERSONATION_LEVEL got = SecurityAnonymous;
            DWORD size = 0;
            if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
                GetTokenInformation(token, TokenImpersonationLevel, &got, sizeof got, &size))
                level = static_cast<int>(got);
            if (token != nullptr) CloseHandle(token);
            if (!RevertToSelf()) ExitProcess(3);
        }
        close(client);
    }
    CloseHandle(server);
    return level;
}

std::string ContractBackendName() {
    std::string name = ContractIs32BitProgram() ? "Win32 (32-bit program" : "Win32 (64-bit program";
    if (ContractIs32BitProgram()) name += ContractIs64BitWindows() ? " on 64-bit Windows" : " on 32-bit Windows";
    using WineVersionFn = const char*(CDECL*)();
    auto wine_version = reinterpret_cast<WineVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    if (wine_version != nullptr) name += std::string(", Wine ") + wine_version();
    return name + ")";
}

std::string ContractTempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "mixo_contract_" + std::to_string(GetCurrentProcessId()) +
                         "_" + std::to_string(++temp_counter);
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string ContractMissingDrive() {
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return "B:";
}

plat::Handle ContractResourceModule() { return GetModuleHandleA(nullptr); }

const char* ContractResourceText() { return kResourceText; }

void ContractPutFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void ContractPutFolder16(const std::u16string& path) {
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr);
}

void ContractPutFile16(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ContractReadFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void ContractMakeReadOnly(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

int ContractHonoursReadOnly() {
    std::string probe = ContractTempFolder() + "\\readonly.probe";
    ContractPutFile(probe, "x");
    ContractMakeReadOnly(probe);
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(file);
    return 0;
}

int ContractComSecurityIsSet() {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) return -1;
    HRESULT again = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                         RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
    return again == RPC_E_TOO_LATE ? 1 : 0;
}

namespace {

// Whether the file system keeps a descriptor given to a folder: Wine on a
// file system without extended attributes makes one up from the Unix mode
// instead, never protected. Probed with a folder of its own, made here
// without the operation under test.
bool KeepsGivenDescriptors(const std::string& beside) {
    std::string probe = beside + ".descriptor-probe";
    PSECURITY_DESCRIPTOR given = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &given, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, given, FALSE};
    BOOL made = CreateDirectoryA(probe.c_str(), &attributes);
    LocalFree(given);
    if (!made) return false;
    PSECURITY_DESCRIPTOR read = nullptr;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    bool kept = GetNamedSecurityInfoA(probe.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &dacl, nullptr, &read) == ERROR_SUCCESS &&
                GetSecurityDescriptorControl(read, &control, &revision) && (control & SE_DACL_PROTECTED) != 0;
    if (read != nullptr) LocalFree(read);
    RemoveDirectoryA(probe.c_str());
    return kept;
}

}  // namespace

int ContractFolderAccess(const std::string& folder, std::string* sddl) {
    if (!KeepsGivenDescriptors(folder)) return 0;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return 0;
    char* text = nullptr;
    int got = ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr)
                  ? 1
                  : 0;
    if (got) *sddl = text;
    if (text != nullptr) LocalFree(text);
    LocalFree(descriptor);
    return got && dacl != nullptr ? 1 : 0;
}

void ContractHoldFile(const std::string& path) {
    held[path] = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ContractHoldFileSharingDelete(const std::string& path) {
    held[path] = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ContractReleaseFile(const std::string& path) {
    auto it = held.find(path);
    if (it == held.end()) return;
    CloseHandle(it->second);
    held.erase(it);
}

int ContractPutLoadedModule(const std::string& path) {
    // A system DLL without side effects on loading; Wine, too, maps the
    // copy itself and keeps it from being deleted while loaded.
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    std::string source = std::string(system) + "\\version.dll";
    if (!CopyFileA(source.c_str(), path.c_str(), FALSE)) return 0;
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) return 0;
    loaded_modules.push_back(module);
    return 1;
}

namespace {

bool IsLinkAt(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A junction: an empty folder given a mount-point reparse record that names
// the target as "\??\C:\...".
bool MakeJunction(const std::string& link, const std::string& target) {
    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    HANDLE folder = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = false;
    if (folder != INVALID_HANDLE_VALUE) {
        std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
        const DWORD name_bytes = static_cast<DWORD>(substitute.size() * sizeof(wchar_t));
        // ReparseTag, ReparseDataLength, Reserved; then the mount point
        // header (offsets and lengths of the two names) and the names.
        std::vector<BYTE> record(8 + 8 + name_bytes + 2 + 2, 0);
        auto put16 = [&record](std::size_t at, DWORD value) {
            record[at] = static_cast<BYTE>(value);
            record[at + 1] = static_cast<BYTE>(value >> 8);
        };
        const DWORD tag = 0xA0000003;  // IO_REPARSE_TAG_MOUNT_POINT
        for (int i = 0; i < 4; ++i) record[i] = static_cast<BYTE>(tag >> (8 * i));
        put16(4, static_cast<DWORD>(record.size() - 8));
        put16(8, 0);                    // substitute name offset
        put16(10, name_bytes);          // substitute name length
        put16(12, name_bytes + 2);      // print name offset (empty print name)
        put16(14, 0);                   // print name length
        std::memcpy(record.data() + 16, substitute.data(), name_bytes);
        DWORD returned = 0;
        made = DeviceIoControl(folder, 0x000900A4 /* FSCTL_SET_REPARSE_POINT */, record.data(),
                               static_cast<DWORD>(record.size()), nullptr, 0, &returned, nullptr) != 0;
        CloseHandle(folder);
    }
    if (!made) RemoveDirectoryA(link.c_str());
    return made;
}

}  // namespace

int ContractMakeFolderLink(const std::string& link, const std::string& target) {
    // SYMBOLIC_LINK_FLAG_DIRECTORY, and unprivileged creation where Windows
    // allows it (developer mode); an older Windows refuses the second flag.
    for (DWORD flags : {DWORD{0x1 | 0x2}, DWORD{0x1}}) {
        if (CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) && IsLinkAt(link)) return 1;
        RemoveDirectoryA(link.c_str());
    }
    if (MakeJunction(link, target) && IsLinkAt(link)) return 1;
    RemoveDirectoryA(link.c_str());
    return 0;
}

void ContractUnloadModules() {
    for (HMODULE module : loaded_modules) FreeLibrary(module);
    loaded_modules.clear();
}

// ---- Registry surroundings ----

namespace {

// Physical paths: the 64-bit view shows HKLM\SOFTWARE\WOW6432Node as it is
// (and is the only view on 32-bit Windows).
constexpr REGSAM kPhysicalView = KEY_WOW64_64KEY;

void DeleteRegistryTreeIn(HKEY hive, const char* path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, path, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::string child = std::string(path) + "\\" + name;
        DeleteRegistryTreeIn(hive, child.c_str(), view);
        // A child that cannot go would be found again at index 0: stop.
        HKEY still = nullptr;
        if (RegOpenKeyExA(hive, child.c_str(), 0, KEY_READ | view, &still) == ERROR_SUCCESS) {
            RegCloseKey(still);
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyExA(hive, path, view, 0);
}

}  // namespace

void ContractUse64BitWindows() {}

int ContractIs64BitWindows() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto is_wow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (!is_wow64 || !is_wow64(GetCurrentProcess(), &wow64)) return 0;
    return wow64 ? 1 : 0;
}

unsigned ContractAnsiCodePage() { return GetACP(); }

int ContractPipeHonoursIdentification() {
    auto open = [](const std::string& path) -> plat::Handle {
        HANDLE client = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        return client == INVALID_HANDLE_VALUE ? plat::kInvalidHandle : client;
    };
    return ContractPipeClientLevel(open, [](plat::Handle client) { CloseHandle(client); }) == 1 ? 1 : 0;
}

int ContractMakeRegistryLink(const std::string& path, const std::string& target) {
    HKEY made = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, target.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    RegCloseKey(made);
    // The link names its target by NT path: \Registry\User\<our SID>\...
    HANDLE token = nullptr;
    union {
        TOKEN_USER user;
        unsigned char bytes[256];
    } user{};
    DWORD size = 0;
    char* sid = nullptr;
    bool known = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                 GetTokenInformation(token, TokenUser, &user, sizeof user, &size) &&
                 ConvertSidToStringSidA(user.user.User.Sid, &sid);
    if (token != nullptr) CloseHandle(token);
    if (!known) return 0;
    std::string nt_path = std::string("\\Registry\\User\\") + sid + "\\" + target;
    LocalFree(sid);
    std::wstring wide(nt_path.begin(), nt_path.end());
    HKEY link = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide.c_str()),
                                 static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    if (status != ERROR_SUCCESS) {
        ContractRemoveRegistryLink(path);
        return 0;
    }
    return 1;
}

void ContractRemoveRegistryLink(const std::string& path) {
    // RegDeleteKey would follow the link and delete its target.
    using NtDeleteKeyCall = LONG(WINAPI*)(HANDLE);
    auto call = reinterpret_cast<NtDeleteKeyCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY link = nullptr;
    if (call == nullptr ||
        RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link) !=
            ERROR_SUCCESS)
        return;
    call(link);
    RegCloseKey(link);
}

void ContractRemoveRegistryTestKeys() {
    for (REGSAM view : {REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
        DeleteRegistryTreeIn(HKEY_CURRENT_USER, "Software\\MixoContract", view);
        DeleteRegistryTreeIn(HKEY_LOCAL_MACHINE, "SOFTWARE\\MixoContract", view);
        DeleteRegistryTreeIn(HKEY_LOCAL_MACHINE, "SYSTEM\\MixoContract", view);
    }
}

void ContractPutRegistryText(plat::Handle hive, const std::string& path, const std::string& name,
                             const std::string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(static_cast<HKEY>(hive), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kPhysicalView,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

int ContractGetRegistryValue(plat::Handle hive, const std::string& path, const std::string& name,
                             std::uint32_t* type, std::string* bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(static_cast<HKEY>(hive), path.c_str(), 0, KEY_READ | kPhysicalView, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value_type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value_type, nullptr, &size);
    std::string read(size, '\0');
    if (status == ERROR_SUCCESS && size > 0)
        status = RegQueryValueExA(key, name.c_str(), nullptr, &value_type, reinterpret_cast<BYTE*>(read.data()),
                                  &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return 0;
    read.resize(size);
    *type = value_type;
    *bytes = read;
    return 1;
}

std::vector<std::string> ContractRegistrySubkeys(plat::Handle hive, const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(static_cast<HKEY>(hive), path.c_str(), 0, KEY_READ | kPhysicalView, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

int ContractDenyRegistryWrite(plat::Handle, const std::string&) { return 0; }

int ContractDenyRegistryDelete(plat::Handle, const std::string&) { return 0; }

// ---- Processes, modules and shell links ----

namespace {

// The folder of the running suite, where the build puts its helpers.
std::string SuiteFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.find_last_of('\\'));
}

}  // namespace

std::string ContractChildProgram() { return SuiteFolder() + "\\child_exit.exe"; }

std::string ContractTestDll() { return SuiteFolder() + "\\contract_dll.dll"; }

std::string ContractSetOwnVariable(const std::string& name, const std::string& value) {
    char before[4096];
    DWORD length = GetEnvironmentVariableA(name.c_str(), before, sizeof before);
    SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    return length > 0 && length < sizeof before ? std::string(before, length) : std::string();
}

std::string ContractCurrentFolder() {
    char folder[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    return std::string(folder, length);
}

int ContractReadShellLink(const std::string& path, ContractShellLink* link) {
    HRESULT com = CoInitialize(nullptr);
    IShellLinkA* shell_link = nullptr;
    int read = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell_link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[MAX_PATH * 2];
                text[0] = '\0';
                shell_link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
                link->target = text;
                text[0] = '\0';
                shell_link->GetDescription(text, sizeof text);
                link->description = text;
                text[0] = '\0';
                shell_link->GetArguments(text, sizeof text);
                link->arguments = text;
                text[0] = '\0';
                shell_link->GetWorkingDirectory(text, sizeof text);
                link->working_folder = text;
                read = 1;
            }
            file->Release();
        }
        shell_link->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return read;
}

// ---- Audio surroundings ----

// Wine's (or Windows') own devices stay as they are.
int ContractPutAudioDevices() { return 0; }

// ---- Windows, the message queue, drawing ----

void ContractPrepareWindows() {}

void ContractLetTimersRun(unsigned) {}

// ---- Device surroundings ----

// Wine's own devices stand in: nothing to put.
void ContractPutDevices() {}

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// The value's strings in order (pairs: source, then target or empty).
std::vector<std::wstring> PendingStrings() {
    std::vector<std::wstring> strings;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) return strings;
    DWORD size = 0;
    if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            std::size_t end = size / sizeof(wchar_t);
            for (std::size_t at = 0; at < end;) {
                std::wstring text(data.data() + at);
                strings.push_back(text);
                at += text.size() + 1;
                if (strings.size() % 2 == 1 && text.empty()) {
                    strings.pop_back();  // the closing empty string
                    break;
                }
            }
        }
    }
    RegCloseKey(key);
    if (strings.size() % 2 == 1) strings.push_back(L"");
    return strings;
}

std::string Ansi(const std::wstring& text) {
    std::wstring path = text.rfind(L"\\??\\", 0) == 0 ? text.substr(4) : text;
    char buffer[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

bool InFolder(const std::string& path, const std::string& folder) {
    if (path.size() < folder.size() || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                                                      static_cast<int>(folder.size()), folder.c_str(),
                                                      static_cast<int>(folder.size())) != CSTR_EQUAL)
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\';
}

}  // namespace

std::vector<std::string> ContractPendingDeletions(const std::string& folder) {
    std::vector<std::string> found;
    std::vector<std::wstring> strings = PendingStrings();
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2)
        if (strings[i + 1].empty() && InFolder(Ansi(strings[i]), folder)) found.push_back(Ansi(strings[i]));
    return found;
}

void ContractDropPendingDeletions(const std::string& folder) {
    std::vector<std::wstring> strings = PendingStrings();
    std::wstring kept;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (InFolder(Ansi(strings[i]), folder)) continue;
        kept += strings[i] + L'\0' + strings[i + 1] + L'\0';
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (kept.empty()) {
        RegDeleteValueW(key, kPendingValue);
    } else {
        kept += L'\0';
        RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}
