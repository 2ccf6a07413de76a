// The whole uninstall sequence on simulated machines that hold an installed
// product: what runs, in which order, and what the machine holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/wide_text.h"
#include "install/install.h"
#include "platform/sim/sim.h"
#include "removal/leftovers.h"
#include "removal/removal.h"
#include "steps/registry_records.h"
#include "tests/support/test_machine.h"
#include "tests/support/shortcut_titles.h"
#include "uninstall/uninstall.h"

using namespace install_test;

namespace {

const char kUserPrograms[] = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const char kStartup[] = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";

std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }
bool Has(const std::string& path) { return SimFindFile(path) != nullptr; }

// What the machine of an installed product holds: every package file in
// the product folder with the uninstaller beside them, the shortcuts in
// both Programs folders and the Startup folder, the UART INF files, the
// uninstall entry (with a subkey, as tools add them) and the settings.
SetupContext* InstalledMachine(bool is_64bit, int os_version_code) {
    SetupContext* context = NewMachine(is_64bit, os_version_code);
    PutPackage(PackageEntries());
    PutStandIns(context, is_64bit);
    HoldRunningProgram();
    const std::string product = ProductFolder(is_64bit);
    for (int i = 0; i < kPackageEntryCount; ++i)
        if (!Has(In(product, kPackageEntryNames[i])))
            SimPutFile(In(product, kPackageEntryNames[i]), Bytes(kPackageEntryNames[i]));
    SimPutFile(In(product, "MixolyteSetup.exe"), Bytes("MZ the uninstaller"));
    for (const std::string& folder : {std::string(kShortcutFolder), In(kUserPrograms, "ZT Audio\\MixoLyte")})
        for (const std::string& title : kEveryShortcutTitle) SimPutFile(In(folder, title + ".LNK"), Bytes("link"));
    SimRegPutText(kHkcu, kShellFoldersKey, kProgramsValue, kUserPrograms);
    CopyText(startup_folder, 512, SimWideOf(kStartup).c_str());
    SimPutFile(In(kStartup, "Mixolyte (ZT-Audio).LNK"), Bytes("link"));
    SimPutFile(In(kStartup, "Other Tool.LNK"), Bytes("link"));
    SimPutFile("C:\\Windows\\inf\\ztusbgpi_uart.inf", Bytes("inf"));
    SimPutFile("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf", Bytes("inf"));
    SimRegPutText(kHklm, UninstallEntry(), "DisplayName", "Mixolyte, The Virtual Mixing Console");
    SimRegPutText(kHklm, UninstallEntry(), "UninstallString", In(product, "MixolyteSetup.exe"));
    SimRegPutDword(kHklm, UninstallEntry() + "\\Tool Data\\More", "x", 1);
    for (const char* value : {"SysTray", "SysTrayShowOnRun", "EngineMode", "nbLaunch"})
        SimRegPutDword(kHkcu, kProductSettingsKey, value, 5);
    context->uninstall_entry_found = 1;
    context->remove_mode = 1;
    return context;
}

// Each driver setup program checks, when it runs, that the package files
// are all still there (it runs from among them).
std::vector<std::string>* DriverProgramsSeeTheirFiles(const SetupContext* context, bool is_64bit) {
    static std::vector<std::string> seen;
    seen.clear();
    const std::string product = ProductFolder(is_64bit);
    for (const char* program : {"ZTMixolyteDAZA_Setup_x64.exe", "ZTCABLE_Setup.exe", "ZTCABLE_Setup_x64.exe",
                                "ZTMLAUX_Setup.exe", "ZTMLAUX_Setup_x64.exe"}) {
        Sim().processes.programs[SimPathKey(In(product, program))].behaviour = [context,
                                                                              product](SimProgramRun& run) {
            RecordingProgram(context)(run);
            int present = 0;
            for (int i = 0; i < kPackageEntryCount; ++i) present += Has(In(product, kPackageEntryNames[i]));
            seen.push_back(FileName(run.application) + " sees " + std::to_string(present));
            auto code = Record().exit_codes.find(FileName(run.application));
            return code == Record().exit_codes.end() ? std::int32_t{0} : code->second;
        };
    }
    return &seen;
}

