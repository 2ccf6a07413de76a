// What the operations of the install procedure do, failures included:
// child processes, DLL entry points, shell links, and copying files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/modules.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/contract/env.h"

namespace {

struct InstallContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
};

// Starts the test program, waits for its end and gives its exit code.
std::uint32_t RunChild(const std::string& command_line, const char* folder, const char* temp = nullptr) {
    plat::Handle process = nullptr;
    std::string program = ContractChildProgram();
    EXPECT_EQ(plat::ProcessStart(program.c_str(), command_line.c_str(), folder, temp, &process),
              plat::kProcessStarted);
    if (process == plat::kInvalidHandle) return 0xDEADu;
    EXPECT_EQ(plat::ProcessWait(process, plat::kInfinite), plat::kWaitObject0);
    std::uint32_t code = 0xDEADu;
    EXPECT_EQ(plat::ProcessExitCode(process, &code), 1);
    plat::ProcessClose(process);
    return code;
}

}  // namespace

TEST_F(InstallContract, ChildSeesItsCommandLineAndFolderAndEndsWithItsCode) {
    std::string folder = ContractTempFolder() + "\\with blank";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);

    // The command line arrives as passed, with no program name in front,
    // and the child runs in the folder it was given.
    EXPECT_EQ(RunChild("--report --exit=3", folder.c_str()), 3u);
    EXPECT_EQ(ContractReadFile(folder + "\\child_report.txt"), "--report --exit=3\r\n" + folder + "\r\n");

    // Without a folder the child inherits the caller's current folder.
    std::string own = ContractCurrentFolder();
    std::string report = own + "\\child_report.txt";
    EXPECT_EQ(RunChild("--exit=0 --report", nullptr), 0u);
    EXPECT_EQ(ContractReadFile(report), "--exit=0 --report\r\n" + own + "\r\n");
    plat::FileDelete(report.c_str());

    // Its environment is the caller's, or with a TEMP folder the system's
    // own with TEMP and TMP set to it: the caller's own variables and PATH
    // folders stay behind, the machine's come along.
    std::string temp = ContractTempFolder() + "\\child temp";
    ASSERT_EQ(plat::FolderCreate(temp.c_str(), &error), 1);
    const std::string own_path = ContractSetOwnVariable("PATH", "");
    ContractSetOwnVariable("PATH", "C:\\mixo-planted;" + own_path);
    ContractSetOwnVariable("MIXO_OWN", "the user's");
    EXPECT_EQ(RunChild("--env", folder.c_str(), temp.c_str()), 0u);
    std::string given = ContractReadFile(folder + "\\child_env.txt");
    EXPECT_EQ(RunChild("--env", folder.c_str()), 0u);
    std::string inherited = ContractReadFile(folder + "\\child_env.txt");
    ContractSetOwnVariable("MIXO_OWN", "");
    ContractSetOwnVariable("PATH", own_path);
    EXPECT_EQ(given, "TEMP=" + temp + "\r\nTMP=" + temp + "\r\nSystemRoot kept\r\nMIXO_OWN lost\r\nPATH clean\r\n");
    EXPECT_EQ(inherited.find(temp), std::string::npos);
    EXPECT_NE(inherited.find("TEMP="), std::string::npos);
    EXPECT_NE(inherited.find("SystemRoot kept\r\nMIXO_OWN kept\r\nPATH planted\r\n"), std::string::npos) << inherited;

    // Exit codes come back as the 32 bits the child gave.
    EXPECT_EQ(RunChild("--exit=-1", nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(RunChild("--exit=-605", nullptr), static_cast<std::uint32_t>(-605));
    EXPECT_EQ(RunChild("--exit=1", nullptr), 1u);
    EXPECT_EQ(RunChild("--exit=2", nullptr), 2u);
    EXPECT_EQ(RunChild("", nullptr), 0u);
}

TEST_F(InstallContract, ProcessThatCannotBeCreatedIsTold) {
    std::string base = ContractTempFolder();
    plat::Handle process = reinterpret_cast<plat::Handle>(0x1234);
    std::string missing = base + "\\absent.exe";
    EXPECT_EQ(plat::ProcessStart(missing.c_str(), "-h -i -H -n", base.c_str(), nullptr, &process),
              plat::kProcessCreateFailed);
    EXPECT_EQ(process, plat::kInvalidHandle);

    // A file that is no program.
    std::string text = base + "\\not a program.exe";
    ContractPutFile(text, "this is plain text, not a program");
    EXPECT_EQ(plat::ProcessStart(text.c_str(), "-h", base.c_str(), nullptr, &process), plat::kProcessCreateFailed);
    EXPECT_EQ(process, plat::kInvalidHandle);

    // A current folder that does not exist.
    std::string program = ContractChildProgram();
    std::string nowhere = base + "\\no such folder";
    EXPECT_EQ(plat::ProcessStart(program.c_str(), "--exit=0", nowhere.c_str(), nullptr, &process),
              plat::kProcessCreateFailed);
    EXPECT_EQ(process, plat::kInvalidHandle);
}

TEST_F(InstallContract, WaitWithTimeOutLeavesARunningChildRunning) {
    std::string program = ContractChildProgram();
    plat::Handle process = nullptr;
    ASSERT_EQ(plat::ProcessStart(program.c_str(), "--sleep=1500 --exit=9", nullptr, nullptr, &process),
              plat::kProcessStarted);
    std::uint32_t before = plat::TickCount();
    EXPECT_EQ(plat::ProcessWait(process, 50), plat::kWaitTimeout);
    std::uint32_t code = 0;
    EXPECT_EQ(plat::ProcessExitCode(process, &code), 1);
    EXPECT_EQ(code, plat::kStillActive);
    // Waiting without a time-out sees it end, not before its time.
    EXPECT_EQ(plat::ProcessWait(process, plat::kInfinite), plat::kWaitObject0);
    EXPECT_GE(plat::TickCount() - before, 1000u);
    EXPECT_EQ(plat::ProcessExitCode(process, &code), 1);
    EXPECT_EQ(code, 9u);
    // An ended process is waited for at once.
    EXPECT_EQ(plat::ProcessWait(process, 0), plat::kWaitObject0);
    plat::ProcessClose(process);
}

TEST_F(InstallContract, ModuleEntryPointsAreCalledByName) {
    std::string path = ContractTestDll();
    plat::Handle module = plat::ModuleLoad(path.c_str(), 0);
    ASSERT_NE(module, plat::kInvalidHandle);
    std::int32_t result = 77;
    EXPECT_EQ(plat::ModuleCallEntry(module, "DllRegisterServer", &result), 1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(plat::ModuleCallEntry(module, "DllUnregisterServer", &result), 1);
    EXPECT_EQ(result, static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(plat::ModuleCallEntry(module, "ContractAnswer", &result), 1);
    EXPECT_EQ(result, 0x00C0FFEE);

    // A missing export calls nothing and leaves the result alone; names are
    // case-sensitive.
    result = 77;
    EXPECT_EQ(plat::ModuleCallEntry(module, "DllCanUnloadNow", &result), 0);
    EXPECT_EQ(plat::ModuleCallEntry(module, "dllregisterserver", &result), 0);
    EXPECT_EQ(result, 77);

    // A second load gives the same module; each load is freed once.
    plat::Handle again = plat::ModuleLoad(path.c_str(), 0);
    EXPECT_EQ(again, module);
    plat::ModuleFree(again);
    EXPECT_EQ(plat::ModuleCallEntry(module, "ContractAnswer", &result), 1);
    plat::ModuleCoFree(module);
}

TEST_F(InstallContract, ModuleThatCannotBeLoadedGivesInvalidHandle) {
    std::string base = ContractTempFolder();
    EXPECT_EQ(plat::ModuleLoad((base + "\\absent.dll").c_str(), 0), plat::kInvalidHandle);
    std::string text = base + "\\not a dll.dll";
    ContractPutFile(text, "plain text in a file named like a DLL");
    EXPECT_EQ(plat::ModuleLoad(text.c_str(), 0), plat::kInvalidHandle);
}

TEST_F(InstallContract, ShellLinkIsSavedAndReadsBack) {
    ASSERT_GE(plat::ComInitialize(), 0);
    std::string base = ContractTempFolder();
    std::string target = base + "\\Program Folder\\app one.exe";
    std::uint32_t error = 0;
    plat::FolderCreate((base + "\\Program Folder").c_str(), &error);
    ContractPutFile(target, "MZ");
    std::string link = base + "\\Mixolyte Kumbra.LNK";
    EXPECT_EQ(plat::ShellLinkCreate(link.c_str(), target.c_str(), "Mixolyte Kumbra", nullptr,
                                    (base + "\\Program Folder").c_str()),
              0);
    ContractShellLink read;
    ASSERT_EQ(ContractReadShellLink(link, &read), 1);
    EXPECT_EQ(read.target, target);
    EXPECT_EQ(read.description, "Mixolyte Kumbra");
    EXPECT_EQ(read.arguments, "");
    EXPECT_EQ(read.working_folder, base + "\\Program Folder");

    // Saving again over the same file replaces it.
    std::string other = base + "\\Program Folder\\readme.txt";
    ContractPutFile(other, "read me");
    EXPECT_EQ(
        plat::ShellLinkCreate(link.c_str(), other.c_str(), "Readme", nullptr, (base + "\\Program Folder").c_str()), 0);
    ASSERT_EQ(ContractReadShellLink(link, &read), 1);
    EXPECT_EQ(read.target, other);
    EXPECT_EQ(read.description, "Readme");

    // A target that is not there still gives a shortcut.
    std::string ghost_link = base + "\\Ghost.LNK";
    std::string ghost = base + "\\Program Folder\\never unpacked.exe";
    EXPECT_EQ(plat::ShellLinkCreate(ghost_link.c_str(), ghost.c_str(), "Ghost", nullptr,
                                    (base + "\\Program Folder").c_str()),
              0);
    ASSERT_EQ(ContractReadShellLink(ghost_link, &read), 1);
    EXPECT_EQ(read.target, ghost);

    // A shortcut folder that does not exist: Save fails, nothing is made.
    std::string lost = base + "\\no such folder\\Lost.LNK";
    EXPECT_LT(plat::ShellLinkCreate(lost.c_str(), target.c_str(), "Lost", nullptr, base.c_str()), 0);
    EXPECT_EQ(ContractReadFile(lost), "");
    plat::ComUninitialize();
}

TEST_F(InstallContract, FileCopyReplacesOnlyWhenAllowedAndCarriesReadOnly) {
    std::string base = ContractTempFolder();
    std::string source = base + "\\MixolyteSetup.exe";
    std::string copy = base + "\\copy.exe";
    ContractPutFile(source, "setup program bytes");
    EXPECT_EQ(plat::FileCopy(source.c_str(), copy.c_str(), 0), 1);
    EXPECT_EQ(ContractReadFile(copy), "setup program bytes");
    EXPECT_EQ(ContractReadFile(source), "setup program bytes");

    // fail_if_exists keeps an existing target; otherwise it is replaced.
    ContractPutFile(source, "second version");
    EXPECT_EQ(plat::FileCopy(source.c_str(), copy.c_str(), 1), 0);
    EXPECT_EQ(ContractReadFile(copy), "setup program bytes");
    EXPECT_EQ(plat::FileCopy(source.c_str(), (base + "\\COPY.EXE").c_str(), 0), 1);
    EXPECT_EQ(ContractReadFile(copy), "second version");

    // Missing source, missing target folder.
    EXPECT_EQ(plat::FileCopy((base + "\\absent.exe").c_str(), (base + "\\x.exe").c_str(), 0), 0);
    EXPECT_EQ(ContractReadFile(base + "\\x.exe"), "");
    EXPECT_EQ(plat::FileCopy(source.c_str(), (base + "\\no folder\\x.exe").c_str(), 0), 0);

    // A source open for writing cannot be copied.
    std::string busy = base + "\\busy.bin";
    plat::Handle writing = plat::FileCreateForWrite(busy.c_str());
    ASSERT_NE(writing, plat::kInvalidHandle);
    EXPECT_EQ(plat::FileCopy(busy.c_str(), (base + "\\busy copy.bin").c_str(), 0), 0);
    plat::FileClose(writing);
    EXPECT_EQ(plat::FileCopy(busy.c_str(), (base + "\\busy copy.bin").c_str(), 0), 1);

    EXPECT_EQ(plat::FileSetAttributes((base + "\\absent.exe").c_str(), plat::kFileAttributeNormal), 0);

    // The copy of a read-only file is read-only too, so it refuses to be
    // replaced until its attributes are set back to normal.
    CONTRACT_SKIP_UNLESS(ContractHonoursReadOnly(), "a read-only file is writable here (Wine run by root)");
    std::string locked = base + "\\locked.exe";
    std::string locked_copy = base + "\\locked copy.exe";
    ContractPutFile(locked, "read-only bytes");
    ContractMakeReadOnly(locked);
    EXPECT_EQ(plat::FileCopy(locked.c_str(), locked_copy.c_str(), 0), 1);
    EXPECT_EQ(plat::FileCopy(source.c_str(), locked_copy.c_str(), 0), 0);
    EXPECT_EQ(ContractReadFile(locked_copy), "read-only bytes");
    EXPECT_EQ(plat::FileSetAttributes(locked_copy.c_str(), plat::kFileAttributeNormal), 1);
    EXPECT_EQ(plat::FileCopy(source.c_str(), locked_copy.c_str(), 0), 1);
    EXPECT_EQ(ContractReadFile(locked_copy), "second version");
    EXPECT_EQ(plat::FileSetAttributes(locked.c_str(), plat::kFileAttributeNormal), 1);
}

TEST_F(InstallContract, FileOpenForReadOnlyOpensFilesThatAreThere) {
    std::string base = ContractTempFolder();
    std::string path = base + "\\ZTCABLE_Setup.exe";
    ContractPutFile(path, "MZ");
    plat::Handle file = plat::FileOpenForRead(path.c_str());
    EXPECT_NE(file, plat::kInvalidHandle);
    EXPECT_NE(file, nullptr);
    // Read sharing: a second reader is let in.
    plat::Handle second = plat::FileOpenForRead((base + "\\ztcable_setup.EXE").c_str());
    EXPECT_NE(second, plat::kInvalidHandle);
    plat::FileClose(second);
    plat::FileClose(file);

    EXPECT_EQ(plat::FileOpenForRead((base + "\\ZTMixolyteDAZA_Setup.exe").c_str()), plat::kInvalidHandle);
    EXPECT_EQ(plat::FileOpenForRead(base.c_str()), plat::kInvalidHandle);  // a folder
    // A file another handle writes without sharing refuses a reader.
    std::string busy = base + "\\busy.exe";
    plat::Handle writing = plat::FileCreateForWrite(busy.c_str());
    ASSERT_NE(writing, plat::kInvalidHandle);
    EXPECT_EQ(plat::FileOpenForRead(busy.c_str()), plat::kInvalidHandle);
    plat::FileClose(writing);
    file = plat::FileOpenForRead(busy.c_str());
    EXPECT_NE(file, plat::kInvalidHandle);
    plat::FileClose(file);
}

TEST_F(InstallContract, AdminOnlyFolderIsNewAndOnlyTheAdministratorsAndSystemMayWriteIt) {
    std::string base = ContractTempFolder();
    std::string folder = base + "\\admin only";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreateAdminOnly(folder.c_str(), &error), 1);
    EXPECT_EQ(error, plat::kErrorSuccess);
    // Whatever is at the name already is not taken over.
    ContractExpectFolderRefused(plat::FolderCreateAdminOnly, folder, &error, plat::kErrorAlreadyExists);
    std::string file = base + "\\a file";
    ContractPutFile(file, "x");
    ContractExpectFolderRefused(plat::FolderCreateAdminOnly, file, &error, plat::kErrorAlreadyExists);
    ContractExpectFolderRefused(plat::FolderCreateAdminOnly, base + "\\no parent\\child", &error,
                                plat::kErrorPathNotFound);
    // The program itself works in it.
    ContractPutFile(folder + "\\inside.tmp", "made by the program");
    EXPECT_EQ(ContractReadFile(folder + "\\inside.tmp"), "made by the program");
    EXPECT_EQ(plat::FileDelete((folder + "\\inside.tmp").c_str()), 1);
    EXPECT_EQ(plat::FolderRemove(folder.c_str()), 1);
    ASSERT_EQ(plat::FolderCreateAdminOnly(folder.c_str(), &error), 1);
    std::string access;
    CONTRACT_SKIP_UNLESS(ContractFolderAccess(folder, &access),
                         "this file system keeps no security descriptor given to a folder (Wine without extended "
                         "attributes makes one up from the Unix mode)");
    EXPECT_EQ(access, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

TEST_F(InstallContract, OwnFileHeldCannotBeRenamedAndIsCopiedFromTheHandle) {
    char own[1024] = {};
    ASSERT_GT(plat::ModuleFileName(nullptr, own, sizeof own), 0u);
    const std::string moved = std::string(own) + ".moved";
    const std::string copy = ContractTempFolder() + "\\copy.exe";
    plat::Handle held = plat::FileHoldOwnImage(nullptr);
    ASSERT_NE(held, plat::kInvalidHandle);
    // Held: the running program cannot be renamed (as it otherwise can).
    int renamed = plat::FileRename(own, moved.c_str());
    if (renamed) plat::FileRename(moved.c_str(), own);
    EXPECT_EQ(renamed, 0);
    // The copy is the file's bytes, also when the handle was read before.
    ASSERT_EQ(plat::FileCopyFromHandle(held, copy.c_str()), 1);
    ASSERT_EQ(plat::FileCopyFromHandle(held, copy.c_str()), 1);
    EXPECT_EQ(ContractReadFile(copy), ContractReadFile(own));
    EXPECT_EQ(plat::FileCopyFromHandle(held, (ContractMissingDrive() + "\\copy.exe").c_str()), 0);
    plat::FileClose(held);
    // Let go: the running program can be moved aside again, and another
    // file put under its name. That file is not the image that runs: no
    // hold is given on it, nor on the moved image by the old name. The
    // check goes by the file the image maps, not by any name, so it holds
    // also where a mapped image keeps the name it was opened with (Wine).
    ASSERT_EQ(plat::FileRename(own, moved.c_str()), 1);
    ContractPutFile(own, "MZ planted under the running program's name");
    plat::Handle planted = plat::FileHoldOwnImage(nullptr);
    if (planted != plat::kInvalidHandle) plat::FileClose(planted);
    EXPECT_EQ(plat::FileDelete(own), 1);
    EXPECT_EQ(plat::FileHoldOwnImage(nullptr), plat::kInvalidHandle);  // nothing there
    // Back under its name, it is held again.
    ASSERT_EQ(plat::FileRename(moved.c_str(), own), 1);
    held = plat::FileHoldOwnImage(nullptr);
    EXPECT_NE(held, plat::kInvalidHandle);
    if (held != plat::kInvalidHandle) plat::FileClose(held);
    EXPECT_EQ(planted, plat::kInvalidHandle);
}
