// The probes of the machine: the Windows version code and its label, the
// device-name search, the driver interfaces, the uninstall entry, the shell
// folders, WOW64 and the program's own path.
#include <cstring>

#include "base/names.h"
#include "devices/inventory.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

using ShellProbe = SetupTest;

int CodeFor(plat::OsVersion version, bool lie = true) {
    Sim().system.version = version;
    Sim().system.version_lie = lie;
    return GetOsVersionCode();
}

// Device lists filled by hand; freed at the end of the test.
struct DeviceListsForTest {
    DeviceListsForTest() {
        ListCreate(CaptureDeviceList());
        ListCreate(RenderDeviceList());
    }
    ~DeviceListsForTest() {
        ListFree(CaptureDeviceList());
        ListFree(RenderDeviceList());
    }
    static void Add(DeviceList* list, const char16_t* display, const char16_t* interface_name) {
        DeviceRecord record;
        std::memset(&record, 0, sizeof record);
        for (int i = 0; display[i] != u'\0' && i < 255; ++i) record.display_name[i] = display[i];
        for (int i = 0; interface_name[i] != u'\0' && i < 127; ++i) record.interface_name[i] = interface_name[i];
        record.device_kind = kDeviceKindEndpoint;
        ASSERT_NE(ListAppend(list, &record), nullptr);
    }
};

}  // namespace

TEST_F(ShellProbe, OsVersionCodesAndTheRtlGetVersionCorrection) {
    EXPECT_EQ(CodeFor({5, 0, 2195, 2, 1}), 0);
    EXPECT_EQ(CodeFor({4, 0, 1381, 2, 1}), 0);
    EXPECT_EQ(CodeFor({5, 1, 2600, 2, 1}), 1);
    EXPECT_EQ(CodeFor({5, 2, 3790, 2, 3}), 2);
    EXPECT_EQ(CodeFor({6, 0, 6002, 2, 1}), 3);
    EXPECT_EQ(CodeFor({6, 1, 7601, 2, 1}), 4);
    EXPECT_EQ(CodeFor({6, 1, 7601, 2, 3}), 3);  // Server 2008 R2
    EXPECT_EQ(CodeFor({6, 1, 7601, 2, 2}), 3);  // a domain controller too
    EXPECT_EQ(CodeFor({6, 2, 9200, 2, 1}), 5);
    // Windows 8.1 and 10 admit only 6.2 to this program; Ntdll tells the truth.
    EXPECT_EQ(CodeFor({6, 3, 9600, 2, 1}), 6);
    EXPECT_EQ(CodeFor({10, 0, 22631, 2, 1}), 7);
    EXPECT_EQ(CodeFor({11, 0, 30000, 2, 1}), 8);
    EXPECT_EQ(CodeFor({6, 4, 9800, 2, 1}), -1);
    EXPECT_EQ(CodeFor({7, 0, 0, 2, 1}), -1);
    EXPECT_EQ(CodeFor({9, 0, 0, 2, 1}), -1);

    // Without RtlGetVersion the compatibility answer stands: Windows 10 is 8.
    Sim().system.rtl_get_version = false;
    EXPECT_EQ(CodeFor({10, 0, 19045, 2, 1}), 5);
    // A failing RtlGetVersion changes nothing either.
    Sim().system.rtl_get_version = true;
    Sim().system.rtl_status = static_cast<std::int32_t>(0xC0000001u);
    EXPECT_EQ(CodeFor({6, 3, 9600, 2, 1}), 5);
    Sim().system.rtl_status = 0;
    // RtlGetVersion below 6 is ignored: the GetVersionExA numbers stand.
    Sim().system.version_lie = false;
    EXPECT_EQ(CodeFor({5, 1, 2600, 2, 1}, false), 1);
}

TEST_F(ShellProbe, VersionSourcesAreTriedInTurn) {
    Sim().system.version = plat::OsVersion{6, 1, 7601, 2, 1};
    SimFailCall("VersionRead", 1, 1);  // the next 1 GetVersionExA calls fail
    EXPECT_EQ(GetOsVersionCode(), 4);
    EXPECT_EQ(Sim().system.version_sizes_asked, (std::vector<std::uint32_t>{156, 156}));

    // Two failures: the short form, which has no product type, so a
    // Windows 7 reads like Server 2008 R2.
    Sim().system.version_sizes_asked.clear();
    SimFailCall("VersionRead", 1, 2);  // the next 2 GetVersionExA calls fail
    EXPECT_EQ(GetOsVersionCode(), 3);
    EXPECT_EQ(Sim().system.version_sizes_asked, (std::vector<std::uint32_t>{156, 156, 148}));

    Sim().system.version_sizes_asked.clear();
    SimFailCall("VersionRead", 1, 3);  // the next 3 GetVersionExA calls fail
    EXPECT_EQ(GetOsVersionCode(), -1);
    EXPECT_EQ(Sim().system.version_sizes_asked.size(), 3u);

    // An old Windows that knows only the short form.
    Sim().system.version_ex_size_refused = true;
    Sim().system.version = plat::OsVersion{5, 1, 2600, 2, 1};
    EXPECT_EQ(GetOsVersionCode(), 1);
}

