// Child processes: the driver setup programs and the 64-bit registration
// program are started, waited for and their exit codes read.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// WaitForSingleObject time-out meaning "no time-out".
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
// WaitForSingleObject results.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
// What GetExitCodeProcess reads while the process still runs.
constexpr std::uint32_t kStillActive = 259;

enum ProcessStartStatus {
    kProcessStarted = 0,        // created; *process holds its handle
    kProcessCreateFailed = 1,   // CreateProcessA failed
    kProcessNoHandle = 2,       // CreateProcessA succeeded without a process handle
};

// CreateProcessA(application, command_line, no security attributes,
// handles not inherited, NORMAL_PRIORITY_CLASS, the caller's environment,
// current_folder (null: the child inherits the caller's current folder),
// STARTUPINFOA all zero but its size). `command_line` is passed as it is,
// with no program name put in front. With a `temp_folder`, the child's
// environment is the system's own (CreateEnvironmentBlock without a user
// token: none of the user's variables, whose PATH is part of the child's
// DLL search; ProgramData and ALLUSERSPROFILE the machine's shared data
// folder, as Windows sets them for every process) with TEMP and TMP set to
// it (the user's own TEMP is a folder the user can plant files in); when
// that environment cannot be made, nothing is started
// (kProcessCreateFailed). The thread
// handle is closed at once; the process handle is the caller's to close
// with ProcessClose. *process is kInvalidHandle unless kProcessStarted.
ProcessStartStatus ProcessStart(const char* application, const char* command_line, const char* current_folder,
                                const char* temp_folder, Handle* process);

// WaitForSingleObject on the process: kWaitObject0 when it has ended,
// kWaitTimeout when it still runs after `milliseconds` (kInfinite: no
// time-out), kWaitFailed for a bad handle.
std::uint32_t ProcessWait(Handle process, std::uint32_t milliseconds);

// GetExitCodeProcess: 1 with the code in *code (kStillActive while the
// process runs); 0 when it cannot be read, *code then untouched.
int ProcessExitCode(Handle process, std::uint32_t* code);

// CloseHandle of a process handle (kInvalidHandle and null are ignored). A
// process still running goes on.
void ProcessClose(Handle process);

}  // namespace plat
