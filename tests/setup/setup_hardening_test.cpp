// The elevated program against files a normal user can plant or swap: the
// DLL search and the mitigations set before anything else, the ASIO load
// flags, the uninstaller copied from the program's own held file, that
// file let go before the uninstall, and the web page opened as the user.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/hardening.h"
#include "base/names.h"
#include "platform/files.h"
#include "platform/system.h"
#include "setup/web_page.h"
#include "tests/setup/setup_sweep_support.h"

using namespace sweep;

namespace {

// Which hardening functions this Windows has, and whether they work.
enum class Hardening { kAll, kMissing, kFailing };

void SetUpHardening(Hardening kind) {
    SimSystem& system = Sim().system;
    if (kind == Hardening::kMissing) {
        system.default_dll_directories = system.set_dll_directory = system.mitigation_policy = false;
    } else if (kind == Hardening::kFailing) {
        system.mitigations_refused = {plat::kProcessRedirectionTrustPolicy, plat::kProcessImageLoadPolicy};
        SimFailCall("DllDirectoriesSetDefault", 1, 1);
    }
}

std::size_t FirstCall(const std::string& prefix) {
    const std::vector<std::string>& calls = Sim().system.calls;
    auto it = std::find_if(calls.begin(), calls.end(),
                           [&](const std::string& call) { return call.compare(0, prefix.size(), prefix) == 0; });
    return static_cast<std::size_t>(it - calls.begin());
}

struct Outcome {
    int install_exit = 0;
    int uninstall_exit = 0;
    Fingerprint installed;
    Fingerprint removed;
    std::vector<std::uint32_t> asio_flags;
};

// "-h -i" then "-h -u" on the same machine.
Outcome InstallThenUninstall(Hardening kind) {
    BuildBaseMachine();
    SetUpHardening(kind);
    Outcome outcome;
    outcome.install_exit = RunProgram("-h -i").exit_code;
    outcome.installed = TakeFingerprint();
    for (const SimModuleEvent& event : Sim().modules.events)
        if (event.kind == kSimModuleLoad) outcome.asio_flags.push_back(event.flags);
    SimRestart();
    outcome.uninstall_exit = RunProgram("-h -u").exit_code;
    outcome.removed = TakeFingerprint();
    return outcome;
}

// An install refused before any change: silent, no box; with the window,
// one error box that says why.
void ExpectRefusalBox(const char* switches, const char* why) {
    if (switches[1] == 'h') {
        EXPECT_TRUE(Sim().windows.boxes.empty());
        return;
    }
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].caption, "Mixolyte Installation Error");
    EXPECT_EQ(Sim().windows.boxes[0].type, 0x1010u);
    EXPECT_NE(Sim().windows.boxes[0].text.find(why), std::string::npos);
    EXPECT_NE(Sim().windows.boxes[0].text.find("Nothing was changed."), std::string::npos);
}

}  // namespace