TEST_F(ShellProbe, OsLabels) {
    const char* expected[] = {"O/S: unknown", "O/S: < XP",  "O/S: WIN XP",  "O/S: Server 2003", "O/S: VISTA",
                              "O/S: WIN7",    "O/S: WIN8", "O/S: WIN8.1", "O/S: WIN10",       "O/S: > WIN10"};
    for (int code = -1; code <= 8; ++code) EXPECT_STREQ(OsVersionLabel(code), expected[code + 1]) << code;
    EXPECT_STREQ(OsVersionLabel(9), "O/S: unknown");
    EXPECT_STREQ(OsVersionLabel(-7), "O/S: unknown");
}

TEST_F(ShellProbe, DeviceNameSearchOrderAndCodes) {
    DeviceListsForTest lists;
    EXPECT_EQ(FindProductDeviceNames(), 0);

    // Per record: interface "MixoLyte", display "MixoLyte", interface
    // "Mixolyte", display "Mixolyte"; the first record with any hit wins.
    DeviceListsForTest::Add(RenderDeviceList(), u"Speakers (MixoLyte Bus)", u"MixoLyte Bus");
    EXPECT_EQ(FindProductDeviceNames(), 11);
    DeviceListsForTest::Add(CaptureDeviceList(), u"Line In", u"Realtek Audio");
    DeviceListsForTest::Add(CaptureDeviceList(), u"Mixolyte In (Mixolyte)", u"Mixolyte Virtual Cable");
    EXPECT_EQ(FindProductDeviceNames(), 3);
    DeviceListsForTest::Add(CaptureDeviceList(), u"Microphone", u"MixoLyte AUX");  // later record: not reached
    EXPECT_EQ(FindProductDeviceNames(), 3);
    EXPECT_EQ(CaptureDeviceList()->cursor, 2u);  // walked with the 1-based element access
}

TEST_F(ShellProbe, DeviceNameCodesOneByOne) {
    struct Case {
        const char16_t* display;
        const char16_t* interface_name;
        int capture, render;
    };
    const Case cases[] = {
        {u"Cable Output", u"MixoLyte Cable", 1, 11},
        {u"Cable (MixoLyte)", u"Generic Audio", 2, 12},
        {u"MixoLyte Bus", u"Mixolyte Bus", 2, 12},  // "MixoLyte" is searched first, in both names
        {u"Mixolyte Bus", u"MixoLyte Bus", 1, 11},
        {u"Generic", u"ZT Mixolyte Aux", 3, 13},
        {u"Mixolyte Insert", u"Generic", 4, 14},
        {u"mixolyte", u"MIXOLYTE", 0, 0},  // other letter cases match nothing
        {u"Mixo Lyte", u"", 0, 0},
    };
    for (const Case& c : cases) {
        {
            DeviceListsForTest lists;
            DeviceListsForTest::Add(CaptureDeviceList(), c.display, c.interface_name);
            EXPECT_EQ(FindProductDeviceNames(), c.capture);
        }
        {
            DeviceListsForTest lists;
            DeviceListsForTest::Add(RenderDeviceList(), c.display, c.interface_name);
            EXPECT_EQ(FindProductDeviceNames(), c.render);
        }
    }
    // Lists without storage read as empty.
    EXPECT_EQ(FindProductDeviceNames(), 0);
}

TEST_F(ShellProbe, DeviceNameInAFullFieldWithoutTerminatorIsFoundWithoutOverrun) {
    DeviceListsForTest lists;
    DeviceRecord record;
    std::memset(&record, 0, sizeof record);
    for (char16_t& unit : record.interface_name) unit = u'x';
    const char16_t tail[] = u"Mixolyte";
    for (int i = 0; i < 8; ++i) record.interface_name[120 + i] = tail[i];
    ASSERT_NE(ListAppend(CaptureDeviceList(), &record), nullptr);
    EXPECT_EQ(FindProductDeviceNames(), 3);
}