std::uint32_t Dword(const char* name) {
    std::uint32_t value = 12345;
    EXPECT_TRUE(SimRegGetDword(kHkcu, kProductSettingsKey, name, &value)) << name;
    return value;
}

// Nothing of the product is left: folder and its parent, shortcuts and
// their parents, entry; nothing waits for the restart; the settings key
// stays with the three values at 0.
void ExpectProductGone(const SetupContext* context, bool is_64bit) {
    EXPECT_FALSE(Has(ProductFolder(is_64bit)));
    EXPECT_FALSE(Has(ProgramFiles(is_64bit) + "\\ZT"));
    EXPECT_TRUE(Has(ProgramFiles(is_64bit)));
    EXPECT_TRUE(Sim().files.pending_deletions.empty());
    EXPECT_FALSE(Has(std::string(kCommonPrograms) + "\\ZT Audio"));
    EXPECT_FALSE(Has(In(kUserPrograms, "ZT Audio")));
    EXPECT_FALSE(Has(In(kStartup, "Mixolyte (ZT-Audio).LNK")));
    EXPECT_TRUE(Has(In(kStartup, "Other Tool.LNK")));
    EXPECT_FALSE(SimRegKeyExists(kHklm, UninstallEntry()));
    EXPECT_TRUE(SimRegKeyExists(kHklm, UninstallEntry().substr(0, UninstallEntry().rfind('\\'))));
    EXPECT_EQ(Dword("SysTray"), 0u);
    EXPECT_EQ(Dword("SysTrayShowOnRun"), 0u);
    EXPECT_EQ(Dword("EngineMode"), 0u);
    EXPECT_STREQ(context->product_folder, "");
    EXPECT_STREQ(context->message_caption, "Mixolyte Uninstallation Error");
    EXPECT_TRUE(Sim().files.searches.empty());
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

void ExpectRestartBox(const SetupContext* context) {
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    const SimMessageBox& box = Sim().windows.boxes[0];
    EXPECT_EQ(box.owner, context->main_window);
    EXPECT_EQ(box.text, "Restart System to finish the uninstallation!");
    EXPECT_EQ(box.caption, "REBOOT YOUR SYSTEM");
    EXPECT_EQ(box.type, 0x1030u);
}

}  // namespace

TEST(UninstallSequence, SixtyFourBitWindows10RemovesEverythingDriversFirst) {
    SetupContext* context = InstalledMachine(true, kWindows10);
    context->daza_driver_found = 1;
    std::vector<std::string>* seen = DriverProgramsSeeTheirFiles(context, true);
    const std::string product = ProductFolder(true);

    EXPECT_EQ(RunUninstall(), 1);

    // Only the DAZA driver was found, so only its setup program runs: in
    // the product folder, with the uninstall switches, while every package
    // file is still there. Then the ASIO drivers are unregistered, the
    // 64-bit ones by the registration program, their files still present.
    std::vector<std::string> expected = {"ZTMixolyteDAZA_Setup_x64.exe|-h -u -H|" + product};
    for (const std::string& event : AsioDriverEvents(product, false, true)) expected.push_back(event);
    EXPECT_EQ(Record().events, expected);
    EXPECT_EQ(*seen, std::vector<std::string>{"ZTMixolyteDAZA_Setup_x64.exe sees 98"});

    ExpectProductGone(context, true);
    EXPECT_EQ(Dword("nbLaunch"), 5u) << "other settings stay";
    // Windows 10: no UART INF file is removed.
    EXPECT_TRUE(Has("C:\\Windows\\inf\\ztusbgpi_uart.inf"));
    EXPECT_TRUE(Has("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"));
    EXPECT_TRUE(Reports(context).empty());
    ExpectRestartBox(context);
}

