// What the window offers at start and which warning it raises, for every
// combination of uninstall entry, device interface and device name, shown
// and in hidden mode.
#include "base/names.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

struct ShellOffer : SetupTest {
    // The offer as the button label drawn last says it; "" when nothing
    // was drawn (hidden mode draws nothing).
    static std::string OfferDrawn() {
        std::vector<std::string> texts = DrawnTexts();
        for (auto it = texts.rbegin(); it != texts.rend(); ++it)
            if (*it == "Install" || *it == "Remove") return *it;
        return "";
    }
};

}  // namespace

TEST_F(ShellOffer, NothingInstalledOffersInstallWithoutWarning) {
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.remove_mode, 0);
    EXPECT_EQ(setup_context.uninstall_entry_found, 0);
    EXPECT_EQ(setup_context.product_devices_found, 0);
    EXPECT_EQ(OfferDrawn(), "Install");
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(PostedCommands().empty());
    // The window waits for the user: nothing ends it by itself.
    EXPECT_TRUE(Sim().windows.hung);
    EXPECT_TRUE(WindowIsShown());
}

TEST_F(ShellOffer, DeviceNameOnlyOffersInstallWithInstallationIssue) {
    SimWaveDevice input;
    input.name = u"Mixolyte Virtual Input";
    Sim().audio.wave_in.push_back(input);
    EXPECT_EQ(Run(""), -3);
    EXPECT_EQ(setup_context.product_devices_found, 4);  // display name, "Mixolyte", capture list
    EXPECT_EQ(setup_context.remove_mode, 0);
    EXPECT_EQ(OfferDrawn(), "Install");
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    const SimMessageBox& box = Sim().windows.boxes[0];
    EXPECT_EQ(box.caption, "Installation Issue");
    EXPECT_EQ(box.type, 0x1030u);
    EXPECT_EQ(box.owner, setup_context.main_window);
    EXPECT_EQ(box.text,
              "ZT-Audio Driver presence has been detected. Check ZT-Audio Mixolyte drivers are no more present in "
              "Windows Device Manager...\n\nThis application must not be installed if its audio driver is still "
              "present, thanks to uninstall them by the Windows Device Manager procedure...\n\n"
              "DON'T FORGET TO REBOOT AFTER UNINSTALLATION");
    // The window stays with its offer after the warning.
    EXPECT_TRUE(Sim().windows.hung);
    EXPECT_EQ(PostedCount(plat::kWmClose), 0);
}

TEST_F(ShellOffer, DeviceNameOnlyInHiddenModeWarnsNobody) {
    SimWaveDevice output;
    output.name = u"Speakers (MixoLyte Bus)";
    Sim().audio.wave_out.push_back(output);
    SimScriptPost(plat::kWmClose);
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_EQ(setup_context.product_devices_found, 12);  // display name, "MixoLyte", render list
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(PostedCommands().empty());
    EXPECT_TRUE(SimDrawOps().empty());
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellOffer, InterfaceWithoutEntryOffersRemoveWithInstallationIssue) {
    PutInterface(kDazaInterfaceClass);
    EXPECT_EQ(Run(""), -3);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_EQ(setup_context.product_devices_found, 1);
    EXPECT_EQ(setup_context.daza_driver_found, 1);
    EXPECT_EQ(setup_context.uninstall_entry_found, 0);
    EXPECT_EQ(OfferDrawn(), "Remove");
    EXPECT_EQ(BoxCount("Installation Issue"), 1);
    EXPECT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_TRUE(Sim().windows.hung);

    // Hidden: the same offer, no box, the exit code untouched.
    SetUp();
    PutInterface(kAuxInterfaceClass, false);
    SimScriptPost(plat::kWmClose);
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_EQ(setup_context.aux_driver_found, 1);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}

TEST_F(ShellOffer, EntryOfTheSameProgramOffersRemoveWithoutWarning) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    PutInterface(kCableInterfaceClass);  // "any" interface
    SimWaveDevice input;
    input.name = u"Mixolyte In";  // "any" device name
    Sim().audio.wave_in.push_back(input);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.uninstall_entry_found, 1);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_EQ(OfferDrawn(), "Remove");
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(PostedCommands().empty());
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(ShellOffer, EntryInAnotherLetterCaseOrEmptyCountsAsTheSameProgram) {
    PutUninstallEntry("C:\\PROGRAM FILES\\ZT\\MIXOLYTE\\MIXOLYTESETUP.EXE");
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_TRUE(Sim().windows.boxes.empty());

    SetUp();
    PutUninstallEntry("");
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.uninstall_entry_found, 1);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_EQ(OfferDrawn(), "Remove");
    EXPECT_TRUE(Sim().windows.boxes.empty());

    // A path without any backslash is a file name of its own.
    SetUp();
    PutUninstallEntry("mixolytesetup.exe");
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}

TEST_F(ShellOffer, EntryOfAnotherProgramWarnsAndCloses) {
    Sim().system.is_64bit = true;  // the entry sits in the 32-bit view
    PutUninstallEntry("C:\\Program Files (x86)\\ZT\\Mixolyte\\OtherSetup.exe");
    PutInterface(kDazaInterfaceClass);
    EXPECT_EQ(Run(""), -2);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    const SimMessageBox& box = Sim().windows.boxes[0];
    EXPECT_EQ(box.caption, "Wrong Installation Program");
    EXPECT_EQ(box.type, 0x1010u);
    EXPECT_EQ(box.text,
              "Current Mixolyte version has been installed by another Setup program...\n\nYou must use the same "
              "Setup Program to uninstall it,\nalso listed in Windows Programs and Features...\n\n"
              "DON'T FORGET TO REBOOT AFTER UNINSTALLATION");
    // Box, WM_CLOSE, WM_DESTROY: the program ends by itself.
    EXPECT_FALSE(Sim().windows.hung);
    EXPECT_EQ(PostedCount(plat::kWmClose), 1);
    EXPECT_EQ(PostedCount(plat::kWmDestroy), 1);
    EXPECT_EQ(PostedCommands(), std::vector<std::uintptr_t>{CMD_WARN_OTHER_SETUP});
}

TEST_F(ShellOffer, EntryOfAnotherProgramInHiddenModeStaysSilent) {
    PutUninstallEntry("D:\\Setups\\Mixolyte_2_0.exe");
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(PostedCommands().empty());
    // Hidden and nothing started: it waits for a WM_CLOSE from outside.
    EXPECT_TRUE(Sim().windows.hung);
    EXPECT_FALSE(WindowIsShown());
}

TEST_F(ShellOffer, UninstallStringOfAnotherTypeIsNoEntry) {
    // REG_EXPAND_SZ is not the text the probe takes: no entry, Install.
    SimRegPutText(plat::kHkeyLocalMachine, kUninstallEntryKey, "UninstallString",
                  "%ProgramFiles%\\ZT\\Mixolyte\\Other.exe", plat::kRegExpandSz);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.uninstall_entry_found, 0);
    EXPECT_EQ(setup_context.remove_mode, 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
}
