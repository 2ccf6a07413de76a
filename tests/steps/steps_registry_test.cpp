// The product's registry records on the simulated machine: hives, views,
// types and data as written.
#include <gtest/gtest.h>

#include <string>

#include "base/names.h"
#include "steps/registry_records.h"
#include "tests/support/test_machine.h"

using namespace install_test;

namespace {

const char kWowQuadWire[] = "SOFTWARE\\WOW6432Node\\ZT-Audio\\QuadWire";

std::uint32_t Dword(plat::Handle hive, const std::string& key, const std::string& name) {
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(SimRegGetDword(hive, key, name, &value)) << key << " " << name;
    return value;
}

}  // namespace

TEST(InstallRegistry, UninstallEntryLandsInTheProgramsOwnViewAsText) {
    NewMachine(true, kWindows10);
    EXPECT_EQ(SetMachineString(kUninstallEntryKey, "Mixolyte, The Virtual Mixing Console", "DisplayName"), 1);
    // On 64-bit Windows the 32-bit program's HKLM\SOFTWARE is the 32-bit view.
    EXPECT_FALSE(SimRegKeyExists(kHklm, kUninstallEntryKey));
    const SimRegValue* value = SimRegGetValue(kHklm, kWowUninstallEntry, "DisplayName");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, plat::kRegSz);
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "DisplayName"), "Mixolyte, The Virtual Mixing Console");
    // The text's characters and one NUL: passed without the NUL, Windows
    // adds the one that follows the text (and nothing else).
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(SimRegReadValueA(kHklm, kWowUninstallEntry, "DisplayName", &type, &bytes));
    std::string text = "Mixolyte, The Virtual Mixing Console";
    ASSERT_EQ(bytes.size(), text.size() + 1);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(text.size())), text);
    EXPECT_EQ(bytes.back(), 0);
    // ... and the program passed the size without the NUL: the sim records
    // the argument before adding it.
    ASSERT_EQ(Sim().registry.writes.size(), 1u);
    EXPECT_EQ(Sim().registry.writes[0].name, u"DisplayName");
    EXPECT_EQ(Sim().registry.writes[0].type, plat::kRegSz);
    EXPECT_EQ(Sim().registry.writes[0].size, text.size());

    // Rewriting replaces the value; other values of the key stay.
    EXPECT_EQ(SetMachineString(kUninstallEntryKey, "C:\\Program Files (x86)\\ZT\\Mixolyte\\MixolyteSetup.exe",
                               "UninstallString"),
              1);
    EXPECT_EQ(SetMachineString(kUninstallEntryKey, "Shorter", "DisplayName"), 1);
    EXPECT_EQ(SimRegGetText(kHklm, kWowUninstallEntry, "DisplayName"), "Shorter");
    EXPECT_EQ(SimRegListValues(kHklm, kWowUninstallEntry),
              (std::vector<std::string>{"DisplayName", "UninstallString"}));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);

    // On 32-bit Windows there is only the one view.
    NewMachine(false, kWindows10);
    EXPECT_EQ(SetMachineString(kUninstallEntryKey, "x", "Publisher"), 1);
    EXPECT_EQ(SimRegGetText(kHklm, kUninstallEntryKey, "Publisher"), "x");
    EXPECT_FALSE(SimRegKeyExists(kHklm, kWowUninstallEntry));
}