TEST(UninstallSequence, ThirtyTwoBitWindows7RunsTheCableAndAuxUninstallsInOrder) {
    SetupContext* context = InstalledMachine(false, kWindows7);
    context->cable_driver_found = 1;
    context->aux_driver_found = 1;
    std::vector<std::string>* seen = DriverProgramsSeeTheirFiles(context, false);
    const std::string product = ProductFolder(false);

    EXPECT_EQ(RunUninstall(), 1);
    std::vector<std::string> expected = {"ZTCABLE_Setup.exe|-h -u -H|" + product,
                                         "ZTMLAUX_Setup.exe|-h -u -H|" + product};
    for (const std::string& event : AsioDriverEvents(product, false, false)) expected.push_back(event);
    EXPECT_EQ(Record().events, expected) << "no DAZA program, no 64-bit registration program";
    EXPECT_EQ(*seen, (std::vector<std::string>{"ZTCABLE_Setup.exe sees 98", "ZTMLAUX_Setup.exe sees 98"}));
    // Windows 7: its UART INF file goes, the older one stays.
    EXPECT_FALSE(Has("C:\\Windows\\inf\\ztusbgpi_uart.inf"));
    EXPECT_TRUE(Has("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"));
    ExpectProductGone(context, false);
    ExpectRestartBox(context);

    // Windows XP: the older INF file goes instead.
    context = InstalledMachine(false, kWindowsXp);
    EXPECT_EQ(RunUninstall(), 1);
    EXPECT_TRUE(Has("C:\\Windows\\inf\\ztusbgpi_uart.inf"));
    EXPECT_FALSE(Has("C:\\Windows\\inf\\ztusbgpi_uart_xp_vista.inf"));
}

TEST(UninstallSequence, WithoutDriverFlagsNoDriverProgramRunsButAllElseGoes) {
    SetupContext* context = InstalledMachine(true, kWindowsAbove10);
    EXPECT_EQ(RunUninstall(), 1);
    for (const std::string& event : Record().events)
        EXPECT_EQ(event.find("_Setup"), std::string::npos) << event;
    EXPECT_EQ(Sim().processes.started.size(), 3u) << "only the three 64-bit unregistrations";
    ExpectProductGone(context, true);
}

TEST(UninstallSequence, LeftoversArePurgedBeforeFilesInUseMoveAside) {
    SetupContext* context = InstalledMachine(true, kWindows10);
    const std::string product = ProductFolder(true);
    // An earlier uninstall left "ztml_asiodriver.del"; now the DLL itself
    // and the encoder in the subfolder are loaded by running programs.
    SimPutFile(In(product, "ztml_asiodriver.del"), Bytes("left by an earlier run"));
    SimPutFile(In(product, "MixolyteRemote.del"), Bytes("left by an earlier run"));
    SimFindFile(In(product, "ztml_asiodriver.dll"))->in_use = true;
    SimFindFile(In(product, "mp3lame\\lame_enc.dll"))->in_use = true;

    EXPECT_EQ(RunUninstall(), 1);

    // The DLL got the purged leftover's name; the folder stays with it.
    EXPECT_EQ(SimReadFile(In(product, "ztml_asiodriver.del")), Bytes("ztml_asiodriver.dll"));
    EXPECT_FALSE(Has(In(product, "ztml_asiodriver.dll")));
    EXPECT_FALSE(Has(In(product, "MixolyteRemote.del")));
    std::vector<std::string> left;
    for (const SimFile* file : SimListTree(product)) left.push_back(file->path);
    // The folder tree stops at the first file it cannot delete: the
    // subfolder with its moved encoder comes first and stays.
    EXPECT_EQ(left, (std::vector<std::string>{In(product, "mp3lame"), In(product, "mp3lame\\lame_enc.del"),
                                              In(product, "ztml_asiodriver.del")}));
    // Everything else is gone all the same, and the box still asks for
    // the restart.
    EXPECT_FALSE(SimRegKeyExists(kHklm, UninstallEntry()));
    EXPECT_FALSE(Has(kShortcutFolder));
    EXPECT_STREQ(context->product_folder, "");
    ExpectRestartBox(context);

    // What stays waits for the restart: the ".del" files, then the
    // subfolder, the product folder and "ZT"; never a name of the package.
    const std::string zt = ProgramFiles(true) + "\\ZT";
    EXPECT_EQ(Sim().files.pending_deletions,
              (std::vector<std::string>{In(product, "mp3lame\\lame_enc.del"), In(product, "ztml_asiodriver.del"),
                                        In(product, "mp3lame"), product, zt}));
    EXPECT_FALSE(Has(std::string(kCommonPrograms) + "\\ZT Audio"));
    EXPECT_FALSE(Has(In(kUserPrograms, "ZT Audio")));
    SimMachine before_restart = SimSnapshot();

    // The restart finishes it.
    SimRestart();
    EXPECT_FALSE(Has(zt));
    EXPECT_TRUE(Has(ProgramFiles(true)));
    EXPECT_TRUE(Sim().files.pending_deletions.empty());

    // Without the restart, once nothing holds them: the next uninstall
    // purges the ".del" file of the product folder itself (not the
    // subfolder's) and goes on to delete the rest.
    SimRestore(before_restart);
    Sim().files.pending_deletions.clear();
    for (const SimFile* file : SimListTree(product)) const_cast<SimFile*>(file)->in_use = false;
    EXPECT_EQ(RunUninstall(), 1);
    EXPECT_FALSE(Has(product));
}

