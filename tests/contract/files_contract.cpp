// What the file and resource operations do, failures included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/resources.h"
#include "tests/contract/env.h"

namespace {

struct FilesContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
};

int WriteText(const std::string& path, const std::string& text, std::uint32_t* written) {
    plat::Handle file = plat::FileCreateForWrite(path.c_str());
    if (file == plat::kInvalidHandle) return -1;
    int ok = plat::FileWrite(file, text.data(), static_cast<std::uint32_t>(text.size()), written);
    plat::FileClose(file);
    return ok;
}

}  // namespace

TEST_F(FilesContract, FolderCreateTellsExistingFoldersApart) {
    std::string base = ContractTempFolder();
    std::uint32_t error = 12345;
    std::string folder = base + "\\New Folder";
    EXPECT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);
    EXPECT_EQ(error, plat::kErrorSuccess);

    ContractExpectFolderRefused(plat::FolderCreate, folder, &error, plat::kErrorAlreadyExists);
    // Another letter case names the same folder.
    ContractExpectFolderRefused(plat::FolderCreate, base + "\\NEW FOLDER", &error, plat::kErrorAlreadyExists);
    // A file of that name counts as existing too.
    std::string file = base + "\\plain.txt";
    ContractPutFile(file, "x");
    ContractExpectFolderRefused(plat::FolderCreate, file, &error, plat::kErrorAlreadyExists);

    // A missing parent, or a missing drive, is a path error, not "exists".
    ContractExpectFolderRefused(plat::FolderCreate, base + "\\absent\\child", &error, plat::kErrorPathNotFound);
    std::string nodrive = ContractMissingDrive() + "\\Folder";
    EXPECT_EQ(plat::FolderCreate(nodrive.c_str(), &error), 0);
    EXPECT_NE(error, plat::kErrorAlreadyExists);
    EXPECT_NE(error, plat::kErrorSuccess);
}

TEST_F(FilesContract, CreateForWriteReplacesAndRefuses) {
    std::string base = ContractTempFolder();
    std::string path = base + "\\data.bin";
    std::uint32_t written = 0;
    EXPECT_EQ(WriteText(path, "first contents", &written), 1);
    EXPECT_EQ(written, 14u);
    EXPECT_EQ(ContractReadFile(path), "first contents");
    // CREATE_ALWAYS truncates what was there; other case, same file.
    EXPECT_EQ(WriteText(base + "\\DATA.BIN", "2nd", &written), 1);
    EXPECT_EQ(ContractReadFile(path), "2nd");
    // Zero bytes make an empty file.
    EXPECT_EQ(WriteText(path, "", &written), 1);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ContractReadFile(path), "");

    // Missing folder, file in use and read-only file: no handle, file unchanged.
    EXPECT_EQ(plat::FileCreateForWrite((base + "\\nofolder\\x.bin").c_str()), plat::kInvalidHandle);
    std::string used = base + "\\used.dll";
    ContractPutFile(used, "used bytes");
    ContractHoldFile(used);
    EXPECT_EQ(plat::FileCreateForWrite(used.c_str()), plat::kInvalidHandle);
    ContractReleaseFile(used);
    EXPECT_EQ(ContractReadFile(used), "used bytes");
    // A folder is not a file.
    EXPECT_EQ(plat::FileCreateForWrite(base.c_str()), plat::kInvalidHandle);

    std::string locked = base + "\\locked.dll";
    ContractPutFile(locked, "locked bytes");
    ContractMakeReadOnly(locked);
    CONTRACT_SKIP_UNLESS(ContractHonoursReadOnly(), "a read-only file is writable here (Wine run by root)");
    EXPECT_EQ(plat::FileCreateForWrite(locked.c_str()), plat::kInvalidHandle);
    EXPECT_EQ(ContractReadFile(locked), "locked bytes");
}

TEST_F(FilesContract, DeleteAtRestartSchedulesInOrderAndChangesNothingNow) {
    std::string base = ContractTempFolder();
    std::string file = base + "\\left.del";
    std::string folder = base + "\\sub";
    ContractPutFile(file, "left");
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);

    // A file, an empty folder, a folder that is not empty: all can be
    // scheduled; the restart decides what it can delete.
    EXPECT_EQ(plat::FileDeleteAtRestart(file.c_str()), 1);
    EXPECT_EQ(plat::FileDeleteAtRestart(folder.c_str()), 1);
    EXPECT_EQ(plat::FileDeleteAtRestart(base.c_str()), 1);
    EXPECT_EQ(ContractPendingDeletions(base), (std::vector<std::string>{file, folder, base}));
    // Nothing happens before the restart.
    EXPECT_EQ(ContractReadFile(file), "left");
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(folder.c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    plat::FindClose(search);
    EXPECT_EQ(entry.is_directory, 1);

    ContractDropPendingDeletions(base);
    EXPECT_TRUE(ContractPendingDeletions(base).empty());
}

TEST_F(FilesContract, ResourceOpenFindsRcdataByIdOnly) {
    plat::ResourceView view;
    ASSERT_EQ(plat::ResourceOpen(ContractResourceModule(), plat::kResourceTypeRcData, 100, &view),
              plat::kResourceOk);
    const char* text = ContractResourceText();
    ASSERT_EQ(view.size, std::strlen(text));
    EXPECT_EQ(std::memcmp(view.bytes, text, view.size), 0);
    plat::ResourceClose(&view);
    EXPECT_EQ(view.bytes, nullptr);

    EXPECT_EQ(plat::ResourceOpen(ContractResourceModule(), plat::kResourceTypeRcData, 4242, &view),
              plat::kResourceMissing);
    EXPECT_EQ(view.bytes, nullptr);
    EXPECT_EQ(view.size, 0u);
}
