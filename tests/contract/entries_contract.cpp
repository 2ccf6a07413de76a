// Entries opened as themselves: a held folder keeps its name against every
// other handle, a link opens as the link, and deletion or renaming by the
// handle acts on exactly that entry.
#include <gtest/gtest.h>

#include <string>

#include "platform/entries.h"
#include "platform/files.h"
#include "tests/contract/env.h"

namespace {

struct EntriesContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
    void TearDown() override { ContractUnloadModules(); }
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// An ASCII path in either form.
std::string Narrow(const char16_t* text) {
    std::string narrow;
    for (; *text != u'\0'; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '#';
    return narrow;
}
std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

TEST_F(EntriesContract, AHeldFolderCannotBeRenamedOrDeletedByAnotherHandle) {
    std::string base = ContractTempFolder();
    std::string folder = base + "\\held";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);
    ContractPutFile(folder + "\\a.txt", "a");

    plat::EntryFacts facts{};
    plat::Handle held = plat::FolderHold(folder.c_str(), &facts);
    ASSERT_NE(held, plat::kInvalidHandle);
    EXPECT_EQ(facts.is_directory, 1);
    EXPECT_EQ(facts.is_reparse_point, 0);
    EXPECT_EQ(plat::FileRename(folder.c_str(), (base + "\\moved").c_str()), 0) << "the name is pinned";
    EXPECT_EQ(plat::EntryOpen(folder.c_str(), &facts), plat::kInvalidHandle) << "no deleting opener";
    // A second hold goes along with it, as a program's current folder does.
    plat::Handle second = plat::FolderHold(folder.c_str(), &facts);
    EXPECT_NE(second, plat::kInvalidHandle);
    if (second != plat::kInvalidHandle) plat::EntryClose(second);
    // What is inside can still go, by path; the folder itself cannot.
    EXPECT_EQ(plat::FileDelete((folder + "\\a.txt").c_str()), 1);
    EXPECT_EQ(plat::FolderRemove(folder.c_str()), 0);
    EXPECT_TRUE(ContractPathExists(folder));

    // Its final path is where it is, and what lies in it is below that.
    ContractPutFile(folder + "\\b.txt", "b");
    char16_t final_folder16[1024] = {}, final_file16[1024] = {};
    int told = plat::EntryFinalPath(held, final_folder16, 1024);
    std::string final_folder = Narrow(final_folder16);
    plat::Handle file = plat::EntryOpen((folder + "\\b.txt").c_str(), &facts);
    ASSERT_NE(file, plat::kInvalidHandle);
    EXPECT_EQ(facts.is_directory, 0);
    if (told == 1) {
        ASSERT_EQ(plat::EntryFinalPath(file, final_file16, 1024), 1);
        EXPECT_EQ(Upper(Narrow(final_file16)), Upper(final_folder + "\\b.txt"));
        EXPECT_EQ(Upper(final_folder).substr(Upper(final_folder).size() - 5), "\\HELD");
        EXPECT_EQ(plat::EntryFinalPath(file, final_file16, 4), 0) << "does not fit";
    }
    plat::EntryClose(file);
    plat::EntryClose(held);
    // An entry handle shares deletion: no hold comes while it is open, but
    // the name may move, and the handle goes along with the object.
    plat::Handle deleting = plat::EntryOpen(folder.c_str(), &facts);
    ASSERT_NE(deleting, plat::kInvalidHandle);
    EXPECT_EQ(plat::FolderHold(folder.c_str(), &facts), plat::kInvalidHandle) << "a hold shares no deletion";
    EXPECT_EQ(plat::FileRename(folder.c_str(), (base + "\\moved").c_str()), 1);
    plat::EntryClose(deleting);
    EXPECT_TRUE(ContractPathExists(base + "\\moved\\b.txt"));
    CONTRACT_SKIP_UNLESS(told != -1, "the system has no GetFinalPathNameByHandleW");
    EXPECT_EQ(told, 1);
}

TEST_F(EntriesContract, DeletionByHandleRemovesExactlyThatEntry) {
    std::string base = ContractTempFolder();
    ContractPutFile(base + "\\a.txt", "a");
    ContractPutFile(base + "\\b.txt", "b");
    plat::EntryFacts facts{};
    plat::Handle a = plat::EntryOpen((base + "\\A.TXT").c_str(), &facts);
    ASSERT_NE(a, plat::kInvalidHandle);
    EXPECT_EQ(plat::EntryDelete(a), 1);
    plat::EntryClose(a);
    EXPECT_FALSE(ContractPathExists(base + "\\a.txt"));
    EXPECT_EQ(ContractReadFile(base + "\\b.txt"), "b");
    EXPECT_EQ(plat::EntryOpen((base + "\\a.txt").c_str(), &facts), plat::kInvalidHandle) << "nothing there";

    // A folder goes only when empty.
    std::string folder = base + "\\sub";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(folder.c_str(), &error), 1);
    ContractPutFile(folder + "\\c.txt", "c");
    plat::Handle sub = plat::EntryOpen(folder.c_str(), &facts);
    ASSERT_NE(sub, plat::kInvalidHandle);
    EXPECT_EQ(plat::EntryDelete(sub), 0);
    EXPECT_EQ(plat::FileDelete((folder + "\\c.txt").c_str()), 1);
    EXPECT_EQ(plat::EntryDelete(sub), 1);
    plat::EntryClose(sub);
    EXPECT_FALSE(ContractPathExists(folder));

