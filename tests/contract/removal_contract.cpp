// What the file removal operations do, failures included: deleting,
// renaming (the move aside of a file in use), removing folders and
// searching folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "tests/contract/env.h"

namespace {

struct RemovalContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
    void TearDown() override { ContractUnloadModules(); }
};

// Everything a search finds, as (name, is a folder), in the order found.
std::vector<std::pair<std::string, int>> Search(const std::string& pattern) {
    std::vector<std::pair<std::string, int>> found;
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(pattern.c_str(), &entry);
    if (search == plat::kInvalidHandle) return found;
    do found.emplace_back(entry.name, entry.is_directory);
    while (plat::FindNext(search, &entry));
    // Past the end it stays at the end.
    EXPECT_EQ(plat::FindNext(search, &entry), 0);
    plat::FindClose(search);
    return found;
}

std::vector<std::pair<std::string, int>> Sorted(std::vector<std::pair<std::string, int>> found) {
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

TEST_F(RemovalContract, DeleteRemovesOnlyAFileThatIsFree) {
    std::string base = ContractTempFolder();
    std::string file = base + "\\readme.txt";
    ContractPutFile(file, "text");
    // Another letter case names the same file.
    EXPECT_EQ(plat::FileDelete((base + "\\README.TXT").c_str()), 1);
    EXPECT_FALSE(ContractPathExists(file));
    EXPECT_EQ(plat::FileDelete(file.c_str()), 0) << "nothing left to delete";
    EXPECT_EQ(plat::FileDelete((base + "\\absent\\x.txt").c_str()), 0);

    // A folder is not a file.
    std::string folder = base + "\\sub";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);
    EXPECT_EQ(plat::FileDelete(folder.c_str()), 0);
    EXPECT_TRUE(ContractPathExists(folder));

    // A file held open without sharing stays until it is let go.
    std::string held = base + "\\held.dat";
    ContractPutFile(held, "held");
    ContractHoldFile(held);
    EXPECT_EQ(plat::FileDelete(held.c_str()), 0);
    EXPECT_TRUE(ContractPathExists(held));
    ContractReleaseFile(held);
    EXPECT_EQ(ContractReadFile(held), "held");
    EXPECT_EQ(plat::FileDelete(held.c_str()), 1);

    std::string locked = base + "\\locked.txt";
    ContractPutFile(locked, "locked");
    ContractMakeReadOnly(locked);
    CONTRACT_SKIP_UNLESS(ContractHonoursReadOnly(), "a read-only file is writable here (Wine run by root)");
    EXPECT_EQ(plat::FileDelete(locked.c_str()), 0);
    EXPECT_EQ(ContractReadFile(locked), "locked");
}

TEST_F(RemovalContract, ALoadedDllIsRenamedButNotDeleted) {
    std::string base = ContractTempFolder();
    std::string dll = base + "\\ztml_asiodriver.dll";
    std::string aside = base + "\\ztml_asiodriver.del";
    ASSERT_EQ(ContractPutLoadedModule(dll), 1);
    std::string bytes = ContractReadFile(dll);
    ASSERT_FALSE(bytes.empty());

    EXPECT_EQ(plat::FileDelete(dll.c_str()), 0);
    EXPECT_TRUE(ContractPathExists(dll));
    EXPECT_EQ(plat::FileRename(dll.c_str(), aside.c_str()), 1);
    EXPECT_FALSE(ContractPathExists(dll));
    EXPECT_EQ(ContractReadFile(aside), bytes);
    // Under its new name it is still in use.
    EXPECT_EQ(plat::FileDelete(aside.c_str()), 0);

    ContractUnloadModules();
    EXPECT_EQ(plat::FileDelete(aside.c_str()), 1);
    EXPECT_FALSE(ContractPathExists(aside));
}

