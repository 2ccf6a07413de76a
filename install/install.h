// The install sequence, run by the install worker on the setup context, and
// the small pieces it shares with the window and the uninstall sequence.
#pragma once
#include <cstdint>

#include "platform/types.h"
#include "setup/context.h"

// The window command that carries a sequence's report, and its codes.
constexpr std::uintptr_t CMD_WORKER_REPORT = 180;
constexpr std::intptr_t REPORT_FAILED = 127;
constexpr std::intptr_t REPORT_INSTALLED = 128;
constexpr std::intptr_t REPORT_INSTALLED_DRIVER_ISSUE = 129;

// The product's name as the texts show it.
inline constexpr char kProductName[] = "Mixolyte";

// kExitSucceeded (1) when the sequence ran to its end (driver failures
// included); kExitPackageUnreadable, kExitFolderOrUninstallPackage or
// kExitCopyFailed when it stopped early, after posting REPORT_FAILED with
// message_text written. The result becomes the program's exit code.
int RunInstall(SetupContext* context);

// Copies (mode 1) or deletes (mode 0) the USB UART INF file in the Windows
// "inf" folder for the Windows generation: 1 for "ztusbgpi_uart_xp_vista.inf"
// (codes 0 to 3), 2 for "ztusbgpi_uart.inf" (4 to 6), 0 for any other code
// (nothing done).
int InstallUartInf(SetupContext* context, int mode);

// Posts WM_COMMAND with CMD_WORKER_REPORT and the code to the window.
void PostWorkerReport(plat::Handle window, std::intptr_t code);
