// What the platform contract suite needs from its surroundings: the same
// tests run against the sim on the host and against Win32 in Wine; only the
// setting-up differs per backend (env_sim.cpp, env_win32.cpp).
#pragma once
#include <string>

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
