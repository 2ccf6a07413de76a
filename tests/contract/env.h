// What the platform contract suite needs from its surroundings: the same
// tests run against the sim on the host and against Win32 in Wine; only the
// setting-up differs per backend (env_sim.cpp, env_win32.cpp).
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/types.h"

// A check this backend cannot make: unless `condition` holds, the test ends
// here as skipped, with the reason, and the runner counts it for the
// backend (skip_report.cpp) instead of passing without checking. Placed
// after the checks that every backend makes.
#define CONTRACT_SKIP_UNLESS(condition, reason) \
    if (condition) {                            \
    } else                                      \
        GTEST_SKIP() << "not checked on this backend: " << reason

// A folder-making call (plat::FolderCreate, plat::FolderCreateAdminOnly)
// refuses PATH, leaving WANTED in ERROR.
inline void ContractExpectFolderRefused(int (*create)(const char*, std::uint32_t*), const std::string& path,
                                        std::uint32_t* error, std::uint32_t wanted) {
    EXPECT_EQ(create(path.c_str(), error), 0) << path;
    EXPECT_EQ(*error, wanted) << path;
}

// The backend the suite runs against, for the runner's report: "sim", or
// "Win32" with the program's and the machine's bitness (and Wine's version
// when Wine stands in for Windows).
std::string ContractBackendName();

// Gives the test a clean place to work: on the sim a fresh machine, on
// Windows nothing to do.
void ContractSetUp();
// 1 on the sim, 0 on Windows: for the few facts only the sim can force.
int ContractIsSim();
// 1 when the suite runs as a 32-bit program, as the setup program does (the
// sim models that program); 0 for the 64-bit build of the suite.
int ContractIs32BitProgram();
// A folder that exists, is empty and belongs to this test alone, without a
// final backslash.
std::string ContractTempFolder();
// A drive letter with a colon that does not exist on this machine.
std::string ContractMissingDrive();
// The module whose RCDATA 100 holds ContractResourceText().
plat::Handle ContractResourceModule();
const char* ContractResourceText();
// File facts set up the way the backend can.
void ContractPutFile(const std::string& path, const std::string& bytes);
// A folder and a file by UTF-16 paths (CreateDirectoryW, CreateFileW), for
// names the ANSI code page cannot write.
void ContractPutFolder16(const std::u16string& path);
void ContractPutFile16(const std::u16string& path, const std::string& bytes);
std::string ContractReadFile(const std::string& path);  // empty when absent
void ContractMakeReadOnly(const std::string& path);
// 0 where read-only files can still be written: Wine run by root maps the
// attribute to Unix permissions, which root passes. Windows and the sim: 1.
int ContractHonoursReadOnly();
// Whether COM's process-wide security is set in this process: 1 set, 0
// not set, -1 this backend cannot tell (Wine's CoInitializeSecurity is a
// stub that accepts every call). Asks by a second CoInitializeSecurity,
// which Windows refuses once the first was made.
int ContractComSecurityIsSet();
// The folder's DACL as SDDL text ("D:P(A;OICI;FA;;;SY)..."); 0 when the
// file system keeps no descriptor given to a folder (Wine without extended
// attributes makes one up from the Unix mode).
int ContractFolderAccess(const std::string& folder, std::string* sddl);
// Holds the file open without sharing (in Windows) or marks it in use (sim)
// until ContractReleaseFile.
void ContractHoldFile(const std::string& path);
// Holds the file open as an indexer or a virus scanner does: reading,
// sharing everything, deletion too (sim: another program's hold).
void ContractHoldFileSharingDelete(const std::string& path);
void ContractReleaseFile(const std::string& path);
// Places a DLL at `path` and keeps it loaded the way a running program
// keeps its DLLs: the file can then be renamed but not deleted. Windows: a
// copy of a system DLL, loaded with LoadLibraryA; the sim: a file in use.
// 1 when it worked. ContractUnloadModules lets go of all of them (the
// files stay, under whatever name they have by then).
int ContractPutLoadedModule(const std::string& path);
void ContractUnloadModules();
// Makes `link` a folder link (a symbolic link or a junction) standing for
// the existing folder `target`. 1 when a link is there afterwards, as a
// search reports it; 0 when this backend cannot make one (Wine 8: junctions
// give ERROR_NOT_SUPPORTED and CreateSymbolicLinkA succeeds without making
// anything), with nothing left at `link`.
int ContractMakeFolderLink(const std::string& link, const std::string& target);

// The deletions scheduled for the next restart whose path lies in `folder`
// (the folder included, letter case ignored), in the order scheduled: on
// Windows read from the Session Manager's PendingFileRenameOperations
// ("\??\" taken off), on the sim from its list. ContractDropPendingDeletions
// takes them out again, so that no restart of the test machine acts on them.
std::vector<std::string> ContractPendingDeletions(const std::string& folder);
void ContractDropPendingDeletions(const std::string& folder);

// ---- Registry surroundings ----
// Makes the machine a 64-bit Windows where the backend can (the sim); on
// Windows the machine stays what it is.
void ContractUse64BitWindows();
// 1 when the machine is 64-bit Windows (the 32-bit test program runs under
// WOW64 and its HKLM\SOFTWARE view is redirected), else 0.
int ContractIs64BitWindows();
// The ANSI code page the A forms convert with (1252 on the sim).
unsigned ContractAnsiCodePage();
// Deletes the test keys with all they hold, in every view:
// HKCU\Software\MixoContract, HKLM\SOFTWARE\MixoContract and
// HKLM\SYSTEM\MixoContract.
void ContractRemoveRegistryTestKeys();
// Registry facts set up and read back beside the operations under test.
// Paths are physical: on 64-bit Windows the 32-bit view of HKLM\SOFTWARE\X
// is "SOFTWARE\WOW6432Node\X".
void ContractPutRegistryText(plat::Handle hive, const std::string& path, const std::string& name,
                             const std::string& text);  // REG_SZ with its NUL
