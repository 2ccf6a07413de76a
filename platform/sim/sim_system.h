// Simulated system facts: Windows version, WOW64, the clock, the Windows
// folder, named mutexes, threads, the program's own module and User32.
//
// Threads. The sim runs on one host thread, so a created thread does not
// run at once: it runs, to its end, when a wait asks for it
// (ThreadWait with a time-out other than 0), when a test runs the threads
// (SimRunThreads, or a script step, see sim_windows.h), or when the
// program's message loop has nothing else to do. Until then the program
// observes the thread as running, as it would on a busy machine.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"

struct SimMutex {
    int handles = 0;            // open handles in the program
    int owned = 0;              // the program's ownership count
    bool held_elsewhere = false;  // another process has it (another copy of the setup program)
};

struct SimThread {
    plat::ThreadEntry entry = nullptr;
    void* parameter = nullptr;
    std::uint32_t id = 0;
    std::uint32_t created_tick = 0;  // the simulated clock when it was created
    bool ran = false;
    bool closed = false;
    std::uint32_t exit_code = 0;
    bool lowered_priority = false;  // the thread lowered its own priority
    std::int32_t com_initialized = -1;  // what CoInitialize gave on the thread, -1 if not called
};

struct SimToken {
    std::string user;  // the user's SID as text
    bool split = false;
    bool elevated = false;
};

struct SimSystem {
    // A 64-bit Windows: the 32-bit program then runs under WOW64 and its
    // HKLM\SOFTWARE view is redirected.
    bool is_64bit = false;
    // The simulated clock: Sleep advances it at once; GetTickCount reads it
    // (a test may start it near its wrap).
    std::uint32_t tick_ms = 0x00010000u;
    std::uint64_t slept_ms = 0;  // all the sleeping done, for tests
    std::string windows_folder = "C:\\Windows";
    bool windows_folder_fails = false;
    // What CoInitialize answers, and the balance of initialisations left
    // open (tests check that every start is ended).
    std::int32_t com_initialize_result = 0;
    int com_open = 0;
    // COM's process-wide security, set once after the first CoInitialize
    // that worked (no custom marshaling, identify-level impersonation);
    // `com_security_refused` makes that call fail.
    bool com_security_set = false;  // the one call was made
    bool com_secured = false;       // and it worked
    bool com_security_refused = false;

    // The true Windows version (what RtlGetVersion gives) and its product
    // type; the default is Windows 10, a workstation.
    plat::OsVersion version = {10, 0, 19045, 2, 1};
    // GetVersionExA tells a program that declares only Vista and 7 in its
    // manifest (the setup program) that Windows 8.1 and later are 6.2.
    bool version_lie = true;
    bool version_ex_size_refused = false;  // only the short OSVERSIONINFOA form is accepted
    std::vector<std::uint32_t> version_sizes_asked;
    bool rtl_get_version = true;  // Ntdll exports RtlGetVersion
    std::int32_t rtl_status = 0;
    // IsWow64Process: exported (Windows XP SP2 and later), and whether the
    // call fails. The answer is is_64bit.
    bool is_wow64_export = true;
    bool wow64_call_fails = false;

    // Named mutexes by name (case-sensitive, as Windows names objects).
    std::map<std::string, SimMutex> mutexes;
    std::map<std::uintptr_t, std::string> mutex_handles;
    bool mutex_create_fails = false;

    // Threads by handle, in creation order of their ids.
    std::map<std::uintptr_t, SimThread> threads;
    std::vector<std::uintptr_t> thread_order;
    std::uint32_t next_thread_id = 0x1000;
    bool thread_create_fails = false;
    std::uintptr_t running_thread = 0;  // the thread running now, 0 for the main thread
    bool main_thread_priority_lowered = false;
    // The tokens. Ours: whose it is, whether UAC made it the elevated half
    // of a split token (`split`; not on Windows XP, with UAC off, for a
    // service) and whether it holds the administrators' rights. The desktop
    // shell's (the user's Explorer): whether there is a shell window, its
    // token, and whether that token refuses to be opened. By default the
    // normal UAC machine: an elevated split token, the same user's Explorer
    // unelevated. No identification-level token is modelled: it cannot act.
    SimToken token = {"S-1-5-21-7-7-7-1001", true, true};
    bool shell_running = true;
    SimToken shell = {"S-1-5-21-7-7-7-1001", true, false};
    bool shell_token_refused = false;
    // Open token handles (duplicates of the shell's), and the one the
    // thread impersonates. Entries only the administrator may change
    // refuse deletion and renaming unless the token acting is elevated.
    std::map<std::uintptr_t, SimToken> token_handles;
    bool impersonating = false;
    SimToken impersonated;
    // The ANSI code page: 1252 or 1254 (no lead bytes), 65001 (UTF-8: no
    // lead bytes, as GetCPInfo tells, and characters of up to 4 bytes), or
    // a double-byte one: 932 (Japanese), 936, 949, 950.
    int ansi_code_page = 1252;

    // The program's own file.
    std::string module_path = "C:\\Users\\user\\Downloads\\MixolyteSetup.exe";
    // The file the loader mapped keeps its identity when it is renamed: the
    // key it had at module_path and the key it has now, once it moved (a
    // user may rename a running program and put another file in its place).
    // Empty while it has not moved; a restart forgets it.
    std::string image_moved_from;
    std::string image_moved_to;

    // Hardening at start. Which functions this Windows has:
    // SetDefaultDllDirectories (with it, the LOAD_LIBRARY_SEARCH_* flags of
    // LoadLibraryExA), SetDllDirectoryA and SetProcessMitigationPolicy; a
    // call fails through the fault switch or for a policy in
    // `mitigations_refused`.
    bool default_dll_directories = true;
    bool set_dll_directory = true;
    bool mitigation_policy = true;
    std::set<int> mitigations_refused;
    // What the program set: the default DLL directories (0: never set),
    // the DLL directory (`dll_directory_set` once it was called) and the
    // mitigation policies with their flags, in order.
    std::uint32_t default_dll_directories_flags = 0;
    bool dll_directory_set = false;
    std::string dll_directory;
    std::vector<std::pair<int, std::uint32_t>> mitigations;
    // The program's own file cannot be opened (held) at start.
    bool own_image_hold_fails = false;
    // The start of the run in order: the hardening calls, the holding of
    // the program's own file, the mutex, every DLL load (the program's own
    // and User32), threads and the first device counts.
    std::vector<std::string> calls;

    // User32.dll and its export InternalGetWindowText.
    bool user32_loads = true;
    bool internal_get_window_text = true;
    int user32_open = 0;  // loads not yet freed
};

// Notes a call in `calls`.
void SimNoteCall(const std::string& call);

// Runs every created thread that has not run yet, oldest first (threads
// created meanwhile run too). Gives how many ran.
int SimRunThreads();
// Another copy of the setup program holds the named mutex.
void SimHoldMutexElsewhere(const std::string& name);
