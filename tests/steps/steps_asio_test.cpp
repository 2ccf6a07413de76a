// Registration of the ASIO drivers on the simulated machine: order, pauses,
// the registration program's command lines and every silent failure.
#include <gtest/gtest.h>

#include <string>

#include "base/names.h"
#include "steps/asio.h"
#include "tests/support/test_machine.h"

using namespace install_test;

namespace {

const std::string kFolder64 = "C:\\Program Files (x86)\\ZT\\Mixolyte";
const std::string kFolder32 = "C:\\Program Files\\ZT\\Mixolyte";

// A machine whose product folder holds the six DLLs and the registration
// program, as recording stand-ins.
SetupContext* MachineWithDrivers(bool is_64bit, const std::string& folder) {
    SetupContext* context = NewMachine(is_64bit, kWindows10);
    CopyText(context->product_folder, sizeof context->product_folder, folder.c_str());
    std::string base = folder.back() == '\\' ? folder : folder + "\\";
    for (const char* dll : kAsioDrivers32) {
        SimPutFile(base + dll, Bytes("MZ"));
        PutAsioDll(base + dll);
    }
    for (const char* dll : kAsioDrivers64) SimPutFile(base + dll, Bytes("MZ 64"));
    SimPutFile(base + "ztregsvr64.exe", Bytes("MZ 64"));
    PutRegistrationProgram(base + "ztregsvr64.exe", context);
    return context;
}

std::vector<SimModuleEvent> EventsOf(SimModuleEventKind kind) {
    std::vector<SimModuleEvent> found;
    for (const SimModuleEvent& event : Sim().modules.events)
        if (event.kind == kind) found.push_back(event);
    return found;
}

}  // namespace

TEST(InstallAsio, RegisterOn64BitWindowsThirtyTwoBitFirstThenTheProgram) {
    SetupContext* context = MachineWithDrivers(true, kFolder64);
    std::uint64_t slept = Sim().system.slept_ms;
    EXPECT_EQ(RegisterAsioDrivers(context, kAsioRegister), 0);

    EXPECT_EQ(Record().events, AsioDriverEvents(kFolder64, true, true));
    // The program is started by its path in the product folder, with that
    // folder as its current folder, never the setup program's.
    for (const SimStartedProcess& process : Sim().processes.started)
        EXPECT_EQ(process.application, kFolder64 + "\\ztregsvr64.exe");
    // Each DLL loaded from the product folder and let go by CoFreeLibrary,
    // then 50 ms before the next.
    std::vector<SimModuleEvent> loads = EventsOf(kSimModuleLoad);
    std::vector<SimModuleEvent> frees = EventsOf(kSimModuleCoFree);
    ASSERT_EQ(loads.size(), 3u);
    ASSERT_EQ(frees.size(), 3u);
    EXPECT_TRUE(EventsOf(kSimModuleFree).empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loads[i].path, kFolder64 + "\\" + kAsioDrivers32[i]);
        if (i > 0) {
            EXPECT_EQ(loads[i].tick - frees[i - 1].tick, 50u);
        }
    }
    EXPECT_EQ(Sim().system.slept_ms - slept, 150u);
    EXPECT_TRUE(Sim().modules.loaded.empty());
    EXPECT_TRUE(Sim().processes.open.empty());
    // What the stand-ins registered: the 32-bit drivers in the 32-bit view.
    for (const char* dll : kAsioDrivers32)
        EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, AsioEntryKey(dll, false))) << dll;
    for (const char* dll : kAsioDrivers64)
        EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, AsioEntryKey(dll, true))) << dll;
}

TEST(InstallAsio, UnregisterLineHasTwoBlanksAndTheUnquotedPathWithBlanks) {
    // A product folder with blanks that ends in a backslash.
    const std::string folder = "D:\\My Apps (x86)\\ZT\\Mixolyte\\";
    SetupContext* context = MachineWithDrivers(true, folder);
    RegisterAsioDrivers(context, kAsioUnregister);
    ASSERT_EQ(Sim().processes.started.size(), 3u);
    EXPECT_EQ(Sim().processes.started[0].command_line, " -u  -fD:\\My Apps (x86)\\ZT\\Mixolyte\\ztml_asiodriver64.dll");
    EXPECT_EQ(Sim().processes.started[1].command_line,
              " -u  -fD:\\My Apps (x86)\\ZT\\Mixolyte\\ztmlaux_asiodriver64.dll");
    EXPECT_EQ(Sim().processes.started[2].command_line,
              " -u  -fD:\\My Apps (x86)\\ZT\\Mixolyte\\ztmlins_asiodriver64.dll");
    EXPECT_EQ(Sim().processes.started[0].application, "D:\\My Apps (x86)\\ZT\\Mixolyte\\ztregsvr64.exe");
    // Unregistration calls DllUnregisterServer, frees with CoFreeLibrary
    // and pauses 50 ms after each.
    EXPECT_EQ(Record().events[0], "ztml_asiodriver.dll|DllUnregisterServer");
    EXPECT_EQ(EventsOf(kSimModuleCoFree).size(), 3u);
    EXPECT_EQ(Sim().system.slept_ms, 150u);
}

