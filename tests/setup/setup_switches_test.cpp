// The command-line switches, alone and in the combinations a deployment
// script uses, and every row of the exit-code table.
#include "base/worker_report.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

struct Flags {
    int hidden, install, uninstall;
    bool operator==(const Flags&) const = default;
};

Flags Parse(const char* command_line) {
    hidden_mode = silent_install = silent_uninstall = 0;
    ParseCommandLine(command_line);
    return Flags{hidden_mode, silent_install, silent_uninstall};
}

using ShellSwitches = SetupTest;

}  // namespace

TEST_F(ShellSwitches, EachSwitchNeedsItsOwnDash) {
    EXPECT_EQ(Parse(nullptr), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse(""), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse("-"), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse("h"), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse("-h"), (Flags{1, 0, 0}));
    EXPECT_EQ(Parse("-H"), (Flags{1, 0, 0}));
    EXPECT_EQ(Parse("-hi"), (Flags{1, 0, 0}));
    EXPECT_EQ(Parse("-h -i"), (Flags{1, 1, 0}));
    EXPECT_EQ(Parse("-h -u"), (Flags{1, 0, 1}));
    EXPECT_EQ(Parse("-i -u"), (Flags{0, 1, 1}));
    EXPECT_EQ(Parse("-I -U -H"), (Flags{1, 1, 1}));
    EXPECT_EQ(Parse("-h-i-u"), (Flags{1, 1, 1}));
    EXPECT_EQ(Parse("/h /i"), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse("-x -q"), (Flags{0, 0, 0}));
    // The letter after a '-' is consumed with it: "--h" has no switch, and
    // a lone trailing '-' ends the text.
    EXPECT_EQ(Parse("--h"), (Flags{0, 0, 0}));
    EXPECT_EQ(Parse("-i -"), (Flags{0, 1, 0}));
    EXPECT_EQ(Parse("setup -u"), (Flags{0, 0, 1}));
    // Nothing is ever cleared.
    hidden_mode = 1;
    ParseCommandLine("-i");
    EXPECT_EQ(hidden_mode, 1);
}

TEST_F(ShellSwitches, HiddenInstallOnAFreshMachineEndsWithTheInstallResult) {
    EXPECT_EQ(Run("-h -i"), 1);
    EXPECT_EQ(Fakes().install_calls, 1);
    EXPECT_EQ(Fakes().busy_during_install, 1);
    EXPECT_EQ(setup_context.worker_busy, 0);
    EXPECT_EQ(setup_context.worker_result, 1);
    // No window shown, no box, no timer; the REPORT_INSTALLED is ignored.
    EXPECT_FALSE(WindowIsShown());
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(Sim().windows.timers.empty());
    EXPECT_TRUE(Sim().windows.shell_executes.empty());
    EXPECT_FALSE(Sim().windows.hung);
    // The worker ran on its own thread at lower priority with its own COM.
    ASSERT_EQ(Sim().system.thread_order.size(), 1u);
    const SimThread& worker = Sim().system.threads[Sim().system.thread_order[0]];
    EXPECT_TRUE(worker.ran);
    EXPECT_TRUE(worker.lowered_priority);
    EXPECT_EQ(worker.com_initialized, 0);
    EXPECT_TRUE(worker.closed);
    EXPECT_FALSE(Sim().system.main_thread_priority_lowered);
    EXPECT_EQ(Sim().system.com_open, 0);
    EXPECT_EQ(setup_context.worker_thread, nullptr);
}

TEST_F(ShellSwitches, HiddenInstallFailureEndsWithTheSequenceError) {
    Fakes().install_result = -102;
    Fakes().install_report = REPORT_FAILED;
    EXPECT_EQ(Run("-h -i"), -102);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}

TEST_F(ShellSwitches, SilentInstallRefusedWhenInstalled) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    EXPECT_EQ(Run("-h -i"), -4);
    EXPECT_EQ(Fakes().install_calls, 0);
    EXPECT_TRUE(Sim().system.threads.empty());

    // A present driver interface refuses it too (Remove offer).
    SetUp();
    PutInterface(kDazaInterfaceClass);
    EXPECT_EQ(Run("-i -h"), -4);
    EXPECT_EQ(Fakes().install_calls, 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}

TEST_F(ShellSwitches, SilentUninstallRefusedWhenNothingInstalled) {
    EXPECT_EQ(Run("-h -u"), -4);
    EXPECT_EQ(Fakes().uninstall_calls, 0);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellSwitches, SilentUninstallGivesTheSequenceResult) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    EXPECT_EQ(Run("-h -u"), 1);
    EXPECT_EQ(Fakes().uninstall_calls, 1);
    EXPECT_TRUE(Sim().system.threads.empty());  // on the window thread

    SetUp();
    PutInterface(kCableInterfaceClass);
    Fakes().uninstall_result = -101;
    Fakes().uninstall_reports_failure = true;
    EXPECT_EQ(Run("-h -u"), -101);
    // The failure report is ignored in hidden mode.
    EXPECT_TRUE(Sim().windows.boxes.empty());

    // "-u" without "-h" on an installed machine: the same unattended run
    // with the window shown; the report stood in the queue before the quit
    // message, so its box is seen, and the run still ends by itself.
    SetUp();
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    EXPECT_EQ(Run("-u"), 1);
    EXPECT_EQ(Fakes().uninstall_calls, 1);
    EXPECT_TRUE(WindowIsShown());
    EXPECT_TRUE(Sim().windows.boxes.empty());  // no "other setup program" warning either
    EXPECT_FALSE(Sim().windows.hung);
    SetUp();
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    Fakes().uninstall_result = -101;
    Fakes().uninstall_reports_failure = true;
    EXPECT_EQ(Run("-U"), -101);
    EXPECT_EQ(BoxCount("Uninstall Error"), 1);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellSwitches, InstallAndUninstallTogetherOnlyInstall) {
    EXPECT_EQ(Run("-i -u -h"), 1);
    EXPECT_EQ(Fakes().install_calls, 1);
    EXPECT_EQ(Fakes().uninstall_calls, 0);
    std::vector<std::uintptr_t> commands = PostedCommands();
    ASSERT_GE(commands.size(), 1u);
    EXPECT_EQ(commands[0], CMD_SILENT_RUN);
    EXPECT_EQ(Sim().windows.posted[0].lparam, RUN_INSTALL);
}

