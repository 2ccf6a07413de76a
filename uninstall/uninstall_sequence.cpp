// The uninstall sequence: the counterpart of the install, run once on the
// window thread. Only a package directory that cannot be loaded stops it;
// every later step ignores how it went.
#include "uninstall/uninstall.h"

#include "base/context.h"
#include "base/names.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "package/package.h"
#include "platform/registry.h"
#include "platform/windows.h"
#include "removal/leftovers.h"
#include "removal/removal.h"
#include "steps/asio.h"
#include "steps/driver_setup.h"
#include "steps/registry_records.h"
#include "steps/shortcuts.h"

namespace {

constexpr char kUninstallCaption[] = "%s Uninstallation Error";
constexpr char kPackageUnreadableText[] =
    "Package uninstallation might be corrupted\nthanks to download official package at\n%s.";
constexpr char kRestartText[] = "Restart System to finish the uninstallation!";
constexpr char kRestartCaption[] = "REBOOT YOUR SYSTEM";

}  // namespace

int RunUninstall() {
    SetupContext* context = &setup_context;

    // The caption comes first: every report of the run, the driver
    // runner's included, is shown under it.
    FormatText(context->message_caption, sizeof context->message_caption, kUninstallCaption, kProductName);
    if (LoadPackageDirectory(context) != 0) {
        FormatText(context->message_text, sizeof context->message_text, kPackageUnreadableText, kProductWebSite);
        PostWorkerReport(context->main_window, REPORT_FAILED);
        return kExitFolderOrUninstallPackage;
    }

    FindProductFolder(context);

    // The driver setup programs live in the product folder: they run
    // before the package files are deleted.
    if (context->daza_driver_found) RunDriverUninstall(kDazaSetupName);
    if (context->cable_driver_found) RunDriverUninstall(kCableSetupName);
    if (context->aux_driver_found) RunDriverUninstall(kAuxSetupName);

    RegisterAsioDrivers(context, kAsioUnregister);
    InstallUartInf(context, kUartInfRemove);

    // Leftovers of an earlier run go first: a file in use cannot be moved
    // to a ".del" name that is taken.
    PurgeDelFiles(context->product_folder);
    DeletePackageFiles(context);
    MoveAsideRunningProgram(context);

    char buffer[1024];
    RemoveStartMenuShortcuts(context, buffer, sizeof buffer);
    DeleteShortcut(startup_folder, kStartupShortcutTitle);

    ResetTraySettings();
    DeleteRegistryTree(plat::kHkeyLocalMachine, kUninstallEntryKey);

    FindProductFolder(context);
    DeleteFolderTree(context->product_folder);
    // What stays (files in use, this program among them) goes at the
    // restart the box below asks for.
    FinishAtRestart(context->product_folder);
    context->product_folder[0] = '\0';
    RemoveEmptyShortcutParents();

    if (!hidden_mode)
        plat::MessageBoxShow(context->main_window, kRestartText, kRestartCaption,
                             plat::kMbSystemModal | plat::kMbIconWarning);
    return kExitSucceeded;
}
