// The simulated Windows: one machine per test, built by the test, run
// against by the real logic, inspected afterwards. Each service keeps its
// part of the machine in its own header.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_audio.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_faults.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_modules.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_shell.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_windows.h"

struct SimResources {
    std::map<int, std::vector<std::uint8_t>> rcdata;  // RCDATA by id
    bool not_loadable = false;                        // found, but LoadResource fails
};

struct SimMachine {
    SimFileSystem files;
    SimResources resources;
    SimRegistry registry;
    SimSystem system;
    SimWindows windows;
    SimProcesses processes;
    SimModules modules;
    SimShell shell;
    SimDevices devices;
    SimAudio audio;
    SimFaults faults;
    std::uintptr_t next_handle = 0x100;
};

// The machine the platform operations act on. Tests call SimReset first.
SimMachine& Sim();
// Replaces the machine with a fresh one: drive C: with an empty root,
// nothing else.
void SimReset();
// A copy of the whole machine, and putting one back: a sweep sets a machine
// up once and runs each case on a copy.
SimMachine SimSnapshot();
void SimRestore(const SimMachine& machine);
// The machine restarts: the program's process is gone with everything it
// held (open files, searches, keys, processes, loaded DLLs, mutexes,
// threads, windows and its queue, COM); files in use are free again; then
// the deletions scheduled for the restart are carried out. What else is on
// disk and in the registry stays, and so do installed devices.
void SimRestart();
// Copies text into a buffer of `size` bytes, cut to fit and terminated.
inline void SimCopyText(char* buffer, std::size_t size, const std::string& text) {
    if (size == 0) return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    text.copy(buffer, n);
    buffer[n] = '\0';
}

// A new handle value, never null, never kInvalidHandle, never reused.
void* SimNewHandle();

// The token acting now (the one impersonated, else ours) holds the
// administrators' rights: entries marked admin_only may be changed.
bool SimActsAsAdministrator();