    // A loaded DLL cannot be deleted but moves aside by its handle; a
    // rename onto a name that is taken is refused.
    std::string dll = base + "\\loaded.dll";
    ASSERT_EQ(ContractPutLoadedModule(dll), 1);
    plat::Handle loaded = plat::EntryOpen(dll.c_str(), &facts);
    ASSERT_NE(loaded, plat::kInvalidHandle);
    EXPECT_EQ(plat::EntryDelete(loaded), 0);
    EXPECT_EQ(plat::EntryRename(loaded, (base + "\\b.txt").c_str()), 0);
    EXPECT_EQ(plat::EntryRename(loaded, (base + "\\loaded.del").c_str()), 1);
    plat::EntryClose(loaded);
    EXPECT_FALSE(ContractPathExists(dll));
    EXPECT_TRUE(ContractPathExists(base + "\\loaded.del"));
    EXPECT_EQ(ContractReadFile(base + "\\b.txt"), "b");

    std::string locked = base + "\\locked.txt";
    ContractPutFile(locked, "locked");
    ContractMakeReadOnly(locked);
    plat::Handle read_only = plat::EntryOpen(locked.c_str(), &facts);
    ASSERT_NE(read_only, plat::kInvalidHandle);
    int deleted = plat::EntryDelete(read_only);
    plat::EntryClose(read_only);
    CONTRACT_SKIP_UNLESS(ContractHonoursReadOnly(), "a read-only file is writable here (Wine run by root)");
    EXPECT_EQ(deleted, 0);
    EXPECT_TRUE(ContractPathExists(locked));
}

TEST_F(EntriesContract, AnEntryOpenedAsItselfIsTheLinkNotItsTarget) {
    std::string base = ContractTempFolder();
    std::string target = base + "\\target";
    std::uint32_t error = 0;
    ASSERT_EQ(plat::FolderCreate(target.c_str(), &error), 1);
    ContractPutFile(target + "\\kept.txt", "kept");
    std::string link = base + "\\link";
    CONTRACT_SKIP_UNLESS(ContractMakeFolderLink(link, target),
                         "no folder link can be made here (Wine 8 refuses junctions and makes no symbolic link)");
    plat::EntryFacts facts{};
    plat::Handle entry = plat::EntryOpen(link.c_str(), &facts);
    ASSERT_NE(entry, plat::kInvalidHandle);
    EXPECT_EQ(facts.is_directory, 1);
    EXPECT_EQ(facts.is_reparse_point, 1);
    // The link is not empty-checked through its target: it goes as a link.
    EXPECT_EQ(plat::EntryDelete(entry), 1);
    plat::EntryClose(entry);
    EXPECT_FALSE(ContractPathExists(link));
    EXPECT_EQ(ContractReadFile(target + "\\kept.txt"), "kept");
}

TEST_F(EntriesContract, AFileAnIndexerHoldsIsDeletedAllTheSame) {
    std::string base = ContractTempFolder();
    std::string file = base + "\\indexed.txt";
    ContractPutFile(file, "indexed");
    ContractHoldFileSharingDelete(file);
    plat::EntryFacts facts{};
    plat::Handle entry = plat::EntryOpen(file.c_str(), &facts);
    ASSERT_NE(entry, plat::kInvalidHandle) << "the indexer shares deletion";
    EXPECT_EQ(facts.delete_pending, 0);
    EXPECT_EQ(plat::EntryDelete(entry), 1);
    plat::EntryClose(entry);
    // POSIX semantics take the name now; the classic disposition leaves it
    // listed until the indexer lets go, and an opener is told why it fails.
    bool name_stays = ContractPathExists(file), reopens = false;
    if (name_stays) {
        plat::Handle again = plat::EntryOpen(file.c_str(), &facts);
        reopens = again != plat::kInvalidHandle;
        if (reopens) plat::EntryClose(again);
        else EXPECT_EQ(facts.delete_pending, 1) << "refused as pending, not as anything else";
    }
    ContractReleaseFile(file);
    EXPECT_FALSE(ContractPathExists(file));
    CONTRACT_SKIP_UNLESS(!name_stays, std::string("no POSIX deletion here (FileDispositionInfoEx): the classic "
                                                  "disposition left the name pending") +
                                          (reopens ? ", and it opens again (Windows refuses it as pending)" : ""));
}

