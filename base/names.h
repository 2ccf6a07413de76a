// The product's fixed names, in one place: what the setup program calls
// itself, the folders, keys and files it makes and removes, the programs it
// runs and the shortcuts it makes. Install and uninstall read the same
// names here, so they cannot disagree about what exists.
#pragma once

#include "res/version.h"

// The product's name as the texts show it, and the setup program's version
// as the version resource gives it.
inline constexpr char kProductName[] = "Mixolyte";
inline constexpr char kSetupVersion[] = MIXO_VERSION_TEXT;

// The product's web site, as the failure texts of the sequences name it.
inline constexpr char kProductWebSite[] = "www.example.com/mixolyte";

// Only one copy of the setup program runs at a time: it holds this mutex.
// (The blank after "Installation-" belongs to the name.)
inline constexpr char kSetupMutexName[] =
    "ZT-Audio Mixolyte-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}";

// The setup program's window class, and the mixing console's, whose windows
// the setup program closes at start.
inline constexpr char kSetupWindowClass[] = "ZTMixolyte0Installer0MainWindow0";
inline constexpr char kConsoleWindowClass[] = "ZTCABLE0Mixolyte0MainWindow0";

// The package the program carries: 98 entries, each described by a
// directory record of 160 bytes (package/package_format.h).
constexpr int kPackageEntryCount = 98;
constexpr int kDirectoryRecordSize = 160;
constexpr int kPackageDirectorySize = kPackageEntryCount * kDirectoryRecordSize;  // 15680

// The product folder below the 32-bit Program Files folder, and its parent.
inline constexpr char kProductFolderName[] = "ZT\\Mixolyte";
inline constexpr char kProductParentName[] = "ZT";

// The shortcut folder below a Start-menu Programs folder, its parent and
// its own name.
inline constexpr char kShortcutFolderName[] = "ZT Audio\\MixoLyte";
inline constexpr char kShortcutParentName[] = "ZT Audio";
inline constexpr char kShortcutLeafName[] = "MixoLyte";
// The shortcut in the user's Startup folder that the uninstall deletes.
inline constexpr char kStartupShortcutTitle[] = "Mixolyte (ZT-Audio)";

// The uninstall entry (HKLM, default view: the 32-bit view on 64-bit
// Windows) and what it tells Programs and Features.
inline constexpr char kUninstallEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZT:Mixolyte {17359A74-1236-5467}";
inline constexpr char kDisplayName[] = "Mixolyte, The Virtual Mixing Console";
inline constexpr char kPublisher[] = "ZT-Audio Software";
inline constexpr char kPublisherHidden[] = "ZT-Audio";
// The per-user settings, HKCU, directly below the root of the hive.
inline constexpr char kProductSettingsKey[] = "ZT-Audio\\MixoLyte";
// The DAZA driver's loop-back flag: HKLM, default view and, on 64-bit
// Windows, also the 64-bit view.
inline constexpr char kLoopBackSoftwareKey[] = "SOFTWARE\\ZT-Audio\\QuadWire";
inline constexpr char kLoopBackServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\ZT-QuadWire";
inline constexpr char kLoopBackValue[] = "ZTMixolyteDAZA_LoopBack";

// Base names of the three driver setup programs; the runner adds
// "_x64.exe" on 64-bit Windows, ".exe" otherwise.
inline constexpr char kDazaSetupName[] = "ZTMixolyteDAZA_Setup";
inline constexpr char kCableSetupName[] = "ZTCABLE_Setup";
inline constexpr char kAuxSetupName[] = "ZTMLAUX_Setup";

// The USB UART INF file copied to the Windows "inf" folder: one for
// Windows XP to Vista, one for the later generations.
inline constexpr char kUartInfOld[] = "ztusbgpi_uart_xp_vista.inf";
inline constexpr char kUartInf[] = "ztusbgpi_uart.inf";

// The ASIO driver DLLs in their two builds, and the program that registers
// the 64-bit ones.
inline constexpr char kAsioRegistrationProgram[] = "ztregsvr64.exe";
inline constexpr const char* kAsioDrivers32[] = {"ztml_asiodriver.dll", "ztmlaux_asiodriver.dll",
                                                 "ztmlins_asiodriver.dll"};
inline constexpr const char* kAsioDrivers64[] = {"ztml_asiodriver64.dll", "ztmlaux_asiodriver64.dll",
                                                 "ztmlins_asiodriver64.dll"};

// The Start-menu shortcuts, in the order they are made: each a title, the
// package file it points to (another one when the DAZA driver is there),
// when it is made, and its place in the order the removal deletes them.
// The removal deletes every title that can exist on the machine, whatever
// the drivers were at install time.
enum ShortcutCondition {
    kAlways,
    kWithoutDaza,  // only when daza_driver_found is 0
    kOn64Bit,      // only when is_wow64 is set
};

struct ShortcutRow {
    const char* title;
    const char* file;
    const char* file_with_daza;  // replaces `file` when daza_driver_found is set
    ShortcutCondition condition;
    int removal_rank;  // 0 is deleted first
};

inline constexpr ShortcutRow kShortcutRows[] = {
    {"Readme", "readme.txt", nullptr, kAlways, 3},
    {"Virtual IO Control Panel", "ZTCABLE_ControlPanel.exe", "ZTMixolyteDAZA_ControlPanel.exe", kAlways, 2},
    {"Virtual AUX IO Control Panel", "ZTMLAUX_ControlPanel.exe", nullptr, kWithoutDaza, 11},
    {"Mixolyte Kumbra", "MixolytePro.exe", nullptr, kAlways, 9},
    {"Mixolyte Kumbra x64", "MixolytePro_x64.exe", nullptr, kOn64Bit, 10},
    {"Macro Buttons", "MixolyteMacroButtons.exe", nullptr, kAlways, 4},
    {"ZTAN-2-MIDI", "ZTAN2MIDI.exe", nullptr, kAlways, 5},
    {"8x8 Output Matrix", "MixolyteBUSMatrix8.exe", nullptr, kAlways, 6},
    {"15 Bands Graphic EQ", "MixolyteBUSGEQ15.exe", nullptr, kAlways, 7},
    {"ML Streamer View", "MLStreamerView.exe", nullptr, kAlways, 8},
    {"Mixolyte", "Mixolyte.exe", nullptr, kAlways, 0},
    {"Mixolyte x64", "Mixolyte_x64.exe", nullptr, kOn64Bit, 1},
};
inline constexpr int kShortcutCount = sizeof kShortcutRows / sizeof kShortcutRows[0];

// A shortcut file's extension.
inline constexpr char kLinkExtension[] = ".LNK";