TEST(InstallAsio, ThirtyTwoBitWindowsNeverStartsTheRegistrationProgram) {
    SetupContext* context = MachineWithDrivers(false, kFolder32);
    RegisterAsioDrivers(context, kAsioRegister);
    EXPECT_TRUE(Sim().processes.started.empty());
    EXPECT_EQ(EventsOf(kSimModuleLoad).size(), 3u);
    EXPECT_EQ(Record().events.size(), 3u);
    EXPECT_EQ(Sim().system.slept_ms, 150u);
    RegisterAsioDrivers(context, kAsioUnregister);
    EXPECT_TRUE(Sim().processes.started.empty());
    EXPECT_EQ(Sim().system.slept_ms, 300u);
}

TEST(InstallAsio, EveryFailureEndsOneDllSilentlyWithoutPause) {
    SetupContext* context = MachineWithDrivers(false, kFolder32);
    // First DLL: registration fails -> CoFreeLibrary, no pause.
    PutAsioDll(kFolder32 + "\\ztml_asiodriver.dll", static_cast<std::int32_t>(0x80004005u));
    // Second: not in the product folder at all.
    Sim().files.entries.erase(SimPathKey(kFolder32 + "\\ztmlaux_asiodriver.dll"));
    // Third: no DllRegisterServer -> FreeLibrary, no pause.
    Sim().modules.dlls[SimPathKey(kFolder32 + "\\ztmlins_asiodriver.dll")].exports.erase("DllRegisterServer");
    std::uint32_t before = Sim().system.tick_ms;
    RegisterAsioDrivers(context, kAsioRegister);
    EXPECT_EQ(Sim().system.slept_ms, 0u);
    EXPECT_EQ(Sim().system.tick_ms, before);
    EXPECT_EQ(Record().events, std::vector<std::string>{"ztml_asiodriver.dll|DllRegisterServer"});
    ASSERT_EQ(EventsOf(kSimModuleCoFree).size(), 1u);
    EXPECT_EQ(EventsOf(kSimModuleCoFree)[0].path, kFolder32 + "\\ztml_asiodriver.dll");
    ASSERT_EQ(EventsOf(kSimModuleFree).size(), 1u);
    EXPECT_EQ(EventsOf(kSimModuleFree)[0].path, kFolder32 + "\\ztmlins_asiodriver.dll");
    EXPECT_EQ(EventsOf(kSimModuleLoadFailed).size(), 1u);
    EXPECT_TRUE(Sim().modules.loaded.empty());

    // Unregistering: a missing entry point is let go with CoFreeLibrary,
    // without a pause; a failing one still pauses.
    SetupContext* again = MachineWithDrivers(false, kFolder32);
    Sim().modules.dlls[SimPathKey(kFolder32 + "\\ztml_asiodriver.dll")].exports.erase("DllUnregisterServer");
    Sim().modules.dlls[SimPathKey(kFolder32 + "\\ztmlaux_asiodriver.dll")].load_fails = true;
    Sim().modules.dlls[SimPathKey(kFolder32 + "\\ztmlins_asiodriver.dll")].exports["DllUnregisterServer"] = [] {
        return static_cast<std::int32_t>(0x80070005u);
    };
    RegisterAsioDrivers(again, kAsioUnregister);
    EXPECT_EQ(EventsOf(kSimModuleCoFree).size(), 2u);
    EXPECT_TRUE(EventsOf(kSimModuleFree).empty());
    EXPECT_EQ(Sim().system.slept_ms, 50u);
    EXPECT_TRUE(Sim().modules.loaded.empty());
}

TEST(InstallAsio, RegistrationProgramIsWaitedForTenSecondsAtMost) {
    SetupContext* context = MachineWithDrivers(true, kFolder64);
    // The first registration hangs for a minute, the others end at once.
    SimProgram& program = Sim().processes.programs[SimPathKey(kFolder64 + "\\ztregsvr64.exe")];
    SimProgramBehaviour registers = program.behaviour;
    program.behaviour = [registers](SimProgramRun& run) {
        if (run.command_line.find("ztml_asiodriver64") != std::string::npos) run.run_ms = 60000;
        return registers(run);
    };
    std::uint32_t before = Sim().system.tick_ms;
    RegisterAsioDrivers(context, kAsioRegister);
    ASSERT_EQ(Sim().processes.started.size(), 3u);
    // The hanging one is left after 10 s; the next starts right then.
    EXPECT_EQ(Sim().processes.started[1].start_tick - Sim().processes.started[0].start_tick, 10000u);
    EXPECT_EQ(Sim().processes.started[2].start_tick, Sim().processes.started[1].start_tick);
    EXPECT_EQ(Sim().system.tick_ms - before, 150u + 10000u);
    EXPECT_TRUE(Sim().processes.open.empty());

    // A registration program that cannot be started, or gives no handle:
    // the other DLLs are still tried.
    SetupContext* again = MachineWithDrivers(true, kFolder64);
    Sim().processes.programs[SimPathKey(kFolder64 + "\\ztregsvr64.exe")].no_handle = true;
    RegisterAsioDrivers(again, kAsioRegister);
    EXPECT_EQ(Sim().processes.started.size(), 3u);
    Sim().files.entries.erase(SimPathKey(kFolder64 + "\\ztregsvr64.exe"));
    RegisterAsioDrivers(again, kAsioRegister);
    EXPECT_EQ(Sim().processes.started.size(), 3u);
    EXPECT_EQ(EventsOf(kSimModuleLoad).size(), 6u);
}