TEST_F(RemovalContract, RenameRefusesAnExistingTargetOrAMissingSource) {
    std::string base = ContractTempFolder();
    std::string from = base + "\\lame_enc.dll";
    std::string to = base + "\\lame_enc.del";
    ContractPutFile(from, "new");
    ContractPutFile(to, "old");
    EXPECT_EQ(plat::FileRename(from.c_str(), to.c_str()), 0);
    EXPECT_EQ(ContractReadFile(from), "new");
    EXPECT_EQ(ContractReadFile(to), "old");
    // Letter case does not make the target another file.
    EXPECT_EQ(plat::FileRename(from.c_str(), (base + "\\LAME_ENC.DEL").c_str()), 0);

    EXPECT_EQ(plat::FileRename((base + "\\absent.dll").c_str(), (base + "\\absent.del").c_str()), 0);
    EXPECT_FALSE(ContractPathExists(base + "\\absent.del"));
    // The target's folder must exist.
    EXPECT_EQ(plat::FileRename(from.c_str(), (base + "\\nofolder\\x.del").c_str()), 0);
    EXPECT_EQ(ContractReadFile(from), "new");

    // Once the target is gone the move works; a read-only file moves too.
    ASSERT_EQ(plat::FileDelete(to.c_str()), 1);
    ContractMakeReadOnly(from);
    EXPECT_EQ(plat::FileRename(from.c_str(), to.c_str()), 1);
    EXPECT_FALSE(ContractPathExists(from));
    EXPECT_EQ(ContractReadFile(to), "new");

    // A folder moves with what it holds.
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate((base + "\\mp3lame").c_str(), &error), 1);
    ContractPutFile(base + "\\mp3lame\\lame_License.txt", "licence");
    EXPECT_EQ(plat::FileRename((base + "\\mp3lame").c_str(), (base + "\\moved").c_str()), 1);
    EXPECT_FALSE(ContractPathExists(base + "\\mp3lame"));
    EXPECT_EQ(ContractReadFile(base + "\\moved\\lame_License.txt"), "licence");
}

TEST_F(RemovalContract, FolderRemoveTakesOnlyAnEmptyFolder) {
    std::string base = ContractTempFolder();
    std::string folder = base + "\\ZT Audio";
    std::string inner = folder + "\\MixoLyte";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);
    ASSERT_EQ(plat::FolderCreate(inner.c_str(), &error), 1);

    EXPECT_EQ(plat::FolderRemove(folder.c_str()), 0) << "holds a folder";
    ContractPutFile(inner + "\\Readme.LNK", "link");
    EXPECT_EQ(plat::FolderRemove(inner.c_str()), 0) << "holds a file";
    EXPECT_TRUE(ContractPathExists(inner));
    EXPECT_EQ(plat::FolderRemove((inner + "\\Readme.LNK").c_str()), 0) << "a file is no folder";
    EXPECT_EQ(ContractReadFile(inner + "\\Readme.LNK"), "link");
    EXPECT_EQ(plat::FolderRemove((base + "\\absent").c_str()), 0);

    ASSERT_EQ(plat::FileDelete((inner + "\\Readme.LNK").c_str()), 1);
    EXPECT_EQ(plat::FolderRemove(inner.c_str()), 1);
    EXPECT_FALSE(ContractPathExists(inner));
    EXPECT_EQ(plat::FolderRemove(inner.c_str()), 0) << "already gone";
    EXPECT_EQ(plat::FolderRemove((base + "\\zt audio").c_str()), 1);
    EXPECT_FALSE(ContractPathExists(folder));
}

TEST_F(RemovalContract, SearchesFindNamesByPattern) {
    std::string base = ContractTempFolder();
    std::uint32_t error = 0;
    ContractPutFile(base + "\\ztml_asiodriver.del", "a");
    ContractPutFile(base + "\\README.DEL", "b");
    ContractPutFile(base + "\\readme.txt", "c");
    ContractPutFile(base + "\\noext", "d");
    ContractPutFile(base + "\\.hidden", "e");
    ASSERT_EQ(plat::FolderCreate((base + "\\folder.del").c_str(), &error), 1);
    ASSERT_EQ(plat::FolderCreate((base + "\\mp3lame").c_str(), &error), 1);
    ContractPutFile(base + "\\mp3lame\\lame_enc.del", "f");

    // "*.del": names as written, folders flagged, nothing from below.
    std::vector<std::pair<std::string, int>> del = {
        {"README.DEL", 0}, {"folder.del", 1}, {"ztml_asiodriver.del", 0}};
    EXPECT_EQ(Sorted(Search(base + "\\*.del")), del);
    EXPECT_EQ(Sorted(Search(base + "\\*.DEL")), del);

    // "*.*": everything, names without a dot too, and "." and ".." first.
    std::vector<std::pair<std::string, int>> all = Search(base + "\\*.*");
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0], std::make_pair(std::string("."), 1));
    EXPECT_EQ(all[1], std::make_pair(std::string(".."), 1));
    std::vector<std::pair<std::string, int>> expected = {
        {".", 1},         {"..", 1},         {".hidden", 0},           {"README.DEL", 0},
        {"folder.del", 1}, {"mp3lame", 1}, {"noext", 0}, {"readme.txt", 0}, {"ztml_asiodriver.del", 0}};
    EXPECT_EQ(Sorted(all), Sorted(expected));

    // An exact name finds that entry.
    EXPECT_EQ(Search(base + "\\Readme.txt"), (std::vector<std::pair<std::string, int>>{{"readme.txt", 0}}));
    // A file comes with its size in bytes, a folder with none.
    ContractPutFile(base + "\\sized.bin", std::string(5000, 'x'));
    plat::FindEntry sized;
    plat::Handle found = plat::FindFirst((base + "\\sized.bin").c_str(), &sized);
    ASSERT_NE(found, plat::kInvalidHandle);
    plat::FindClose(found);
    EXPECT_EQ(sized.size, 5000u);
    found = plat::FindFirst((base + "\\mp3lame").c_str(), &sized);
    ASSERT_NE(found, plat::kInvalidHandle);
    plat::FindClose(found);
    EXPECT_EQ(sized.is_directory, 1);
    EXPECT_EQ(sized.size, 0u);

    // An empty folder still holds "." and ".."; "*.del" finds nothing there.
    std::string empty = base + "\\mp3lame\\empty";
    ASSERT_EQ(plat::FolderCreate(empty.c_str(), &error), 1);
    EXPECT_EQ(Sorted(Search(empty + "\\*.*")),
              (std::vector<std::pair<std::string, int>>{{".", 1}, {"..", 1}}));
    plat::FindEntry entry;
    EXPECT_EQ(plat::FindFirst((empty + "\\*.del").c_str(), &entry), plat::kInvalidHandle);
    // A missing folder, or a file taken for a folder, finds nothing.
    EXPECT_EQ(plat::FindFirst((base + "\\absent\\*.*").c_str(), &entry), plat::kInvalidHandle);
    EXPECT_EQ(plat::FindFirst((base + "\\readme.txt\\*.*").c_str(), &entry), plat::kInvalidHandle);
}

