#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/processes.h"
#include "platform/win32/win32_system_dll.h"

namespace {

bool IsTempEntry(const wchar_t* entry) {
    for (const wchar_t* name : {L"TEMP=", L"TMP="}) {
        std::size_t length = std::wcslen(name);
        if (std::wcslen(entry) >= length && CompareStringOrdinal(entry, static_cast<int>(length), name,
                                                                 static_cast<int>(length), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

using CreateEnvironmentBlockCall = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockCall = BOOL(WINAPI*)(void*);

// The system's own environment (CreateEnvironmentBlock of USERENV, loaded
// from the system folder, without a user token: the machine's variables
// only, none of the user's, whose PATH is part of a child's DLL search),
// with TEMP and TMP set to the folder, as a UTF-16 block
// (CREATE_UNICODE_ENVIRONMENT), in the order the variables had. Empty when
// it cannot be made.
std::vector<wchar_t> SystemEnvironmentWithTemp(const char* temp_folder) {
    std::vector<wchar_t> block;
    int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, temp_folder, -1, nullptr, 0);
    if (units <= 1) return block;
    std::vector<wchar_t> temp(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, temp_folder, -1, temp.data(), units) != units) return block;
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
    bool placed = false;
    auto add_temp = [&] {
        for (const wchar_t* name : {L"TEMP=", L"TMP="}) {
            block.insert(block.end(), name, name + std::wcslen(name));
            block.insert(block.end(), temp.begin(), temp.end());  // with its terminator
        }
        placed = true;
    };
    for (const wchar_t* entry = static_cast<const wchar_t*>(system); *entry != L'\0';
         entry += std::wcslen(entry) + 1) {
        if (IsTempEntry(entry)) {
            if (!placed) add_temp();
            continue;
        }
        block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
    }
    destroy(system);
    FreeLibrary(userenv);
    if (!placed) add_temp();
    block.push_back(L'\0');
    return block;
}

}  // namespace

namespace plat {

ProcessStartStatus ProcessStart(const char* application, const char* command_line, const char* current_folder,
                                const char* temp_folder, Handle* process) {
    *process = nullptr;
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

void ProcessClose(Handle process) { CloseHandle(process); }

}  // namespace plat
