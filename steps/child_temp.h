// A TEMP folder of the program's own for each child program it starts (the
// driver setup programs, the 64-bit registration program): those run as
// administrator, and the user's TEMP is a folder the user can plant files
// in and swap under them.
#pragma once
#include <cstddef>

#include "base/context.h"
#include "platform/processes.h"

constexpr std::size_t kChildTempSize = 1024;

// Makes a new folder that only SYSTEM and the Administrators can change:
// under the Windows folder's Temp, or the product folder where that cannot
// be had. Its path goes to `folder`. 1 when made; 0 when neither place
// gave one (a name someone else made first is never taken).
int MakeChildTemp(const SetupContext* context, char* folder, std::size_t size);

// Removes the folder with what the child left in it, through the removal's
// held-folder walk (removal/removal.h: a link goes as a link, never walked
// into). What stays directly in it, and the folder, go at the next restart.
void RemoveChildTemp(const char* folder);

// ProcessStart in the product folder with TEMP and TMP set to a new folder
// of MakeChildTemp, whose path goes to `temp` (empty when none was made).
// Without that folder nothing is started (kProcessCreateFailed): the child
// never gets the user's TEMP. The caller removes `temp` after the child.
plat::ProcessStartStatus StartChildProgram(const SetupContext* context, const char* program, const char* command_line,
                                           char* temp, std::size_t temp_size, plat::Handle* process);
