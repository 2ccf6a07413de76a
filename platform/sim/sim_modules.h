// Simulated DLLs present, the modules loaded from them and their exports.
//
// A DLL is a file in the simulated file system together with its exports:
// entry points without arguments that return an HRESULT and may change the
// machine. Loading, calls, FreeLibrary and CoFreeLibrary are recorded in
// order with the simulated clock, so tests read the pauses between them.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

using SimExport = std::function<std::int32_t()>;

struct SimDll {
    std::map<std::string, SimExport> exports;  // by exact name
    bool load_fails = false;                   // present, but LoadLibraryExA fails
};

enum SimModuleEventKind {
    kSimModuleLoad,           // LoadLibraryExA succeeded
    kSimModuleLoadFailed,     // LoadLibraryExA failed
    kSimModuleCall,           // an export was called
    kSimModuleExportMissing,  // GetProcAddress found nothing
    kSimModuleFree,           // FreeLibrary
    kSimModuleCoFree,         // CoFreeLibrary
};

struct SimModuleEvent {
    SimModuleEventKind kind;
    std::string path;    // the DLL's path as its file was created (as passed when absent)
    std::string name;    // the export, for calls and missing exports
    std::int32_t result = 0;  // the call's HRESULT
    std::uint32_t tick = 0;   // the simulated clock
    std::uint32_t flags = 0;  // LoadLibraryExA's flags, for loads
};

struct SimLoadedModule {
    std::string key;  // SimPathKey of the DLL
    int count = 0;    // loads not yet freed
};

struct SimModules {
    std::map<std::string, SimDll> dlls;               // by SimPathKey of the DLL file
    std::map<std::uintptr_t, SimLoadedModule> loaded;  // by module handle
    std::vector<SimModuleEvent> events;
};

// Places a DLL: a file at `path` (stand-in bytes, unless a file is already
// there) with its exports. The record stays valid for the machine's life.
SimDll& SimPutDll(const std::string& path, std::map<std::string, SimExport> exports = {});
