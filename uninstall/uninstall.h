// The uninstall sequence, run on the window thread on the one setup context.
#pragma once

// kExitSucceeded (1) when the sequence ran to its end (single removals may
// have failed silently); kExitFolderOrUninstallPackage (-101) when the
// package directory cannot be loaded, after posting REPORT_FAILED with
// message_text written and nothing removed (base/context.h).
int RunUninstall();
