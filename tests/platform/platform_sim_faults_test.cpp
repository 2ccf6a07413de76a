// The sim's fault switch as the sweeps rely on it: a kill in the middle of
// a write leaves the part written so far, a kill elsewhere stops before the
// call does anything, and a failed call leaves word of what it named.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"
#include "platform/windows.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

TEST(SimFaults, AKillCutsAWriteOrACopyInHalfAndStopsOtherCallsBeforeTheyAct) {
    SimReset();
    SimPutFolder("C:\\Data");
    plat::Handle file = plat::FileCreateForWrite("C:\\Data\\a.bin");
    ASSERT_NE(file, plat::kInvalidHandle);
    std::uint32_t written = 0;
    ASSERT_EQ(plat::FileWrite(file, "abcd", 4, &written), 1);

    // Call 2 from here: the second write dies halfway.
    SimKillAtCall(2);
    ASSERT_EQ(plat::FileWrite(file, "efgh", 4, &written), 1);
    try {
        plat::FileWrite(file, "ijklmnop", 8, &written);
        ADD_FAILURE() << "the write at the kill point returned";
    } catch (const SimKilled& killed) {
        EXPECT_TRUE(killed.cut);
        EXPECT_EQ(killed.call, 2u);
    }
    EXPECT_EQ(SimReadFile("C:\\Data\\a.bin"), Bytes("abcdefghijkl"));
    SimRestart();

    // A copy cut in half: the target holds the first half, not yet read-only.
    SimPutFile("C:\\Data\\source.txt", Bytes("0123456789"));
    SimFindFile("C:\\Data\\source.txt")->read_only = true;
    SimKillAtCall(1);
    EXPECT_THROW(plat::FileCopy("C:\\Data\\source.txt", "C:\\Data\\copy.txt", 0), SimKilled);
    ASSERT_NE(SimFindFile("C:\\Data\\copy.txt"), nullptr);
    EXPECT_EQ(SimReadFile("C:\\Data\\copy.txt"), Bytes("01234"));
    EXPECT_FALSE(SimFindFile("C:\\Data\\copy.txt")->read_only);
    SimRestart();

    // Any other call dies before it acts, and is not cut.
    SimKillAtCall(1);
    try {
        plat::FileDelete("C:\\Data\\source.txt");
        ADD_FAILURE() << "the delete at the kill point returned";
    } catch (const SimKilled& killed) {
        EXPECT_FALSE(killed.cut);
    }
    EXPECT_NE(SimFindFile("C:\\Data\\source.txt"), nullptr);
}