TEST(ShellHardening, ComesFirstAndChangesNothingWhenMissingOrFailing) {
    const Outcome all = InstallThenUninstall(Hardening::kAll);
    // Before the mutex, any DLL load, any thread and the inventory; and
    // the program's own file held before any of them too.
    BuildBaseMachine();
    RunProgram("-h -i");
    const std::vector<std::string> start(Sim().system.calls.begin(), Sim().system.calls.begin() + 5);
    EXPECT_EQ(start, (std::vector<std::string>{"SetDefaultDllDirectories", "SetProcessMitigationPolicy 16",
                                               "SetProcessMitigationPolicy 10", "HoldOwnImage", "CreateMutexA"}));
    for (const char* later : {"LoadLibrary", "CreateThread", "WaveDeviceCount"})
        EXPECT_GT(FirstCall(later), FirstCall("CreateMutexA")) << later;
    // COM's security once for the process, right with the first COM start
    // (the inventory's), before the device counts and the worker thread,
    // which starts COM again.
    EXPECT_EQ(std::count(Sim().system.calls.begin(), Sim().system.calls.end(), "CoInitializeSecurity"), 1);
    EXPECT_LT(FirstCall("CoInitializeSecurity"), FirstCall("WaveDeviceCount"));
    EXPECT_LT(FirstCall("CoInitializeSecurity"), FirstCall("CreateThread"));
    EXPECT_TRUE(Sim().system.com_secured);
    EXPECT_EQ(Sim().system.default_dll_directories_flags, plat::kLoadLibrarySearchSystem32);
    EXPECT_FALSE(Sim().system.dll_directory_set);
    EXPECT_EQ(Sim().system.mitigations,
              (std::vector<std::pair<int, std::uint32_t>>{
                  {plat::kProcessRedirectionTrustPolicy, plat::kRedirectionTrustEnforce},
                  {plat::kProcessImageLoadPolicy,
                   plat::kImageLoadNoRemoteImages | plat::kImageLoadNoLowMandatoryLabelImages}}));
    EXPECT_TRUE(Sim().files.open.empty());

    // The ASIO DLLs' own imports: their folder and the system folder.
    ASSERT_EQ(all.asio_flags.size(), 3u);
    for (std::uint32_t flags : all.asio_flags)
        EXPECT_EQ(flags, plat::kLoadLibrarySearchDllLoadDir | plat::kLoadLibrarySearchSystem32);
    EXPECT_EQ(all.install_exit, 1);
    EXPECT_EQ(all.uninstall_exit, 1);

    for (Hardening kind : {Hardening::kMissing, Hardening::kFailing}) {
        SCOPED_TRACE(kind == Hardening::kMissing ? "missing" : "failing");
        const Outcome other = InstallThenUninstall(kind);
        EXPECT_EQ(other.install_exit, all.install_exit);
        EXPECT_EQ(other.uninstall_exit, all.uninstall_exit);
        EXPECT_EQ(other.installed, all.installed);
        EXPECT_EQ(other.removed, all.removed);
        // Without SetDefaultDllDirectories the current folder at least
        // goes out of the search; the ASIO flags follow what Windows has.
        EXPECT_TRUE(Sim().system.dll_directory_set || kind == Hardening::kMissing);
        EXPECT_EQ(Sim().system.dll_directory, "");
        EXPECT_TRUE(Sim().system.mitigations.empty());
        ASSERT_EQ(other.asio_flags.size(), 3u);
        std::uint32_t expected = kind == Hardening::kMissing
                                     ? plat::kLoadWithAlteredSearchPath
                                     : plat::kLoadLibrarySearchDllLoadDir | plat::kLoadLibrarySearchSystem32;
        for (std::uint32_t flags : other.asio_flags) EXPECT_EQ(flags, expected);
    }
}

TEST(ShellHardening, UninstallerIsCopiedFromTheProgramThatRuns) {
    const std::string uninstaller = ProductFolder(true) + "\\MixolyteSetup.exe";
    const std::string aside = std::string(kSetupProgram) + ".old";
    const std::vector<std::uint8_t> planted = Bytes("MZ planted");
    // Held: late in the install, another user's program tries to put its
    // own file in place of the running setup program; the hold refuses the
    // swap and the copy is the program that ran.
    BuildBaseMachine();
    int swapped = -1;
    Sim().shell.on_link_saved = [&](const SimShellLink&) {
        if (swapped != -1) return;
        SimInsideCall outside;
        swapped = plat::FileRename(kSetupProgram, aside.c_str());
        if (swapped) SimPutFile(kSetupProgram, planted);
    };
    EXPECT_EQ(RunProgram("-h -i").exit_code, 1);
    EXPECT_EQ(swapped, 0);
    EXPECT_EQ(SimReadFile(uninstaller), Bytes("MZ the setup program"));
    EXPECT_FALSE(SimFindFile(uninstaller)->read_only);
    // The 32-bit program's view of HKLM\SOFTWARE on 64-bit Windows.
    const std::string entry = "SOFTWARE\\WOW6432Node" + std::string(kUninstallEntryKey).substr(8);
    EXPECT_EQ(SimRegGetText(plat::kHkeyLocalMachine, entry, "UninstallString"), uninstaller);
    EXPECT_TRUE(Sim().files.open.empty());

    // No checked hold: the file could not be held, or the running program
    // was moved aside and another file put under its name before the hold.
    // The install changes nothing, says why, and nothing is copied by path.
    for (int swap_before : {0, 1}) {
        SCOPED_TRACE(swap_before ? "swapped before the hold" : "could not be held");
        for (const char* switches : {"-h -i", "-i"}) {
            BuildBaseMachine();
            if (swap_before) {
                ASSERT_EQ(plat::FileRename(kSetupProgram, aside.c_str()), 1);
                SimPutFile(kSetupProgram, planted);
            } else {
                Sim().system.own_image_hold_fails = true;
            }
            const Fingerprint before = TakeFingerprint();
            EXPECT_EQ(RunProgram(switches).exit_code, kExitOwnFileNotHeld);
            EXPECT_EQ(TakeFingerprint(), before);
            EXPECT_EQ(SimFindFile(uninstaller), nullptr);
            for (const SimFile* file : SimListTree("C:")) {
                if (SimPathKey(file->path) == SimPathKey(kSetupProgram)) continue;
                EXPECT_NE(file->bytes, planted) << file->path;
            }
            EXPECT_TRUE(Sim().processes.started.empty());
            ExpectRefusalBox(switches, "could not hold its own file");
        }
    }
}

