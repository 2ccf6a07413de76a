// The whole install sequence on simulated machines: a package built from
// small entries, stand-ins for the programs and DLLs it carries, and what
// the machine holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/worker_report.h"
#include "install/install.h"
#include "platform/devices.h"
#include "steps/driver_setup.h"
#include "steps/registry_records.h"
#include "tests/support/test_machine.h"

using namespace install_test;

namespace {

const char kLoopBackService[] = "SYSTEM\\CurrentControlSet\\Services\\ZT-QuadWire";


// A machine ready for the install: the package in the program's resources
// and the stand-ins behind the product folder's programs and DLLs.
SetupContext* ReadyMachine(bool is_64bit, int os_version_code) {
    SetupContext* context = NewMachine(is_64bit, os_version_code);
    PutPackage(PackageEntries());
    PutStandIns(context, is_64bit);
    HoldRunningProgram();
    // A DAZA interface that refuses every open: the install itself never
    // looks for it, so any open attempt is the pin check's.
    Sim().devices.classes[kSimDazaClass].present = true;
    Sim().devices.classes[kSimDazaClass].openable = false;
    return context;
}

// The DAZA driver setup stand-in: besides recording, it notes whether the
// loop-back flags and the uninstall entry already exist and, like the real
// driver install, makes the DAZA device appear with all its pins up.
struct DazaSeen {
    bool flags = false;
    bool uninstall_entry = false;
};
DazaSeen* DazaInstallsTheDevice(SetupContext* context) {
    static DazaSeen seen;
    seen = DazaSeen{};
    std::string path = ProductFolder(true) + "\\ZTMixolyteDAZA_Setup_x64.exe";
    Sim().processes.programs[SimPathKey(path)].behaviour = [context](SimProgramRun& run) {
        std::uint32_t flag = 0;
        seen.flags = SimRegGetDword(kHklm, "SOFTWARE\\WOW6432Node\\ZT-Audio\\QuadWire", kLoopBackValue, &flag) &&
                     SimRegGetDword(kHklm, "SOFTWARE\\ZT-Audio\\QuadWire", kLoopBackValue, &flag) &&
                     SimRegGetDword(kHklm, kLoopBackService, kLoopBackValue, &flag);
        seen.uninstall_entry = SimRegKeyExists(kHklm, UninstallEntry());
        SimAddDazaDevice(SimDazaAllChannels({SimPinStep{0, 6000, 6000, false}}));
        auto answer = Sim().devices.answer;
        Sim().devices.answer = [answer, context](const SimDeviceRequest& request, std::vector<std::uint8_t>* out) {
            if (!Record().step_at.count("device")) Record().step_at["device"] = context->step_text;
            return answer(request, out);
        };
        return RecordingProgram(context)(run);
    };
    return &seen;
}

// Notes the step label when the first shortcut is saved.
void WatchShortcutStep(const SetupContext* context) {
    Sim().shell.on_link_saved = [context](const SimShellLink&) {
        if (!Record().step_at.count("shortcut")) Record().step_at["shortcut"] = context->step_text;
    };
}

std::vector<std::string> ProgramsStarted() {
    std::vector<std::string> names;
    for (const SimStartedProcess& process : Sim().processes.started) names.push_back(FileName(process.application));
    return names;
}

bool PinCheckRan() {
    auto it = Sim().devices.classes.find(kSimDazaClass);
    return it != Sim().devices.classes.end() && it->second.open_attempts > 0;
}

std::uint32_t UserDword(const char* name) {
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(SimRegGetDword(kHkcu, kProductSettingsKey, name, &value)) << name;
    return value;
}

// Nothing of the work after the package: no driver, registration,
// registry record, shortcut or uninstaller.
void ExpectNothingAfterThePackage(bool is_64bit) {
    EXPECT_TRUE(Sim().processes.started.empty());
    EXPECT_TRUE(Sim().modules.events.empty());
    EXPECT_FALSE(SimRegKeyExists(kHklm, UninstallEntry()));
    EXPECT_FALSE(SimRegKeyExists(kHkcu, kProductSettingsKey));
    EXPECT_FALSE(SimRegKeyExists(kHklm, "SOFTWARE\\WOW6432Node\\ZT-Audio"));
    EXPECT_FALSE(SimRegKeyExists(kHklm, "SOFTWARE\\ZT-Audio"));
    EXPECT_FALSE(SimRegKeyExists(kHklm, kLoopBackService));
    EXPECT_TRUE(Sim().shell.links.empty());
    EXPECT_EQ(SimFindFile(ProductFolder(is_64bit) + "\\MixolyteSetup.exe"), nullptr);
    EXPECT_FALSE(PinCheckRan());
}

}  // namespace

