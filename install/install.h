// The install sequence, run by the install worker on the setup context.
#pragma once
#include "setup/context.h"

// 1 when the sequence ran to its end (driver failures included); -100,
// -101 or -102 when it stopped early.
int RunInstall(SetupContext* context);
