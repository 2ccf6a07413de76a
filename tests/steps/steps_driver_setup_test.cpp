// The driver setup runners on the simulated machine: which program they
// start, how, and what each exit code becomes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/worker_report.h"
#include "install/install.h"
#include "platform/system.h"
#include "steps/driver_setup.h"
#include "tests/support/test_machine.h"

using namespace install_test;

namespace {

const char kRestartText[] =
    "Cannot install Package now...\nYou must RESTART your system and then relaunch setup program";
const char kInstallFailedText[] =
    "Failed to install virtual i/o driver...\nCheck running setup in administrator mode";
const char kUninstallFailedText[] =
    "Failed to uninstall Mixolyte virtual i/o driver...\nOne or several applications are still using it\n"
    "Close all possible programs using Mixolyte\n(including control panels) and try to remove it again ";

// A machine whose product folder holds the driver setup programs of its
// width, as recording stand-ins.
SetupContext* MachineWithPrograms(bool is_64bit, const std::string& product_folder) {
    SetupContext* context = NewMachine(is_64bit, kWindows10);
    CopyText(context->product_folder, sizeof context->product_folder, product_folder.c_str());
    SimPutFolder(product_folder);
    std::string folder = product_folder;
    if (folder.back() != '\\') folder += "\\";
    for (const char* program : {"ZTMixolyteDAZA_Setup_x64.exe", "ZTCABLE_Setup.exe", "ZTCABLE_Setup_x64.exe",
                                "ZTMLAUX_Setup.exe", "ZTMLAUX_Setup_x64.exe"})
        SimPutProgram(folder + program, RecordingProgram(context));
    return context;
}

}  // namespace

TEST(InstallDriverSetup, ProgramPathByWidthWithOneBackslash) {
    char path[2048];
    SetupContext* context = MachineWithPrograms(true, "C:\\Program Files (x86)\\ZT\\Mixolyte");
    ASSERT_EQ(DriverProgramPath(context, "ZTCABLE_Setup", path, sizeof path), 1);
    EXPECT_STREQ(path, "C:\\Program Files (x86)\\ZT\\Mixolyte\\ZTCABLE_Setup_x64.exe");
    context->is_wow64 = 0;
    DriverProgramPath(context, "ZTCABLE_Setup", path, sizeof path);
    EXPECT_STREQ(path, "C:\\Program Files (x86)\\ZT\\Mixolyte\\ZTCABLE_Setup.exe");
    CopyText(context->product_folder, sizeof context->product_folder, "D:\\Apps\\");
    DriverProgramPath(context, "ZTMLAUX_Setup", path, sizeof path);
    EXPECT_STREQ(path, "D:\\Apps\\ZTMLAUX_Setup.exe");
    // A path that does not fit is reported, not used cut.
    EXPECT_EQ(DriverProgramPath(context, "ZTMLAUX_Setup", path, 20), 0);
}

TEST(InstallDriverSetup, InstallRunsTheProgramOfTheMachinesWidthInTheProductFolder) {
    // 64-bit Windows, a product folder that ends in a backslash: no second
    // one in the program path, and the folder passed as stored.
    SetupContext* context = MachineWithPrograms(true, "C:\\Program Files (x86)\\ZT\\Mixolyte\\");
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), 0);
    std::vector<const SimStartedProcess*> starts =
        SimStartsOf("C:\\Program Files (x86)\\ZT\\Mixolyte\\ZTCABLE_Setup_x64.exe");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0]->application, "C:\\Program Files (x86)\\ZT\\Mixolyte\\ZTCABLE_Setup_x64.exe");
    EXPECT_EQ(starts[0]->command_line, "-h -i -H -n");
    EXPECT_EQ(starts[0]->current_folder, "C:\\Program Files (x86)\\ZT\\Mixolyte\\");
    EXPECT_EQ(Sim().processes.started.size(), 1u);
    EXPECT_TRUE(Sim().processes.open.empty());  // the handle was closed
    EXPECT_TRUE(Reports(context).empty());
    EXPECT_STREQ(context->message_text, "");

    // 32-bit Windows, no final backslash: the ".exe" build, the folder as is.
    context = MachineWithPrograms(false, "C:\\Program Files\\ZT\\Mixolyte");
    EXPECT_EQ(RunDriverSetup(context, "ZTMLAUX_Setup"), 0);
    ASSERT_EQ(Sim().processes.started.size(), 1u);
    EXPECT_EQ(Sim().processes.started[0].application, "C:\\Program Files\\ZT\\Mixolyte\\ZTMLAUX_Setup.exe");
    EXPECT_EQ(Sim().processes.started[0].current_folder, "C:\\Program Files\\ZT\\Mixolyte");

    // A program that runs for minutes is waited for to its end.
    context = MachineWithPrograms(true, "C:\\Program Files (x86)\\ZT\\Mixolyte");
    SimPutProgram("C:\\Program Files (x86)\\ZT\\Mixolyte\\ZTMixolyteDAZA_Setup_x64.exe", RecordingProgram(context))
        .run_ms = 180000;
    std::uint32_t before = Sim().system.tick_ms;
    EXPECT_EQ(RunDriverSetup(context, "ZTMixolyteDAZA_Setup"), 0);
    EXPECT_EQ(Sim().system.tick_ms - before, 180000u);
    EXPECT_TRUE(Sim().processes.open.empty());
}

