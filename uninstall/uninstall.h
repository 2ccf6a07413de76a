// The uninstall sequence, run on the window thread on the one setup context.
#pragma once

// 1 when the sequence ran to its end; -101 when the package directory
// cannot be loaded (nothing removed).
int RunUninstall();
