#include "base/worker_report.h"

#include "platform/windows.h"

void PostWorkerReport(plat::Handle window, std::intptr_t code) {
    plat::WindowPostMessage(window, plat::kWmCommand, CMD_WORKER_REPORT, code);
}
