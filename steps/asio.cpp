#include "steps/asio.h"

#include <cstdint>

#include "base/hardening.h"
#include "base/names.h"
#include "base/text.h"
#include "platform/modules.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "steps/child_temp.h"

namespace {

constexpr std::uint32_t kRegistrationPauseMs = 50;
constexpr std::uint32_t kRegistrationProgramWaitMs = 10000;

}  // namespace

void RegisterDll32(const char* dll_name, SetupContext* context, int mode) {
    char path[1024];
    if (!JoinPath(path, sizeof path, context->product_folder, dll_name)) return;
    plat::Handle module = plat::ModuleLoad(path, dll_load_flags);
    if (module == plat::kInvalidHandle) return;
    std::int32_t result = 0;
    if (mode == kAsioRegister) {
        if (!plat::ModuleCallEntry(module, "DllRegisterServer", &result)) {
            plat::ModuleFree(module);
            return;
        }
        plat::ModuleCoFree(module);
        if (result == 0) plat::SleepMs(kRegistrationPauseMs);
        return;
    }
    if (!plat::ModuleCallEntry(module, "DllUnregisterServer", &result)) {
        plat::ModuleCoFree(module);
        return;
    }
    plat::ModuleCoFree(module);
    plat::SleepMs(kRegistrationPauseMs);
}

void RegisterDll64(const char* dll_name, SetupContext* context, int mode) {
    char program[1024];
    if (!JoinPath(program, sizeof program, context->product_folder, kAsioRegistrationProgram)) return;
    // No program name in front, no quotes, no blank between "-f" and the
    // path: the program takes the rest of the line as the DLL's path.
    char dll_path[1024];
    if (!JoinPath(dll_path, sizeof dll_path, context->product_folder, dll_name)) return;
    char command_line[1024];
    CopyText(command_line, sizeof command_line, mode == kAsioRegister ? "" : " -u ");
    AppendText(command_line, sizeof command_line, " -f");
    if (!AppendText(command_line, sizeof command_line, dll_path)) return;

    // Started in the product folder: the setup program's current folder is
    // often one a normal user can write to, and a DLL the registration
    // program looks for would be searched for there.
    plat::Handle process = nullptr;
    char temp[kChildTempSize];
    if (StartChildProgram(context, program, command_line, temp, sizeof temp, &process) != plat::kProcessStarted) {
        RemoveChildTemp(temp);
        return;
    }
    // A program still running after the wait is left running; what it
    // still uses of its TEMP goes at the restart.
    plat::ProcessWait(process, kRegistrationProgramWaitMs);
    std::uint32_t child_exit = 0;  // read, not used
    plat::ProcessExitCode(process, &child_exit);
    plat::ProcessClose(process);
    RemoveChildTemp(temp);
}

int RegisterAsioDrivers(SetupContext* context, int mode) {
    for (const char* name : kAsioDrivers32) RegisterDll32(name, context, mode);
    if (context->is_wow64 != 0)
        for (const char* name : kAsioDrivers64) RegisterDll64(name, context, mode);
    return 0;
}
