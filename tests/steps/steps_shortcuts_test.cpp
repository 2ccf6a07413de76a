// The product folder lookup and the Start-menu shortcuts on the simulated
// machine.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/shell.h"
#include "steps/shortcuts.h"
#include "tests/support/test_machine.h"

using namespace install_test;

namespace {

struct Row {
    std::string title;
    std::string file;
};

// Every shortcut in the shortcut folder, checked for the settings all
// shortcuts share, as (title, target file) in the order they were saved.
std::vector<Row> SavedShortcuts(const std::string& product_folder, const std::vector<std::string>& order) {
    std::vector<Row> rows;
    for (const std::string& key : order) {
        const SimShellLink* link = SimFindShellLink(key);
        if (link == nullptr) continue;
        std::string title = FileName(link->path);
        EXPECT_EQ(title.substr(title.size() - 4), ".LNK");
        title.resize(title.size() - 4);
        EXPECT_EQ(link->path, std::string(kShortcutFolder) + "\\" + title + ".LNK");
        EXPECT_EQ(link->description, title);
        EXPECT_FALSE(link->has_arguments);
        EXPECT_EQ(link->working_folder, product_folder);
        EXPECT_EQ(link->target.substr(0, product_folder.size() + 1), product_folder + "\\");
        EXPECT_NE(SimFindFile(link->path), nullptr);
        rows.push_back({title, link->target.substr(product_folder.size() + 1)});
    }
    return rows;
}

// Records the shortcut files in the order they are saved.
std::shared_ptr<std::vector<std::string>> WatchSaves() {
    auto order = std::make_shared<std::vector<std::string>>();
    Sim().shell.on_link_saved = [order](const SimShellLink& link) { order->push_back(link.path); };
    return order;
}

std::string FindFolder() {
    FindProductFolder(&setup_context);
    return setup_context.product_folder;
}

}  // namespace

TEST(InstallShortcuts, ProductFolderFromTheShellAndItsFallbacks) {
    // SHGetSpecialFolderPathA gives the Program Files folder a 32-bit
    // program sees.
    NewMachine(true, kWindows10);
    EXPECT_EQ(FindFolder(), "C:\\Program Files (x86)\\ZT\\Mixolyte");
    // A folder that ends in a backslash gets no second one.
    Sim().shell.folders[0x26] = "E:\\";
    EXPECT_EQ(FindFolder(), "E:\\ZT\\Mixolyte");

    // The first function fails: the second one answers.
    NewMachine(true, kWindows10);
    Sim().shell.special_folder_fails.insert(0x26);
    Sim().shell.folders[0x26] = "D:\\Programs";
    EXPECT_EQ(FindFolder(), "D:\\Programs\\ZT\\Mixolyte");
    // The first function is not exported at all: the same.
    Sim().shell.special_folder_fails.clear();
    Sim().shell.special_folder_function = false;
    EXPECT_EQ(FindFolder(), "D:\\Programs\\ZT\\Mixolyte");

    // Neither function: the drive of the Windows folder.
    Sim().shell.folder_path_function = false;
    Sim().system.windows_folder = "F:\\WINNT";
    EXPECT_EQ(FindFolder(), "F:\\Program Files\\ZT\\Mixolyte");
    // Both functions there, both failing: the same.
    Sim().shell.special_folder_function = true;
    Sim().shell.folder_path_function = true;
    Sim().shell.folders.erase(0x26);
    EXPECT_EQ(FindFolder(), "F:\\Program Files\\ZT\\Mixolyte");
    // Not even the Windows folder: drive C:.
    Sim().system.windows_folder_fails = true;
    EXPECT_EQ(FindFolder(), "C:\\Program Files\\ZT\\Mixolyte");
    // A Windows folder without a drive letter: drive C: too.
    Sim().system.windows_folder_fails = false;
    Sim().system.windows_folder = "\\\\server\\share\\Windows";
    EXPECT_EQ(FindFolder(), "C:\\Program Files\\ZT\\Mixolyte");

    // A lookup starts from empty: nothing of an earlier value stays.
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, "X:\\stale\\value");
    Sim().shell.folders[0x26] = "C:\\Program Files";
    EXPECT_EQ(FindFolder(), "C:\\Program Files\\ZT\\Mixolyte");
}

TEST(InstallShortcuts, ElevenRowsOn64BitWindowsWithTheConsolesOwnDriver) {
    SetupContext* context = NewMachine(true, kWindows10);
    FindProductFolder(context);
    context->daza_driver_found = 1;
    std::shared_ptr<std::vector<std::string>> order = WatchSaves();
    char buffer[1024];
    CreateShortcuts(context, buffer, sizeof buffer);
    std::vector<Row> rows = SavedShortcuts(ProductFolder(true), *order);
    std::vector<std::pair<std::string, std::string>> got;
    for (const Row& row : rows) got.emplace_back(row.title, row.file);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"Readme", "readme.txt"},
                       {"Virtual IO Control Panel", "ZTMixolyteDAZA_ControlPanel.exe"},
                       {"Mixolyte Kumbra", "MixolytePro.exe"},
                       {"Mixolyte Kumbra x64", "MixolytePro_x64.exe"},
                       {"Macro Buttons", "MixolyteMacroButtons.exe"},
                       {"ZTAN-2-MIDI", "ZTAN2MIDI.exe"},
                       {"8x8 Output Matrix", "MixolyteBUSMatrix8.exe"},
                       {"15 Bands Graphic EQ", "MixolyteBUSGEQ15.exe"},
                       {"ML Streamer View", "MLStreamerView.exe"},
                       {"Mixolyte", "Mixolyte.exe"},
                       {"Mixolyte x64", "Mixolyte_x64.exe"},
                   }));
    EXPECT_EQ(Sim().shell.links.size(), 11u);
    EXPECT_EQ(SimListTree(kShortcutFolder).size(), 11u);
}