TEST(UninstallSequence, LinkedParentsOfTheProductsFoldersStay) {
    // An administrator moved "ZT" elsewhere and left a junction; the user
    // made the per-user "ZT Audio" a link to a folder of the user's own.
    // Neither link is ours to remove, now or at the restart.
    InstalledMachine(true, kWindows10);
    const std::string product = ProductFolder(true), zt = ProgramFiles(true) + "\\ZT";
    const std::string audio = In(kUserPrograms, "ZT Audio"), mine = "C:\\Users\\user\\Music\\Audio";
    ASSERT_TRUE(SimAttackSwapFolder(zt, zt + ".old", false));
    SimPutFolder(mine);
    SimPutFolderLink(audio, mine);
    SimFindFile(In(product, "mp3lame\\lame_enc.dll"))->in_use = true;

    EXPECT_EQ(RunUninstall(), 1);
    for (const std::string& pending : Sim().files.pending_deletions) EXPECT_NE(SimPathKey(pending), SimPathKey(zt));
    SimRestart();
    ASSERT_TRUE(Has(zt));
    EXPECT_FALSE(SimFindFile(zt)->link_target.empty()) << "the junction \"ZT\" stays";
    ASSERT_TRUE(Has(audio));
    EXPECT_FALSE(SimFindFile(audio)->link_target.empty()) << "the user's \"ZT Audio\" link stays";
    EXPECT_TRUE(Has(mine));
    // Nor is the parent of a product folder given elsewhere, not named "ZT".
    Sim().files.pending_deletions.clear();
    SimPutFile("C:\\Apps\\Mixolyte\\x.del", Bytes("left"));
    EXPECT_EQ(FinishAtRestart("C:\\Apps\\Mixolyte"), 2);
    EXPECT_EQ(Sim().files.pending_deletions,
              (std::vector<std::string>{"C:\\Apps\\Mixolyte\\x.del", "C:\\Apps\\Mixolyte"}));
}