// The value's type and bytes as RegQueryValueExA reads them; 0 when absent.
int ContractGetRegistryValue(plat::Handle hive, const std::string& path, const std::string& name,
                             std::uint32_t* type, std::string* bytes);
// The key's subkeys in enumeration order; empty when absent.
std::vector<std::string> ContractRegistrySubkeys(plat::Handle hive, const std::string& path);
// Forced failures, where the backend can force them (1) or not (0): a key
// that refuses to be opened for writing or to get subkeys, and a key that
// opens but cannot be deleted. The key is created when absent.
int ContractDenyRegistryWrite(plat::Handle hive, const std::string& path);
int ContractDenyRegistryDelete(plat::Handle hive, const std::string& path);

// ---- Processes, modules and shell links ----
// The test program beside the suite. Its raw command line is a list of
// switches separated by blanks: "--report" first writes
// "child_report.txt" into its current folder (line 1 its command line, line
// 2 its current folder, each ended by CR LF); "--sleep=MS" keeps it running
// that long; "--exit=N" ends it with exit code N (decimal, may be negative;
// 0 without it).
std::string ContractChildProgram();
// The test DLL beside the suite, exporting three HRESULT entry points
// without arguments: "DllRegisterServer" gives 0 (S_OK),
// "DllUnregisterServer" 0x80004005 (E_FAIL), "ContractAnswer" 0x00C0FFEE.
std::string ContractTestDll();
// The test process's own current folder, as GetCurrentDirectoryA gives it.
std::string ContractCurrentFolder();
// Sets a variable of the test process's own environment, as a user's own
// (HKCU's Environment) would be; an empty value removes it. Gives the
// value it had ("" when none).
std::string ContractSetOwnVariable(const std::string& name, const std::string& value);
// A shortcut read back through the shell.
struct ContractShellLink {
    std::string target;
    std::string description;
    std::string arguments;
    std::string working_folder;
};
// 1 when the .LNK file could be read, with what it holds.
int ContractReadShellLink(const std::string& path, ContractShellLink* link);

// ---- Audio surroundings ----
// Gives the machine audio devices with known facts where the backend can
// (1, the sim): capture wave devices 0 "Mic A" (1 channel), 1 that does not
// answer, 2 "Line In (High Definition Audio Device)"; render wave device 0
// "Speakers" (2 channels); capture endpoints "Microphone (Mixo Card)" with
// interface name "Mixo Card" and identifier
// "{0.0.1.00000000}.{6a0c5f8e-8d2b-4a4e-9f3b-1c2d3e4f5a6b}", then one whose
// property store fails, and an unplugged one; one render endpoint. On
// Windows the machine keeps what it has (0).
int ContractPutAudioDevices();

// ---- Windows, the message queue, drawing ----
// Makes the machine's resources those of the suite where the backend needs
// it (the sim): bitmap 101 of ContractResourceModule() is 4 x 3 pixels and
// there is no icon group 100.
void ContractPrepareWindows();
// Lets time pass for the timers while the test waits in MessageGet: on the
// sim a wait of that long in the machine's script; on Windows nothing to
// do (real time passes while GetMessageA waits).
void ContractLetTimersRun(unsigned milliseconds);

// ---- Device surroundings ----
// Device interface classes with known facts. On Windows they are what Wine
// has: its virtual HID mouse and keyboard (present, opening, answering
// IOCTL_HID_GET_COLLECTION_INFORMATION with 12 bytes), and its display
// adapter interface (present, but its device path does not open). The sim
// puts the same devices on its machine; the DAZA class is absent on both.
constexpr char kContractHidClass[] = "{4D1E55B2-F16F-11CF-88CB-001111000030}";
constexpr char kContractDisplayClass[] = "{5B45201D-F2F2-4F3B-85BB-30FF1F953599}";
constexpr std::uint32_t kContractHidCollectionInfo = 0xB01A8;  // buffered, 12-byte answer
void ContractPutDevices();

// ---- Tokens and pipes ----
// Makes a named pipe ("\\.\pipe\..."), lets `open` open it as a client
// and its server impersonate that client: the impersonation level the
// server got (0 anonymous, 1 identification, 2 impersonation, 3
// delegation), the client handle then closed with `close`. -1 where the
// backend has no pipes (the sim), or the server could not impersonate.
int ContractPipeClientLevel(const std::function<plat::Handle(const std::string&)>& open,
                            const std::function<void(plat::Handle)>& close);
// 1 when a client that asks for identification only (CreateFileA with
// SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION) gives the server no
// more: Windows does; Wine 8 gives every pipe's server impersonation level.
// 0 else, and on the sim.
int ContractPipeHonoursIdentification();

// Makes HKCU\`path` a registry link standing for HKCU\`target` (an empty
// key made where missing). 1 when the link is there; 0 where the backend
// cannot make one (the sim's registry has no links). ContractRemoveRegistryLink
// deletes the link itself, not its target.
int ContractMakeRegistryLink(const std::string& path, const std::string& target);
void ContractRemoveRegistryLink(const std::string& path);

// Whether anything answers to the exact path (a search without wildcards).
inline bool ContractPathExists(const std::string& path) {
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(path.c_str(), &entry);
    if (search == plat::kInvalidHandle) return false;
    plat::FindClose(search);
    return true;
}