TEST(InstallSequence, SixtyFourBitWindows10InstallsEverythingInOrder) {
    SetupContext* context = ReadyMachine(true, kWindows10);
    DazaSeen* daza = DazaInstallsTheDevice(context);
    WatchShortcutStep(context);
    SimFindFile(kSetupProgram)->read_only = true;  // as downloaded from a CD
    // A ".del" left by an earlier uninstall goes; one in a subfolder stays.
    const std::string folder = ProductFolder(true);
    SimPutFile(folder + "\\ztml_asiodriver.del", Bytes("old"));
    SimPutFile(folder + "\\mp3lame\\lame_enc.del", Bytes("old"));

    EXPECT_EQ(RunInstall(context), 1);

    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_INSTALLED});
    EXPECT_STREQ(context->message_caption, "Mixolyte Installation Error");
    EXPECT_STREQ(context->message_text, "");
    EXPECT_STREQ(context->step_text, "Installation Completed");
    EXPECT_EQ(context->daza_driver_found, 1);

    // The package, byte for byte, and the uninstaller under its own name,
    // its read-only attribute taken off.
    std::vector<std::vector<std::uint8_t>> plain = PackageEntries();
    for (int i = 0; i < kPackageEntryCount; ++i)
        EXPECT_EQ(SimReadFile(folder + "\\" + kPackageEntryNames[i]), plain[i]) << kPackageEntryNames[i];
    SimFile* uninstaller = SimFindFile(folder + "\\MixolyteSetup.exe");
    ASSERT_NE(uninstaller, nullptr);
    EXPECT_EQ(uninstaller->bytes, Bytes("MZ the setup program"));
    EXPECT_FALSE(uninstaller->read_only);
    EXPECT_EQ(SimFindFile(folder + "\\ztml_asiodriver.del"), nullptr);
    EXPECT_NE(SimFindFile(folder + "\\mp3lame\\lame_enc.del"), nullptr);

    // The DAZA driver once, in the product folder, after the loop-back flags
    // and before any registry record; then the ASIO drivers.
    std::vector<std::string> expected = {"ZTMixolyteDAZA_Setup_x64.exe|-h -i -H -n|" + folder};
    for (const std::string& event : AsioDriverEvents(folder, true, true)) expected.push_back(event);
    EXPECT_EQ(Record().events, expected);
    EXPECT_TRUE(daza->flags);
    EXPECT_FALSE(daza->uninstall_entry);
    EXPECT_TRUE(Sim().processes.open.empty());
    for (const char* dll : {"ztml_asiodriver.dll", "ztmlaux_asiodriver.dll", "ztmlins_asiodriver.dll"})
        EXPECT_TRUE(SimRegKeyExists(kHklm, AsioEntryKey(dll, false))) << dll;
    for (const char* dll : {"ztml_asiodriver64.dll", "ztmlaux_asiodriver64.dll", "ztmlins_asiodriver64.dll"})
        EXPECT_TRUE(SimRegKeyExists(kHklm, AsioEntryKey(dll, true))) << dll;

    // Step labels as each part ran.
    EXPECT_EQ(Record().step_at["ZTMixolyteDAZA_Setup_x64.exe"], "Install ML-VAIOs");
    EXPECT_EQ(Record().step_at["shortcut"], "Create Shortcuts");
    EXPECT_EQ(Record().step_at["device"], "Configure VAIOs");
    EXPECT_TRUE(PinCheckRan());

    // Registry: the uninstall entry in the 32-bit view with its four values
    // and then the description, the loop-back flag in both views, the
    // settings.
    EXPECT_EQ(SimRegListValues(kHklm, kWowUninstallEntry),
              (std::vector<std::string>{"DisplayName", "Publisher", "UninstallString", "DisplayIcon",
                                        "QuietUninstallString", "DisplayVersion", "InstallLocation",
                                        "EstimatedSize", "NoModify", "NoRepair"}));
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "DisplayVersion"), "2.1.2.2");
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "InstallLocation"), folder);
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "QuietUninstallString"),
              "\"" + folder + "\\MixolyteSetup.exe\" -h -u");
    // The size is that of every file the install left in the product
    // folder, in KiB rounded up.
    std::uint64_t installed_bytes = 0;
    for (const SimFile* file : SimListTree(folder))
        if (!file->is_folder) installed_bytes += file->bytes.size();
    std::uint32_t estimated = 0, no_modify = 0, no_repair = 0;
    EXPECT_TRUE(SimRegGetDword(kHklm, kWowUninstallEntry, "EstimatedSize", &estimated));
    EXPECT_GT(installed_bytes, 1024u);
    EXPECT_EQ(estimated, (installed_bytes + 1023) / 1024);
    EXPECT_TRUE(SimRegGetDword(kHklm, kWowUninstallEntry, "NoModify", &no_modify));
    EXPECT_TRUE(SimRegGetDword(kHklm, kWowUninstallEntry, "NoRepair", &no_repair));
    EXPECT_EQ(no_modify, 1u);
    EXPECT_EQ(no_repair, 1u);
    EXPECT_FALSE(SimRegKeyExists(kHklm, kUninstallEntryKey));
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "DisplayName"), "Mixolyte, The Virtual Mixing Console");
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "Publisher"), "ZT-Audio Software");
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "UninstallString"), folder + "\\MixolyteSetup.exe");
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "DisplayIcon"), folder + "\\MixolyteSetup.exe");
    std::uint32_t flag = 0;
    EXPECT_TRUE(SimRegGetDword(kHklm, "SOFTWARE\\ZT-Audio\\QuadWire", kLoopBackValue, &flag));
    EXPECT_TRUE(SimRegGetDword(kHklm, "SOFTWARE\\WOW6432Node\\ZT-Audio\\QuadWire", kLoopBackValue, &flag));
    EXPECT_EQ(SimRegListValues(kHkcu, kProductSettingsKey),
              (std::vector<std::string>{"install", "nbLaunch", "done", "TimerResolution", "SysTray",
                                        "SysTrayShowOnRun", "EngineMode"}));
    EXPECT_EQ(UserDword("TimerResolution"), 1u);
    for (const char* name : {"install", "nbLaunch", "done", "SysTray", "SysTrayShowOnRun", "EngineMode"})
        EXPECT_EQ(UserDword(name), 0u) << name;

    // Eleven shortcuts; no UART INF on Windows 10.
    EXPECT_EQ(Sim().shell.links.size(), 11u);
    EXPECT_NE(SimFindShellLink(std::string(kShortcutFolder) + "\\Mixolyte x64.LNK"), nullptr);
    EXPECT_TRUE(SimListTree("C:\\Windows\\inf").empty());
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
    // Only the setup program's own file stays held, for the program's run.
    ASSERT_EQ(Sim().files.open.size(), 1u);
    EXPECT_EQ(Sim().files.open.begin()->second.key, SimPathKey(kSetupProgram));
}

