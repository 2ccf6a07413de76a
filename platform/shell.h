// The shell: special folder lookups, shell links and opening a web address
// as the logged-on user.
//
// Conventions: an operation whose function is looked up at run time
// (SHGetSpecialFolderPathA, SHGetFolderPathA) gives 1 when the function was
// there and called, and 0 when its DLL or export is missing ("0 = export
// missing"); the call's own result then comes in an out parameter, so the
// logic tells "not available" apart from "the call failed". COM calls give
// their HRESULT as a signed 32-bit number: kHresultOk (platform/types.h) on
// success, negative on failure. Paths are 8-bit ANSI text; a folder comes
// into a caller's buffer of `size` bytes only whole and terminated.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

constexpr int kCsidlStartup = 0x07;
constexpr int kCsidlCommonPrograms = 0x17;
constexpr int kCsidlProgramFiles = 0x26;

// MAX_PATH: the most the folder lookups write, terminator included.
constexpr std::uint32_t kShellPathSize = 260;

// HRESULTs of the shell link that callers and tests tell apart.
constexpr std::int32_t kHresultClassNotRegistered = static_cast<std::int32_t>(0x80040154u);  // REGDB_E_CLASSNOTREG
constexpr std::int32_t kHresultComNotInitialized = static_cast<std::int32_t>(0x800401F0u);   // CO_E_NOTINITIALIZED

// The two folder calls come in both forms, C being char (the "A" call, for
// the product's and the all-users folders) or char16_t (the "W" call, for
// the user's own folders, whatever letters they hold); `units` counts C.

// SHGetSpecialFolderPathA/W of "SHELL32.DLL" (no owner window). Gives 0
// when the DLL or the export is missing (or `units` is 0); otherwise 1,
// with the call's BOOL in *result and the folder in `buffer`. A folder that
// does not fit gives *result 0. `buffer` is emptied first.
template <typename C>
int ShellSpecialFolderPath(int csidl, int create, C* buffer, std::uint32_t units, int* result);

// SHGetFolderPathA/W of "SHFOLDER.DLL" (no owner, no token, flags 0). Gives
// 0 when missing; otherwise 1 with the HRESULT in *hresult and the folder
// in `buffer`; a folder that does not fit gives
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER). `buffer` is emptied first.
template <typename C>
int ShellFolderPath(int csidl, C* buffer, std::uint32_t units, std::int32_t* hresult);

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

// Opens the file as the logged-on user, not elevated: through the desktop
// shell's own process (the shell window's IShellView, its
// IShellFolderViewDual's Application as IShellDispatch2, ShellExecute(file,
// no arguments, no folder, "open", SW_SHOWNORMAL)). 1 when the shell took
// it; 0 when there is no desktop shell to ask (Server Core, Explorer
// ended), COM's process-wide security could not be set (ComInitialize), or
// a step failed. Nothing is opened from this process in any case. Needs COM
// on the calling thread.
int ShellOpenAsUser(const char* file);

}  // namespace plat