TEST(InstallDriverSetup, InstallExitCodesBecomeResultsAndReports) {
    struct Case {
        std::int32_t exit_code;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, ""},
        {1, -21, kRestartText},
        {2, 0, ""},
        {3010, 0, ""},
        {0x7FFFFFFF, 0, ""},
        {-1, -20, kInstallFailedText},
        {-2147483647 - 1, -20, kInstallFailedText},
        {-605, -20, kInstallFailedText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exit_code);
        SetupContext* context = MachineWithPrograms(false, "C:\\Program Files\\ZT\\Mixolyte");
        Record().exit_codes["ZTCABLE_Setup.exe"] = c.exit_code;
        EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), c.result);
        EXPECT_STREQ(context->message_text, c.text);
        if (c.result == 0)
            EXPECT_TRUE(Reports(context).empty());
        else
            EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});
        EXPECT_TRUE(Sim().processes.open.empty());
    }

    // An exit code that cannot be read counts as negative.
    SetupContext* context = MachineWithPrograms(false, "C:\\Program Files\\ZT\\Mixolyte");
    SimPutProgram("C:\\Program Files\\ZT\\Mixolyte\\ZTCABLE_Setup.exe").exit_code_unreadable = true;
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), -20);
    EXPECT_STREQ(context->message_text, kInstallFailedText);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});
    EXPECT_TRUE(Sim().processes.open.empty());
}

TEST(InstallDriverSetup, ProgramsThatCannotStartAreSilent) {
    // Not there at all (the DAZA program has no 32-bit build).
    SetupContext* context = MachineWithPrograms(false, "C:\\Program Files\\ZT\\Mixolyte");
    CopyText(context->message_text, sizeof context->message_text, "earlier text");
    EXPECT_EQ(RunDriverSetup(context, "ZTMixolyteDAZA_Setup"), -605);
    EXPECT_TRUE(Sim().processes.started.empty());

    // Refused by the system.
    SimPutProgram("C:\\Program Files\\ZT\\Mixolyte\\ZTCABLE_Setup.exe").create_fails = true;
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), -605);
    EXPECT_TRUE(Sim().processes.started.empty());

    // Created, but without a process handle: nothing to wait for.
    SimPutProgram("C:\\Program Files\\ZT\\Mixolyte\\ZTMLAUX_Setup.exe").no_handle = true;
    EXPECT_EQ(RunDriverSetup(context, "ZTMLAUX_Setup"), -604);
    EXPECT_EQ(Sim().processes.started.size(), 1u);

    EXPECT_STREQ(context->message_text, "earlier text");
    EXPECT_TRUE(Reports(context).empty());
}