TEST(InstallSequence, ThirtyTwoBitWindows10RunsTheCableAndAuxDrivers) {
    SetupContext* context = ReadyMachine(false, kWindows10);
    EXPECT_EQ(RunInstall(context), 1);
    const std::string folder = ProductFolder(false);
    EXPECT_EQ(ProgramsStarted(), (std::vector<std::string>{"ZTCABLE_Setup.exe", "ZTMLAUX_Setup.exe"}));
    EXPECT_EQ(Record().events[0], "ZTCABLE_Setup.exe|-h -i -H -n|" + folder);
    EXPECT_EQ(Record().events[1], "ZTMLAUX_Setup.exe|-h -i -H -n|" + folder);
    EXPECT_EQ(Record().step_at["ZTCABLE_Setup.exe"], "Install Audio Driver");
    EXPECT_EQ(Record().step_at["ZTMLAUX_Setup.exe"], "Install Aux Audio Driver");
    EXPECT_EQ(context->daza_driver_found, 0);
    EXPECT_FALSE(PinCheckRan());
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_INSTALLED});
    // No loop-back flags off the DAZA path; the entry in the only view.
    EXPECT_FALSE(SimRegKeyExists(kHklm, "SOFTWARE\\ZT-Audio"));
    EXPECT_FALSE(SimRegKeyExists(kHklm, kLoopBackService));
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "UninstallString"), folder + "\\MixolyteSetup.exe");
    EXPECT_EQ(Sim().shell.links.size(), 10u);
    EXPECT_NE(SimFindShellLink(std::string(kShortcutFolder) + "\\Virtual AUX IO Control Panel.LNK"), nullptr);
    // The pauses: 1 s before the package, 50 ms after each of the three
    // registrations, 1 s before the shortcuts.
    EXPECT_EQ(Sim().system.slept_ms, 2150u);
}