TEST(SimFaults, AFailedCallLeavesWhatItNamed) {
    SimReset();
    Sim().system.is_64bit = true;
    SimPutFile("C:\\Data\\Sub\\file.txt", Bytes("x"));

    SimFailCall("FileDelete", 1);
    EXPECT_EQ(plat::FileDelete("C:\\Data\\sub\\FILE.txt"), 0);
    EXPECT_EQ(Sim().faults.failed_op, "FileDelete");
    EXPECT_EQ(Sim().faults.failed_subject, "F C:\\DATA\\SUB\\FILE.TXT");

    // A search's folder, also for its later calls.
    plat::FindEntry entry{};
    plat::Handle search = plat::FindFirst("C:\\Data\\Sub\\*.*", &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    SimFailCall("FindNext", 1);
    EXPECT_EQ(plat::FindNext(search, &entry), 0);
    EXPECT_EQ(Sim().faults.failed_subject, "F C:\\DATA\\SUB");
    plat::FindClose(search);

    // A key in the 32-bit view names its physical place; the part of the
    // path that does not exist is named as given.
    SimRegPutKey(plat::kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Vendor\\Product");
    SimFailCall("RegistryOpenKeyEx", 1);
    plat::Handle key = nullptr;
    EXPECT_NE(plat::RegistryOpenKeyEx(plat::kHkeyLocalMachine, "Software\\Vendor\\Product\\Missing",
                                      plat::kKeyRead, &key),
              plat::kErrorSuccess);
    EXPECT_EQ(Sim().faults.failed_subject, "R HKLM\\SOFTWARE\\WOW6432NODE\\VENDOR\\PRODUCT\\MISSING");

    // The wide forms count apart from the ANSI ones, one count a call: the
    // ANSI query between them leaves the second wide query the one to fail.
    SimRegPutText(plat::kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Vendor\\Product", "Version", "1.0");
    ASSERT_EQ(plat::RegistryOpenKeyExW16(plat::kHkeyLocalMachine, u"Software\\Vendor\\Product", plat::kKeyRead, &key),
              plat::kErrorSuccess);
    SimFailCall("RegistryQueryValueW16", 2);
    std::uint32_t type = 0;
    EXPECT_EQ(plat::RegistryQueryValueW16(key, u"Version", &type, nullptr, nullptr), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(key, "Version", &type, nullptr, nullptr), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValueW16(key, u"Version", &type, nullptr, nullptr), plat::kErrorFileNotFound);
    EXPECT_EQ(Sim().faults.failed_op, "RegistryQueryValueW16");
    EXPECT_EQ(Sim().faults.failed_subject, "R HKLM\\SOFTWARE\\WOW6432NODE\\VENDOR\\PRODUCT|Version");
    plat::RegistryCloseKey(key);
    SimFailCall("RegistryCreateKeyExW16", 1);
    EXPECT_EQ(plat::RegistryCreateKeyEx(plat::kHkeyLocalMachine, "Software\\Vendor\\Made", plat::kKeyRead, &key),
              plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(plat::RegistryCreateKeyExW16(plat::kHkeyLocalMachine, u"Software\\Vendor\\Neu", plat::kKeyRead, &key),
              plat::kErrorAccessDenied);
    EXPECT_EQ(Sim().faults.failed_op, "RegistryCreateKeyExW16");
    EXPECT_EQ(Sim().faults.failed_subject, "R HKLM\\SOFTWARE\\WOW6432NODE\\VENDOR\\NEU");

    // A program's command line comes after a bar.
    SimPutFile("C:\\Data\\tool.exe", Bytes("MZ"));
    SimPutProgram("C:\\Data\\tool.exe");
    SimFailCall("ProcessStart", 1);
    plat::Handle process = nullptr;
    EXPECT_NE(plat::ProcessStart("C:\\Data\\tool.exe", "-u -f x.dll", nullptr, nullptr, &process),
              plat::kProcessStarted);
    EXPECT_EQ(Sim().faults.failed_subject, "F C:\\DATA\\TOOL.EXE|-u -f x.dll");

    // A call that fails on its own (not by the switch) leaves nothing new.
    SimFailCall("", 0);
    Sim().faults.failed_subject.clear();
    EXPECT_EQ(plat::FileDelete("C:\\Data\\absent.txt"), 0);
    EXPECT_EQ(Sim().faults.failed_subject, "");
}

// A window or drawing call the switch fails gives the failure its window
// or device context would give when gone, and changes nothing; the next
// call of the same kind acts.
TEST(SimFaults, AFailedWindowOrDrawingCallActsOnNothing) {
    SimReset();
    plat::Handle window = SimAddForeignWindow("Other", u"Other Program");
    SimFailCall("WindowPostMessage", 1);
    EXPECT_EQ(plat::WindowPostMessage(window, 0x0010, 0, 0), 0);
    EXPECT_TRUE(SimFindWindow(window)->received.empty());
    EXPECT_EQ(plat::WindowPostMessage(window, 0x0010, 0, 0), 1);
    EXPECT_EQ(SimFindWindow(window)->received.size(), 1u);

    plat::Handle dc = plat::DcCreateCompatible(nullptr);
    ASSERT_NE(dc, nullptr);
    ASSERT_EQ(plat::DcSetTextColour(dc, 0x123456), 0u);
    SimFailCall("DcSetTextColour", 1);
    EXPECT_EQ(plat::DcSetTextColour(dc, 0xABCDEF), 0xFFFFFFFFu) << "CLR_INVALID";
    EXPECT_EQ(plat::DcSetTextColour(dc, 0xABCDEF), 0x123456u) << "the failed call kept the colour";
    SimFailCall("DcRectangle", 1);
    EXPECT_EQ(plat::DcRectangle(dc, 0, 0, 10, 10), 0);
    EXPECT_TRUE(SimDrawOps("Rectangle").empty());
    EXPECT_EQ(plat::DcRectangle(dc, 0, 0, 10, 10), 1);
    EXPECT_EQ(SimDrawOps("Rectangle").size(), 1u);
    SimFailCall("DcDelete", 1);
    EXPECT_EQ(plat::DcDelete(dc), 0);
    EXPECT_EQ(plat::DcDelete(dc), 1) << "still there to be deleted";
    EXPECT_EQ(plat::DcRectangle(dc, 0, 0, 10, 10), 0) << "deleted";
}
