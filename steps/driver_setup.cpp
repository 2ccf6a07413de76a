#include "steps/driver_setup.h"

#include <cstdint>
#include <cstring>

#include "base/names.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "steps/child_temp.h"

namespace {

constexpr char kInstallCommandLine[] = "-h -i -H -n";
constexpr char kUninstallCommandLine[] = "-h -u -H";

constexpr char kInstallFailedText[] =
    "Failed to install virtual i/o driver...\nCheck running setup in administrator mode";
constexpr char kRestartFirstText[] =
    "Cannot install Package now...\nYou must RESTART your system and then relaunch setup program";
constexpr char kUninstallFailedFormat[] =
    "Failed to uninstall %s virtual i/o driver...\nOne or several applications are still using it\n"
    "Close all possible programs using %s\n(including control panels) and try to remove it again ";

// Starts the program in the product folder, with a TEMP of its own, waits
// for it without a time-out and reads its exit code into *child_exit
// (preset to -1, so an unreadable code counts as negative). 0, -604 or
// -605.
int RunAndWait(const SetupContext* context, const char* path, const char* command_line,
               std::int32_t* child_exit) {
    *child_exit = -1;
    plat::Handle process = nullptr;
    char temp[kChildTempSize];
    plat::ProcessStartStatus status = StartChildProgram(context, path, command_line, temp, sizeof temp, &process);
    if (status != plat::kProcessStarted) RemoveChildTemp(temp);
    if (status == plat::kProcessCreateFailed) return kDriverSetupNotStarted;
    if (status == plat::kProcessNoHandle || process == plat::kInvalidHandle) return kDriverSetupNoHandle;
    plat::ProcessWait(process, plat::kInfinite);
    std::uint32_t code = 0xFFFFFFFFu;
    if (plat::ProcessExitCode(process, &code)) *child_exit = static_cast<std::int32_t>(code);
    plat::ProcessClose(process);
    RemoveChildTemp(temp);
    return 0;
}

}  // namespace

int DriverProgramPath(const SetupContext* context, const char* base_name, char* path, std::size_t size) {
    int fitted = CopyText(path, size, context->product_folder);
    std::size_t length = std::strlen(path);
    if (length == 0 || path[length - 1] != '\\') fitted &= AppendText(path, size, "\\");
    fitted &= AppendText(path, size, base_name);
    fitted &= AppendText(path, size, context->is_wow64 ? "_x64.exe" : ".exe");
    return fitted;
}

int RunDriverSetup(SetupContext* context, const char* base_name) {
    char path[2048];
    // A cut path would start some other program: count it as not startable.
    if (!DriverProgramPath(context, base_name, path, sizeof path)) return kDriverSetupNotStarted;
    std::int32_t child_exit = -1;
    int started = RunAndWait(context, path, kInstallCommandLine, &child_exit);
    if (started != 0) return started;
    if (child_exit < 0) {
        CopyText(context->message_text, sizeof context->message_text, kInstallFailedText);
        PostWorkerReport(context->main_window, REPORT_FAILED);
        return kDriverSetupFailed;
    }
    if (child_exit == 1) {
        CopyText(context->message_text, sizeof context->message_text, kRestartFirstText);
        PostWorkerReport(context->main_window, REPORT_FAILED);
        return kDriverSetupNeedsRestart;
    }
    return 0;
}

int RunDriverUninstall(const char* base_name) {
    SetupContext* context = &setup_context;
    char path[2048];
    if (!DriverProgramPath(context, base_name, path, sizeof path)) return 0;
    plat::Handle file = plat::FileOpenForRead(path);
    if (file == plat::kInvalidHandle) return 0;  // not on disk: nothing to remove
    plat::FileClose(file);
    std::int32_t child_exit = -1;
    int started = RunAndWait(context, path, kUninstallCommandLine, &child_exit);
    if (started != 0) return started;
    if (child_exit < 0) {
        FormatText(context->message_text, sizeof context->message_text, kUninstallFailedFormat, kProductName,
                   kProductName);
        PostWorkerReport(context->main_window, REPORT_FAILED);
        return kDriverSetupFailed;
    }
    return 0;
}

int InstallUartInf(SetupContext* context, UartInfMode mode) {
    const char* name = nullptr;
    int result = 0;
    if (context->os_version_code >= kWindowsBeforeXp && context->os_version_code <= kWindowsVista) {
        name = kUartInfOld;
        result = 1;
    } else if (context->os_version_code >= kWindows7 && context->os_version_code <= kWindows81) {
        name = kUartInf;
        result = 2;
    } else {
        return 0;
    }
    char source[1024];
    int fitted = JoinPath(source, sizeof source, context->product_folder, name);
    char windows[1024];
    windows[0] = '\0';
    std::uint32_t length = plat::WindowsFolder(windows, sizeof windows);
    // Without the Windows folder there is no "inf" folder to work in.
    if (length == 0 || length >= sizeof windows) return result;
    char destination[1024];
    fitted &= JoinPath(destination, sizeof destination, windows, "inf\\");
    fitted &= AppendText(destination, sizeof destination, name);
    if (!fitted) return result;
    if (mode == kUartInfInstall)
        plat::FileCopy(source, destination, 0);
    else
        plat::FileDelete(destination);
    return result;
}