TEST_F(ShellProbe, InterfacePresenceCases) {
    ResetSetupContext(&setup_context);
    setup_context.instance = kInstance;
    ProbeEnvironment();
    EXPECT_EQ(setup_context.daza_driver_found + setup_context.cable_driver_found + setup_context.aux_driver_found, 0);
    EXPECT_EQ(setup_context.remove_mode, 0);

    // Present and openable, present but not openable, absent (registered but
    // not present), each its own flag; every handle is closed again.
    PutInterface(kCableInterfaceClass, true);
    PutInterface(kAuxInterfaceClass, false);
    Sim().devices.classes[kDazaInterfaceClass] = SimDeviceInterface{};  // not present
    ResetSetupContext(&setup_context);
    ProbeEnvironment();
    EXPECT_EQ(setup_context.daza_driver_found, 0);
    EXPECT_EQ(setup_context.cable_driver_found, 1);
    EXPECT_EQ(setup_context.aux_driver_found, 1);
    EXPECT_EQ(setup_context.remove_mode, 1);
    EXPECT_EQ(setup_context.product_devices_found, 1);
    EXPECT_EQ(setup_context.uninstall_entry_found, 0);
    EXPECT_TRUE(Sim().devices.open.empty());
    EXPECT_EQ(FindDeviceInterface(kAuxInterfaceClass), plat::kInvalidHandle);
    EXPECT_EQ(FindDeviceInterface(kDazaInterfaceClass), nullptr);
}

TEST_F(ShellProbe, UninstallEntryInBothViewsAndItsValue) {
    EXPECT_EQ(FindUninstallEntry(), 0);
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    EXPECT_EQ(FindUninstallEntry(), 1);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);

    // 64-bit Windows: the 32-bit program finds it in the 32-bit view only.
    SetUp();
    Sim().system.is_64bit = true;
    SimRegPutText(plat::kHkeyLocalMachine, kUninstallEntryKey, "UninstallString", "C:\\x\\MixolyteSetup.exe");
    EXPECT_EQ(FindUninstallEntry(), 0);
    PutUninstallEntry("C:\\x\\OtherSetup.exe");
    EXPECT_EQ(FindUninstallEntry(), 1);
    setup_context.program_path[0] = '\0';
    CopyText(setup_context.program_path, sizeof setup_context.program_path, kRunningProgram);
    EXPECT_EQ(IsSameSetupProgram(), 0);

    // A key without the value, a value of another type, a value longer than
    // the buffer: no entry; the program check then says "same".
    SetUp();
    SimRegPutKey(plat::kHkeyLocalMachine, kUninstallEntryKey);
    EXPECT_EQ(FindUninstallEntry(), 0);
    EXPECT_EQ(IsSameSetupProgram(), 1);
    SimRegPutDword(plat::kHkeyLocalMachine, kUninstallEntryKey, "UninstallString", 7);
    EXPECT_EQ(FindUninstallEntry(), 0);
    EXPECT_EQ(IsSameSetupProgram(), 1);
    PutUninstallEntry("C:\\" + std::string(1100, 'a') + "\\OtherSetup.exe");
    EXPECT_EQ(FindUninstallEntry(), 0);
    EXPECT_EQ(IsSameSetupProgram(), 1);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(ShellProbe, SameSetupProgramComparesFileNamesOnly) {
    CopyText(setup_context.program_path, sizeof setup_context.program_path, kRunningProgram);
    PutUninstallEntry("D:\\Elsewhere\\MixolyteSetup.exe");
    EXPECT_EQ(IsSameSetupProgram(), 1);
    PutUninstallEntry("C:\\Users\\user\\Downloads\\MixolyteSetup.exe.bak");
    EXPECT_EQ(IsSameSetupProgram(), 0);
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\");
    EXPECT_EQ(IsSameSetupProgram(), 0);  // an empty file name is another one

    // A running program path without a backslash is a file name.
    CopyText(setup_context.program_path, sizeof setup_context.program_path, "mixolytesetup.EXE");
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    EXPECT_EQ(IsSameSetupProgram(), 1);

    // A value stored without its terminator that fills the whole buffer.
    std::string text(1024, 'b');
    std::vector<std::uint8_t> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    SimRegPutValue(plat::kHkeyLocalMachine, kUninstallEntryKey, "UninstallString", plat::kRegSz, bytes);
    EXPECT_EQ(IsSameSetupProgram(), 0);
}