TEST(InstallShortcuts, TenRowsOn32BitWindowsWithTheCableAndAuxDrivers) {
    SetupContext* context = NewMachine(false, kWindows7);
    FindProductFolder(context);
    // The Programs folder is given with a final backslash and the shortcut
    // folder does not exist yet: it is made with its parents.
    CopyText(common_programs_folder, sizeof common_programs_folder, "C:\\Start Menu\\Programs\\");
    std::shared_ptr<std::vector<std::string>> order = WatchSaves();
    char buffer[1024];
    CreateShortcuts(context, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "C:\\Start Menu\\Programs\\ZT Audio\\MixoLyte");
    std::vector<std::string> titles;
    for (const std::string& path : *order) {
        const SimShellLink* link = SimFindShellLink(path);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->working_folder, ProductFolder(false));
        EXPECT_EQ(link->description + ".LNK", FileName(path));
        titles.push_back(link->description);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Readme", "Virtual IO Control Panel", "Virtual AUX IO Control Panel",
                                                "Mixolyte Kumbra", "Macro Buttons", "ZTAN-2-MIDI",
                                                "8x8 Output Matrix", "15 Bands Graphic EQ", "ML Streamer View",
                                                "Mixolyte"}));
    const SimShellLink* panel =
        SimFindShellLink("C:\\Start Menu\\Programs\\ZT Audio\\MixoLyte\\Virtual IO Control Panel.LNK");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->target, ProductFolder(false) + "\\ZTCABLE_ControlPanel.exe");
    const SimShellLink* aux =
        SimFindShellLink("C:\\Start Menu\\Programs\\ZT Audio\\MixoLyte\\Virtual AUX IO Control Panel.LNK");
    ASSERT_NE(aux, nullptr);
    EXPECT_EQ(aux->target, ProductFolder(false) + "\\ZTMLAUX_ControlPanel.exe");
}

TEST(InstallShortcuts, NoShortcutsWithoutAFolderAndFailedOnesAreSkipped) {
    char buffer[1024];
    // No all-users Programs folder known.
    SetupContext* context = NewMachine(true, kWindows10);
    FindProductFolder(context);
    common_programs_folder[0] = '\0';
    CreateShortcuts(context, buffer, sizeof buffer);
    EXPECT_TRUE(Sim().shell.links.empty());

    // A Programs folder on a drive that does not exist: nothing is made.
    CopyText(common_programs_folder, sizeof common_programs_folder, "Q:\\Programs");
    CreateShortcuts(context, buffer, sizeof buffer);
    EXPECT_TRUE(Sim().shell.links.empty());

    // The shell-link component is missing: no shortcut, the folder stays.
    CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
    Sim().shell.link_component_missing = true;
    CreateShortcuts(context, buffer, sizeof buffer);
    EXPECT_TRUE(Sim().shell.links.empty());
    EXPECT_NE(SimFindFile(kShortcutFolder), nullptr);

    // One shortcut file that refuses to be written: the rows after it are
    // still made.
    Sim().shell.link_component_missing = false;
    std::string readme = std::string(kShortcutFolder) + "\\Readme.LNK";
    SimPutFile(readme, Bytes("an old read-only shortcut"));
    SimFindFile(readme)->read_only = true;
    CreateShortcuts(context, buffer, sizeof buffer);
    EXPECT_EQ(SimFindShellLink(readme), nullptr);
    EXPECT_EQ(Sim().shell.links.size(), 11u);  // the other 11 of the 12 rows (no DAZA: 12 apply)
    EXPECT_NE(SimFindShellLink(std::string(kShortcutFolder) + "\\Mixolyte x64.LNK"), nullptr);

    // Without COM initialised on the thread no shortcut can be made.
    NewMachine(false, kWindows10);
    plat::ComUninitialize();
    FindProductFolder(&setup_context);
    CreateShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Sim().shell.links.empty());
}

TEST(InstallShortcuts, ShellLinkFileNameAndWorkingFolder) {
    NewMachine(false, kWindows10);
    SimPutFolder("C:\\Links");
    EXPECT_EQ(CreateShellLink("ZTAN-2-MIDI", "C:\\Program Files\\ZT\\Mixolyte\\ZTAN2MIDI.exe", "C:\\Links\\"), 0);
    const SimShellLink* link = SimFindShellLink("C:\\Links\\ZTAN-2-MIDI.LNK");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->path, "C:\\Links\\ZTAN-2-MIDI.LNK");
    EXPECT_EQ(link->target, "C:\\Program Files\\ZT\\Mixolyte\\ZTAN2MIDI.exe");
    EXPECT_EQ(link->working_folder, "C:\\Program Files\\ZT\\Mixolyte");
    EXPECT_EQ(link->description, "ZTAN-2-MIDI");

    // Its failures come back as HRESULTs.
    Sim().shell.link_component_missing = true;
    EXPECT_EQ(CreateShellLink("Readme", "C:\\x\\readme.txt", "C:\\Links"), plat::kHresultClassNotRegistered);
    Sim().shell.link_component_missing = false;
    Sim().shell.link_save_refused = true;
    EXPECT_LT(CreateShellLink("Readme", "C:\\x\\readme.txt", "C:\\Links"), 0);
    EXPECT_EQ(SimFindShellLink("C:\\Links\\Readme.LNK"), nullptr);
}