TEST(UninstallSequence, AJapaneseUserNameAndFileNamesAreReadByCharacters) {
    // Code page 932: the second bytes of "表", "ソ" and "能" are 0x5C ('\\'),
    // that of "ポ" is 0x7C ('|'). The profile folder ends in one of them.
    SetupContext* context = InstalledMachine(true, kWindows10);
    Sim().system.ansi_code_page = 932;
    const std::string profile = "C:\\Users\\\x83\x7C\x95\x5C\x83\x5C\x94\x5C";
    const std::string programs = profile + "\\Start Menu\\Programs", startup = programs + "\\Startup";
    const std::string product = ProductFolder(true);
    for (const std::string& title : kEveryShortcutTitle)
        SimPutFile(In(programs, "ZT Audio\\MixoLyte\\" + title + ".LNK"), Bytes("link"));
    SimPutFile(In(startup, "Mixolyte (ZT-Audio).LNK"), Bytes("link"));
    SimPutFile(In(startup, "Other Tool.LNK"), Bytes("link"));
    SimRegPutText(kHkcu, kShellFoldersKey, kProgramsValue, programs);
    CopyText(startup_folder, 512, SimWideOf(startup).c_str());
    // Files the product made with such names, in a folder named so too.
    SimPutFile(In(product, "\x95\x5C.txt"), Bytes("table"));
    SimPutFile(In(product, "\x83\x5C\\\x94\x5C"), Bytes("data"));

    EXPECT_EQ(RunUninstall(), 1);
    EXPECT_FALSE(Has(product));
    EXPECT_FALSE(Has(ProgramFiles(true) + "\\ZT"));
    EXPECT_FALSE(Has(In(programs, "ZT Audio")));
    EXPECT_FALSE(Has(In(startup, "Mixolyte (ZT-Audio).LNK")));
    EXPECT_TRUE(Has(In(startup, "Other Tool.LNK")));
    EXPECT_TRUE(Sim().files.pending_deletions.empty());
    ExpectRestartBox(context);

    // Real separators, bars and ".." among such characters are still
    // refused; where the system cannot tell its code page, so is any path
    // with bytes above 0x7F.
    EXPECT_TRUE(IsPlainFolderPath(programs.c_str()));
    EXPECT_FALSE(IsPlainFolderPath((profile + "|x").c_str()));
    EXPECT_FALSE(IsPlainFolderPath((profile + "\\..\\Admin").c_str()));
    EXPECT_FALSE(IsPlainFolderPath((profile + "\\\\x").c_str()));
    EXPECT_FALSE(IsPlainFolderPath("C:\\Users\\\x83\x5C."));
    // A lead byte at the end of a text is a character of its own: the
    // reading stops at the zero after it.
    const char cut_short[] = "C:\\\x83\0\\x";
    EXPECT_EQ(LastBackslash(cut_short), cut_short + 2);
    // Letter case counts only in characters of their own: "\x83\x61" and
    // "\x83\x41" are two names, so a program running from the one folder
    // moves nothing aside in the other.
    EXPECT_TRUE(SameText("c:\\users\\\x83\x61", "C:\\USERS\\\x83\x61"));
    EXPECT_FALSE(SameText("C:\\\x83\x61", "C:\\\x83\x41"));
    const std::string setup_copy = "C:\\\x83\x61\\MixolyteSetup.exe";
    SimPutFile(setup_copy, Bytes("MZ"));
    CopyText(context->product_folder, sizeof context->product_folder, "C:\\\x83\x61");
    CopyText(context->program_path, sizeof context->program_path, "C:\\\x83\x41\\MixolyteSetup.exe");
    MoveAsideRunningProgram(context);
    EXPECT_TRUE(Has(setup_copy));
    CopyText(context->program_path, sizeof context->program_path, "c:\\\x83\x61\\MIXOLYTESETUP.EXE");
    MoveAsideRunningProgram(context);
    EXPECT_FALSE(Has(setup_copy));
    SimPutFile(setup_copy, Bytes("MZ"));
    CopyText(context->product_folder, sizeof context->product_folder, "C:\\\x83\x61\\");
    MoveAsideRunningProgram(context);
    EXPECT_FALSE(Has(setup_copy)) << "the same folder, given with a backslash at its end";
    // A program whose name ends a character in 0x5C ("\x95\x5C" is "表")
    // is still the running program of that folder.
    const std::string table_copy = "C:\\\x83\x61\\\x95\x5C.exe";
    SimPutFile(table_copy, Bytes("MZ"));
    CopyText(context->program_path, sizeof context->program_path, table_copy.c_str());
    MoveAsideRunningProgram(context);
    EXPECT_FALSE(Has(table_copy)) << "a running program named by a double-byte character";
    SimFailCall("AnsiCodePageLeadBytes", 1, 3);
    EXPECT_FALSE(IsPlainFolderPath(programs.c_str()));
    EXPECT_TRUE(IsPlainFolderPath(kUserPrograms)) << "ASCII needs no code page";
    // Nor is such a name opened in a folder the walk holds, even where the
    // system tells no final paths.
    SimPutFile("C:\\Data\\\x83\x61.txt", Bytes("data"));
    SimFindFile("C:\\Data")->final_path_unanswered = true;
    DeleteFolderTree("C:\\Data");
    EXPECT_TRUE(Has("C:\\Data\\\x83\x61.txt"));
}