TEST_F(ShellProbe, ShellFoldersByTheirTwoFunctions) {
    LookUpFolders();
    EXPECT_STREQ(common_programs_folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(SimKeptNameOf(startup_folder), "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
    // The all-users folder is made where it is missing; the Startup folder,
    // whose place the user sets, is not: its path comes from the second
    // function, which makes nothing either.
    EXPECT_NE(SimFindFile(common_programs_folder), nullptr);
    EXPECT_EQ(SimFindFile(SimKeptNameOf(startup_folder)), nullptr);
    // Once per run: later calls change nothing.
    Sim().shell.folders[0x17] = "D:\\Other";
    LookUpFolders();
    EXPECT_STREQ(common_programs_folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");

    // The user's Startup value points at a folder of their choosing that
    // does not exist: nothing is made there, whichever function answers.
    for (bool second : {true, false}) {
        SetUp();
        Sim().shell.folders[0x07] = "C:\\Windows\\System32\\Tasks\\Pointed";
        Sim().shell.folder_path_function = second;
        LookUpFolders();
        EXPECT_EQ(SimFindFile("C:\\Windows\\System32\\Tasks\\Pointed"), nullptr);
        EXPECT_EQ(SimFindFile("C:\\Windows\\System32\\Tasks"), nullptr);
        EXPECT_EQ(SimKeptNameOf(startup_folder), second ? "C:\\Windows\\System32\\Tasks\\Pointed" : "");
    }
    // Where it exists, the first function gives it.
    SetUp();
    SimPutFolder(Sim().shell.folders[0x07]);
    Sim().shell.folder_path_function = false;
    LookUpFolders();
    EXPECT_EQ(SimKeptNameOf(startup_folder), Sim().shell.folders[0x07]);

    // The first function fails for one folder: the second fills it.
    SetUp();
    Sim().shell.special_folder_fails.insert(0x07);
    Sim().shell.folders[0x07] = "C:\\Startup From SHFolder";
    LookUpFolders();
    EXPECT_EQ(SimKeptNameOf(startup_folder), "C:\\Startup From SHFolder");
    EXPECT_STREQ(common_programs_folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");

    // The user's Startup folder comes in UTF-16, whatever letters it holds
    // (here ones code page 1252 cannot write), from either function; the
    // all-users folder stays ANSI.
    const std::u16string cyrillic = u"C:\\Users\\\u0418\u0432\u0430\u043D\\Startup";
    for (bool second : {false, true}) {
        SetUp();
        Sim().shell.folders[0x07] = SimKeptNameOf(cyrillic);
        SimPutFolder(Sim().shell.folders[0x07]);
        if (second) Sim().shell.special_folder_fails.insert(0x07);
        LookUpFolders();
        EXPECT_EQ(std::u16string(startup_folder), cyrillic) << (second ? "SHGetFolderPathW" : "SHGetSpecialFolderPathW");
        EXPECT_STREQ(common_programs_folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    }

    // Without SHGetSpecialFolderPathA only the empty folder is looked up:
    // the startup folder keeps its start text.
    SetUp();
    Sim().shell.special_folder_function = false;
    LookUpFolders();
    EXPECT_STREQ(common_programs_folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(SimKeptNameOf(startup_folder), "Startup");

    // Neither function, or both failing: empty.
    SetUp();
    Sim().shell.special_folder_function = false;
    Sim().shell.folder_path_function = false;
    LookUpFolders();
    EXPECT_STREQ(common_programs_folder, "");
    EXPECT_EQ(SimKeptNameOf(startup_folder), "Startup");
    SetUp();
    Sim().shell.folders.clear();
    LookUpFolders();
    EXPECT_STREQ(common_programs_folder, "");
    EXPECT_EQ(SimKeptNameOf(startup_folder), "");
}

TEST_F(ShellProbe, Wow64AndTheProgramPath) {
    EXPECT_EQ(IsWow64(), 0);
    Sim().system.is_64bit = true;
    EXPECT_EQ(IsWow64(), 1);
    Sim().system.wow64_call_fails = true;
    EXPECT_EQ(IsWow64(), 0);
    Sim().system.wow64_call_fails = false;
    Sim().system.is_wow64_export = false;  // Windows XP before SP2
    EXPECT_EQ(IsWow64(), 0);

    // The entry stores the probe's result in the reset context.
    SetUp();
    Sim().system.is_64bit = true;
    Sim().system.module_path = "E:\\Setup Files\\MixolyteSetup.exe";
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.is_wow64, 1);
    EXPECT_EQ(setup_context.instance, kInstance);
    EXPECT_STREQ(setup_context.program_path, "E:\\Setup Files\\MixolyteSetup.exe");
    EXPECT_STREQ(setup_context.program_folder, "E:\\Setup Files");
    EXPECT_EQ(setup_context.os_version_code, 7);
    // Before any sequence: no product folder and an all-zero directory.
    EXPECT_STREQ(setup_context.product_folder, "");
    for (const auto& record : setup_context.package_directory)
        for (std::uint8_t byte : record) ASSERT_EQ(byte, 0);

    // A path without a backslash is its own folder; a path as long as the
    // buffer is cut and terminated.
    SetUp();
    Sim().system.module_path = "MixolyteSetup.exe";
    EXPECT_EQ(Run(""), 0);
    EXPECT_STREQ(setup_context.program_folder, "MixolyteSetup.exe");
    SetUp();
    Sim().system.module_path = "C:\\" + std::string(1500, 'p') + "\\MixolyteSetup.exe";
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(std::strlen(setup_context.program_path), 1023u);
    EXPECT_EQ(std::strlen(setup_context.program_folder), 2u);  // "C:"
}
