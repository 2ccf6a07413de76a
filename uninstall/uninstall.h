// The uninstall sequence, run on the window thread on the one setup context.
#pragma once

// The package directory cannot be loaded: nothing was removed.
constexpr int kUninstallPackageUnreadable = -101;

// 1 when the sequence ran to its end (single removals may have failed
// silently); -101 when the package directory cannot be loaded, after
// posting REPORT_FAILED with message_text written.
int RunUninstall();
