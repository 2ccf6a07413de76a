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
