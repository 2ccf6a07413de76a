// The one record of shared setup state, and the plain globals beside it.
#pragma once
#include <cstdint>

#include "base/names.h"
#include "base/os_version.h"
#include "platform/types.h"

struct SetupContext {
    plat::Handle main_window;
    plat::Handle instance;
    int is_wow64;
    char program_folder[1024];
    char program_path[1024];
    std::uintptr_t timer_id;
    int os_version_code;  // kWindows... (base/os_version.h)
    int cable_driver_found;
    int aux_driver_found;
    int daza_driver_found;
    int uninstall_entry_found;
    int remove_mode;
    int product_devices_found;
    char product_folder[1024];
    // The package directory verbatim: 98 records of 160 bytes, read field by
    // field through package/package_format.h.
    std::uint8_t package_directory[kPackageEntryCount][kDirectoryRecordSize];
    int button_rect[4];  // left, top, right, bottom
    int timer_ticks;
    plat::Handle background_bitmap;
    int bitmap_width;
    int bitmap_height;
    plat::Handle hand_cursor;
    plat::Handle font_text;
    plat::Handle font_label;
    plat::Handle font_button;
    plat::Handle worker_thread;
    std::uint32_t worker_thread_id;
    volatile int worker_busy;
    volatile int worker_result;
    char message_caption[512];
    char message_text[2048];
    char step_text[1024];
};

extern SetupContext setup_context;

// Switch flags and the program's result; not part of the context, so its
// reset leaves them alone.
extern int hidden_mode;
extern int silent_install;
extern int silent_uninstall;
extern volatile int exit_code;

// The program's exit codes: every value exit_code takes and SetupMain
// gives back has its name here.
constexpr int kExitNoWork = 0;              // closed without work, interactive uninstall, silent install not started
constexpr int kExitSucceeded = 1;           // install, or silent uninstall, ran to its end
constexpr int kExitMutexFailed = -1;        // the single-instance mutex cannot be created
constexpr int kExitWrongSetupProgram = -2;  // "Wrong Installation Program" was shown
constexpr int kExitInstallationIssue = -3;  // "Installation Issue" was shown
constexpr int kExitSilentRefused = -4;      // -i with the product installed, -u without it
constexpr int kExitStartupError = -5;       // the window class or the window cannot be made
constexpr int kExitAlreadyRunning = -10;    // another copy of the setup program runs
constexpr int kExitRightsNotRestored = -20; // the work as the user could not be ended: the process ended at once
constexpr int kExitPackageUnreadable = -100;        // install: the package directory cannot be loaded
constexpr int kExitFolderOrUninstallPackage = -101;  // install: no product folder; uninstall: package damaged
constexpr int kExitCopyFailed = -102;               // install: package files not extracted
constexpr int kExitOwnFileNotHeld = -103;           // install: the running program's own file not held as it runs
constexpr int kExitNamedLikeProductFile = -104;     // install: the running program is named like a package file

// Shell folders looked up once at start: the all-users one in ANSI, as the
// product's own folders are; the user's Startup folder in UTF-16, whatever
// letters it holds.
extern char common_programs_folder[512];
extern char16_t startup_folder[512];

// Fills the whole context with zero bytes.
void ResetSetupContext(SetupContext* context);
