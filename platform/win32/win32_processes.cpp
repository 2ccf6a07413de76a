#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/win32/win32_system_dll.h"

namespace {

// Whether the block's entry sets the variable `name` (given with its '=').
bool IsEntryOf(const wchar_t* entry, const wchar_t* name) {
    std::size_t length = std::wcslen(name);
    return std::wcslen(entry) >= length &&
           CompareStringOrdinal(entry, static_cast<int>(length), name, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// The machine's shared data folder, as Windows sets ProgramData and
// ALLUSERSPROFILE for every process: ProfileList's ProgramData (Vista on),
// its "%SystemDrive%" read from the Windows folder. Empty where there is
// none (XP) or it holds another variable.
std::wstring SharedDataFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    wchar_t value[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    LONG read = RegQueryValueExW(key, L"ProgramData", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    value[size / sizeof(wchar_t) < MAX_PATH ? size / sizeof(wchar_t) : MAX_PATH] = L'\0';
    std::wstring folder = value;
    const std::wstring drive_variable = L"%SystemDrive%";
    if (folder.size() >= drive_variable.size() &&
        CompareStringOrdinal(folder.c_str(), static_cast<int>(drive_variable.size()), drive_variable.c_str(),
                             static_cast<int>(drive_variable.size()), TRUE) == CSTR_EQUAL) {
        wchar_t windows[MAX_PATH];
        UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
        if (length < 2 || length >= MAX_PATH || windows[1] != L':') return {};
        folder.replace(0, drive_variable.size(), windows, 2);
    }
    if (folder.empty() || folder.find(L'%') != std::wstring::npos) return {};
    return folder;
}

using CreateEnvironmentBlockCall = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockCall = BOOL(WINAPI*)(void*);

// One variable the child's block gets in place of what the system's has.
struct Setting {
    const wchar_t* name;  // with its '='
    std::wstring value;
};

// The system's own environment (CreateEnvironmentBlock of USERENV, loaded
// from the system folder, without a user token: the machine's variables
// only, none of the user's, whose PATH is part of a child's DLL search),
// with TEMP and TMP set to the folder and ProgramData and ALLUSERSPROFILE
// to the shared data folder (USERENV gives Wine's children another), as a
// UTF-16 block (CREATE_UNICODE_ENVIRONMENT), in the order the variables
// had. Empty when it cannot be made.
std::vector<wchar_t> SystemEnvironmentWithTemp(const char* temp_folder) {
    std::vector<wchar_t> block;
    int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, temp_folder, -1, nullptr, 0);
    if (units <= 1) return block;
    std::vector<wchar_t> temp(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, temp_folder, -1, temp.data(), units) != units) return block;
    std::vector<Setting> settings = {{L"TEMP=", temp.data()}, {L"TMP=", temp.data()}};
    std::wstring shared = SharedDataFolder();
    if (!shared.empty()) {
        settings.push_back({L"ProgramData=", shared});
        settings.push_back({L"ALLUSERSPROFILE=", shared});
    }
    HMODULE userenv = plat::LoadSystemDll("USERENV.DLL");
    if (userenv == nullptr) return block;
    auto create = reinterpret_cast<CreateEnvironmentBlockCall>(
        reinterpret_cast<void*>(GetProcAddress(userenv, "CreateEnvironmentBlock")));
    auto destroy = reinterpret_cast<DestroyEnvironmentBlockCall>(
        reinterpret_cast<void*>(GetProcAddress(userenv, "DestroyEnvironmentBlock")));
    void* system = nullptr;
    if (create == nullptr || destroy == nullptr || !create(&system, nullptr, FALSE) || system == nullptr) {
        FreeLibrary(userenv);
        return block;
    }
    std::vector<bool> placed(settings.size(), false);
    auto place = [&](std::size_t i) {
        block.insert(block.end(), settings[i].name, settings[i].name + std::wcslen(settings[i].name));
        block.insert(block.end(), settings[i].value.c_str(), settings[i].value.c_str() + settings[i].value.size() + 1);
        placed[i] = true;
    };
    for (const wchar_t* entry = static_cast<const wchar_t*>(system); *entry != L'\0';
         entry += std::wcslen(entry) + 1) {
        bool replaced = false;
        for (std::size_t i = 0; i < settings.size() && !replaced; ++i) {
            if (!IsEntryOf(entry, settings[i].name)) continue;
            if (!placed[i]) place(i);
            replaced = true;
        }
        if (!replaced) block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
    }
    destroy(system);
    FreeLibrary(userenv);
    for (std::size_t i = 0; i < settings.size(); ++i)
        if (!placed[i]) place(i);
    block.push_back(L'\0');
    return block;
}

}  // namespace

namespace plat {

ProcessStartStatus ProcessStart(const char* application, const char* command_line, const char* current_folder,
                                const char* temp_folder, Handle* process) {
    *process = kInvalidHandle;
    std::vector<wchar_t> environment;
    DWORD flags = NORMAL_PRIORITY_CLASS;
    if (temp_folder != nullptr) {
        environment = SystemEnvironmentWithTemp(temp_folder);
        if (environment.empty()) return kProcessCreateFailed;
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    // CreateProcessA may write into the command line: hand it a copy.
    std::vector<char> line;
    if (command_line != nullptr) line.assign(command_line, command_line + std::strlen(command_line) + 1);
    BOOL created = CreateProcessA(application, line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                                  flags, environment.empty() ? nullptr : environment.data(), current_folder,
                                  &startup, &info);
    if (!created) return kProcessCreateFailed;
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    if (info.hProcess == nullptr) return kProcessNoHandle;
    *process = info.hProcess;
    return kProcessStarted;
}

std::uint32_t ProcessWait(Handle process, std::uint32_t milliseconds) {
    return WaitForSingleObject(process, milliseconds);
}

int ProcessExitCode(Handle process, std::uint32_t* code) {
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process, &exit_code)) return 0;
    *code = exit_code;
    return 1;
}

void ProcessClose(Handle process) {
    if (process != nullptr && process != kInvalidHandle) CloseHandle(process);
}

}  // namespace plat
