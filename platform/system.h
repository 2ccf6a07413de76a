// System services the logic shares: the clock, the Windows folder, COM,
// the Windows version and WOW64, the single-instance mutex, threads, the
// program's own module and User32.
//
// Conventions: an operation that gives an int gives the Win32 call's BOOL
// as 1 for success and 0 for failure. An operation whose function is looked
// up at run time (RtlGetVersion, IsWow64Process) gives 0 when the module or
// export is missing ("0 = export missing") and 1 when it was called, with
// the call's own result in an out parameter; the looked-up
// InternalGetWindowText reader (a function's address, not a handle) is null
// when missing. Handles (mutex, thread, module) are kInvalidHandle when they
// cannot be made, as every handle the seam gives (platform/types.h), and are
// let go with their own close operation, which ignores kInvalidHandle and
// null. Where the
// logic needs GetLastError, it comes in an out parameter taken right after
// the call. The wait results and kInfinite are those of
// platform/processes.h.
#pragma once
#include <cstdint>

#include "platform/processes.h"
#include "platform/types.h"

namespace plat {

// Sleep. On the sim it advances the simulated clock at once.
void SleepMs(std::uint32_t milliseconds);

// GetTickCount: milliseconds since start, wrapping at 2^32.
std::uint32_t TickCount();

// GetWindowsDirectoryA: the length copied (without NUL), or the size
// needed when the buffer is too small, or 0 on failure.
std::uint32_t WindowsFolder(char* buffer, std::uint32_t size);

// CoInitialize(NULL) on the calling thread: kHresultOk, kHresultFalse, or
// a failure code. CoUninitialize undoes one successful call. After the
// first call that works in the process, and only then, COM's process-wide
// security is set once (CoInitializeSecurity: default authentication,
// identify-level impersonation, EOAC_NO_CUSTOM_MARSHAL), before the
// program makes any other COM call: no object another process hands over
// (the user's Explorer) may bring its own unmarshaling code, and no server
// may act as this process. ShellOpenAsUser is not taken where that failed.
std::int32_t ComInitialize();
void ComUninitialize();

// ---- Windows version and WOW64 ------------------------------------------------
constexpr std::uint32_t kVersionInfoExSize = 156;  // OSVERSIONINFOEXA
constexpr std::uint32_t kVersionInfoSize = 148;    // OSVERSIONINFOA
constexpr int kVerNtWorkstation = 1;

// The version numbers a version source gives. `product_type` is 0 when the
// source has none (the short OSVERSIONINFOA form).
struct OsVersion {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t build;
    std::uint32_t platform_id;
    int product_type;
};

// GetVersionExA with the structure's size field set to `size_field`
// (kVersionInfoExSize or kVersionInfoSize): the call's BOOL. What it reports
// is what the program's manifest lets Windows admit (Windows 8.1 and later
// report 6.2 to a program that declares only Vista and 7).
int VersionRead(std::uint32_t size_field, OsVersion* version);

// RtlGetVersion of "Ntdll.dll", looked up at run time with an
// RTL_OSVERSIONINFOEXW (size field 276): the true version. Gives 0 when the
// module or the export is missing; otherwise 1 with the NTSTATUS in *status.
int RtlVersionRead(OsVersion* version, std::int32_t* status);

// IsWow64Process of "Kernel32.dll", looked up at run time, for the current
// process. Gives 0 when the export is missing or the call fails; otherwise
// 1 with the flag in *is_wow64.
int Wow64Query(int* is_wow64);

// ---- Named mutex --------------------------------------------------------------

// CreateMutexA(no security attributes, initial_owner, name).
// kInvalidHandle on failure. *last_error is GetLastError() right after the call:
// kErrorAlreadyExists when another handle (in any process) already names
// the mutex; the caller then does not own it.
Handle MutexCreate(const char* name, int initial_owner, std::uint32_t* last_error);
// WaitForSingleObject on the mutex: kWaitObject0 once owned.
std::uint32_t MutexWait(Handle mutex, std::uint32_t milliseconds);
// ReleaseMutex: 1 when the caller owned it.
int MutexRelease(Handle mutex);
// CloseHandle of the mutex.
void MutexClose(Handle mutex);

// ---- Threads ----------------------------------------------------------------------
using ThreadEntry = std::uint32_t (*)(void* parameter);

// CreateThread(default security and stack, entry, parameter, run at once):
// the thread's handle and its id in *thread_id; kInvalidHandle when it
// cannot be created.
Handle ThreadCreate(ThreadEntry entry, void* parameter, std::uint32_t* thread_id);
// WaitForSingleObject on a thread: kWaitObject0 once it has ended.
std::uint32_t ThreadWait(Handle thread, std::uint32_t milliseconds);
// CloseHandle of a thread.
void ThreadClose(Handle thread);
// SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL).
int ThreadLowerPriority();

// ---- Hardening at start -----------------------------------------------------------
// LOAD_LIBRARY_* flags of SetDefaultDllDirectories and LoadLibraryExA.
constexpr std::uint32_t kLoadWithAlteredSearchPath = 0x00000008;
constexpr std::uint32_t kLoadLibrarySearchDllLoadDir = 0x00000100;
constexpr std::uint32_t kLoadLibrarySearchSystem32 = 0x00000800;

// SetDefaultDllDirectories of "Kernel32.dll", looked up at run time (Windows
// 8, or Vista and 7 with their update; the LOAD_LIBRARY_SEARCH_* flags of
// LoadLibraryExA come with it). 0 when the export is missing; otherwise 1
// with the call's BOOL in *result.
int DllDirectoriesSetDefault(std::uint32_t flags, int* result);

// SetDllDirectoryA(folder) of "Kernel32.dll", looked up at run time (XP SP1
// and later); "" takes the current folder out of the DLL search. 0 when the
// export is missing; otherwise 1 with the call's BOOL in *result.
int DllDirectorySet(const char* folder, int* result);

// SetProcessMitigationPolicy of "Kernel32.dll", looked up at run time
// (Windows 8 and later), with a policy whose structure is one DWORD of
// flags. 0 when the export is missing; otherwise 1 with the BOOL in
// *result (a policy the system does not know fails).
constexpr int kProcessImageLoadPolicy = 10;
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr std::uint32_t kImageLoadNoRemoteImages = 0x1;
constexpr std::uint32_t kImageLoadNoLowMandatoryLabelImages = 0x2;
constexpr std::uint32_t kRedirectionTrustEnforce = 0x1;
int MitigationPolicySet(int policy, std::uint32_t flags, int* result);

// ---- The program's own module and User32 ---------------------------------------
// GetModuleFileNameA(instance): the length copied. A path longer than the
// buffer is cut; the buffer is then terminated on every Windows (XP left it
// unterminated, this operation does not).
std::uint32_t ModuleFileName(Handle instance, char* buffer, std::uint32_t size);

// LoadLibraryA of "User32.dll" in the system folder: the module, or
// kInvalidHandle. User32Close frees it.
Handle User32Open();
void User32Close(Handle module);
// GetProcAddress(module, "InternalGetWindowText"): the reader for
// WindowTextInternal (platform/windows.h), or null when it is missing (or
// the module is kInvalidHandle).
Handle User32WindowTextReader(Handle module);

// ---- The ANSI code page ---------------------------------------------------------
// The lead bytes of the system's ANSI code page (GetCPInfo(CP_ACP)). Where
// lead[b] is 1, the byte b starts a character of two bytes whose second
// byte may be '\\', '|' or a letter (Japanese, Chinese and Korean code
// pages). 1 when told; 0 when the system cannot tell.
struct AnsiLeadBytes {
    unsigned char lead[256];
};
int AnsiCodePageLeadBytes(AnsiLeadBytes* out);

}  // namespace plat
