// The elevated program's guard against files a normal user can plant or
// swap: done first thing, before any DLL, the mutex or the inventory.
#pragma once
#include <cstdint>

#include "platform/types.h"

// The program's own file, held open from the start so that nobody can
// rename, replace or change it while the program runs; kInvalidHandle when
// it could not be had (and before HardenProcess).
extern plat::Handle held_image;

// LoadLibraryExA flags for a DLL loaded by its full path (the ASIO
// drivers): its own imports come from its folder and the system folder
// only.
extern std::uint32_t dll_load_flags;

// DLLs from the system folder only, the current folder out of the search
// on systems without that, the mitigation policies that cost nothing, and
// the program's own file held. Every call that is missing or fails is
// passed over; nothing else changes.
void HardenProcess(plat::Handle instance);

// Lets the program's own file go: the uninstall moves the running
// uninstaller aside, which the held handle would refuse.
void ReleaseHeldImage();
