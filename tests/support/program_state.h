// The program's globals as a fresh start of it has them: every harness that
// starts the program, or a piece of it, on a simulated machine begins here.
#pragma once
#include "base/context.h"
#include "base/hardening.h"
#include "install/install.h"
#include "platform/files.h"
#include "setup/main_window.h"
#include "setup/probe.h"
#include "uninstall/uninstall.h"

inline void ResetProgramState() {
    hidden_mode = silent_install = silent_uninstall = 0;
    exit_code = 0;
    ResetSetupContext(&setup_context);
    common_programs_folder[0] = startup_folder[0] = 0;
    ForgetFolderLookUp();
    held_image = plat::kInvalidHandle;
    install_sequence = RunInstall;
    uninstall_sequence = RunUninstall;
}
