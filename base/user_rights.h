// Whose rights the work in the places the user controls runs with (the
// per-user Start menu, the Startup folder, HKCU): see the states in
// platform/security.h.
#pragma once

#include "platform/security.h"

// Decides the state for one piece of per-user work and, for kAsUser, makes
// the thread impersonate the desktop shell's token. Each piece asks anew:
// the shell may have gone or come in between.
plat::UserRights BeginUserWork();

// Ends what BeginUserWork began. When the program's own rights cannot be
// restored, the process ends at once with kExitRightsNotRestored rather
// than go on with a token other than the one it thinks it has.
void EndUserWork(plat::UserRights rights);
