// The window procedure of the setup program's one window, and the small
// operations around it: the button, the install worker, the check of the
// uninstall entry's setup program, the frame metrics.
#pragma once
#include <cstdint>

#include "base/context.h"
#include "platform/types.h"

// The window's own commands (WM_COMMAND, the id in the low word of wParam,
// the code in lParam). The worker's report command is CMD_WORKER_REPORT
// (base/worker_report.h).
constexpr std::uintptr_t CMD_SILENT_RUN = 165;
constexpr std::intptr_t RUN_INSTALL = 101;
constexpr std::intptr_t RUN_UNINSTALL = 102;
constexpr std::uintptr_t CMD_WARN_OTHER_SETUP = 1492;
constexpr std::uintptr_t CMD_WARN_DRIVER_PRESENT = 1493;

// The blink timer.
constexpr std::uintptr_t kBlinkTimerId = 12347;
constexpr std::uint32_t kBlinkPeriodMs = 500;

// The sequences the window runs: RunInstall and RunUninstall. Tests put
// their own sequences here to drive every outcome.
extern int (*install_sequence)(SetupContext* context);
extern int (*uninstall_sequence)();

// The window procedure.
std::intptr_t MainWindowProc(plat::Handle window, std::uint32_t message, std::uintptr_t wparam,
                             std::intptr_t lparam);

// The action of the button and of the Enter key.
void PressButton(plat::Handle window);
// Starts the install worker; with `wait` 1 waits for it and gives
// worker_result. -1 when the thread cannot be created, else 0.
int StartInstallWorker(int wait);
// The worker thread's entry: the install sequence on the context.
std::uint32_t InstallWorkerMain(void* context);
// 0 only when the uninstall entry names another setup program file.
int IsSameSetupProgram();
// The window's border width and caption height.
void GetFrameMetrics(int* border, int* caption);