TEST(InstallDriverSetup, UninstallRunsPresentProgramsAndReportsOnlyNegativeCodes) {
    SetupContext* context = MachineWithPrograms(true, "C:\\Program Files (x86)\\ZT\\Mixolyte");
    ASSERT_EQ(context, &setup_context);  // the uninstall runner works on the one context
    const std::string folder = "C:\\Program Files (x86)\\ZT\\Mixolyte";

    EXPECT_EQ(RunDriverUninstall("ZTMixolyteDAZA_Setup"), 0);
    ASSERT_EQ(Sim().processes.started.size(), 1u);
    EXPECT_EQ(Sim().processes.started[0].application, folder + "\\ZTMixolyteDAZA_Setup_x64.exe");
    EXPECT_EQ(Sim().processes.started[0].command_line, "-h -u -H");
    EXPECT_EQ(Sim().processes.started[0].current_folder, folder);

    // Exit code 1 means nothing special here; 2 and above neither.
    Record().exit_codes["ZTCABLE_Setup_x64.exe"] = 1;
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), 0);
    Record().exit_codes["ZTCABLE_Setup_x64.exe"] = 5;
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), 0);
    EXPECT_TRUE(Reports(context).empty());

    // A negative code names the product twice; the text ends in a blank.
    Record().exit_codes["ZTMLAUX_Setup_x64.exe"] = -1;
    EXPECT_EQ(RunDriverUninstall("ZTMLAUX_Setup"), -20);
    EXPECT_STREQ(context->message_text, kUninstallFailedText);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{REPORT_FAILED});

    // Unreadable counts as negative.
    SimPutProgram(folder + "\\ZTCABLE_Setup_x64.exe").exit_code_unreadable = true;
    CopyText(context->message_text, sizeof context->message_text, "");
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), -20);
    EXPECT_STREQ(context->message_text, kUninstallFailedText);
    EXPECT_EQ(Reports(context), (std::vector<std::intptr_t>{REPORT_FAILED, REPORT_FAILED}));

    // Silent failures to start.
    SimPutProgram(folder + "\\ZTCABLE_Setup_x64.exe").exit_code_unreadable = false;
    SimPutProgram(folder + "\\ZTCABLE_Setup_x64.exe").create_fails = true;
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), -605);
    SimPutProgram(folder + "\\ZTMLAUX_Setup_x64.exe").no_handle = true;
    EXPECT_EQ(RunDriverUninstall("ZTMLAUX_Setup"), -604);
    EXPECT_EQ(Reports(context).size(), 2u);
    EXPECT_TRUE(Sim().processes.open.empty());
    EXPECT_TRUE(Sim().files.open.empty());  // the presence check closed its file
}

TEST(InstallDriverSetup, UninstallOfAProgramNotOnDiskStartsNothing) {
    // 32-bit Windows: there is no 32-bit build of the DAZA program.
    SetupContext* context = MachineWithPrograms(false, "C:\\Program Files\\ZT\\Mixolyte");
    CopyText(context->message_text, sizeof context->message_text, "kept");
    EXPECT_EQ(RunDriverUninstall("ZTMixolyteDAZA_Setup"), 0);
    EXPECT_TRUE(Sim().processes.started.empty());
    EXPECT_STREQ(context->message_text, "kept");
    EXPECT_TRUE(Reports(context).empty());

    // A program file that cannot be opened for reading (another process
    // writes it without sharing) counts as absent too.
    std::string cable = "C:\\Program Files\\ZT\\Mixolyte\\ZTCABLE_Setup.exe";
    ASSERT_NE(SimFindFile(cable), nullptr);
    Sim().files.open[0xF00D] = SimOpenFile{SimPathKey(cable), true};
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), 0);
    EXPECT_TRUE(Sim().processes.started.empty());
}

