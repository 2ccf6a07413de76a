#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/processes.h"

namespace plat {

ProcessStartStatus ProcessStart(const char* application, const char* command_line, const char* current_folder,
                                Handle* process) {
    *process = nullptr;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    // CreateProcessA may write into the command line: hand it a copy.
    std::vector<char> line;
    if (command_line != nullptr) line.assign(command_line, command_line + std::strlen(command_line) + 1);
    BOOL created = CreateProcessA(application, line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                                  NORMAL_PRIORITY_CLASS, nullptr, current_folder, &startup, &info);
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