TEST(InstallSequence, Windows7WithTheDazaDeviceAlreadyThereRunsNoDriverSetup) {
    SetupContext* context = ReadyMachine(true, kWindows7);
    context->daza_driver_found = 1;  // found at start-up
    SimAddDazaDevice(SimDazaAllChannels({SimPinStep{0, 6000, 6000, false}}));
    SimPutFile("C:\\Windows\\inf\\ztusbgpi_uart.inf", Bytes("an older INF"));
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(ProgramsStarted(),
              (std::vector<std::string>{"ztregsvr64.exe", "ztregsvr64.exe", "ztregsvr64.exe"}));
    EXPECT_TRUE(PinCheckRan());
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_INSTALLED});
    // The Windows 7 INF, over the one that was there; not the XP one.
    EXPECT_EQ(SimReadFile("C:\\Windows\\inf\\ztusbgpi_uart.inf"), Bytes("contents of ztusbgpi_uart.inf\r\n"));
    EXPECT_EQ(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"), nullptr);
    EXPECT_FALSE(SimRegKeyExists(kHklm, "SOFTWARE\\ZT-Audio"));
    EXPECT_EQ(Sim().shell.links.size(), 11u);
}

TEST(InstallSequence, Windows7WithoutTheDazaDeviceRunsTheSixtyFourBitCableAndAux) {
    SetupContext* context = ReadyMachine(true, kWindows7);
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(ProgramsStarted(), (std::vector<std::string>{"ZTCABLE_Setup_x64.exe", "ZTMLAUX_Setup_x64.exe",
                                                           "ztregsvr64.exe", "ztregsvr64.exe", "ztregsvr64.exe"}));
    EXPECT_FALSE(PinCheckRan());
    EXPECT_NE(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart.inf"), nullptr);
    EXPECT_EQ(Sim().shell.links.size(), 12u);

    // Windows XP: the older INF file.
    context = ReadyMachine(false, kWindowsXp);
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(SimReadFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"),
              Bytes("contents of ztusbgpi_uart_xp_vista.inf\r\n"));
    EXPECT_EQ(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart.inf"), nullptr);
}

TEST(InstallSequence, FailingDazaSetupIsReportedAndTheInstallGoesOn) {
    SetupContext* context = ReadyMachine(true, kWindows10);
    DazaInstallsTheDevice(context);
    Record().exit_codes["ZTMixolyteDAZA_Setup_x64.exe"] = 1;
    EXPECT_EQ(RunInstall(context), 1);
    // The runner's failure first, then the end with a driver issue.
    EXPECT_EQ(Reports(context), (std::vector<std::intptr_t>{REPORT_FAILED, REPORT_INSTALLED_DRIVER_ISSUE}));
    EXPECT_STREQ(context->message_text,
                 "Cannot install Package now...\nYou must RESTART your system and then relaunch setup program");
    EXPECT_STREQ(context->message_caption, "Mixolyte Installation Error");
    // The DAZA flag is set all the same: no cable or aux driver, and no
    // pin check after a failed driver.
    EXPECT_EQ(context->daza_driver_found, 1);
    EXPECT_EQ(ProgramsStarted(), (std::vector<std::string>{"ZTMixolyteDAZA_Setup_x64.exe", "ztregsvr64.exe",
                                                           "ztregsvr64.exe", "ztregsvr64.exe"}));
    EXPECT_FALSE(PinCheckRan());
    EXPECT_STREQ(context->step_text, "Installation Completed");
    EXPECT_NE(SimRegGetText(kHklm, kWowUninstallEntry, "UninstallString"), "");
    EXPECT_EQ(Sim().shell.links.size(), 11u);
}

// The DAZA path is taken on 64-bit Windows 10 and 11 whatever the DAZA
// setup gives, and whether or not the interface was there at start-up:
// the flag is set and the older drivers are never run.
TEST(InstallSequence, DazaPathOnWindows11WithTheInterfaceThereOrAFailingSetup) {
    struct Case {
        const char* what;
        int version;
        bool found_at_start;
        std::int32_t exit_code;
        bool cannot_start;
        std::vector<std::intptr_t> reports;
        bool pin_check;
    };
    const Case cases[] = {
        {"Windows 11", kWindowsAbove10, false, 0, false, {REPORT_INSTALLED}, true},
        {"interface there at start", kWindows10, true, 0, false, {REPORT_INSTALLED}, true},
        {"negative code", kWindowsAbove10, false, -7, false, {REPORT_FAILED, REPORT_INSTALLED_DRIVER_ISSUE}, false},
        {"cannot be started", kWindows10, false, 0, true, {REPORT_INSTALLED_DRIVER_ISSUE}, false},
    };
    for (const Case& c : cases) {
        SetupContext* context = ReadyMachine(true, c.version);
        DazaInstallsTheDevice(context);
        context->daza_driver_found = c.found_at_start ? 1 : 0;
        Record().exit_codes["ZTMixolyteDAZA_Setup_x64.exe"] = c.exit_code;
        Sim().processes.programs[SimPathKey(ProductFolder(true) + "\\ZTMixolyteDAZA_Setup_x64.exe")].create_fails =
            c.cannot_start;

        EXPECT_EQ(RunInstall(context), 1) << c.what;
        EXPECT_EQ(Reports(context), c.reports) << c.what;
        EXPECT_EQ(context->daza_driver_found, 1) << c.what;
        std::vector<std::string> started = ProgramsStarted();
        EXPECT_EQ(std::count(started.begin(), started.end(), "ZTMixolyteDAZA_Setup_x64.exe"), c.cannot_start ? 0 : 1)
            << c.what;
        EXPECT_EQ(std::count(started.begin(), started.end(), "ztregsvr64.exe"), 3) << c.what;
        EXPECT_EQ(started.size(), c.cannot_start ? 3u : 4u) << c.what;  // no cable or aux setup
        EXPECT_EQ(PinCheckRan(), c.pin_check) << c.what;
        EXPECT_STREQ(context->step_text, "Installation Completed") << c.what;
        EXPECT_EQ(std::string(context->message_text).empty(), c.exit_code >= 0) << c.what;
    }
}

TEST(InstallSequence, FailingCableAndAuxSetupsEachReportAndTheLastTextStays) {
    SetupContext* context = ReadyMachine(false, kWindows10);
    Record().exit_codes["ZTCABLE_Setup.exe"] = -1;
    Record().exit_codes["ZTMLAUX_Setup.exe"] = 1;
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(Reports(context),
              (std::vector<std::intptr_t>{REPORT_FAILED, REPORT_FAILED, REPORT_INSTALLED_DRIVER_ISSUE}));
    EXPECT_STREQ(context->message_text,
                 "Cannot install Package now...\nYou must RESTART your system and then relaunch setup program");
    EXPECT_EQ(ProgramsStarted(), (std::vector<std::string>{"ZTCABLE_Setup.exe", "ZTMLAUX_Setup.exe"}));

    // A driver program that cannot even be started counts as failed too,
    // silently.
    context = ReadyMachine(false, kWindows10);
    Sim().processes.programs[SimPathKey(ProductFolder(false) + "\\ZTMLAUX_Setup.exe")].create_fails = true;
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_INSTALLED_DRIVER_ISSUE});
    EXPECT_STREQ(context->message_text, "");
}