TEST_F(RemovalContract, DeletingWhileSearchingKeepsTheSearchUsable) {
    // The removal deletes between FindFirst and FindClose (the ".del"
    // purge): the search stays valid and ends.
    std::string base = ContractTempFolder();
    for (int i = 0; i < 5; ++i) ContractPutFile(base + "\\f" + std::to_string(i) + ".del", "x");
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst((base + "\\*.del").c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    int seen = 0;
    do {
        ++seen;
        EXPECT_EQ(plat::FileDelete((base + "\\" + entry.name).c_str()), 1) << entry.name;
    } while (plat::FindNext(search, &entry) && seen < 100);
    plat::FindClose(search);
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(Search(base + "\\*.del").size(), 0u);
}

TEST_F(RemovalContract, ALinkIsReportedAsALinkAndRemovedAsOne) {
    std::string base = ContractTempFolder();
    std::string target = base + "\\target";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(target.c_str(), &error), 1);
    ContractPutFile(target + "\\kept.txt", "kept");
    // Plain folders and files are no links.
    plat::FindEntry entry{};
    plat::Handle search = plat::FindFirst(target.c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    EXPECT_EQ(entry.is_directory, 1);
    EXPECT_EQ(entry.is_reparse_point, 0);
    plat::FindClose(search);
    search = plat::FindFirst((target + "\\kept.txt").c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    EXPECT_EQ(entry.is_directory, 0);
    EXPECT_EQ(entry.is_reparse_point, 0);
    plat::FindClose(search);

    std::string link = base + "\\link";
    if (!ContractMakeFolderLink(link, target))
        GTEST_SKIP() << "no folder link can be made here: Wine 8 refuses junctions (FSCTL_SET_REPARSE_POINT gives "
                        "ERROR_NOT_SUPPORTED) and its CreateSymbolicLinkA reports success without making a link; "
                        "Windows needs the symbolic-link privilege or developer mode for the link";
    // The search reports the link itself, as a folder with the reparse-point
    // attribute, by exact path and in a folder listing.
    search = plat::FindFirst(link.c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    EXPECT_STREQ(entry.name, "link");
    EXPECT_EQ(entry.is_directory, 1);
    EXPECT_EQ(entry.is_reparse_point, 1);
    plat::FindClose(search);
    int links_listed = 0;
    search = plat::FindFirst((base + "\\*").c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    do links_listed += std::string(entry.name) == "link" && entry.is_reparse_point == 1;
    while (plat::FindNext(search, &entry));
    plat::FindClose(search);
    EXPECT_EQ(links_listed, 1);
    // Reading through it reaches the target.
    EXPECT_EQ(ContractReadFile(link + "\\kept.txt"), "kept");
    // DeleteFileA refuses it; RemoveDirectoryA removes the link, not the
    // target's contents.
    EXPECT_EQ(plat::FileDelete(link.c_str()), 0);
    EXPECT_EQ(plat::FolderRemove(link.c_str()), 1);
    EXPECT_FALSE(ContractPathExists(link));
    EXPECT_EQ(ContractReadFile(target + "\\kept.txt"), "kept");
}