namespace {
std::string running_uninstaller;
int renamed_at_start = -1;

// The uninstall as it starts: the running uninstaller moves itself aside.
int UninstallMovingItselfAside() {
    SimInsideCall outside;
    std::string moved = running_uninstaller.substr(0, running_uninstaller.size() - 4) + ".del";
    renamed_at_start = plat::FileRename(running_uninstaller.c_str(), moved.c_str());
    return 1;
}
}  // namespace

TEST(ShellHardening, OwnFileIsLetGoBeforeTheUninstallStarts) {
    BuildBaseMachine();
    ASSERT_EQ(RunProgram("-h -i").exit_code, 1);
    SimRestart();
    running_uninstaller = ProductFolder(true) + "\\MixolyteSetup.exe";
    Sim().system.module_path = running_uninstaller;
    SimFindFile(running_uninstaller)->in_use = true;
    hidden_mode = silent_install = silent_uninstall = 0;
    ResetSetupContext(&setup_context);
    ForgetFolderLookUp();
    uninstall_sequence = UninstallMovingItselfAside;
    EXPECT_EQ(SetupMain(reinterpret_cast<plat::Handle>(0x400000), "-h -u"), 1);
    uninstall_sequence = RunUninstall;
    EXPECT_EQ(renamed_at_start, 1);
    EXPECT_TRUE(SimFindFile(ProductFolder(true) + "\\MixolyteSetup.del") != nullptr);
    EXPECT_TRUE(Sim().files.open.empty());
}

TEST(ShellHardening, WebPageOpensAsTheUserOrNotAtAll) {
    // A whole install with the window shown, as a user clicks through it:
    // the welcome page goes to the desktop shell, or nowhere when there is
    // none; the box and the exit code are the same either way.
    std::vector<SimMessageBox> boxes[2];
    for (bool desktop : {true, false}) {
        SCOPED_TRACE(desktop ? "desktop shell" : "no desktop shell");
        BuildBaseMachine();
        Sim().shell.desktop_shell = desktop;
        EXPECT_EQ(RunProgram("-i").exit_code, 1);
        if (desktop) {
            ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
            EXPECT_EQ(Sim().windows.shell_executes[0].file, "https://www.example.com/mixolyte/welcome.html");
            EXPECT_EQ(Sim().windows.shell_executes[0].verb, "open");
        } else {
            EXPECT_TRUE(Sim().windows.shell_executes.empty());
        }
        // The program itself never starts anything for the page.
        for (const SimStartedProcess& start : Sim().processes.started)
            EXPECT_EQ(start.command_line.find("example.com"), std::string::npos) << start.command_line;
        boxes[desktop ? 0 : 1] = Sim().windows.boxes;
    }
    ASSERT_EQ(boxes[0].size(), 1u);
    ASSERT_EQ(boxes[1].size(), 1u);
    EXPECT_EQ(boxes[0][0].caption, boxes[1][0].caption);
    EXPECT_EQ(boxes[0][0].text, boxes[1][0].text);
    EXPECT_EQ(boxes[0][0].type, boxes[1][0].type);

    // A click into the picture, with the shell failing on the way, or
    // without COM's security (the shell's objects could then bring their
    // own unmarshaling code).
    SimReset();
    Sim().system.com_security_refused = true;
    plat::ComInitialize();
    OpenWebPage(kProductPageAddress, sizeof kProductPageAddress);
    EXPECT_TRUE(Sim().windows.shell_executes.empty());
    EXPECT_EQ(std::count(Sim().system.calls.begin(), Sim().system.calls.end(), "CoInitializeSecurity"), 1);
    SimReset();
    plat::ComInitialize();
    SimFailCall("ShellOpenAsUser", 1, 1);
    OpenWebPage(kProductPageAddress, sizeof kProductPageAddress);
    EXPECT_TRUE(Sim().windows.shell_executes.empty());
    OpenWebPage(kProductPageAddress, sizeof kProductPageAddress);
    ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(Sim().windows.shell_executes[0].file, "https://www.example.com");
    ResetSetupContext(&setup_context);
}