TEST(InstallSequence, PackageThatCannotBeLoadedStopsAtOnce) {
    SetupContext* context = ReadyMachine(true, kWindows10);
    Sim().resources.rcdata.clear();
    EXPECT_EQ(RunInstall(context), -100);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});
    EXPECT_EQ(std::string(context->message_text),
              std::string("Installation package might be corrupted\nthanks to download official package at\n") +
                  kProductWebSite + ".");
    EXPECT_STREQ(context->message_caption, "Mixolyte Installation Error");
    EXPECT_STREQ(context->step_text, "Extract Package");
    EXPECT_EQ(Sim().system.slept_ms, 1000u);
    EXPECT_EQ(SimFindFile(ProductFolder(true)), nullptr);
    ExpectNothingAfterThePackage(true);
}

TEST(InstallSequence, ProductFolderThatCannotBeMadeStopsBeforeUnpacking) {
    SetupContext* context = ReadyMachine(false, kWindows10);
    Sim().shell.folders[0x26] = "Q:\\Program Files";  // a drive that is not there
    EXPECT_EQ(RunInstall(context), -101);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});
    EXPECT_EQ(std::string(context->message_text),
              std::string("Failed to create target folder on system disk\nthanks to download official package "
                          "at\n") +
                  kProductWebSite + ".");
    EXPECT_STREQ(context->step_text, "Copy Files");
    EXPECT_STREQ(context->product_folder, "Q:\\Program Files\\ZT\\Mixolyte");
    ExpectNothingAfterThePackage(false);
}