TEST(UninstallSequence, FilesAnIndexerHoldsAndAStartMenuThatCannotTellItsPlaceStopNothing) {
    // An indexer holds a package file, a file of the product's making and
    // one in a subfolder, sharing deletion. The user's Start menu lies on a
    // shared folder that does not tell final paths.
    for (int run = 0; run < 3; ++run) {
        const bool posix = run == 0;
        SetupContext* context = InstalledMachine(true, kWindows10);
        Sim().files.posix_delete = posix;
        Sim().files.pending_reopens = run == 2;
        Sim().faults.call_limit = 100000;  // a walk that picks one name for ever is stopped
        const std::string product = ProductFolder(true);
        SimPutFile(In(product, "session.log"), Bytes("log"));
        for (const char* name : {"mixolyte.exe", "session.log", "mp3lame\\lame_enc.dll"})
            SimFindFile(In(product, name))->held_sharing_delete = true;
        SimFindFile(kUserPrograms)->final_path_unanswered = true;

        EXPECT_EQ(RunUninstall(), 1);
        if (posix) {
            ExpectProductGone(context, true);
            continue;
        }
        // The classic disposition: the three names stay, pending, until the
        // indexer lets go; everything else went, and the folders wait for
        // the restart.
        std::vector<std::string> left;
        for (const SimFile* file : SimListTree(product)) left.push_back(file->path);
        EXPECT_EQ(left, (std::vector<std::string>{In(product, "mixolyte.exe"), In(product, "mp3lame"),
                                                  In(product, "mp3lame\\lame_enc.dll"), In(product, "session.log")}));
        EXPECT_FALSE(Has(In(kUserPrograms, "ZT Audio")));
        EXPECT_EQ(Sim().files.pending_deletions,
                  (std::vector<std::string>{In(product, "mp3lame"), product, ProgramFiles(true) + "\\ZT"}));
        SimRestart();
        EXPECT_FALSE(Has(ProgramFiles(true) + "\\ZT"));
    }
}

TEST(UninstallSequence, AUserMadeTreeDeeperThanAnyOfTheProductsIsNotWalkedToItsEnd) {
    // Each level of the walk takes its share of the elevated program's
    // stack: a tree the user made 70 levels deep in the shortcut folder
    // stays from the 65th level up; the shortcuts go. The leftovers' walk
    // of the product folder goes 8 levels down: a ".del" in use 9 levels
    // deep is not scheduled for the restart.
    InstalledMachine(true, kWindows10);
    std::string deep = In(kUserPrograms, "ZT Audio\\MixoLyte");
    std::string at64, at65;
    for (int level = 1; level <= 70; ++level) {
        deep += "\\d";
        if (level == 64) at64 = In(deep, "a.txt");  // before "d": gone before the walk stops at "d"
        if (level == 65) at65 = In(deep, "a.txt");
    }
    SimPutFile(In(deep, "bottom.txt"), Bytes("deep"));
    SimPutFile(at64, Bytes("deep"));
    SimPutFile(at65, Bytes("deep"));
    std::string held = ProductFolder(true), at8, at9;
    for (int level = 1; level <= 9; ++level) {
        held += "\\d";
        if (level < 8) continue;
        std::string& del = level == 8 ? at8 : at9;
        del = In(held, "x.del");
        SimPutFile(del, Bytes("in use"));
        SimFindFile(del)->in_use = true;
    }
    EXPECT_EQ(RunUninstall(), 1);
    EXPECT_TRUE(Has(In(deep, "bottom.txt")));
    EXPECT_FALSE(Has(at64)) << "the 64th level is walked";
    EXPECT_TRUE(Has(at65)) << "the 65th is not";
    EXPECT_FALSE(Has(In(kUserPrograms, "ZT Audio\\MixoLyte\\Readme.LNK")));
    const std::vector<std::string>& pending = Sim().files.pending_deletions;
    EXPECT_NE(std::find(pending.begin(), pending.end(), at8), pending.end()) << "the 8th level is walked";
    EXPECT_EQ(std::find(pending.begin(), pending.end(), at9), pending.end()) << "the 9th is not";
}