TEST(InstallDriverSetup, ChildrenGetATempFolderOnlyAdministratorsCanWriteAndItGoesAfterThem) {
    // The user's TEMP is the user's to plant in; each child gets a new
    // folder of its own, the administrators' alone, and what it left there
    // goes with the folder.
    const std::string product = "C:\\Program Files (x86)\\ZT\\Mixolyte";
    SetupContext* context = MachineWithPrograms(true, product);
    std::vector<std::string> seen;
    bool admin_only = true;
    bool system_environment = true;
    // The user's own PATH folder and variables stay behind: the child
    // gets the machine's environment.
    Sim().processes.user_environment["PATH"] = "C:\\Users\\user\\planted;C:\\Windows\\system32";
    Sim().processes.user_environment["MIXO_OWN"] = "the user's";
    // Outside the child's TEMP, reached by a link the child left in it: the
    // removal takes the link, never what it leads to.
    SimPutFile("C:\\Users\\user\\Documents\\keep.txt", Bytes("the user's"));
    Sim().processes.programs[SimPathKey(product + "\\ZTCABLE_Setup_x64.exe")].behaviour = [&](SimProgramRun& run) {
        seen.push_back(run.temp_folder);
        const SimFile* folder = SimFindFile(run.temp_folder);
        admin_only = admin_only && folder != nullptr && folder->is_folder && folder->admin_only;
        system_environment = system_environment && run.environment == Sim().processes.system_environment;
        SimPutFolder(run.temp_folder + "\\unpacked");
        SimPutFile(run.temp_folder + "\\unpacked\\driver.cat", Bytes("left by the child"));
        SimPutFolderLink(run.temp_folder + "\\unpacked\\documents", "C:\\Users\\user\\Documents");
        return std::int32_t{0};
    };
    // A user made the first name the program would take (the clock is no
    // secret): it is not taken, nor removed.
    char blocked[64];
    std::snprintf(blocked, sizeof blocked, "C:\\Windows\\Temp\\ZT-Mixolyte-%08X-0",
                  static_cast<unsigned>(plat::TickCount()));
    SimPutFolder(blocked);
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), 0);
    EXPECT_EQ(RunDriverUninstall("ZTCABLE_Setup"), 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(admin_only);
    for (const std::string& temp : seen) {
        EXPECT_EQ(temp.rfind("C:\\Windows\\Temp\\ZT-Mixolyte-", 0), 0u) << temp;
        EXPECT_NE(SimPathKey(temp), SimPathKey(blocked));
        EXPECT_NE(temp, Sim().processes.user_temp);
        EXPECT_EQ(SimFindFile(temp), nullptr) << temp;
    }
    EXPECT_NE(SimFindFile(blocked), nullptr);
    EXPECT_TRUE(system_environment);
    EXPECT_EQ(SimReadFile("C:\\Users\\user\\Documents\\keep.txt"), Bytes("the user's"));
    EXPECT_TRUE(Sim().files.pending_deletions.empty());

    // No Windows Temp folder: the product folder, the administrators' too.
    context = MachineWithPrograms(true, product);
    Sim().files.entries.erase(SimPathKey("C:\\Windows\\Temp"));
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), 0);
    ASSERT_EQ(Sim().processes.started.size(), 1u);
    EXPECT_EQ(Sim().processes.started[0].temp_folder.rfind(product + "\\ZT-Mixolyte-", 0), 0u);
    EXPECT_EQ(SimFindFile(Sim().processes.started[0].temp_folder), nullptr);

    // Neither place gives a folder, or the machine's environment cannot be
    // had: the child is not started at all, rather than with the user's
    // TEMP or variables; the folder made for it goes.
    context = MachineWithPrograms(true, product);
    SimFailCall("FolderCreateAdminOnly", 1, 2);
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), kDriverSetupNotStarted);
    EXPECT_TRUE(Sim().processes.started.empty());
    context = MachineWithPrograms(true, product);
    Sim().processes.system_environment_fails = true;
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), kDriverSetupNotStarted);
    EXPECT_TRUE(Sim().processes.started.empty());
    EXPECT_TRUE(SimListTree("C:\\Windows\\Temp").empty());

    // What a child's child still runs from stays, and goes at the restart
    // when it lies directly in the folder; the folder goes then too.
    // Deeper names are not scheduled by path, nor a link that stayed.
    context = MachineWithPrograms(true, product);
    std::string temp;
    Sim().processes.programs[SimPathKey(product + "\\ZTCABLE_Setup_x64.exe")].behaviour = [&](SimProgramRun& run) {
        temp = run.temp_folder;
        SimPutFile(temp + "\\helper.dll", Bytes("in use"));
        SimFindFile(temp + "\\helper.dll")->in_use = true;
        SimPutFolder(temp + "\\deep");
        SimPutFile(temp + "\\deep\\helper.dll", Bytes("in use"));
        SimFindFile(temp + "\\deep\\helper.dll")->in_use = true;
        SimPutFolderLink(temp + "\\link", "C:\\Users\\user\\Documents");
        return std::int32_t{0};
    };
    EXPECT_EQ(RunDriverSetup(context, "ZTCABLE_Setup"), 0);
    std::vector<std::string> scheduled;
    for (const std::string& path : Sim().files.pending_deletions) scheduled.push_back(SimPathKey(path));
    std::sort(scheduled.begin(), scheduled.end());
    EXPECT_EQ(scheduled, (std::vector<std::string>{SimPathKey(temp), SimPathKey(temp + "\\deep"),
                                                   SimPathKey(temp + "\\helper.dll")}));
}