TEST(InstallSequence, DamagedPackageEntryStopsBeforeAnyDriverOrRegistryWork) {
    SetupContext* context = ReadyMachine(true, kWindows10);
    // One byte of the last entry's stored data changed: its digest fails.
    Sim().resources.rcdata[100].back() ^= 0x5A;
    EXPECT_EQ(RunInstall(context), -102);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});
    std::string text = context->message_text;
    EXPECT_EQ(text.rfind("Failed to copy file(s) to destination folder...\n\nSome application could still use our dll "
                         "(Mixolyte Remote API or Virtual ASIO driver)\n",
                         0),
              0u);
    EXPECT_EQ(text.substr(text.size() - std::string(kProductWebSite).size() - 1), std::string(kProductWebSite) + ".");
    EXPECT_STREQ(context->step_text, "Copy Files");
    // The files before the damaged one are there; no clean-up is done.
    EXPECT_NE(SimFindFile(ProductFolder(true) + "\\readme.txt"), nullptr);
    EXPECT_EQ(context->daza_driver_found, 0);
    ExpectNothingAfterThePackage(true);
}

TEST(InstallSequence, PublisherAndUninstallerFollowTheSetupProgram) {
    // Hidden mode: the short publisher text.
    SetupContext* context = ReadyMachine(false, kWindows81);
    hidden_mode = 1;
    EXPECT_EQ(RunInstall(context), 1);
    hidden_mode = 0;
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "Publisher"), "ZT-Audio");

    // The uninstaller keeps the running program's own file name and the
    // bytes of its held file; when its copy fails the entry is written all
    // the same.
    context = ReadyMachine(false, kWindows81);
    CopyText(context->program_path, sizeof context->program_path, "E:\\Setup Disc\\Mixolyte_Setup_2122.EXE");
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(SimReadFile(ProductFolder(false) + "\\Mixolyte_Setup_2122.EXE"), Bytes("MZ the setup program"));
    context = ReadyMachine(false, kWindows81);
    CopyText(context->program_path, sizeof context->program_path, "E:\\Setup Disc\\Mixolyte_Setup_2122.EXE");
    SimFailCall("FileCopyFromHandle", 1, 1);
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "Publisher"), "ZT-Audio Software");
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "UninstallString"),
              ProductFolder(false) + "\\Mixolyte_Setup_2122.EXE");
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "DisplayIcon"),
              ProductFolder(false) + "\\Mixolyte_Setup_2122.EXE");
    EXPECT_EQ(SimFindFile(ProductFolder(false) + "\\Mixolyte_Setup_2122.EXE"), nullptr);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_INSTALLED});
}

