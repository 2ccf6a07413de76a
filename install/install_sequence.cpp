// The install procedure: package, product folder, drivers, ASIO drivers,
// UART INF, settings, shortcuts, uninstaller and uninstall entry, then the
// naming of the virtual endpoints. Runs on the install worker thread.
#include <cstring>

#include "base/hardening.h"
#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "endpoints/endpoints.h"
#include "install/install.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "removal/leftovers.h"
#include "removal/removal.h"
#include "steps/asio.h"
#include "steps/driver_setup.h"
#include "steps/registry_records.h"
#include "steps/shortcuts.h"

namespace {

constexpr std::uint32_t kStepPauseMs = 1000;

// The three texts of an early stop, each followed by the product's web site
// and a full stop.
constexpr char kPackageUnreadableText[] =
    "Installation package might be corrupted\nthanks to download official package at\n";
constexpr char kFolderNotCreatedText[] =
    "Failed to create target folder on system disk\nthanks to download official package at\n";
constexpr char kCopyFailedText[] =
    "Failed to copy file(s) to destination folder...\n\nSome application could still use our dll (Mixolyte "
    "Remote API or Virtual ASIO driver)\nClose all applications that could use them...\n\nOtherwise "
    "installation package might be corrupted\nthanks to download official package at\n";

// The two refusals before any change: the uninstaller copy could not be
// the program that runs, or it would overwrite a file of the product.
constexpr char kOwnFileNotHeldText[] =
    "The setup program could not hold its own file open as it runs,\nso it cannot be copied as the "
    "uninstaller.\nNothing was changed.\n\nStart the setup program again, or\nthanks to download official "
    "package at\n";
constexpr char kNamedLikeProductFileText[] =
    "The setup program is named like a file of the product\nand would overwrite it as the uninstaller.\nNothing "
    "was changed.\n\nRename it (for example MixolyteSetup.exe) and start it again, or\nthanks to download "
    "official package at\n";

void SetStep(SetupContext* context, const char* label) {
    CopyText(context->step_text, sizeof context->step_text, label);
}

// Writes the failure text, reports it and gives the result back.
int StopEarly(SetupContext* context, const char* text, int result) {
    FormatText(context->message_text, sizeof context->message_text, "%s%s.", text, kProductWebSite);
    PostWorkerReport(context->main_window, REPORT_FAILED);
    return result;
}

// How the file system reads a file name: the dots and blanks at its end
// dropped (CreateFileA("x.exe.") opens "x.exe"), then letter case ignored
// by its own upper-case table in UTF-16, not by ASCII letters: on code
// page 1254 "M\xFDxolyte.exe" (dotless i) is "Mixolyte.exe". A name that
// cannot be read so counts as the same.
bool SameFileName(const char* a, const char* b) {
    std::size_t a_length = std::strlen(a);
    std::size_t b_length = std::strlen(b);
    while (a_length > 0 && (a[a_length - 1] == '.' || a[a_length - 1] == ' ')) --a_length;
    while (b_length > 0 && (b[b_length - 1] == '.' || b[b_length - 1] == ' ')) --b_length;
    return plat::FileNamesSame(a, a_length, b, b_length) != 0;
}

// A name in the 8.3 form with a "~" before a digit may be a short name,
// which Windows gives to a long one in the same folder: "MIXOLY~1.EXE" can
// open a package file. A longer name cannot be one.
bool MayBeShortName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    std::size_t base = dot != nullptr ? static_cast<std::size_t>(dot - name) : std::strlen(name);
    if (base > 8 || (dot != nullptr && std::strlen(dot + 1) > 3)) return false;
    for (const char* p = name; *p != '\0'; ++p)
        if (p[0] == '~' && p[1] >= '0' && p[1] <= '9') return true;
    return false;
}

// 1 when the running program's file name would name a package file in the
// product folder (its uninstaller copy would overwrite that file).
int NamedLikeProductFile(const SetupContext* context) {
    const char* name = LastComponent(context->program_path);
    // A ':' names a stream of a file ("readme.txt:x.exe" writes into
    // readme.txt, "Mixolyte.exe::$DATA" is Mixolyte.exe itself), a '/' a
    // folder: neither is a plain file name. Neither byte is ever the second
    // of a double-byte character.
    if (std::strpbrk(name, ":/") != nullptr || MayBeShortName(name)) return 1;
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[i], &record);
        if (SameFileName(record.name, name)) return 1;
    }
    return 0;
}

// Copies the running setup program into the product folder under its own
// file name; `target` receives that path (written also when the copy fails).
// The bytes come only from the program's own file, held since the start
// and checked to be the image that runs; the sequence does not start
// without it, and never copies by path.
void InstallUninstaller(SetupContext* context, char* target, std::size_t size) {
    JoinPath(target, size, context->product_folder, LastComponent(context->program_path));
    if (held_image == plat::kInvalidHandle) return;
    if (plat::FileCopyFromHandle(held_image, target)) plat::FileSetAttributes(target, plat::kFileAttributeNormal);
}

