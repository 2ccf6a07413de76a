// Running the driver setup programs that the package places in the product
// folder, and turning their exit codes into results and failure reports;
// the USB UART driver's INF file.
#pragma once
#include <cstddef>

#include "base/context.h"

// Results of the runners besides 0.
constexpr int kDriverSetupFailed = -20;         // exit code negative or unreadable
constexpr int kDriverSetupNeedsRestart = -21;   // exit code 1 on install
constexpr int kDriverSetupNoHandle = -604;      // created without a process handle
constexpr int kDriverSetupNotStarted = -605;    // the process could not be created

// The program path: product_folder, a backslash unless it ends in one, the
// base name and the ending for the machine. 1 when it fitted `size`.
int DriverProgramPath(const SetupContext* context, const char* base_name, char* path, std::size_t size);

// Runs the driver setup program with "-h -i -H -n" in the product folder
// and waits for it without a time-out. 0 for exit code 0 or 2 and above;
// -21 for 1 and -20 for a negative or unreadable exit code, each with its
// text in message_text and REPORT_FAILED posted; -605 or -604 silently
// when it could not be started.
int RunDriverSetup(SetupContext* context, const char* base_name);

// The same with "-h -u -H", on the one setup context. A program that is not
// on disk gives 0 without anything run. A negative or unreadable exit code
// gives -20 with its text and REPORT_FAILED posted; every other code 0.
int RunDriverUninstall(const char* base_name);

// What InstallUartInf does with the INF file.
enum UartInfMode : int {
    kUartInfRemove = 0,
    kUartInfInstall = 1,
};

// Copies (kUartInfInstall) or deletes (kUartInfRemove) the USB UART INF
// file in the Windows "inf" folder for the Windows generation: 1 for
// kUartInfOld (kWindowsBeforeXp to kWindowsVista), 2 for kUartInf
// (kWindows7 to kWindows81), 0 for any other code (nothing done).
int InstallUartInf(SetupContext* context, UartInfMode mode);