TEST(InstallSequence, UartInfByWindowsGeneration) {
    SetupContext* context = NewMachine(false, kWindows7);
    CopyText(context->product_folder, sizeof context->product_folder, "C:\\Program Files\\ZT\\Mixolyte\\");
    SimPutFile("C:\\Program Files\\ZT\\Mixolyte\\ztusbgpi_uart.inf", Bytes("win7 inf"));
    SimPutFile("C:\\Program Files\\ZT\\Mixolyte\\ztusbgpi_uart_xp_vista.inf", Bytes("xp inf"));
    const std::pair<int, int> expected[] = {{-1, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2},
                                            {5, 2},  {6, 2}, {7, 0}, {8, 0}, {9, 0}};
    for (const auto& [code, result] : expected) {
        context->os_version_code = code;
        EXPECT_EQ(InstallUartInf(context, kUartInfInstall), result) << code;
    }
    EXPECT_EQ(SimReadFile("C:\\Windows\\inf\\ztusbgpi_uart.inf"), Bytes("win7 inf"));
    EXPECT_EQ(SimReadFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"), Bytes("xp inf"));
    // Mode 0 deletes the file of the generation only.
    context->os_version_code = kWindows7;
    EXPECT_EQ(InstallUartInf(context, kUartInfRemove), 2);
    EXPECT_EQ(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart.inf"), nullptr);
    EXPECT_NE(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"), nullptr);
    context->os_version_code = kWindows10;
    EXPECT_EQ(InstallUartInf(context, kUartInfRemove), 0);
    EXPECT_NE(SimFindFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"), nullptr);
    // A Windows folder that ends in a backslash gets no second one.
    Sim().system.windows_folder = "D:\\";
    SimPutFolder("D:\\inf");
    context->os_version_code = kWindowsVista;
    EXPECT_EQ(InstallUartInf(context, kUartInfInstall), 1);
    EXPECT_EQ(SimReadFile("D:\\inf\\ztusbgpi_uart_xp_vista.inf"), Bytes("xp inf"));
}

TEST(InstallSequence, TheProgramsFileNameIsTheTextAfterItsLastBackslashCharacter) {
    EXPECT_STREQ(LastComponent("C:\\Users\\user\\Downloads\\MixolyteSetup.exe"), "MixolyteSetup.exe");
    EXPECT_STREQ(LastComponent("MixolyteSetup.exe"), "MixolyteSetup.exe");
    EXPECT_STREQ(LastComponent("C:\\folder\\"), "");
    EXPECT_STREQ(LastComponent("\\\\server\\share\\a b.exe"), "a b.exe");

    // Code page 932: the second byte of "\x95\x5C" is 0x5C. The program
    // saved as that character and "mixolyte.exe" is no package file: the
    // check and the uninstaller's copy both take its whole name.
    SetupContext* context = ReadyMachine(false, kWindows81);
    Sim().system.ansi_code_page = 932;
    EXPECT_STREQ(LastComponent("E:\\\x95\x5C\\\x95\x5C.exe"), "\x95\x5C.exe");
    CopyText(context->program_path, sizeof context->program_path, "E:\\Setup Disc\\\x95\x5Cmixolyte.exe");
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_EQ(SimReadFile(ProductFolder(false) + "\\\x95\x5Cmixolyte.exe"), Bytes("MZ the setup program"));
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "UninstallString"),
              ProductFolder(false) + "\\\x95\x5Cmixolyte.exe");
    EXPECT_NE(SimReadFile(ProductFolder(false) + "\\mixolyte.exe"), Bytes("MZ the setup program"));
}
