// How a sequence tells the window how it ended: a WM_COMMAND with this
// command and one of these codes, posted from whichever thread runs it.
#pragma once
#include <cstdint>

#include "platform/types.h"

constexpr std::uintptr_t CMD_WORKER_REPORT = 180;
constexpr std::intptr_t REPORT_FAILED = 127;
constexpr std::intptr_t REPORT_INSTALLED = 128;
constexpr std::intptr_t REPORT_INSTALLED_DRIVER_ISSUE = 129;

// Posts WM_COMMAND with CMD_WORKER_REPORT and the code to the window.
void PostWorkerReport(plat::Handle window, std::intptr_t code);