// The file's size as a search reports it; 0 when it is not there.
std::uint64_t FileSizeOf(const char* path) {
    plat::FindEntry entry{};
    plat::Handle search = plat::FindFirst(path, &entry);
    if (search == plat::kInvalidHandle) return 0;
    plat::FindClose(search);
    return entry.is_directory ? 0 : entry.size;
}

// KiB of what the install placed in the product folder, rounded up: every
// package entry (the extraction wrote them all, or the install stopped
// early) and the uninstaller as it landed.
std::uint32_t InstalledSizeKib(const SetupContext* context, const char* uninstaller) {
    std::uint64_t bytes = FileSizeOf(uninstaller);
    for (int index = 0; index < kPackageEntryCount; ++index) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[index], &record);
        bytes += record.size;
    }
    std::uint64_t kib = (bytes + 1023) / 1024;
    return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

}  // namespace


int RunInstall(SetupContext* context) {
    FormatText(context->message_caption, sizeof context->message_caption, "%s Installation Error", kProductName);
    int install_error = 0;

    SetStep(context, "Extract Package");
    plat::SleepMs(kStepPauseMs);
    if (LoadPackageDirectory(context) != 0)
        return StopEarly(context, kPackageUnreadableText, kExitPackageUnreadable);
    // The uninstaller copy must be the program that runs, and must not take
    // the place of a package file: both are known before anything changes.
    if (held_image == plat::kInvalidHandle) return StopEarly(context, kOwnFileNotHeldText, kExitOwnFileNotHeld);
    if (NamedLikeProductFile(context))
        return StopEarly(context, kNamedLikeProductFileText, kExitNamedLikeProductFile);

    SetStep(context, "Copy Files");
    FindProductFolder(context);
    if (CreateFolderChain(context->product_folder) != 1)
        return StopEarly(context, kFolderNotCreatedText, kExitFolderOrUninstallPackage);
    PurgeDelFiles(context->product_folder);
    RemoveEmptyLeftovers(context->product_folder);
    if (ExtractPackage(context) != 0) return StopEarly(context, kCopyFailedText, kExitCopyFailed);

    // The console's own driver, on 64-bit Windows 10 and later.
    if ((context->os_version_code == kWindows10 || context->os_version_code == kWindowsAbove10) && context->is_wow64 != 0) {
        SetStep(context, "Install ML-VAIOs");
        WriteLoopBackFlags(context->is_wow64);
        if (RunDriverSetup(context, kDazaSetupName) != 0) install_error = -1;
        context->daza_driver_found = 1;
    }
    // The cable and aux drivers wherever the console's own is not there.
    if (context->daza_driver_found == 0) {
        SetStep(context, "Install Audio Driver");
        if (RunDriverSetup(context, kCableSetupName) != 0) install_error = -2;
        SetStep(context, "Install Aux Audio Driver");
        if (RunDriverSetup(context, kAuxSetupName) != 0) install_error = -3;
    }

    RegisterAsioDrivers(context, kAsioRegister);
    InstallUartInf(context, kUartInfInstall);
    SetUserDword(kProductSettingsKey, "install", 0);
    SetUserDword(kProductSettingsKey, "nbLaunch", 0);
    SetUserDword(kProductSettingsKey, "done", 0);
    SetUserDword(kProductSettingsKey, "TimerResolution", 1);
    plat::SleepMs(kStepPauseMs);

    SetStep(context, "Create Shortcuts");
    char scratch[1024];
    CreateShortcuts(context, scratch, sizeof scratch);
    ResetTraySettings();

    char uninstaller[1024];
    InstallUninstaller(context, uninstaller, sizeof uninstaller);
    SetMachineString(kUninstallEntryKey, kDisplayName, "DisplayName");
    SetMachineString(kUninstallEntryKey, hidden_mode ? kPublisherHidden : kPublisher, "Publisher");
    SetMachineString(kUninstallEntryKey, uninstaller, "UninstallString");
    SetMachineString(kUninstallEntryKey, uninstaller, "DisplayIcon");
    WriteUninstallDescription(UninstallDescription{kSetupVersion, InstalledSizeKib(context, uninstaller),
                                                   context->product_folder, uninstaller});

    if (install_error == 0 && context->daza_driver_found != 0) {
        plat::SleepMs(kStepPauseMs);
        SetStep(context, "Configure VAIOs");
        PinCheck(context);
    }

    SetStep(context, "Installation Completed");
    PostWorkerReport(context->main_window, install_error == 0 ? REPORT_INSTALLED : REPORT_INSTALLED_DRIVER_ISSUE);
    return kExitSucceeded;
}