// A folder a user names may hold letters the ANSI code page cannot write:
// the UTF-16 forms reach it whole. The search lists its name as it is, the
// hold and the entry open take it as themselves, its final path keeps the
// letters, and names compare as the file system compares them.
TEST_F(EntriesContract, UserFoldersAreReachedByTheirUtf16Names) {
    const std::u16string base = Widen(ContractTempFolder());
    const std::u16string folder = base + u"\\\u0418\u0432\u0430\u043D";  // "Ivan" in Cyrillic
    const std::u16string link = folder + u"\\\u042F\u0440\u043B\u044B\u043A.LNK";
    ContractPutFolder16(folder);
    ContractPutFile16(link, "x");

    plat::FindEntryW16 found{};
    plat::Handle search = plat::FindFirst((base + u"\\*").c_str(), &found);
    ASSERT_NE(search, plat::kInvalidHandle);
    bool listed = false;
    do {
        listed |= std::u16string(found.name) == u"\u0418\u0432\u0430\u043D" && found.is_directory == 1 &&
                  found.is_reparse_point == 0;
    } while (plat::FindNext(search, &found));
    plat::FindClose(search);
    EXPECT_TRUE(listed) << "the search gives the name whole";

    plat::EntryFacts facts{};
    plat::Handle held = plat::FolderHold(folder.c_str(), &facts);
    ASSERT_NE(held, plat::kInvalidHandle);
    EXPECT_EQ(facts.is_directory, 1);
    EXPECT_EQ(plat::EntryOpen(folder.c_str(), &facts), plat::kInvalidHandle) << "a hold shares no deletion";
    char16_t final_folder[1024] = {};
    int told = plat::EntryFinalPath(held, final_folder, 1024);
    if (told == 1) {
        std::u16string final_text(final_folder);
        ASSERT_GE(final_text.size(), 5u);
        EXPECT_EQ(final_text.substr(final_text.size() - 5), u"\\\u0418\u0432\u0430\u043D") << "no '?' in it";
    }

    plat::Handle file = plat::EntryOpen(link.c_str(), &facts);
    ASSERT_NE(file, plat::kInvalidHandle);
    EXPECT_EQ(facts.is_directory, 0);
    EXPECT_EQ(plat::EntryDelete(file), 1);
    plat::EntryClose(file);
    EXPECT_EQ(plat::FindFirst(link.c_str(), &found), plat::kInvalidHandle) << "deleted through the handle";
    plat::EntryClose(held);
    plat::Handle gone = plat::EntryOpen(folder.c_str(), &facts);
    ASSERT_NE(gone, plat::kInvalidHandle);
    EXPECT_EQ(plat::EntryDelete(gone), 1);
    plat::EntryClose(gone);

    // The file system's own case rule: Cyrillic and ASCII letters in either
    // case, and a name that is another stays another.
    const std::u16string lower = u"\u0438\u0432\u0430\u043D", upper = u"\u0418\u0412\u0410\u041D";
    EXPECT_EQ(plat::FileNamesSame(lower.data(), lower.size(), upper.data(), upper.size()), 1);
    const std::u16string mixed = u"Mixolyte \u0418\u0432\u0430\u043D", folded = u"MIXOLYTE \u0438\u0432\u0430\u043D";
    EXPECT_EQ(plat::FileNamesSame(mixed.data(), mixed.size(), folded.data(), folded.size()), 1);
    EXPECT_EQ(plat::FileNamesSame(lower.data(), lower.size(), lower.data(), lower.size() - 1), 0);
    const std::u16string other = u"\u0438\u0432\u0430\u0442";
    EXPECT_EQ(plat::FileNamesSame(lower.data(), lower.size(), other.data(), other.size()), 0);
    CONTRACT_SKIP_UNLESS(told != -1, "the system has no GetFinalPathNameByHandleW");
    EXPECT_EQ(told, 1);
}
