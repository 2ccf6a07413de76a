// The install sequence, run by the install worker on the setup context.
#pragma once

#include "base/context.h"

// kExitSucceeded (1) when the sequence ran to its end (driver failures
// included); kExitPackageUnreadable, kExitFolderOrUninstallPackage or
// kExitCopyFailed when it stopped early, after posting REPORT_FAILED with
// message_text written. The result becomes the program's exit code.
int RunInstall(SetupContext* context);
