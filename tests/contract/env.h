// What the platform contract suite needs from its surroundings: the same
// tests run against the sim on the host and against Win32 in Wine; only the
// setting-up differs per backend (env_sim.cpp, env_win32.cpp).
#pragma once
#include <string>
#include <vector>

#include "platform/types.h"

// Gives the test a clean place to work: on the sim a fresh machine, on
// Windows nothing to do.
void ContractSetUp();
// 1 on the sim, 0 on Windows: for the few facts only the sim can force.
int ContractIsSim();
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
std::string ContractReadFile(const std::string& path);  // empty when absent
void ContractMakeReadOnly(const std::string& path);
// 0 where read-only files can still be written: Wine run by root maps the
// attribute to Unix permissions, which root passes. Windows and the sim: 1.
int ContractHonoursReadOnly();
// Holds the file open without sharing (in Windows) or marks it in use (sim)
// until ContractReleaseFile.
void ContractHoldFile(const std::string& path);
void ContractReleaseFile(const std::string& path);
// Places a DLL at `path` and keeps it loaded the way a running program
// keeps its DLLs: the file can then be renamed but not deleted. Windows: a
// copy of a system DLL, loaded with LoadLibraryA; the sim: a file in use.
// 1 when it worked. ContractUnloadModules lets go of all of them (the
// files stay, under whatever name they have by then).
int ContractPutLoadedModule(const std::string& path);
void ContractUnloadModules();

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
