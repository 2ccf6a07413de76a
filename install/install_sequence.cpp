// Placeholder so the shell links while the install sequence is written;
// replaced by the real sequence.
#include "install/install.h"

int RunInstall(SetupContext* /*context*/) { return -100; }