TEST(ShellHardening, UninstallerNeverTakesThePlaceOfAPackageFile) {
    // The setup program saved under a package file's name, in any letter
    // case, with the dots or blanks Windows drops from a name's end, or as
    // what could be the short name of one; by the file system's own
    // upper-case table, which takes a dotless i (code page 1254) for an I
    // and a long s (UTF-8) for an S; as a stream of a file; or as bytes
    // that are no characters of the code page, so cannot be compared:
    // refused before any change.
    const std::string downloads = "C:\\Users\\user\\Downloads\\";
    struct Named {
        int code_page;
        const char* name;
    };
    for (const Named& named : {Named{1252, "Mixolyte.exe"}, Named{1252, "ZTMixolyteDAZA_Setup_x64.exe"},
                               Named{1252, "MIXOLYTE.EXE"}, Named{1252, "mixolyte_x64.exe."},
                               Named{1252, "mixolytepro.exe "}, Named{1252, "MIXOLY~1.EXE"}, Named{1252, "readme.txt"},
                               Named{1254, "M\xFDxolyte.exe"}, Named{1254, "m\xFDxolyte_x64.EXE."},
                               Named{65001, "ZTMixolyteDAZA_\xC5\xBF" "etup_x64.exe"},
                               Named{1252, "Mixolyte.exe::$DATA"}, Named{1252, "readme.txt:x.exe"},
                               Named{1252, "MixolyteSetup.exe:Zone.exe"}, Named{65001, "Mixolyte\xC3.exe"}}) {
        const char* name = named.name;
        SCOPED_TRACE(name);
        for (const char* switches : {"-h -i", "-i"}) {
            BuildBaseMachine();
            Sim().system.ansi_code_page = named.code_page;
            SimPutFile(downloads + name, Bytes("MZ the setup program"));
            Sim().system.module_path = downloads + name;
            // Files of an earlier install whose entry is gone.
            SimPutFile(ProductFolder(true) + "\\mixolyte.exe", Bytes("the console"));
            SimPutFile(ProductFolder(true) + "\\ZTMixolyteDAZA_Setup_x64.exe", Bytes("the driver setup"));
            const Fingerprint before = TakeFingerprint();
            EXPECT_EQ(RunProgram(switches).exit_code, kExitNamedLikeProductFile);
            EXPECT_EQ(TakeFingerprint(), before);
            EXPECT_TRUE(Sim().processes.started.empty());
            EXPECT_TRUE(Sim().files.open.empty());
            ExpectRefusalBox(switches, "named like a file of the product");
        }
    }
    // Names a package file has only below a subfolder, or none at all (a
    // "~" and a digit in a name longer than 8.3 is no short name), are
    // the uninstaller's own: the install runs, and the package files are
    // theirs, the uninstaller beside them, the entry naming it; the next
    // start of the same program finds it the same program.
    // A dotted capital I is no I to the file system: "M\xDDxolyte.exe" on
    // code page 1254 is a name of its own.
    for (const Named& named : {Named{1252, "lame_enc.dll"}, Named{1252, "Mixolyte Setup.exe"},
                               Named{1252, "mixolyte.exe.exe"}, Named{1252, "Setup~x.exe"},
                               Named{1252, "MixolyteSetup~2.exe"}, Named{1254, "M\xDDxolyte.exe"},
                               Named{65001, "Mixolyte\xC3\xA9.exe"}}) {
        const char* name = named.name;
        SCOPED_TRACE(name);
        BuildBaseMachine();
        Sim().system.ansi_code_page = named.code_page;
        SimPutFile(downloads + name, Bytes("MZ the setup program"));
        Sim().system.module_path = downloads + name;
        EXPECT_EQ(RunProgram("-h -i").exit_code, 1);
        const std::string product = ProductFolder(true);
        EXPECT_EQ(SimReadFile(product + "\\" + name), Bytes("MZ the setup program"));
        EXPECT_EQ(SimReadFile(product + "\\mixolyte.exe"), Bytes("contents of mixolyte.exe\r\n"));
        EXPECT_EQ(SimReadFile(product + "\\mp3lame\\lame_enc.dll"), Bytes("contents of mp3lame\\lame_enc.dll\r\n"));
        const std::string entry = "SOFTWARE\\WOW6432Node" + std::string(kUninstallEntryKey).substr(8);
        EXPECT_EQ(SimRegGetText(plat::kHkeyLocalMachine, entry, "UninstallString"), product + "\\" + name);
        RestartFromDownloads();
        Sim().system.module_path = downloads + name;
        EXPECT_EQ(RunProgram("-h -i").exit_code, kExitSilentRefused);  // installed, not "Wrong Installation Program"
        EXPECT_EQ(IsSameSetupProgram(), 1);
    }
}