TEST(UninstallSequence, RunFromTheProductFolderItMovesItselfAsideAndAReinstallSurvivesTheRestart) {
    // Programs and Features starts the uninstaller copy: the running image
    // cannot be deleted, but it can be renamed.
    SetupContext* context = InstalledMachine(true, kWindows10);
    const std::string product = ProductFolder(true);
    const std::string uninstaller = In(product, "MixolyteSetup.exe");
    CopyText(context->program_path, sizeof context->program_path, uninstaller.c_str());
    CopyText(context->program_folder, sizeof context->program_folder, product.c_str());
    SimFindFile(uninstaller)->in_use = true;
    SimFindFile(In(product, "mp3lame\\lame_enc.dll"))->in_use = true;
    // Two files in use that share a ".del" name: the second stays under its
    // own name. And a ".del" file in use two levels down, which an earlier
    // run left in folders of the product's own making.
    const std::string cat = In(product, "ztaudio_mlvaio_win10.cat"), sys = In(product, "ztaudio_mlvaio_win10.sys");
    const std::string deep = In(product, "Presets\\Old\\bank.del");
    for (const std::string& held : {cat, sys}) SimFindFile(held)->in_use = true;
    SimPutFile(deep, Bytes("left"));
    SimFindFile(deep)->in_use = true;

    EXPECT_EQ(RunUninstall(), 1);
    ExpectRestartBox(context);
    EXPECT_FALSE(Has(uninstaller));
    EXPECT_EQ(SimReadFile(In(product, "MixolyteSetup.del")), Bytes("MZ the uninstaller"));
    EXPECT_TRUE(Has(sys));
    EXPECT_FALSE(SimRegKeyExists(kHklm, UninstallEntry()));
    const std::string zt = ProgramFiles(true) + "\\ZT";
    // Only ".del" files, then the folders deepest first; the ".sys" that
    // kept its name is never scheduled.
    EXPECT_EQ(Sim().files.pending_deletions,
              (std::vector<std::string>{In(product, "MixolyteSetup.del"), In(product, "mp3lame\\lame_enc.del"),
                                        deep, In(product, "ztaudio_mlvaio_win10.del"), In(product, "mp3lame"),
                                        In(product, "Presets\\Old"), In(product, "Presets"), product, zt}));

    // The user installs again before the restart, from the downloads.
    SimFindFile(In(product, "MixolyteSetup.del"))->in_use = false;  // the uninstaller has ended
    for (const SimFile* file : SimListTree(product)) const_cast<SimFile*>(file)->in_use = false;
    Sim().windows.boxes.clear();
    CopyText(context->program_path, sizeof context->program_path, kSetupProgram);
    CopyText(context->program_folder, sizeof context->program_folder, "C:\\Users\\user\\Downloads");
    ASSERT_EQ(RunInstall(context), 1);
    SimRestart();
    // Whole after the restart: every package file, the uninstaller, "ZT".
    for (int i = 0; i < kPackageEntryCount; ++i)
        EXPECT_TRUE(Has(In(product, kPackageEntryNames[i]))) << kPackageEntryNames[i];
    EXPECT_EQ(SimReadFile(uninstaller), Bytes("MZ the setup program"));
    EXPECT_TRUE(Has(zt));
    EXPECT_FALSE(Has(In(product, "Presets"))) << "the folders of the deep leftover went, deepest first";
    EXPECT_TRUE(Has(In(kShortcutFolder, "Readme.LNK")));
    EXPECT_TRUE(SimRegKeyExists(kHklm, UninstallEntry()));
}

TEST(UninstallSequence, AFailingDriverUninstallIsReportedAndTheRestGoesOn) {
    SetupContext* context = InstalledMachine(false, kWindows7);
    context->cable_driver_found = 1;
    context->aux_driver_found = 1;
    DriverProgramsSeeTheirFiles(context, false);
    Record().exit_codes["ZTCABLE_Setup.exe"] = -1;
    Record().exit_codes["ZTMLAUX_Setup.exe"] = 1;  // no meaning on uninstall

    EXPECT_EQ(RunUninstall(), 1);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{127}) << "one report, from the failing runner";
    EXPECT_EQ(std::string(context->message_text).rfind("Failed to uninstall Mixolyte virtual i/o driver...", 0), 0u);
    EXPECT_EQ(Sim().processes.started.size(), 2u);
    ExpectProductGone(context, false);
    ExpectRestartBox(context);
}

TEST(UninstallSequence, HiddenModeShowsNoBox) {
    SetupContext* context = InstalledMachine(true, kWindows10);
    hidden_mode = 1;
    EXPECT_EQ(RunUninstall(), 1);
    hidden_mode = 0;
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(Reports(context).empty());
    ExpectProductGone(context, true);
}

