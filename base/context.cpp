#include "base/context.h"

#include <cstring>

SetupContext setup_context;

int hidden_mode;
int silent_install;
int silent_uninstall;
volatile int exit_code = kExitNoWork;

char common_programs_folder[512];
char16_t startup_folder[512];

void ResetSetupContext(SetupContext* context) {
    std::memset(static_cast<void*>(context), 0, sizeof *context);
}