TEST_F(ShellSwitches, SilentInstallWithoutHideShowsAFrozenWindow) {
    EXPECT_EQ(Run("-I"), 1);
    EXPECT_TRUE(WindowIsShown());
    // The window thread waited for the whole install without reading its
    // queue; the worker's report stood there and comes before the quit
    // message, so the user still sees the outcome.
    EXPECT_EQ(BoxCount("REBOOT YOUR SYSTEM"), 1);
    EXPECT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(setup_context.background_bitmap, nullptr);
    EXPECT_EQ(setup_context.font_text, nullptr);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellSwitches, SilentInstallWithoutAThreadLeavesZero) {
    Sim().system.thread_create_fails = true;
    EXPECT_EQ(Run("-h -i"), 0);
    EXPECT_EQ(Fakes().install_calls, 0);
    EXPECT_EQ(setup_context.worker_busy, 1);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}

TEST_F(ShellSwitches, HiddenAloneWaitsForWmClose) {
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_TRUE(Sim().windows.hung);  // nothing ends it by itself
    EXPECT_FALSE(WindowIsShown());
    EXPECT_TRUE(Sim().windows.timers.empty());
    EXPECT_TRUE(Sim().windows.placements.empty());  // never resized

    SetUp();
    SimScriptPost(plat::kWmClose);
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_FALSE(Sim().windows.hung);
    EXPECT_EQ(hidden_mode, 1);  // the switch survived the context reset
    EXPECT_FALSE(WindowIsShown());
    EXPECT_EQ(Sim().windows.focus, setup_context.main_window);
}

// Every row of the exit-code table not covered above.
TEST_F(ShellSwitches, ExitCodeTable) {
    // 0: a plain close.
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_FALSE(Sim().windows.hung);

    // 0: an interactive uninstall, whatever it gave.
    SetUp();
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    Fakes().uninstall_result = -101;
    SimScriptKey(plat::kVkReturn);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Fakes().uninstall_calls, 1);

    // 1: an interactive install that succeeded.
    SetUp();
    SimScriptKey(plat::kVkReturn);
    EXPECT_EQ(Run(""), 1);
    EXPECT_EQ(BoxCount("REBOOT YOUR SYSTEM"), 1);

    // -101: an interactive install that failed; after its box the window closes.
    SetUp();
    Fakes().install_result = -101;
    Fakes().install_report = REPORT_FAILED;
    SimScriptKey(plat::kVkReturn);
    EXPECT_EQ(Run(""), -101);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].caption, "Mixolyte Installation Error");
    EXPECT_EQ(Sim().windows.boxes[0].text, "Failed to create the folder");
    EXPECT_EQ(Sim().windows.boxes[0].type, 0x1010u);
    EXPECT_FALSE(Sim().windows.hung);

    // -1: the mutex cannot be created; nothing else starts.
    SetUp();
    Sim().system.mutex_create_fails = true;
    EXPECT_EQ(Run(""), -1);
    EXPECT_EQ(SimMainWindow(), nullptr);
    EXPECT_EQ(Sim().system.user32_open, 0);

    // -10: another copy runs; no window, no box, the mutex let go.
    SetUp();
    SimHoldMutexElsewhere("ZT-Audio Mixolyte-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}");
    EXPECT_EQ(Run("-i"), -10);
    EXPECT_EQ(SimMainWindow(), nullptr);
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_EQ(Fakes().install_calls, 0);
    EXPECT_TRUE(Sim().system.mutex_handles.empty());

    // -2 and -3 are in the offer scenarios; -4 above.
}

TEST_F(ShellSwitches, StartupErrorsEndWithMinusFive) {
    Sim().windows.register_class_fails = true;
    EXPECT_EQ(Run(""), kExitStartupError);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].text, "Failed to register window class...");
    EXPECT_EQ(Sim().windows.boxes[0].caption, "Startup Error");
    EXPECT_EQ(Sim().windows.boxes[0].type, 0x30u);
    EXPECT_EQ(Sim().windows.boxes[0].owner, nullptr);
    EXPECT_FALSE(Sim().windows.hung);  // no message loop without a window
    EXPECT_TRUE(Sim().system.mutexes.empty());
    EXPECT_EQ(Sim().system.com_open, 0);

    SetUp();
    Sim().windows.create_window_fails = true;
    EXPECT_EQ(Run("-i"), kExitStartupError);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].text, "Failed to create window...");
    EXPECT_EQ(Fakes().install_calls, 0);

    // Hidden: an unattended run must not wait on a box.
    SetUp();
    Sim().windows.create_window_fails = true;
    EXPECT_EQ(Run("-h -i"), kExitStartupError);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}
