// The elevated program against files a normal user can plant or swap: the
// DLL search and the mitigations set before anything else, the ASIO load
// flags, the uninstaller copied from the program's own held file, that
// file let go before the uninstall, and the web page opened as the user.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/system.h"
#include "setup/hardening.h"
#include "setup/web_page.h"
#include "tests/sweep_support.h"

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
        system.own_image_hold_fails = true;
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
    for (bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "could not be held");
        BuildBaseMachine();
        Sim().system.own_image_hold_fails = !held;
        // Late in the install, another user's program tries to put its own
        // file in place of the running setup program.
        int swapped = -1;
        Sim().shell.on_link_saved = [&](const SimShellLink&) {
            if (swapped != -1) return;
            SimInsideCall outside;
            swapped = plat::FileRename(kSetupProgram, aside.c_str());
            if (swapped) SimPutFile(kSetupProgram, Bytes("MZ planted"));
        };
        EXPECT_EQ(RunProgram("-h -i").exit_code, 1);
        // Held: the swap is refused and the copy is the program that ran.
        // Not held: the copy is made by path, as it always was.
        EXPECT_EQ(swapped, held ? 0 : 1);
        EXPECT_EQ(SimReadFile(uninstaller), Bytes(held ? "MZ the setup program" : "MZ planted"));
        EXPECT_FALSE(SimFindFile(uninstaller)->read_only);
        // The 32-bit program's view of HKLM\SOFTWARE on 64-bit Windows.
        const std::string entry = "SOFTWARE\\WOW6432Node" + std::string(kUninstallEntryKey).substr(8);
        EXPECT_EQ(SimRegGetText(plat::kHkeyLocalMachine, entry, "UninstallString"), uninstaller);
        EXPECT_TRUE(Sim().files.open.empty());
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

TEST(ShellHardening, WebPageOpensAsTheUserWithTheDescribedFallback) {
    for (bool desktop : {true, false}) {
        SCOPED_TRACE(desktop ? "desktop shell" : "no desktop shell");
        SimReset();
        Sim().shell.desktop_shell = desktop;
        setup_context.main_window = reinterpret_cast<plat::Handle>(0x1234);
        OpenWebPage(kProductPageAddress, sizeof kProductPageAddress);
        ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
        const SimShellExecute& opened = Sim().windows.shell_executes[0];
        EXPECT_EQ(opened.file, "https://www.example.com");
        EXPECT_EQ(opened.verb, "open");
        EXPECT_EQ(opened.as_user, desktop);
        EXPECT_EQ(opened.owner, desktop ? nullptr : setup_context.main_window);
    }
    ResetSetupContext(&setup_context);
}
