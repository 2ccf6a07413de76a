// Shell folder lookups. Both functions are looked up at run time in their
// DLLs; the logic tells "not available" apart from "the call failed".
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

constexpr int kCsidlStartup = 0x07;
constexpr int kCsidlCommonPrograms = 0x17;
constexpr int kCsidlProgramFiles = 0x26;

// SHGetSpecialFolderPathA of "SHELL32.DLL" (no owner window). Gives 0 when
// the DLL or the export is missing; otherwise 1, with the call's BOOL in
// *result and the folder in `buffer` (at least 260 bytes).
int ShellSpecialFolderPath(int csidl, int create, char* buffer, int* result);

// SHGetFolderPathA of "SHFOLDER.DLL" (no owner, no token, flags 0). Gives 0
// when missing; otherwise 1 with the HRESULT in *hresult.
int ShellFolderPath(int csidl, char* buffer, std::int32_t* hresult);

}  // namespace plat

namespace plat {

// HRESULTs of the shell link that callers and tests tell apart.
constexpr std::int32_t kHresultOk = 0;
constexpr std::int32_t kHresultClassNotRegistered = static_cast<std::int32_t>(0x80040154u);  // REGDB_E_CLASSNOTREG
constexpr std::int32_t kHresultComNotInitialized = static_cast<std::int32_t>(0x800401F0u);   // CO_E_NOTINITIALIZED

// A shortcut made through the shell-link component: CoCreateInstance of
// CLSID_ShellLink (in-process server) for IShellLinkA; SetPath(target),
// SetDescription(description), SetArguments(arguments, null allowed),
// SetWorkingDirectory(working_folder); QueryInterface for IPersistFile
// and Save(link_path converted to UTF-16 from the ANSI code page, remember
// TRUE), which overwrites an existing file. Gives CoCreateInstance's
// HRESULT when that fails, else QueryInterface's, or Save's when it ran.
// Needs COM initialised on the calling thread.
std::int32_t ShellLinkCreate(const char* link_path, const char* target, const char* description,
                             const char* arguments, const char* working_folder);

}  // namespace plat

namespace plat {

// ShellExecuteA(owner, "open", file, no parameters, no folder, SW_SHOW):
// the HINSTANCE the call gives, as a number; above 32 means success.
std::intptr_t ShellOpen(Handle owner, const char* file);

}  // namespace plat