TEST(InstallRegistry, UserSettingsBelowTheHiveRootInBothViewsAlike) {
    NewMachine(true, kWindows10);
    EXPECT_FALSE(SimRegKeyExists(kHkcu, kProductSettingsKey));
    EXPECT_EQ(SetUserDword(kProductSettingsKey, "TimerResolution", 1), 1);
    EXPECT_EQ(SetUserDword(kProductSettingsKey, "nbLaunch", 0x12345678), 1);
    // Directly below HKCU, not below "Software".
    EXPECT_EQ(Dword(kHkcu, "ZT-Audio\\MixoLyte", "TimerResolution"), 1u);
    EXPECT_FALSE(SimRegKeyExists(kHkcu, "Software\\ZT-Audio\\MixoLyte"));
    const SimRegValue* value = SimRegGetValue(kHkcu, "ZT-Audio\\MixoLyte", "nbLaunch");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, plat::kRegDword);
    EXPECT_EQ(value->bytes, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));  // little-endian

    // ResetTraySettings creates the key when it is missing, with its three
    // values in order.
    NewMachine(false, kWindows7);
    ResetTraySettings();
    EXPECT_EQ(SimRegListValues(kHkcu, kProductSettingsKey),
              (std::vector<std::string>{"SysTray", "SysTrayShowOnRun", "EngineMode"}));
    for (const char* name : {"SysTray", "SysTrayShowOnRun", "EngineMode"})
        EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, name), 0u) << name;
    // Values that were 1 become 0; other values are left.
    SimRegPutDword(kHkcu, kProductSettingsKey, "SysTray", 1);
    SimRegPutDword(kHkcu, kProductSettingsKey, "install", 7);
    ResetTraySettings();
    EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, "SysTray"), 0u);
    EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, "install"), 7u);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST(InstallRegistry, WritesThatAreRefusedGiveZero) {
    NewMachine(false, kWindows10);
    SimRegDenyWrite(kHkcu, kProductSettingsKey);
    EXPECT_EQ(SetUserDword(kProductSettingsKey, "done", 0), 0);
    ResetTraySettings();  // skipped silently
    EXPECT_TRUE(SimRegListValues(kHkcu, kProductSettingsKey).empty());
    // One refused value does not stop the values after it.
    NewMachine(false, kWindows10);
    SimRegPutDword(kHkcu, kProductSettingsKey, "SysTrayShowOnRun", 1);
    SimRegPutDword(kHkcu, kProductSettingsKey, "EngineMode", 1);
    Sim().registry.refused_values = {"SysTrayShowOnRun"};
    ResetTraySettings();
    EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, "SysTray"), 0u);
    EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, "SysTrayShowOnRun"), 1u);
    EXPECT_EQ(Dword(kHkcu, kProductSettingsKey, "EngineMode"), 0u);
    ASSERT_EQ(Sim().registry.writes.size(), 3u);
    EXPECT_EQ(Sim().registry.writes[2].name, u"EngineMode");
    EXPECT_EQ(Sim().registry.writes[2].size, 4u);
    SimRegDenyWrite(kHklm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    EXPECT_EQ(SetMachineString(kUninstallEntryKey, "x", "DisplayName"), 0);
    EXPECT_FALSE(SimRegKeyExists(kHklm, kUninstallEntryKey));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST(InstallRegistry, LoopBackFlagInBothViewsOnlyForFlagOne) {
    NewMachine(true, kWindows10);
    EXPECT_EQ(WriteLoopBackFlags(1), 1);
    // The software key in the 32-bit view and in the 64-bit view; the
    // service key is shared by both views.
    EXPECT_EQ(Dword(kHklm, kWowQuadWire, kLoopBackValue), 1u);
    EXPECT_EQ(Dword(kHklm, "SOFTWARE\\ZT-Audio\\QuadWire", kLoopBackValue), 1u);
    EXPECT_EQ(Dword(kHklm, "SYSTEM\\CurrentControlSet\\Services\\ZT-QuadWire", kLoopBackValue), 1u);
    EXPECT_EQ(SimRegGetValue(kHklm, kWowQuadWire, kLoopBackValue)->type, plat::kRegDword);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);

    // Any flag other than exactly 1 writes the default view only.
    for (int flag : {0, 2, -1}) {
        SCOPED_TRACE(flag);
        NewMachine(true, kWindows10);
        EXPECT_EQ(WriteLoopBackFlags(flag), 1);
        EXPECT_EQ(Dword(kHklm, kWowQuadWire, kLoopBackValue), 1u);
        EXPECT_FALSE(SimRegKeyExists(kHklm, "SOFTWARE\\ZT-Audio\\QuadWire"));
        EXPECT_EQ(Dword(kHklm, "SYSTEM\\CurrentControlSet\\Services\\ZT-QuadWire", kLoopBackValue), 1u);
    }

    // The 64-bit view is written even when the default view refuses; 0
    // only when every write failed.
    NewMachine(true, kWindows10);
    SimRegDenyWrite(kHklm, "SOFTWARE\\WOW6432Node\\ZT-Audio");
    SimRegDenyWrite(kHklm, "SYSTEM\\CurrentControlSet\\Services");
    EXPECT_EQ(WriteLoopBackFlags(1), 1);
    EXPECT_EQ(Dword(kHklm, "SOFTWARE\\ZT-Audio\\QuadWire", kLoopBackValue), 1u);
    EXPECT_FALSE(SimRegKeyExists(kHklm, kWowQuadWire));

    NewMachine(true, kWindows10);
    SimRegDenyWrite(kHklm, "SOFTWARE\\WOW6432Node\\ZT-Audio");
    SimRegDenyWrite(kHklm, "SOFTWARE\\ZT-Audio");
    SimRegDenyWrite(kHklm, "SYSTEM\\CurrentControlSet\\Services");
    EXPECT_EQ(WriteLoopBackFlags(1), 0);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}