TEST(UninstallSequence, AnUnreadablePackageRemovesNothing) {
    for (int hidden = 0; hidden < 2; ++hidden) {
        SetupContext* context = InstalledMachine(true, kWindows7);
        context->daza_driver_found = 1;
        context->cable_driver_found = 1;
        context->aux_driver_found = 1;
        // Only the directory and no entry byte: not a package.
        Sim().resources.rcdata[100].resize(kPackageDirectorySize);
        hidden_mode = hidden;
        std::size_t files_before = Sim().files.entries.size();

        EXPECT_EQ(RunUninstall(), -101);
        hidden_mode = 0;
        EXPECT_STREQ(context->message_caption, "Mixolyte Uninstallation Error");
        EXPECT_EQ(std::string(context->message_text),
                  std::string("Package uninstallation might be corrupted\nthanks to download official package at\n") +
                      kProductWebSite + ".");
        // The report is posted in hidden mode too; the window ignores it there.
        EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{127});
        EXPECT_TRUE(Sim().windows.boxes.empty());
        EXPECT_TRUE(Sim().processes.started.empty());
        EXPECT_TRUE(Record().events.empty());
        EXPECT_EQ(Sim().files.entries.size(), files_before);
        EXPECT_TRUE(Has(In(ProductFolder(true), "ztml_asiodriver.dll")));
        EXPECT_TRUE(Has(In(kStartup, "Mixolyte (ZT-Audio).LNK")));
        EXPECT_TRUE(SimRegKeyExists(kHklm, UninstallEntry()));
        EXPECT_EQ(Dword("SysTray"), 5u);
    }
    // No package resource at all: the same.
    SetupContext* context = InstalledMachine(false, kWindows7);
    Sim().resources.rcdata.erase(100);
    EXPECT_EQ(RunUninstall(), -101);
    EXPECT_EQ(Reports(context), std::vector<std::intptr_t>{127});
    EXPECT_TRUE(Has(ProductFolder(false)));
}

TEST(UninstallSequence, InstallUninstallInstallRoundTrip) {
    // The install's own work is undone; a DLL held over the uninstall is
    // purged by the next install once it is free, and that install succeeds.
    SetupContext* context = NewMachine(false, kWindows7);
    PutPackage(PackageEntries());
    PutStandIns(context, false);
    HoldRunningProgram();
    CopyText(startup_folder, 512, SimWideOf(kStartup).c_str());
    ASSERT_EQ(RunInstall(context), 1);
    const std::string product = ProductFolder(false);
    ASSERT_TRUE(Has(In(product, "ztml_asiodriver.dll")));
    ASSERT_TRUE(SimRegKeyExists(kHklm, UninstallEntry()));
    ASSERT_TRUE(Has(In(kShortcutFolder, "Readme.LNK")));
    context->cable_driver_found = 1;
    context->aux_driver_found = 1;

    SimFindFile(In(product, "ztml_asiodriver.dll"))->in_use = true;
    EXPECT_EQ(RunUninstall(), 1);
    std::vector<std::string> left;
    for (const SimFile* file : SimListTree(product)) left.push_back(file->path);
    EXPECT_EQ(left, std::vector<std::string>{In(product, "ztml_asiodriver.del")});
    EXPECT_FALSE(Has(kShortcutFolder));
    EXPECT_FALSE(SimRegKeyExists(kHklm, UninstallEntry()));
    EXPECT_FALSE(Has("C:\\Windows\\inf\\ztusbgpi_uart.inf"));
    EXPECT_EQ(Dword("SysTray"), 0u);

    SimFindFile(In(product, "ztml_asiodriver.del"))->in_use = false;
    // Empty folders of no package entry, left by an uninstall whose restart
    // never came: the install tidies them.
    SimPutFolder(In(product, "Presets\\Old"));
    Sim().windows.boxes.clear();
    EXPECT_EQ(RunInstall(context), 1);
    EXPECT_FALSE(Has(In(product, "Presets")));
    EXPECT_FALSE(Has(In(product, "ztml_asiodriver.del")));
    EXPECT_TRUE(Has(In(product, "ztml_asiodriver.dll")));
    EXPECT_TRUE(SimRegKeyExists(kHklm, UninstallEntry()));
}
